#include "VistrelApp.h"

#include "AboutDlg.h"
#include "ChildFrame.h"
#include "ChildProjectFrame.h"
#include "DocManagerEx.h"
#include "DocTemplate.h"
#include "Document.h"
#include "EmbeddedResources.h"
#include "FileListCtrl.h"
#include "FileName.h"
#include "ListBar.h"
#include "MainFrame.h"
#include "NativePath.h"
#include "PLView.h"
#include "PLViewerDoc.h"
#include "PictureLoader.h"
#include "ProjectDoc.h"
#include "ProjectTreeCtrl.h"
#include "ProjectView.h"
#include "RecentFileList.h"
#include "Resource.h"
#include "Slideshow.h"
#include "SplashWindow.h"
#include "Strings.h"
#include "Termination.h"
#include "TreeBar.h"
#include "ViewPreferences.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QPointer>
#include <QStatusBar>
#include <QUrl>

#include <utility>
#include <vector>

using namespace Id;

CVistrelApp::CVistrelApp()
    : CWinApp(QString::fromLatin1(Str::kAppTitle)), m_strStartDir(QDir::currentPath().left(260)),
      m_arguments(QCoreApplication::arguments()),
      m_pSlideshow(std::make_unique<CSlideshow>(*this))
{
    IProjectHost::Install(this);
    OnCommand(ID_APP_ABOUT, [this] { OnAppAbout(); });
    OnCommand(ID_TILE_HORIZONTALLY,
              [this]
              {
                  if (GetMainFrame())
                      GetMainFrame()->MDITile(true);
              });
    OnCommand(ID_TILE_VERTICALLY,
              [this]
              {
                  if (GetMainFrame())
                      GetMainFrame()->MDITile(false);
              });
    OnCommand(ID_LISTBAR_SHOW, [this] { OnListBarShow(); });
    OnCommand(ID_AUTOSCROLL_START, [this] { StartPanning(); });
    OnCommand(ID_AUTOSCROLL_STOP, [this] { StopPanning(); });

    OnCommand(ID_SLIDESHOW, [this] { StartSlideshow(); });
    OnCommand(ID_SLIDESHOW_STOP, [this] { StopSlideshow(); });
    OnCommand(ID_SLIDESHOW_PAUSE, [this] { m_pSlideshow->Pause(); });
    OnCommand(ID_SLIDESHOW_RESUME, [this] { m_pSlideshow->Resume(); });
    OnUpdate(ID_SLIDESHOW_STOP, [this](CCmdUI& ui) { ui.Enable(m_bSlideshowRunning); });
    OnUpdate(ID_SLIDESHOW_PAUSE,
             [this](CCmdUI& ui) { ui.Enable(m_bSlideshowRunning && !m_bSlideshowPaused); });
    OnUpdate(ID_SLIDESHOW_RESUME,
             [this](CCmdUI& ui) { ui.Enable(m_bSlideshowRunning && m_bSlideshowPaused); });

    // Project commands: the project document and the project tree do the work.
    OnCommand(ID_FILE_NEW, [] { CProjectDoc::OnNewProject(); });
    OnCommand(ID_PROJECT_OPEN, [] { CProjectDoc::OnOpenProject(); });
    OnCommand(ID_PROJECT_OPEN_ACCEL, [] { CProjectDoc::OnOpenProject(); });
    OnCommand(ID_PROJECT_SAVE, [] { CProjectDoc::OnSaveProject(); });
    OnCommand(ID_PROJECT_SAVE_AS, [] { CProjectDoc::OnSaveProjectAs(); });
    OnCommand(ID_PROJECT_CLOSE, [] { CProjectDoc::OnCloseProject(); });
    OnUpdate(ID_PROJECT_SAVE, [](CCmdUI& ui) {
        const CProjectDoc* pDoc = CProjectDoc::GetOpenProject();
        ui.Enable(pDoc && pDoc->IsModified());
    });
    for (int id : {ID_PROJECT_SAVE_AS, ID_PROJECT_CLOSE})
        OnUpdate(id, [](CCmdUI& ui) { ui.Enable(CProjectDoc::GetOpenProject() != nullptr); });
    auto tree = [this](int id, void (CProjectTreeCtrl::*fn)()) {
        OnCommand(id, [fn] {
            if (CProjectTreeCtrl* pTree = CProjectTreeCtrl::FromApp())
                (pTree->*fn)();
        });
    };
    tree(ID_PROJECTTREE_SHOW, &CProjectTreeCtrl::OnShow);
    tree(ID_PROJECTTREE_NEWFOLDER, &CProjectTreeCtrl::OnNewFolder);
    tree(ID_PROJECTTREE_COPY, &CProjectTreeCtrl::OnCopy);
    tree(ID_PROJECTTREE_RENAME, &CProjectTreeCtrl::OnRename);
    tree(ID_PROJECTTREE_DELETE, &CProjectTreeCtrl::OnDeleteItem);
    OnCommand(ID_PROJECTTREE_PASTE, [this] {
        CProjectTreeCtrl* pTree = CProjectTreeCtrl::FromApp();
        if (pTree && pTree->OnPaste())
            m_bCutPending = false;
    });
    OnUpdate(ID_PROJECTTREE_SHOW, [](CCmdUI& ui) {
        CProjectTreeCtrl* pTree = CProjectTreeCtrl::FromApp();
        ui.Enable(pTree && CFileListCtrl::IsImageFile(pTree->GetItemPath(pTree->m_hCurItem)));
    });

    // The list bar's file commands act on its file list.
    auto list = [this](int id, auto fn)
    {
        OnCommand(id,
                  [this, fn]
                  {
                      if (CFileListCtrl* pList = GetFileList())
                          fn(pList);
                  });
    };
    list(ID_LISTBAR_COPY, [](CFileListCtrl* l) { l->CopySelection(); });
    list(ID_LISTBAR_MOVECUT,
         [this](CFileListCtrl* l)
         {
             l->CutSelection();
             m_bCutPending = true;
         });
    list(ID_LISTBAR_DELETE, [](CFileListCtrl* l) { l->DeleteSelection(0); });
    list(ID_SLIDESHOW_SELECT, [](CFileListCtrl* l) { l->SelectForSlideshow(); });

    // The bar commands act on the main frame's bars.
    auto bars = [this](int id, auto fn)
    {
        OnCommand(id,
                  [this, fn]
                  {
                      if (CMainFrame* pFrame = GetMainFrame())
                          fn(pFrame);
                  });
    };
    bars(ID_TOGGLE_WORKSPACE, [](CMainFrame* f) { f->ToggleBar(f->GetTreeBar()); });
    bars(ID_PROJECTBAR_SHOWHIDE, [](CMainFrame* f) { f->ToggleBar(f->GetTreeBar()); });
    bars(ID_TOGGLE_LISTBAR, [](CMainFrame* f) { f->ToggleBar(f->GetListBar()); });
    bars(ID_LISTBAR_SHOWHIDE, [](CMainFrame* f) { f->ToggleBar(f->GetListBar()); });
    bars(ID_PROJECTBAR_DOCKFLOAT, [](CMainFrame* f) { f->DockOrFloat(f->GetTreeBar()); });
    bars(ID_LISTBAR_DOCKFLOAT, [](CMainFrame* f) { f->DockOrFloat(f->GetListBar()); });
    bars(ID_PROJECTBAR_ALLOWDOCKING, [](CMainFrame* f) { f->ToggleAllowDocking(f->GetTreeBar()); });
    bars(ID_LISTBAR_ALLOWDOCKING, [](CMainFrame* f) { f->ToggleAllowDocking(f->GetListBar()); });
    bars(ID_LISTBAR_THUMBNAILS, [](CMainFrame* f) { f->GetListBar()->SetThumbnailMode(true); });
    bars(ID_LISTBAR_DETAILS, [](CMainFrame* f) { f->GetListBar()->SetThumbnailMode(false); });
    bars(ID_LISTBAR_VIEWTOGGLE, [](CMainFrame* f)
         { f->GetListBar()->SetThumbnailMode(!f->GetListBar()->IsThumbnailMode()); });

    auto barUpdate = [this](int id, auto fn)
    {
        OnUpdate(id,
                 [this, fn](CCmdUI& ui)
                 {
                     if (CMainFrame* pFrame = GetMainFrame())
                         fn(pFrame, ui);
                     else
                         ui.Enable(false);
                 });
    };
    barUpdate(ID_PROJECTBAR_SHOWHIDE,
              [](CMainFrame* f, CCmdUI& ui) { ui.SetCheck(f->GetTreeBar()->isVisible()); });
    barUpdate(ID_LISTBAR_SHOWHIDE,
              [](CMainFrame* f, CCmdUI& ui) { ui.SetCheck(f->GetListBar()->isVisible()); });
    barUpdate(ID_PROJECTBAR_DOCKFLOAT,
              [](CMainFrame* f, CCmdUI& ui) { ui.SetCheck(!f->GetTreeBar()->isFloating()); });
    barUpdate(ID_LISTBAR_DOCKFLOAT,
              [](CMainFrame* f, CCmdUI& ui) { ui.SetCheck(!f->GetListBar()->isFloating()); });
    barUpdate(ID_PROJECTBAR_ALLOWDOCKING,
              [](CMainFrame* f, CCmdUI& ui)
              {
                  ui.SetCheck(f->GetTreeBar()->GetDockingStyle() != 0);
                  ui.Enable(f->GetTreeBar()->isFloating());
              });
    for (int id : {ID_LISTBAR_THUMBNAILS, ID_LISTBAR_VIEWTOGGLE})
        barUpdate(id, [](CMainFrame* f, CCmdUI& ui)
                  { ui.SetCheck(f->GetListBar()->IsThumbnailMode()); });
    barUpdate(ID_LISTBAR_DETAILS,
              [](CMainFrame* f, CCmdUI& ui) { ui.SetCheck(!f->GetListBar()->IsThumbnailMode()); });
    barUpdate(ID_LISTBAR_ALLOWDOCKING,
              [](CMainFrame* f, CCmdUI& ui)
              {
                  ui.SetCheck(f->GetListBar()->GetDockingStyle() != 0);
                  ui.Enable(f->GetListBar()->isFloating());
              });
}

