#include "Slideshow.h"

#include "BmpPyramid.h"
#include "DocTemplate.h"
#include "DrawDibBmp.h"
#include "ISlideHost.h"
#include "ISlideSource.h"
#include "MDIChildWnd.h"
#include "MessageBox.h"
#include "NativePath.h"
#include "PLViewerDoc.h"
#include "Settings.h"
#include "SlideshowState.h"
#include "Strings.h"

#include <QFileInfo>
#include <QTimer>

#include <exception>

namespace
{
constexpr int kDefaultDelayMs = 7000;
constexpr int kStatusMs = 10000; // how long a failed file's message stays in the status bar
} // namespace

CSlideshow::CSlideshow(ISlideHost& host)
    : m_host(host), m_state(host.GetSlideshowState()),
      m_loader(
          [this](std::shared_ptr<CSlideLoader::Slide> slide)
          {
              // On the loader's thread: the copies for drawing are made here
              // too, so that showing the slide costs only the window swap.
              std::shared_ptr<CPictureLoader::Pass> picture;
              if (slide->pBmp)
              {
                  picture = std::make_shared<CPictureLoader::Pass>();
                  // The bitmap is the CDrawDibBmp that RequestNext handed the loader.
                  picture->pBmp.reset(static_cast<CDrawDibBmp*>(slide->pBmp.release()));
                  try
                  {
                      CPictureLoader::AddDrawing(*picture);
                  }
                  catch (const std::exception&)
                  {
                      // Short of memory: the window makes them when it draws.
                      picture->pDisplay.reset();
                      picture->pPyramid.reset();
                  }
              }
              QMetaObject::invokeMethod(
                  this, [this, slide, picture] { OnLoaded(slide, picture); }, Qt::QueuedConnection);
          })
{
}

CSlideshow::~CSlideshow() = default;

void CSlideshow::Start()
{
    m_host.BeginSlideshow();
    ISlideSource* pList = m_host.GetSlideSource();
    if (!pList)
        return;
    if (pList->GetItemCount() <= 1)
    {
        Message(Str::kSlideshowNeedsList);
        return;
    }
    // Starting again while a show runs begins a new one; the window of the
    // last show's slide stays, as it does after a stop.
    StopTimers();
    Reset();
    m_pCurrentSlideFrame = nullptr;
    // A delay that is no delay (a hand-edited or unreadable setting) would
    // change slides as fast as they decode: the default stands in for it.
    const int delay = Settings::GetProfileInt(QStringLiteral("Settings"),
                                              QStringLiteral("slideshowspeed"), kDefaultDelayMs);
    m_state.m_nSlideshowDelay = delay > 0 ? delay : kDefaultDelayMs;
    m_state.m_bRandomSlideshow = Settings::GetProfileInt(QStringLiteral("Settings"),
                                                         QStringLiteral("randomslideshow"), 1) != 0;
    m_state.m_bSlideshowPaused = false;
    pList->BeginShow();
    m_state.m_bSlideshowRunning = true;
    m_bFirst = true;
    const bool bPicked = RequestNext(false);
    m_host.SetCurrentImage(m_strNextSlidePath);
    if (!bPicked && m_state.m_bSlideshowRunning)
    {
        m_state.m_bSlideshowRunning = false;
        m_bFirst = false;
        Message(Str::kNoImages);
    }
    m_host.UpdateCommands();
}

void CSlideshow::NextSlide()
{
    if (!m_state.m_bSlideshowRunning || m_state.m_bSlideshowPaused || m_bFirst)
        return;
    if (m_pNextSlide)
    {
        ShowSlide(m_strNextSlidePath, std::move(m_pNextSlide));
        return;
    }
    // Still decoding: the slide shows the moment it is ready. Nothing picked
    // (the last pick gave up): try again now.
    m_bDue = true;
    if (!m_nTicket)
        RequestNext(false);
}

void CSlideshow::Stop()
{
    m_state.m_bSlideshowRunning = false;
    if (ISlideSource* pList = m_host.GetSlideSource())
        pList->EndShow();
    StopTimers();
    Reset();
    m_host.UpdateCommands();
}

void CSlideshow::Pause()
{
    if (!m_state.m_bSlideshowRunning)
        return;
    m_state.m_bSlideshowPaused = true;
    m_host.UpdateCommands();
}

void CSlideshow::Resume()
{
    if (!m_state.m_bSlideshowRunning)
        return;
    m_state.m_bSlideshowPaused = false;
    m_host.UpdateCommands();
}

