#include "PictureLoader.h"

#include "AnyPicDecoder.h"
#include "BmpPyramid.h"
#include "ColourManager.h"
#include "DrawDibBmp.h"
#include "JPEGDecoder.h"

#include <QGuiApplication>
#include <QScreen>
#include <QThreadPool>

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <mutex>
#include <new>
#include <vector>

struct CPictureLoader::Job
{
    std::string path;
    QSize firstPass;
    bool bShowRows = false; // first passes of the rows so far while the first pass decodes
    std::mutex lock; // guards the three below
    CPictureLoader* pOwner = nullptr;
    std::vector<std::shared_ptr<Pass>> pending; // passes done before anyone took the job
    bool bCancelled = false;

    /// Hands the pass to the owner, or keeps it for one who takes the job
    /// over.
    void Publish(const std::shared_ptr<Pass>& pass)
    {
        std::lock_guard guard(lock);
        if (bCancelled)
            return;
        if (pOwner)
        {
            CPictureLoader* owner = pOwner;
            // The owner clears pOwner under the lock before it goes, and Qt
            // drops calls posted to an object that is deleted.
            QMetaObject::invokeMethod(
                owner, [owner, pass] { owner->Receive(pass); }, Qt::QueuedConnection);
            return;
        }
        // A final pass makes every earlier one useless, a first pass (or a
        // look at its rows so far) the earlier looks.
        std::erase_if(pending,
                      [&](const std::shared_ptr<Pass>& p) { return pass->bFinal || !p->bFinal; });
        pending.push_back(pass);
    }

    bool IsCancelled()
    {
        std::lock_guard guard(lock);
        return bCancelled;
    }
};

namespace
{
std::mutex g_aheadLock;
std::shared_ptr<CPictureLoader::Job> g_pAhead; // guarded by g_aheadLock

bool IsJpegFile(const std::string& path)
{
    unsigned char head[3] = {};
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool jpeg = ::read(fd, head, 3) == 3 && head[0] == 0xFF && head[1] == 0xD8 &&
                      head[2] == 0xFF;
    ::close(fd);
    return jpeg;
}

template <class Decode> void Attempt(CPictureLoader::Pass& pass, Decode decode)
{
    try
    {
        decode();
        return;
    }
    catch (const CTextException& e)
    {
        pass.nCode = e.GetCode();
        pass.error = e.GetText();
    }
    catch (const std::bad_alloc&)
    {
        pass.nCode = 10;
        pass.error = "Not enough memory to decode the picture.";
    }
    catch (const std::exception& e)
    {
        pass.nCode = 2;
        pass.error = e.what();
    }
    pass.pBmp.reset();
    pass.bFinal = true;
}

using Clock = std::chrono::steady_clock;

/// A look at the first pass so far: a copy of its bitmap with the rows
/// decoded until now, the others black. At most one each 15 ms (since the
/// last, or since the decode began), so that the copies cost little beside
/// the decode.
void PublishRows(CPictureLoader::Job& job, const CPictureLoader::Pass& pass,
                 const CJPEGDecoder& jpeg, int rowsDone, Clock::time_point& last)
{
    const CDrawDibBmp& bmp = *pass.pBmp;
    if (rowsDone <= 0 || rowsDone >= bmp.GetHeight() ||
        Clock::now() - last < std::chrono::milliseconds(15))
        return;
    last = Clock::now();
    try
    {
        auto part = std::make_shared<CPictureLoader::Pass>();
        part->pBmp = std::make_unique<CDrawDibBmp>();
        part->pBmp->ConvertFrom(bmp);
        CColourManager::SrgbToDisplay(*part->pBmp);
        part->fullSize = QSize(jpeg.GetFullWidth(), jpeg.GetFullHeight());
        job.Publish(part);
    }
    catch (const std::exception&)
    {
        // Only a look ahead: the whole first pass follows.
    }
}

void Run(const std::shared_ptr<CPictureLoader::Job>& job)
{
    if (job->IsCancelled())
        return;
    // A JPEG first at the smallest DCT scale that covers the window.
    if (!job->firstPass.isEmpty() && IsJpegFile(job->path))
    {
        auto pass = std::make_shared<CPictureLoader::Pass>();
        pass->pBmp = std::make_unique<CDrawDibBmp>();
        CJPEGDecoder jpeg;
        jpeg.SetMaxSize(job->firstPass.width(), job->firstPass.height());
        Clock::time_point last = Clock::now();
        if (job->bShowRows)
            jpeg.SetRowListener([&](int rowsDone)
                                { PublishRows(*job, *pass, jpeg, rowsDone, last); });
        Attempt(*pass, [&] { jpeg.DecodeFile(job->path, *pass->pBmp, 0); });
        if (pass->pBmp)
        {
            pass->fullSize = QSize(jpeg.GetFullWidth(), jpeg.GetFullHeight());
            // Small enough to have come whole: that was the only pass.
            pass->bFinal =
                pass->fullSize == QSize(pass->pBmp->GetWidth(), pass->pBmp->GetHeight());
            if (pass->bFinal)
                Attempt(*pass, [&] { CPictureLoader::AddDrawing(*pass); });
            else
                CColourManager::SrgbToDisplay(*pass->pBmp); // a first pass is only drawn

        }
        job->Publish(pass);
        if (pass->bFinal || job->IsCancelled())
            return;
    }
    auto pass = std::make_shared<CPictureLoader::Pass>();
    pass->pBmp = std::make_unique<CDrawDibBmp>();
    pass->bFinal = true;
    CAnyPicDecoder decoder;
    Attempt(*pass, [&] { decoder.DecodeFile(job->path, *pass->pBmp, 0); });
    if (pass->pBmp)
    {
        pass->fullSize = QSize(pass->pBmp->GetWidth(), pass->pBmp->GetHeight());
        Attempt(*pass, [&] { CPictureLoader::AddDrawing(*pass); });
    }
    job->Publish(pass);
}

void Launch(const std::shared_ptr<CPictureLoader::Job>& job)
{
    QThreadPool::globalInstance()->start([job] { Run(job); });
}
} // namespace