CVistrelApp::~CVistrelApp()
{
    CFileName::SetRenameListener(nullptr);
    CFileName::SetRenameGuard(nullptr);
    CSplashWindow::HideSplashScreen();
    // Frames and views go with the main window, then the documents with
    // their templates.
    delete m_pMainWnd;
    m_pMainWnd = nullptr;
    SetDocManager(nullptr);
    if (IProjectHost::Get() == this)
        IProjectHost::Install(nullptr);
}

CMainFrame* CVistrelApp::GetMainFrame() const
{
    return static_cast<CMainFrame*>(GetMainWnd());
}

CFileListCtrl* CVistrelApp::GetFileList() const
{
    return GetMainFrame() ? GetMainFrame()->GetListBar()->GetList() : nullptr;
}

ISlideSource* CVistrelApp::GetSlideSource()
{
    return GetFileList();
}

void CVistrelApp::BeginSlideshow()
{
    if (m_bPanning)
        StopPanning();
}

void CVistrelApp::SlideFrameShown(CMDIChildWnd* pFrame, const QString& path)
{
    if (auto* pChild = dynamic_cast<CChildFrame*>(pFrame))
        m_nSlideshowTimer = pChild->StartSlideshowTimer(m_nSlideshowDelay);
    SetPanView(dynamic_cast<CPLView*>(pFrame->GetActiveView()));
    RestartPanning();
    m_strCurrentImage = path;
}