bool CSlideshow::RequestNext(bool bRetry)
{
    ISlideSource* pList = m_host.GetSlideSource();
    m_strNextSlidePath.clear();
    if (pList)
        m_strNextSlidePath =
            m_state.m_bRandomSlideshow && !bRetry ? pList->PickRandom() : pList->PickNext();
    if (m_strNextSlidePath.isEmpty())
        return false;
    try
    {
        m_nTicket = m_loader.Load(NativePath::Encode(m_strNextSlidePath).toStdString(),
                                  std::make_unique<CDrawDibBmp>());
    }
    catch (const CThreadException& e)
    {
        Stop();
        AfxMessageBox(QString::fromLocal8Bit(e.GetText().c_str()), MB_OK);
        return false;
    }
    return true;
}

void CSlideshow::OnLoaded(const std::shared_ptr<CSlideLoader::Slide>& slide,
                          const std::shared_ptr<CPictureLoader::Pass>& picture)
{
    if (slide->nTicket != m_nTicket)
        return; // nobody waits for it any more
    m_nTicket = 0;
    if (!m_state.m_bSlideshowRunning)
    {
        // Escape ended the show without a stop.
        Reset();
        return;
    }
    if (!picture)
    {
        OnFailed(*slide);
        return;
    }
    m_nFailures = 0;
    if (m_bFirst || (m_bDue && !m_state.m_bSlideshowPaused))
        ShowSlide(m_strNextSlidePath, picture);
    else
        m_pNextSlide = picture;
}

void CSlideshow::OnFailed(const CSlideLoader::Slide& slide)
{
    // One line in the status bar instead of a message box per tick.
    m_host.ShowStatus(
        QStringLiteral("%1: %2").arg(QFileInfo(m_strNextSlidePath).fileName(),
                                     QString::fromLocal8Bit(slide.error.c_str()).trimmed()),
        kStatusMs);
    const ISlideSource* pList = m_host.GetSlideSource();
    const int bound = pList ? std::max(1, pList->SourceSize()) : 1;
    if (++m_nFailures < bound && RequestNext(true))
        return;
    m_nFailures = 0;
    m_bDue = false;
    if (m_bFirst && m_state.m_bSlideshowRunning)
    {
        m_bFirst = false;
        m_state.m_bSlideshowRunning = false;
        m_host.UpdateCommands();
        Message(Str::kNoImages);
    }
    // During the show the slide on screen stays; the next tick tries again.
}

void CSlideshow::ShowSlide(const QString& path, std::shared_ptr<CPictureLoader::Pass> picture)
{
    CDocTemplate* pTemplate = m_host.GetImageTemplate();
    auto* pDoc = static_cast<CPLViewerDoc*>(pTemplate->CreateNewDocument());
    CMDIChildWnd* pFrame = pTemplate->CreateNewFrame(pDoc);
    if (!pFrame)
    {
        delete pDoc;
        return;
    }
    pDoc->OpenDecoded(path, std::move(*picture));
    // Created while the show runs, the frame is a slideshow frame: it shows maximised.
    pTemplate->InitialUpdateFrame(pFrame, pDoc, true);
    m_bFirst = m_bDue = false;

    const QPointer<CMDIChildWnd> pOld = m_pCurrentSlideFrame;
    m_pCurrentSlideFrame = pFrame;
    // The delay counts from now: the slide is painted next.
    m_host.SlideFrameShown(pFrame, pDoc->GetPathName());
    // The last slide closes in a turn of its own: the change and the close
    // (freeing its picture) are two short waits of this thread, not one long one.
    QTimer::singleShot(0, this,
                       [pOld]
                       {
                           if (pOld && !pOld->IsDestroying())
                               if (CDocument* pOldDoc = pOld->GetActiveDocument())
                                   pOldDoc->OnCloseDocument();
                       });
    emit SlideShown(path);
    RequestNext(false);
}

void CSlideshow::StopTimers()
{
    m_host.StopSlideshowTimers();
}

void CSlideshow::Reset()
{
    m_loader.Cancel();
    m_nTicket = 0;
    m_pNextSlide.reset();
    m_strNextSlidePath.clear();
    m_bFirst = m_bDue = false;
    m_nFailures = 0;
}

void CSlideshow::Message(const char* text)
{
    AfxMessageBox(QString::fromLatin1(text), MB_OK, m_host.GetMessageParent());
}