void CPictureLoader::AddDrawing(Pass& pass)
{
    pass.pDisplay = CDrawDibBmp::ForDisplay(*pass.pBmp);
    pass.pPyramid = std::make_unique<CBmpPyramid>();
    pass.pPyramid->Build(pass.pDisplay ? *pass.pDisplay : *pass.pBmp);
}

CPictureLoader::CPictureLoader(Receiver receiver) : m_receiver(std::move(receiver)) {}

CPictureLoader::~CPictureLoader()
{
    if (!m_pJob)
        return;
    std::lock_guard guard(m_pJob->lock);
    m_pJob->pOwner = nullptr;
    m_pJob->bCancelled = true;
    m_pJob->pending.clear();
}

void CPictureLoader::Start(const std::string& path, QSize firstPass)
{
    if (m_pJob)
    {
        std::lock_guard guard(m_pJob->lock);
        m_pJob->pOwner = nullptr;
        m_pJob->bCancelled = true;
    }
    m_bLoading = true;
    {
        std::lock_guard guard(g_aheadLock);
        if (g_pAhead && g_pAhead->path == path)
        {
            m_pJob = std::move(g_pAhead);
            std::lock_guard jobGuard(m_pJob->lock);
            m_pJob->pOwner = this;
            for (const std::shared_ptr<Pass>& pass : m_pJob->pending)
                QMetaObject::invokeMethod(
                    this, [this, pass] { Receive(pass); }, Qt::QueuedConnection);
            m_pJob->pending.clear();
            return;
        }
    }
    m_pJob = std::make_shared<Job>();
    m_pJob->path = path;
    m_pJob->firstPass = firstPass;
    m_pJob->pOwner = this;
    Launch(m_pJob);
}

void CPictureLoader::Receive(const std::shared_ptr<Pass>& pass)
{
    if (pass->bFinal)
        m_bLoading = false;
    m_receiver(pass);
}

QSize CPictureLoader::FirstPassSize()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->size() * screen->devicePixelRatio() : QSize();
}

void CPictureLoader::DecodeAhead(const std::string& path, QSize firstPass)
{
    std::lock_guard guard(g_aheadLock);
    if (g_pAhead && g_pAhead->path == path)
        return;
    if (g_pAhead)
    {
        std::lock_guard jobGuard(g_pAhead->lock);
        g_pAhead->bCancelled = true;
        g_pAhead->pending.clear();
    }
    g_pAhead = std::make_shared<Job>();
    g_pAhead->path = path;
    g_pAhead->firstPass = firstPass;
    // A picture decoded ahead goes into a window of its own: the rows so far
    // show while the rest decodes (a window that replaces another waits for
    // the whole first pass instead).
    g_pAhead->bShowRows = !firstPass.isEmpty();
    Launch(g_pAhead);
}

std::string CPictureLoader::GetAheadPath()
{
    std::lock_guard guard(g_aheadLock);
    return g_pAhead ? g_pAhead->path : std::string();
}

void CPictureLoader::DropAhead()
{
    std::shared_ptr<Job> job;
    {
        std::lock_guard guard(g_aheadLock);
        job = std::move(g_pAhead);
    }
    if (!job)
        return;
    std::lock_guard jobGuard(job->lock);
    job->bCancelled = true;
    job->pending.clear();
}