void CVistrelApp::StopSlideshowTimers()
{
    CMainFrame* pMain = GetMainFrame();
    if (!pMain)
        return;
    for (CMDIChildWnd* pFrame = pMain->NextChildFrame(); pFrame; pFrame = pMain->NextChildFrame())
        if (auto* pChild = dynamic_cast<CChildFrame*>(pFrame))
            pChild->StopSlideshowTimer();
}

void CVistrelApp::ShowStatus(const QString& text, int ms)
{
    if (CMainFrame* pMain = GetMainFrame())
        pMain->statusBar()->showMessage(text, ms);
}

QWidget* CVistrelApp::GetMessageParent() const
{
    return GetMainFrame();
}

void CVistrelApp::UpdateCommands()
{
    Router().UpdateSoon();
}

bool CVistrelApp::IsImageFile(const QString& path) const
{
    return CFileListCtrl::IsImageFile(path);
}

void CVistrelApp::ShowFolder(const QString& path)
{
    if (CMainFrame* pMain = GetMainFrame())
        pMain->SetListDirectory(path);
}

QStringList CVistrelApp::TakeMultiCopy()
{
    CFileListCtrl* pList = GetFileList();
    return pList ? pList->TakeMultiCopy() : QStringList();
}

QString CVistrelApp::GetPendingCut() const
{
    const CFileListCtrl* pList = GetFileList();
    return pList ? pList->GetPendingCut() : QString();
}

