#include "SlideLoader.h"

#include "AnyPicDecoder.h"
#include "Bmp.h"

#include <new>

namespace
{
constexpr unsigned kCmdLoad = 3;
constexpr int kIdleWaitMs = 60 * 1000; // a stop request wakes the wait at once
} // namespace

CSlideLoader::CSlideLoader(Deliver deliver)
    : m_deliver(std::move(deliver)), m_pDecoder(std::make_unique<CAnyPicDecoder>())
{
    m_bUseEvent = true;
}

CSlideLoader::~CSlideLoader()
{
    Kill(0, true);
}

unsigned CSlideLoader::Load(std::string path, std::unique_ptr<CBmp> pBmp)
{
    auto slide = std::make_shared<Slide>();
    slide->path = std::move(path);
    slide->pBmp = std::move(pBmp);
    {
        std::lock_guard lock(m_lock);
        if (++m_nTicket == 0)
            ++m_nTicket;
        slide->nTicket = m_nTicket;
        m_pRequest = slide;
    }
    if (!IsAlive())
        Start();
    PostCommand(kCmdLoad);
    return slide->nTicket;
}

void CSlideLoader::Cancel()
{
    std::lock_guard lock(m_lock);
    m_pRequest.reset();
}

int CSlideLoader::Run()
{
    while (!IsStopRequested())
    {
        WaitForCommand(kIdleWaitMs);
        std::shared_ptr<Slide> slide;
        {
            std::lock_guard lock(m_lock);
            slide = std::move(m_pRequest);
        }
        if (!slide || IsStopRequested())
            continue;
        Decode(*slide);
        if (!IsStopRequested())
            m_deliver(std::move(slide));
    }
    return 0;
}

void CSlideLoader::Decode(Slide& slide)
{
    try
    {
        m_pDecoder->DecodeFile(slide.path, *slide.pBmp, 0);
        return;
    }
    catch (const CTextException& e)
    {
        slide.nCode = e.GetCode();
        slide.error = e.GetText();
    }
    catch (const std::bad_alloc&)
    {
        slide.nCode = 10;
        slide.error = "Not enough memory to decode the picture.";
    }
    catch (const std::exception& e)
    {
        slide.nCode = 2;
        slide.error = e.what();
    }
    // A failed decode leaves nothing worth keeping; its memory goes now.
    slide.pBmp.reset();
}
