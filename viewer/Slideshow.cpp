#include "Slideshow.h"

#include "ChildFrame.h"
#include "DocTemplate.h"
#include "DrawDibBmp.h"
#include "FileListCtrl.h"
#include "MainFrame.h"
#include "MessageBox.h"
#include "NativePath.h"
#include "PLView.h"
#include "PLViewerDoc.h"
#include "Settings.h"
#include "Strings.h"
#include "VistrelApp.h"

#include <QFileInfo>
#include <QStatusBar>
#include <QTimer>

namespace
{
constexpr int kDefaultDelayMs = 7000;
constexpr int kStatusMs = 10000; // how long a failed file's message stays in the status bar
} // namespace

CSlideshow::CSlideshow(CVistrelApp& app)
    : m_app(app), m_loader(
                      [this](std::shared_ptr<CSlideLoader::Slide> slide)
                      {
                          QMetaObject::invokeMethod(
                              this, [this, slide] { OnLoaded(slide); }, Qt::QueuedConnection);
                      })
{
}

CSlideshow::~CSlideshow() = default;

void CSlideshow::Start()
{
    if (m_app.m_bPanning)
        m_app.StopPanning();
    CFileListCtrl* pList = m_app.GetFileList();
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
    m_app.m_nSlideshowDelay = delay > 0 ? delay : kDefaultDelayMs;
    m_app.m_bRandomSlideshow = Settings::GetProfileInt(QStringLiteral("Settings"),
                                                       QStringLiteral("randomslideshow"), 1) != 0;
    m_app.m_bSlideshowPaused = false;
    pList->m_nMisses = 0;
    pList->m_nNextIndex = 0;
    m_app.m_bSlideshowRunning = true;
    m_bFirst = true;
    const bool bPicked = RequestNext(false);
    m_app.m_strCurrentImage = m_strNextSlidePath;
    if (!bPicked && m_app.m_bSlideshowRunning)
    {
        m_app.m_bSlideshowRunning = false;
        m_bFirst = false;
        Message(Str::kNoImages);
    }
    m_app.Router().UpdateSoon();
}

void CSlideshow::NextSlide()
{
    if (!m_app.m_bSlideshowRunning || m_app.m_bSlideshowPaused || m_bFirst)
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
    m_app.m_bSlideshowRunning = false;
    if (CFileListCtrl* pList = m_app.GetFileList())
        pList->m_bUseSelection = false;
    StopTimers();
    Reset();
    m_app.Router().UpdateSoon();
}

void CSlideshow::Pause()
{
    if (!m_app.m_bSlideshowRunning)
        return;
    m_app.m_bSlideshowPaused = true;
    m_app.Router().UpdateSoon();
}

void CSlideshow::Resume()
{
    if (!m_app.m_bSlideshowRunning)
        return;
    m_app.m_bSlideshowPaused = false;
    m_app.Router().UpdateSoon();
}

bool CSlideshow::RequestNext(bool bRetry)
{
    CFileListCtrl* pList = m_app.GetFileList();
    m_strNextSlidePath.clear();
    if (pList)
        m_strNextSlidePath =
            m_app.m_bRandomSlideshow && !bRetry ? pList->PickRandom() : pList->PickNext();
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

void CSlideshow::OnLoaded(const std::shared_ptr<CSlideLoader::Slide>& slide)
{
    if (slide->nTicket != m_nTicket)
        return; // nobody waits for it any more
    m_nTicket = 0;
    if (!m_app.m_bSlideshowRunning)
    {
        // Escape ended the show without a stop.
        Reset();
        return;
    }
    if (!slide->pBmp)
    {
        OnFailed(*slide);
        return;
    }
    m_nFailures = 0;
    // The bitmap is the CDrawDibBmp that RequestNext handed the loader.
    std::unique_ptr<CDrawDibBmp> pBmp(static_cast<CDrawDibBmp*>(slide->pBmp.release()));
    if (m_bFirst || (m_bDue && !m_app.m_bSlideshowPaused))
        ShowSlide(m_strNextSlidePath, std::move(pBmp));
    else
        m_pNextSlide = std::move(pBmp);
}

void CSlideshow::OnFailed(const CSlideLoader::Slide& slide)
{
    // One line in the status bar instead of a message box per tick.
    if (CMainFrame* pMain = m_app.GetMainFrame())
        pMain->statusBar()->showMessage(
            QStringLiteral("%1: %2").arg(QFileInfo(m_strNextSlidePath).fileName(),
                                         QString::fromLocal8Bit(slide.error.c_str()).trimmed()),
            kStatusMs);
    const CFileListCtrl* pList = m_app.GetFileList();
    const int bound = pList ? std::max(1, pList->SourceSize()) : 1;
    if (++m_nFailures < bound && RequestNext(true))
        return;
    m_nFailures = 0;
    m_bDue = false;
    if (m_bFirst && m_app.m_bSlideshowRunning)
    {
        m_bFirst = false;
        m_app.m_bSlideshowRunning = false;
        m_app.Router().UpdateSoon();
        Message(Str::kNoImages);
    }
    // During the show the slide on screen stays; the next tick tries again.
}

void CSlideshow::ShowSlide(const QString& path, std::unique_ptr<CDrawDibBmp> pBmp)
{
    CDocTemplate* pTemplate = m_app.GetImageTemplate();
    auto* pDoc = new CPLViewerDoc;
    pTemplate->AddDocument(pDoc);
    CMDIChildWnd* pFrame = pTemplate->CreateNewFrame(pDoc);
    if (!pFrame)
    {
        delete pDoc;
        return;
    }
    pDoc->OpenDecoded(path, std::move(pBmp));
    // Created while the show runs, the frame is a slideshow frame: it shows maximised.
    pTemplate->InitialUpdateFrame(pFrame, pDoc, true);
    m_bFirst = m_bDue = false;

    // The delay counts from now: the slide is painted next.
    if (auto* pChild = dynamic_cast<CChildFrame*>(pFrame))
        m_app.m_nSlideshowTimer = pChild->StartSlideshowTimer(m_app.m_nSlideshowDelay);

    const QPointer<CMDIChildWnd> pOld = m_pCurrentSlideFrame;
    m_pCurrentSlideFrame = pFrame;
    m_app.SetPanView(dynamic_cast<CPLView*>(pFrame->GetActiveView()));
    m_app.RestartPanning();
    m_app.m_strCurrentImage = pDoc->GetPathName();
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
    CMainFrame* pMain = m_app.GetMainFrame();
    if (!pMain)
        return;
    for (CMDIChildWnd* pFrame = pMain->NextChildFrame(); pFrame; pFrame = pMain->NextChildFrame())
        if (auto* pChild = dynamic_cast<CChildFrame*>(pFrame))
            pChild->StopSlideshowTimer();
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
    AfxMessageBox(QString::fromLatin1(text), MB_OK, m_app.GetMainFrame());
}