void CVistrelApp::CutMoved(const QStringList& moved)
{
    if (CFileListCtrl* pList = GetFileList())
        pList->ForgetMovedFiles(moved);
}

CProjectTreeCtrl* CVistrelApp::GetProjectTree() const
{
    CMainFrame* pMain = GetMainFrame();
    return pMain && pMain->GetTreeBar() ? pMain->GetTreeBar()->GetProjectTree() : nullptr;
}

bool CVistrelApp::InitInstance()
{
    SetRegistryKey(QStringLiteral("Tarnwell"));
    LoadStdProfileSettings(4);

    // An embedded or automated start shows no splash. The other arguments
    // are files to show, made absolute now: opening pictures changes the
    // current directory.
    const QStringList& args = m_arguments;
    bool bShowSplash = true;
    QStringList files;
    for (const QString& arg : args.mid(1))
    {
        const QString flag = arg.mid(arg.startsWith(QLatin1String("--")) ? 2 : 1).toLower();
        if ((arg.startsWith(QLatin1Char('-')) || arg.startsWith(QLatin1Char('/'))) &&
            (flag == QLatin1String("embedding") || flag == QLatin1String("automation") ||
             flag == QLatin1String("nologo")))
            bShowSplash = false;
        else if (arg.startsWith(QLatin1String("file:")))
            files.append(QUrl(arg).toLocalFile());
        else if (!arg.startsWith(QLatin1Char('-')))
            files.append(QFileInfo(arg).absoluteFilePath());
    }
    CSplashWindow::EnableSplashScreen(bShowSplash);
    // Colour management and the display's profile, before any picture decodes.
    ViewPreferences::Apply();
    // What each file named is, found once; the first picture is decoded
    // while the frame is being built.
    enum class Named
    {
        Folder,
        Project,
        Picture
    };
    std::vector<std::pair<QString, Named>> named;
    for (const QString& file : files)
        named.emplace_back(file, CFileName().IsFolder(file) ? Named::Folder
                                 : file.endsWith(QLatin1String(".vrp"), Qt::CaseInsensitive)
                                     ? Named::Project
                                     : Named::Picture);
    for (const auto& [file, kind] : named)
        if (kind == Named::Picture)
        {
            CPictureLoader::DecodeAhead(NativePath::Encode(file).toStdString(),
                                        CPictureLoader::FirstPassSize());
            break;
        }

    RegisterEmbeddedResources();
    CFileName::SetRenameListener([this](const QString& from, const QString& to)
                                 { OnEntryRenamed(from, to); });
    CFileName::SetRenameGuard(&CProjectDoc::RenameRefusal);

    SetDocManager(new CDocManagerEx);
    m_pImageTemplate = new CDocTemplate(
        IDR_VISTRETYPE, QString::fromLatin1(Str::kImageDocString),
        [this] { return new CPLViewerDoc(*this); }, [] { return new CChildFrame; },
        [this] { return new CPLView(*this); });
    AddDocTemplate(m_pImageTemplate);
    m_pProjectTemplate = new CDocTemplate(
        IDR_PROJECTTYPE, QString::fromLatin1(Str::kProjectDocString),
        [] { return new CProjectDoc; }, [] { return new CChildProjectFrame; },
        [] { return new CProjectView; });
    AddDocTemplate(m_pProjectTemplate);

    auto* pMainFrame = new CMainFrame;
    SetMainWnd(pMainFrame);
    if (!pMainFrame->LoadFrame(IDR_MAINFRAME))
    {
        SetMainWnd(nullptr);
        delete pMainFrame;
        return false;
    }
    pMainFrame->setAcceptDrops(true);

    pMainFrame->InitialShowWindow(m_nCmdShow);

    const QString projectOnExit = GetProfileString(
        QStringLiteral("Startup"), QStringLiteral("ProjectOnExit"), QStringLiteral("no"));
    const QString project1 =
        GetProfileString(QStringLiteral("Recent Project List"), QStringLiteral("Project1"),
                         QStringLiteral("default.html"));
    if (projectOnExit == QLatin1String("yes"))
        OpenProjectFile(project1);
    if (StartUpEnded())
        return false;

    if (GetProfileString(QStringLiteral("Startup"), QStringLiteral("FilesOnExit"),
                         QStringLiteral("no")) == QLatin1String("yes"))
    {
        ReopenRecentFiles(GetProfileInt(QStringLiteral("StartUp"), QStringLiteral("FilesOpen"), 4));
        if (StartUpEnded())
            return false;
    }

    // Files named on the command line (the file manager's "Open With"),
    // opened as File Open opens them: a project as the project. The list
    // shows a folder named there, or the last picture's folder with the
    // picture selected, so the next and previous pictures are a key away.
    QString browse, picture;
    for (const auto& [file, kind] : named)
    {
        if (kind == Named::Folder)
        {
            browse = file;
            picture.clear();
            continue;
        }
        if (kind == Named::Project)
        {
            OpenProjectFile(file);
        }
        else
        {
            OpenDocumentFile(file);
            browse.clear();
            picture = file;
        }
        if (StartUpEnded())
            return false;
    }
    if (!picture.isEmpty())
        ShowInList(picture);
    else if (!browse.isEmpty())
        pMainFrame->SetListDirectory(browse);

    if (StartUpEnded())
        return false;
    pMainFrame->LoadSizeBarState(QStringLiteral("Barstate"));
    pMainFrame->show();
    pMainFrame->update();
    m_strPendingPlacement.clear();
    Router().UpdateAll();
    return true;
}

void CVistrelApp::ReopenRecentFiles(int nFiles)
{
    // Up to four recent files, each with the placement stored for its
    // window at quit ("w1" ... "w4" in window order from the active one;
    // all-zero records stand for other windows and are passed over).
    QStringList recent;
    for (int i = 0; i < nFiles && i < 4 && !(*GetRecentFileList())[i].isEmpty(); ++i)
        recent.append((*GetRecentFileList())[i]);
    QStringList placements;
    for (int k = 1; k <= 4; ++k)
    {
        const QString text =
            GetProfileString(QStringLiteral("Settings"), QStringLiteral("w%1").arg(k));
        CWindowPlacement wp;
        if (CWindowPlacement::Parse(text, wp) && !wp.NormalRect().isEmpty())
            placements.append(text);
    }
    // The first file was the active window: it opens last, on top. Opening
    // puts each file at the front of the recent list; it gets its order back.
    for (qsizetype i = recent.size() - 1; i >= 0; --i)
    {
        m_strPendingPlacement = placements.value(i);
        OpenDocumentFile(recent[i]);
        m_strPendingPlacement.clear();
        if (StartUpEnded())
            return;
    }
    for (qsizetype i = recent.size() - 1; i >= 0; --i)
        AddToRecentFileList(recent[i]);
}

bool CVistrelApp::StartUpEnded()
{
    // A termination request met during start-up (a message box was up)
    // ends it here, once the code that showed the box has returned.
    if (Termination::IsRequested() && !GetMainFrame()->IsClosed())
        GetMainFrame()->close();
    return GetMainFrame()->IsClosed();
}

bool CVistrelApp::PreTranslateMessage(QObject* pTarget, QEvent* pEvent)
{
    if (CSplashWindow::PreTranslateAppMessage(pEvent))
        return true;
    // Keys of the project tree's label edit box and drag go there directly.
    if (pEvent->type() == QEvent::KeyPress || pEvent->type() == QEvent::ShortcutOverride)
        if (CProjectTreeCtrl* pTree = CProjectTreeCtrl::FromApp(); pTree && pTree->WantsKey(pTarget))
            return false;
    if (CMainFrame* pFrame = GetMainFrame())
        return pFrame->PreTranslateMessage(pTarget, pEvent);
    return false;
}

bool CVistrelApp::OpenImage(const QString& path, bool bReplace)
{
    const bool bWasPanning = m_bPanning;
    if (bWasPanning)
        StopPanning();
    m_strCurrentImage = path;
    CDocument* pDoc =
        bReplace ? ReplaceImage(path) : m_pImageTemplate->OpenDocumentFile(path, true);
    if (bWasPanning)
        StartPanning();
    return pDoc != nullptr;
}

CDocument* CVistrelApp::ReplaceImage(const QString& path)
{
    // A step taken while the last step's picture is still on its way goes
    // from the same window.
    if (m_pStepFrame && !m_pStepFrame->IsDestroying())
        if (CDocument* pWaiting = m_pStepFrame->GetActiveDocument())
            pWaiting->OnCloseDocument();
    m_pStepFrame = nullptr;

    // The active image window's picture is the one replaced.
    CDocument* pOld = nullptr;
    if (GetMainFrame() && GetMainFrame()->MDIGetActive())
    {
        CChildFrame* pActive = GetActiveImageFrame();
        pOld = pActive ? pActive->GetActiveDocument() : nullptr;
        if (!pOld && !m_pImageTemplate->GetDocuments().isEmpty())
            pOld = m_pImageTemplate->GetDocuments().first();
        if (!pOld)
            return nullptr;
    }
    const QString full = QFileInfo(path).absoluteFilePath();
    bool bOpenAlready = false;
    for (CDocument* pDoc : m_pImageTemplate->GetDocuments())
        bOpenAlready = bOpenAlready || pDoc->GetPathName() == full;
    CView* pOldView = pOld ? pOld->GetFirstView() : nullptr;
    CMDIChildWnd* pOldFrame = pOldView ? pOldView->GetParentFrame() : nullptr;
    if (!pOldFrame || bOpenAlready)
    {
        if (pOld && pOld->GetPathName() != full)
            pOld->OnCloseDocument();
        return OpenDocumentFile(path);
    }

    // The new picture waits in a hidden window and takes the old one's place
    // when it comes: a file that cannot be shown leaves the window as it was.
    auto* pNew = dynamic_cast<CPLViewerDoc*>(m_pImageTemplate->OpenDocumentFile(path, false));
    CView* pNewView = pNew ? pNew->GetFirstView() : nullptr;
    if (!pNewView || !pNewView->GetParentFrame())
        return pNew;
    m_pStepFrame = pNewView->GetParentFrame();
    QPointer<CMDIChildWnd> pFrom(pOldFrame);
    QPointer<CMDIChildWnd> pTo(m_pStepFrame);
    pNew->SetOnArrival(
        [this, pFrom, pTo](bool bOk)
        {
            if (m_pStepFrame == pTo)
                m_pStepFrame = nullptr;
            if (!bOk || !pTo)
                return; // its message follows, and it closes
            // The keys that went to the old picture go to the new one; a
            // window hidden meanwhile (Escape) is replaced by a hidden one.
            const bool bHadFocus = pFrom && pFrom->isAncestorOf(QApplication::focusWidget());
            const bool bShow = !pFrom || pFrom->isVisible();
            if (pFrom && !pFrom->IsDestroying())
                if (CDocument* pGone = pFrom->GetActiveDocument())
                    pGone->OnCloseDocument();
            if (bShow)
                pTo->ActivateFrame(-1);
            if (bShow && bHadFocus && pTo->widget())
                pTo->widget()->setFocus();
            RestartPanning();
        });
    return pNew;
}

void CVistrelApp::CloseAllImages()
{
    m_pImageTemplate->CloseAllDocuments(false);
}

void CVistrelApp::OpenProjectFile(const QString& path)
{
    CloseAllImages();
    if (!m_pImageTemplate->GetDocuments().isEmpty())
        return; // the user kept a modified image
    if (!m_pProjectTemplate->CloseAllDocuments(false))
        return;
    if (m_pProjectTemplate->OpenDocumentFile(path, true))
        m_strProjectPath = QFileInfo(path).absoluteFilePath();
}

void CVistrelApp::OnEntryRenamed(const QString& from, const QString& to)
{
    auto follow = [&](QString& path)
    {
        const QString now = CFileName::RenamedPath(path, from, to);
        if (!now.isEmpty())
            path = now;
        return !now.isEmpty();
    };
    if (m_pImageTemplate)
        for (CDocument* pDoc : m_pImageTemplate->GetDocuments())
        {
            QString path = pDoc->GetPathName();
            if (!follow(path))
                continue;
            pDoc->SetPathName(path, false);
            for (CView* pView : pDoc->GetViews())
                if (CMDIChildWnd* pFrame = pView->GetParentFrame())
                    pFrame->setWindowTitle(pDoc->GetTitle());
        }
    follow(m_strCurrentImage);
    follow(m_strBrowseDir);
    if (CFileListCtrl* pList = GetFileList())
        pList->FollowRename(from, to);
    CProjectDoc::FollowRename(from, to);
}

bool CVistrelApp::DeleteOpenImageFile(const QString& path)
{
    CChildFrame* pFrame = GetActiveImageFrame();
    CDocument* pDoc = pFrame ? pFrame->GetActiveDocument() : nullptr;
    if (!pDoc || path.isEmpty() || pDoc->GetPathName() != path)
        return false;
    CFileName name;
    name.ShellDeleteItems(GetMainWnd(), path, 0);
    return !name.Exist(path);
}

bool CVistrelApp::DeleteShownPicture()
{
    const QString path = GetActiveImagePath();
    if (!DeleteOpenImageFile(path))
        return false;
    if (CFileListCtrl* pList = GetFileList())
        pList->RemoveDeleted({path});
    else
        ShowInPlaceOfDeleted(QString());
    return true;
}

void CVistrelApp::ShowInPlaceOfDeleted(const QString& path)
{
    CChildFrame* pFrame = GetActiveImageFrame();
    CDocument* pDoc = pFrame ? pFrame->GetActiveDocument() : nullptr;
    if (!pDoc)
        return;
    if (path.isEmpty())
        pDoc->OnCloseDocument();
    else
        OpenImage(path, true);
}

QString CVistrelApp::GetActiveImagePath() const
{
    CChildFrame* pFrame = GetActiveImageFrame();
    CDocument* pDoc = pFrame ? pFrame->GetActiveDocument() : nullptr;
    return pDoc ? pDoc->GetPathName() : QString();
}

void CVistrelApp::StartPanning()
{
    m_bPanning = true;
    const int delay = GetProfileInt(QStringLiteral("Settings"), QStringLiteral("pandelay"), 2000);
    CChildFrame* pFrame = GetActiveImageFrame();
    if (auto* pView = pFrame ? dynamic_cast<CPLView*>(pFrame->GetActiveView()) : nullptr)
    {
        m_pPanView = pView;
        pView->SetPanDelay(delay);
        pView->StartAutoScroll();
    }
}

void CVistrelApp::StopPanning()
{
    m_bPanning = false;
    CMainFrame* pMain = GetMainFrame();
    if (!pMain || !pMain->MDIGetActive())
        return;
    for (CMDIChildWnd* pFrame = pMain->NextChildFrame(); pFrame; pFrame = pMain->NextChildFrame())
        if (auto* pView = dynamic_cast<CPLView*>(pFrame->GetActiveView()))
            pView->StopAutoScroll();
}

void CVistrelApp::RestartPanning()
{
    if (!m_bPanning)
        return;
    StopPanning();
    StartPanning();
}

void CVistrelApp::StartSlideshow()
{
    m_pSlideshow->Start();
}

void CVistrelApp::NextSlide()
{
    m_pSlideshow->NextSlide();
}

void CVistrelApp::StopSlideshow()
{
    m_pSlideshow->Stop();
}

CChildFrame* CVistrelApp::GetActiveImageFrame() const
{
    CMainFrame* pMain = GetMainFrame();
    return pMain ? dynamic_cast<CChildFrame*>(pMain->MDIGetActive()) : nullptr;
}

int CVistrelApp::GetActiveImageShowCmd() const
{
    CChildFrame* pFrame = GetActiveImageFrame();
    return pFrame ? pFrame->GetShowCmd() : 0;
}

void CVistrelApp::SaveOpenWindows()
{
    CMainFrame* pMain = GetMainFrame();
    if (!pMain)
        return;
    const int n = int(m_pImageTemplate->GetDocuments().size());
    CMDIChildWnd* pActive = pMain->MDIGetActive();
    if (!pActive)
        return;
    // Window-cycling order: from the active window down the window order.
    const QList<CMDIChildWnd*> order = pMain->ChildFramesInZOrder();
    const int start = int(order.indexOf(pActive));
    if (start < 0)
        return;
    QStringList files;
    for (int j = 0; j < n && j < 4 && j < order.size(); ++j)
    {
        CMDIChildWnd* pFrame = order[(start + j) % order.size()];
        CWindowPlacement wp;
        if (dynamic_cast<CChildFrame*>(pFrame))
        {
            wp = pFrame->GetWindowPlacement();
            if (CDocument* pDoc = pFrame->GetActiveDocument())
                files.append(pDoc->GetPathName());
        }
        WriteProfileString(QStringLiteral("Settings"), QStringLiteral("w%1").arg(j + 1),
                           wp.Format());
    }
    // The recent files start with these windows' files in the same order,
    // so that each reopens with its own placement.
    for (qsizetype i = files.size() - 1; i >= 0; --i)
        AddToRecentFileList(files[i]);
}

void CVistrelApp::SaveProjectOnExit()
{
    WriteProfileString(QStringLiteral("Startup"), QStringLiteral("ProjectOnExit"),
                       m_pProjectTemplate->GetDocuments().isEmpty() ? QStringLiteral("no")
                                                                    : QStringLiteral("yes"));
}

void CVistrelApp::OnAppAbout()
{
    CAboutDlg dialog(GetMainWnd());
    dialog.exec();
}

void CVistrelApp::OnFileOpened(CDocument* pDoc)
{
    if (pDoc->GetDocTemplate() == m_pImageTemplate)
        ShowInList(pDoc->GetPathName());
}

void CVistrelApp::ShowInList(const QString& picture)
{
    CMainFrame* pMain = GetMainFrame();
    const qsizetype slash = picture.lastIndexOf(QLatin1Char('/'));
    if (!pMain || slash < 0)
        return;
    pMain->SetListDirectory(slash == 0 ? QStringLiteral("/") : picture.left(slash));
    pMain->GetListBar()->GetList()->SelectNamed(picture.mid(slash + 1));
}

void CVistrelApp::OnListBarShow()
{
    CMainFrame* pMain = GetMainFrame();
    if (!pMain)
        return;
    const QString path = pMain->GetListBar()->GetSelectedPath();
    if (CFileListCtrl::IsImageFile(path))
        m_pImageTemplate->OpenDocumentFile(path, true);
}
