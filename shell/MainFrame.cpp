#include "MainFrame.h"

#include "ChildFrame.h"
#include "ChildProjectFrame.h"
#include "Commands.h"
#include "DocManager.h"
#include "FileListCtrl.h"
#include "FolderTreeCtrl.h"
#include "DocTemplate.h"
#include "Document.h"
#include "ListBar.h"
#include "LockKeyState.h"
#include "MDIWindowList.h"
#include "Menus.h"
#include "MessageBox.h"
#include "PLView.h"
#include "PLViewerDoc.h"
#include "FilePaste.h"
#include "PrefsDlg.h"
#include "ProjectTreeCtrl.h"
#include "RecentFileList.h"
#include "Resource.h"
#include "Settings.h"
#include "SplashWindow.h"
#include "Strings.h"
#include "TreeBar.h"
#include "VistrelApp.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QScreen>
#include <QStatusBar>
#include <QTabWidget>
#include <QToolBar>

using namespace Id;

namespace
{
const QString kSettings = QStringLiteral("Settings");
const QString kWindowPos = QStringLiteral("WindowPos");
} // namespace

CMainFrame::CMainFrame()
{
    setObjectName(QStringLiteral("MainFrame"));
    setWindowTitle(QString::fromLatin1(Str::kAppTitle));
    setWindowIcon(QIcon(QStringLiteral(":/icons/vistrel.png")));
    connect(this, &CMDIFrameWnd::ActiveChildChanged, this,
            [this]
            {
                UpdateMenuForActiveChild();
                // A lock key may have changed while another program had the keyboard.
                UpdateLockPanes();
                if (CWinApp::Get())
                    CWinApp::Get()->Router().UpdateSoon();
            });
}

CMainFrame::~CMainFrame()
{
    if (CWinApp* pApp = CWinApp::Get())
        for (QAction* action : findChildren<QAction*>())
            pApp->Router().RemoveOwnedBy(action);
}

bool CMainFrame::LoadFrame(int)
{
    // The outer frame 50 pixels narrower and lower than the screen, at x 25, y 0.
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    const int height = screen.height() - 50, width = screen.width() - 50;
    SetFrameRect(
        QRect((screen.width() - width) / 2, (screen.height() - height) / 2 - 25, width, height));
    // Two fifths of the largest size is the smallest the frame may become.
    const QSize largest = QGuiApplication::primaryScreen()->availableVirtualSize();
    setMinimumSize(largest.width() * 2 / 5, largest.height() * 2 / 5);

    createActions();
    createMenus();
    createToolBars();
    createStatusBar();
    createDockBars();
    registerCommands();
    CSplashWindow::ShowSplashScreen(this);
    return m_wndToolBar && m_wndTreeBar && m_wndListBar;
}

void CMainFrame::createActions()
{
    CCommandRouter& router = CWinApp::Get()->Router();
    for (const CommandInfo& info : Commands::All())
    {
        QAction* action = Commands::CreateAction(info.id, this);
        action->setShortcutContext(Qt::ApplicationShortcut);
        addAction(action);
        router.AddAction(info.id, action);
    }
    // The list bar's looks are one choice: radio items.
    auto* looks = new QActionGroup(this);
    looks->addAction(router.Action(ID_LISTBAR_THUMBNAILS));
    looks->addAction(router.Action(ID_LISTBAR_DETAILS));
}

QAction* CMainFrame::ActionOf(int nID) const
{
    return CWinApp::Get()->Router().Action(nID);
}

void CMainFrame::createMenus()
{
    auto build = [this](int id, QList<QMenu*>& out)
    {
        for (const MenuEntry& top : Menus::MenuResource(id))
        {
            auto* menu = new QMenu(QString::fromUtf8(top.popup), this);
            Menus::Populate(menu, top.items, [this](int nID) { return ActionOf(nID); });
            connect(menu, &QMenu::aboutToShow, this, [] { CWinApp::Get()->Router().UpdateAll(); });
            out.append(menu);
        }
    };
    build(IDR_MAINFRAME, m_mainMenus);
    build(IDR_VISTRETYPE, m_imageMenus);
    m_pWindowList = new CMDIWindowList(this, [](const CMDIChildWnd* pChild)
                                       { return dynamic_cast<const CChildFrame*>(pChild); });
    for (QMenu* menu : m_imageMenus)
        if (menu->title() == QLatin1String("&Window"))
            m_pWindowList->Attach(menu);
    m_bImageMenuShown = true;
    UpdateMenuForActiveChild();
}

void CMainFrame::UpdateMenuForActiveChild()
{
    // Windows hidden by Escape keep the image menus, so that the Window menu
    // can bring them back.
    bool bImage = dynamic_cast<const CChildFrame*>(MDIGetActive()) != nullptr;
    if (!MDIGetActive() && m_pWindowList)
        for (const CMDIChildWnd* pFrame : m_pWindowList->ListedFrames())
            bImage = bImage || pFrame->isHidden();
    if (bImage == m_bImageMenuShown && !menuBar()->actions().isEmpty())
        return;
    m_bImageMenuShown = bImage;
    menuBar()->clear();
    for (QMenu* menu : bImage ? m_imageMenus : m_mainMenus)
        menuBar()->addMenu(menu);
}

void CMainFrame::createToolBars()
{
    m_wndToolBar = new QToolBar(QStringLiteral("Toolbar"), this);
    m_wndToolBar->setObjectName(QStringLiteral("ToolBar%1").arg(IDW_TOOLBAR));
    m_wndToolBar->setIconSize(QSize(16, 16));
    Menus::PopulateToolBar(m_wndToolBar, Menus::ToolbarResource(IDR_MAINFRAME),
                           [this](int nID) { return ActionOf(nID); });
    addToolBar(Qt::TopToolBarArea, m_wndToolBar);
}

void CMainFrame::createStatusBar()
{
    QStatusBar* bar = statusBar();
    bar->setObjectName(QStringLiteral("StatusBar%1").arg(IDW_STATUSBAR));
    // The lock-key panes: lit while the key's light is on, grey otherwise
    // and wherever the lights cannot be read.
    for (const char* text : {"CAP", "NUM", "SCRL"})
    {
        auto* pane = new QLabel(QString::fromLatin1(text), bar);
        pane->setEnabled(false);
        bar->addPermanentWidget(pane);
        m_lockPanes.append(pane);
    }
    UpdateLockPanes();
    // The picture's place in the list and its file's size, and its zoom.
    const auto addPane = [this, bar](int nID, const char* name, int width)
    {
        auto* pane = new QLabel(bar);
        pane->setObjectName(QString::fromLatin1(name));
        pane->setAccessibleName(QString::fromLatin1(name));
        pane->setMinimumWidth(width);
        bar->addPermanentWidget(pane);
        CWinApp::Get()->Router().AddUpdateItem(nID,
                                               [pane](const CCmdUI& ui)
                                               {
                                                   const QString text =
                                                       ui.m_bTextSet ? ui.m_strText : QString();
                                                   if (pane->text() != text)
                                                       pane->setText(text);
                                               });
        return pane;
    };
    m_pPositionPane = addPane(ID_INDICATOR_POSITION, "PositionPane", 90);
    m_pZoomPane = addPane(ID_INDICATOR_ZOOM, "ZoomPane", 50);
    m_pImageInfoPane = new QLabel(bar);
    m_pImageInfoPane->setObjectName(QStringLiteral("ImageInfoPane"));
    m_pImageInfoPane->setMinimumWidth(160);
    bar->addPermanentWidget(m_pImageInfoPane);
    CWinApp::Get()->Router().AddUpdateItem(ID_INDICATOR_IMAGEINFO,
                                           [this](const CCmdUI& ui)
                                           {
                                               const QString text =
                                                   ui.m_bTextSet ? ui.m_strText : QString();
                                               if (m_pImageInfoPane->text() != text)
                                                   m_pImageInfoPane->setText(text);
                                           });
}

void CMainFrame::createDockBars()
{
    EnableDocking(AfxId::CBRS_ALIGN_ANY);
    const unsigned kLeftRightBottom =
        AfxId::CBRS_ALIGN_LEFT | AfxId::CBRS_ALIGN_RIGHT | AfxId::CBRS_ALIGN_BOTTOM;

    m_wndTreeBar = new CTreeBar;
    m_wndTreeBar->Create(QString::fromLatin1(Str::kTreeBarCaption), this, IDW_TREEBAR);
    m_wndTreeBar->EnableDocking(kLeftRightBottom);
    DockControlBar(m_wndTreeBar, AfxId::AFX_IDW_DOCKBAR_LEFT);

    m_wndListBar = new CListBar;
    m_wndListBar->Create(QString::fromLatin1(Str::kListBarCaption), this, IDW_LISTBAR);
    m_wndListBar->EnableDocking(kLeftRightBottom);
    // Both bars share the left edge, the list below the tree.
    DockControlBar(m_wndListBar, AfxId::AFX_IDW_DOCKBAR_LEFT);
    resizeDocks({m_wndTreeBar}, {220}, Qt::Horizontal);
    m_wndTreeBar->GetFolderTree()->FillRoot(); // fills the list with the first folder
}

void CMainFrame::registerCommands()
{
    OnCommand(ID_APP_EXIT, [this] { OnAppExit(); });
    OnCommand(ID_FILE_CLOSE,
              [this]
              {
                  if (CMDIChildWnd* pFrame = MDIGetActive())
                      pFrame->close();
              });
    OnUpdate(ID_FILE_CLOSE, [this](CCmdUI& ui) { ui.Enable(MDIGetActive() != nullptr); });
    OnCommand(ID_VIEW_TOOLBAR, [this] { m_wndToolBar->setVisible(!m_wndToolBar->isVisible()); });
    OnUpdate(ID_VIEW_TOOLBAR, [this](CCmdUI& ui) { ui.SetCheck(m_wndToolBar->isVisible()); });
    OnCommand(ID_VIEW_STATUS_BAR, [this] { statusBar()->setVisible(!statusBar()->isVisible()); });
    OnUpdate(ID_VIEW_STATUS_BAR, [this](CCmdUI& ui) { ui.SetCheck(statusBar()->isVisible()); });
    OnCommand(ID_WINDOW_CASCADE,
              [this]
              {
                  ShowHiddenImageFrames();
                  MDICascade();
              });
    OnCommand(ID_WINDOW_TILE_HORZ,
              [this]
              {
                  ShowHiddenImageFrames();
                  MDITile(true);
              });
    OnCommand(ID_WINDOW_ARRANGE, [this] { MDIIconArrange(); });

    OnCommand(ID_VIEW_FULLSCREEN,
              [this]
              {
                  if (m_bFullScreen)
                      LeaveFullScreen();
                  else
                      EnterFullScreen();
              });
    OnUpdate(ID_VIEW_FULLSCREEN, [this](CCmdUI& ui) { ui.SetCheck(m_bFullScreen); });

    const auto imageActive = [this](CCmdUI& ui) { ui.Enable(IsImageWindowActive()); };
    OnCommand(ID_SYNC_SCROLL_DOWN, [this] { SyncScroll(Qt::Vertical, true); });
    OnCommand(ID_SYNC_SCROLL_UP, [this] { SyncScroll(Qt::Vertical, false); });
    OnCommand(ID_SYNC_SCROLL_LEFT, [this] { SyncScroll(Qt::Horizontal, false); });
    OnCommand(ID_SYNC_SCROLL_RIGHT, [this] { SyncScroll(Qt::Horizontal, true); });
    for (int id : {ID_SYNC_SCROLL_DOWN, ID_SYNC_SCROLL_UP, ID_SYNC_SCROLL_LEFT,
                   ID_SYNC_SCROLL_RIGHT, ID_TILE_VERTICALLY, ID_TILE_HORIZONTALLY})
        OnUpdate(id, imageActive);

    OnCommand(ID_PREFERENCES,
              [this]
              {
                  CPrefsDlg dialog(this);
                  const bool bSaved = dialog.exec() == QDialog::Accepted;
                  // Open pictures take the new background at once; colours
                  // follow for pictures opened after.
                  if (bSaved)
                      for (CMDIChildWnd* pFrame = NextChildFrame(); pFrame;
                           pFrame = NextChildFrame())
                          if (auto* pView = dynamic_cast<CPLView*>(pFrame->GetActiveView()))
                              pView->SetBackdrop(dialog.m_backdrop);
                  AfxMessageBox(QString::fromLatin1(bSaved ? Str::kPreferencesSaved
                                                           : Str::kPreferencesCanceled),
                                MB_OK | MB_ICONINFORMATION, this);
              });

    // Next window; the command had no action before.
    OnCommand(ID_CYCLE_WINDOWS, [this] { MDINext(); });
    OnUpdate(ID_CYCLE_WINDOWS, imageActive);

    OnUpdate(ID_INDICATOR_IMAGEINFO,
             [this](CCmdUI& ui)
             {
                 CPLView* pView = GetActiveImageView();
                 ui.Enable(pView != nullptr);
                 ui.SetText(pView ? pView->GetImageInfoText() : QString());
             });
    OnUpdate(ID_INDICATOR_ZOOM,
             [this](CCmdUI& ui)
             {
                 CPLView* pView = GetActiveImageView();
                 ui.SetText(pView ? pView->GetZoomText() : QString());
             });
    OnUpdate(ID_INDICATOR_POSITION, [this](CCmdUI& ui) { ui.SetText(GetPositionText()); });
    registerListCommands();
}

void CMainFrame::registerListCommands()
{
    // Next and previous picture of the list, in place of the active one.
    for (const int direction : {0, 1})
    {
        const int id = direction == 0 ? ID_DIRECTORY_MOVE_DOWN : ID_DIRECTORY_MOVE_UP;
        OnCommand(id,
                  [this, direction]
                  {
                      CFileListCtrl* pList = m_wndListBar->GetList();
                      pList->StepToNeighbour(pList->GetSelectedName(), direction);
                  });
        OnUpdate(id,
                 [this, direction](CCmdUI& ui)
                 {
                     const CFileListCtrl* pList = m_wndListBar->GetList();
                     ui.Enable(IsImageWindowActive() && !pList->GetSelectedName().isEmpty() &&
                               pList->GetItemCount() > 1 &&
                               !(direction == 0 ? pList->IsAtLast() : pList->IsAtFirst()));
                 });
    }
    OnUpdate(ID_LISTBAR_MOVECUT, [this](CCmdUI& ui)
             { ui.Enable(!m_wndListBar->GetList()->GetSelectedName().isEmpty()); });
    // Paste: into the project with the project tree focused (its own paste),
    // else into the folder tree's folder when it has the focus, else into
    // the list's folder.
    OnCommand(ID_EDIT_PASTE,
              [this]
              {
                  CProjectTreeCtrl* pProject = m_wndTreeBar->GetProjectTree();
                  if (pProject->hasFocus())
                  {
                      if (pProject->OnPaste())
                          CVistrelApp::Get()->m_bCutPending = false;
                      return;
                  }
                  if (FilePaste::PasteInto(this, PasteFolder()) && !FilePaste::CanPaste())
                      CVistrelApp::Get()->m_bCutPending = false;
              });
    OnUpdate(ID_EDIT_PASTE,
             [this](CCmdUI& ui)
             {
                 ui.Enable(m_wndTreeBar->GetProjectTree()->hasFocus() ||
                           (!PasteFolder().isEmpty() && FilePaste::CanPaste()));
             });
    // File > New Folder works on the tree of the current tab.
    OnCommand(ID_FOLDERTREE_NEWFOLDER,
              [this]
              {
                  if (m_wndTreeBar->GetCurrentTab() == 1)
                      m_wndTreeBar->GetFolderTree()->NewFolder();
                  else
                      m_wndTreeBar->GetProjectTree()->OnNewFolder();
              });
}

void CMainFrame::InitialShowWindow(int nCmdShow)
{
    CWindowPlacement wp;
    if (!CWindowPlacement::Parse(Settings::GetProfileString(kSettings, kWindowPos), wp))
    {
        ShowWithCmd(this, nCmdShow);
        return;
    }
    if (nCmdShow != SW_SHOWNORMAL)
        wp.showCmd = SW_SHOWMINIMIZED;
    SetWindowPlacement(wp);
    ShowWithCmd(this, int(wp.showCmd));
}

void CMainFrame::OnAppExit()
{
    CVistrelApp* pApp = CVistrelApp::Get();
    pApp->SaveOpenWindows();
    pApp->SaveProjectOnExit();
    if (pApp->m_bPanning)
        pApp->StopPanning();
    if (pApp->m_bSlideshowRunning)
        pApp->StopSlideshow();
    m_bExitCommand = true;
    close();
    m_bExitCommand = false;
}

void CMainFrame::closeEvent(QCloseEvent* event)
{
    if (m_bClosed)
    {
        event->accept();
        return;
    }
    CVistrelApp* pApp = CVistrelApp::Get();
    if (!m_bExitCommand)
    {
        pApp->SaveOpenWindows();
        pApp->SaveProjectOnExit();
    }
    if (m_bFullScreen)
        LeaveFullScreen();

    CWindowPlacement wp = GetWindowPlacement();
    wp.flags = 0;
    Settings::WriteProfileString(kSettings, kWindowPos, wp.Format());
    if (IsBarStateLoaded())
        SaveSizeBarState(QStringLiteral("Barstate"));

    // Every view's panning stops (and its worker is joined) before the
    // windows go; the close then goes on at once.
    for (CMDIChildWnd* pFrame = NextChildFrame(); pFrame; pFrame = NextChildFrame())
        if (auto* pView = dynamic_cast<CPLView*>(pFrame->GetActiveView()))
            pView->StopAutoScroll();

    if (pApp->GetDocManager() && !pApp->GetDocManager()->SaveAllModified())
    {
        event->ignore();
        return;
    }
    if (pApp->GetDocManager())
        pApp->GetDocManager()->CloseAllDocuments(true);
    CSplashWindow::HideSplashScreen();
    m_bClosed = true;
    event->accept();
    QApplication::quit();
}

bool CMainFrame::PreTranslateMessage(QObject* pTarget, QEvent* pEvent)
{
    if (pEvent->type() == QEvent::KeyRelease)
    {
        const int key = static_cast<QKeyEvent*>(pEvent)->key();
        if (key == Qt::Key_CapsLock || key == Qt::Key_NumLock || key == Qt::Key_ScrollLock)
            UpdateLockPanes();
        return false;
    }
    if (pEvent->type() != QEvent::KeyPress)
        return false;
    // A label being edited in a tree keeps Enter, Escape, Delete and the rest.
    if (qobject_cast<QLineEdit*>(pTarget))
        return false;
    // Each key press once: at its first receiver, inside this frame.
    auto* pWidget = qobject_cast<QWidget*>(pTarget);
    QWidget* pFirst =
        QApplication::focusWidget() ? QApplication::focusWidget() : QApplication::activeWindow();
    // Only keys of the main window and its image windows: a dialog or a
    // floating bar is a window of its own and keeps its keys.
    if (!pWidget || pWidget != pFirst || pWidget->window() != this)
        return false;

    const auto* pKey = static_cast<QKeyEvent*>(pEvent);
    if (TriggerKeypadShortcut(pKey))
        return true;
    CVistrelApp* pApp = CVistrelApp::Get();
    if (pKey->key() == Qt::Key_Escape)
    {
        if (!IsImageWindowActive())
            return true;
        if (pApp->m_bPanning)
            pApp->StopPanning();
        if (pApp->m_bSlideshowRunning)
        {
            pApp->m_bSlideshowRunning = false;
            if (CChildFrame* pActive = pApp->GetActiveImageFrame())
                pActive->StopSlideshowTimer();
        }
        for (CMDIChildWnd* pFrame = NextChildFrame(); pFrame; pFrame = NextChildFrame())
            pFrame->hide();
        UpdateMenuForActiveChild();
        return false;
    }
    // Delete in a picture deletes that picture; the list deletes its own
    // selection (CFileListCtrl).
    if (pKey->key() == Qt::Key_Delete && pKey->modifiers() == Qt::NoModifier &&
        IsImageWindowActive() && MdiArea()->isAncestorOf(pWidget))
    {
        pApp->DeleteShownPicture();
        return false;
    }
    return false;
}

void CMainFrame::UpdateLockPanes()
{
    const std::optional<LockKeyState::Lights> lights = LockKeyState::Read();
    const bool on[] = {lights && lights->caps, lights && lights->num, lights && lights->scroll};
    for (int i = 0; i < m_lockPanes.size(); ++i)
        m_lockPanes[i]->setEnabled(on[i]);
}

bool CMainFrame::TriggerKeypadShortcut(const QKeyEvent* pKey)
{
    // On X11 the shortcut map drops the keypad modifier before matching, so
    // keypad shortcuts (Ctrl+Num *, Ctrl+Num /, Ctrl+Num +) never fire there
    // and their key press arrives here instead.
    if (!(pKey->modifiers() & Qt::KeypadModifier))
        return false;
    const QKeySequence pressed(pKey->keyCombination());
    for (QAction* action : actions())
        if (action->isEnabled() && action->shortcuts().contains(pressed))
        {
            action->trigger();
            return true;
        }
    return false;
}

CMDIChildWnd* CMainFrame::NextChildFrame()
{
    const QList<QMdiSubWindow*> frames = MdiArea()->subWindowList(QMdiArea::CreationOrder);
    qsizetype i = m_pChildCursor ? frames.indexOf(m_pChildCursor.data()) + 1 : 0;
    if (m_pChildCursor && i == 0)
        i = frames.size(); // the cursor's window has gone: the walk ends
    m_pChildCursor = nullptr;
    for (; i < frames.size(); ++i)
    {
        auto* pFrame = dynamic_cast<CMDIChildWnd*>(frames[i]);
        if (pFrame && !pFrame->IsDestroying())
        {
            m_pChildCursor = pFrame;
            return pFrame;
        }
    }
    return nullptr;
}

int CMainFrame::CountChildFrames()
{
    int n = 0;
    while (NextChildFrame())
        ++n;
    return n;
}

void CMainFrame::SetListDirectory(const QString& path)
{
    // The folder browsed: the list comes back to it when it gets the focus.
    if (CVistrelApp* pApp = CVistrelApp::Get())
        pApp->m_strBrowseDir = path;
    m_wndListBar->SetDirectory(path);
    // The folder tree shows where the list is, however the list got there.
    m_wndTreeBar->GetFolderTree()->FollowListFolder(path);
}

QString CMainFrame::PasteFolder() const
{
    CFolderTreeCtrl* pTree = m_wndTreeBar->GetFolderTree();
    const QWidget* pFocus = QApplication::focusWidget();
    if (pFocus && (pFocus == pTree || pTree->isAncestorOf(pFocus)))
        return pTree->GetItemPath(pTree->currentItem());
    return m_wndListBar->GetList()->GetDirectory();
}

void CMainFrame::ShowHiddenImageFrames()
{
    // Escape hides the image windows; arranging them brings them all back.
    for (CMDIChildWnd* pFrame : m_pWindowList->ListedFrames())
        if (pFrame->isHidden())
            pFrame->showNormal();
}

bool CMainFrame::IsImageWindowActive() const
{
    const CMDIChildWnd* pFrame = MDIGetActive();
    return pFrame && !pFrame->isHidden() && dynamic_cast<const CChildFrame*>(pFrame);
}

QString CMainFrame::GetPositionText() const
{
    CPLView* pView = GetActiveImageView();
    const CPLViewerDoc* pDoc = pView ? pView->GetDocument() : nullptr;
    int nIndex = 0, nCount = 0;
    if (!pDoc || !m_wndListBar->GetList()->GetPicturePosition(pDoc->GetPathName(), nIndex, nCount))
        return QString();
    const qint64 bytes = pDoc->GetFileSize();
    QString size;
    if (bytes >= 1024 * 1024)
        size = QStringLiteral("%1 MB").arg(bytes / (1024.0 * 1024.0), 0, 'f', 1);
    else if (bytes >= 0)
        size = QStringLiteral("%1 kB").arg((bytes + 1023) / 1024);
    return QStringLiteral(" %1 / %2; %3").arg(nIndex).arg(nCount).arg(size);
}

CPLView* CMainFrame::GetActiveImageView() const
{
    return IsImageWindowActive() ? dynamic_cast<CPLView*>(MDIGetActive()->GetActiveView())
                                 : nullptr;
}

void CMainFrame::SyncScroll(Qt::Orientation orientation, bool bForward)
{
    if (!IsImageWindowActive())
        return;
    for (CMDIChildWnd* pFrame = NextChildFrame(); pFrame; pFrame = NextChildFrame())
        if (auto* pChild = dynamic_cast<CChildFrame*>(pFrame))
            pChild->SyncScroll(orientation, bForward);
}

void CMainFrame::ToggleBar(CSizeControlBar* pBar)
{
    pBar->setVisible(!pBar->isVisible());
    pBar->repaint();
}

void CMainFrame::DockOrFloat(CSizeControlBar* pBar)
{
    if (pBar->isFloating())
        DockBar(pBar);
    else
        FloatBar(pBar);
}

void CMainFrame::ToggleAllowDocking(CSizeControlBar* pBar)
{
    pBar->EnableDocking(pBar->GetDockingStyle() != 0
                            ? 0u
                            : AfxId::CBRS_ALIGN_LEFT | AfxId::CBRS_ALIGN_RIGHT |
                                  AfxId::CBRS_ALIGN_BOTTOM);
}

QString CMainFrame::SectionOf(CSizeControlBar* pBar) const
{
    return pBar == m_wndTreeBar ? QStringLiteral("TreeBar") : QStringLiteral("ListBar");
}

int CMainFrame::ComputeDockSide(int left, int top, int width, int height)
{
    if (top >= height / 2 && left <= 40)
        return AfxId::AFX_IDW_DOCKBAR_BOTTOM;
    if (left > width / 2)
        return AfxId::AFX_IDW_DOCKBAR_RIGHT;
    return AfxId::AFX_IDW_DOCKBAR_LEFT;
}

int CMainFrame::ComputeDockSide(int left, int top) const
{
    return ComputeDockSide(left, top, width(), height());
}

void CMainFrame::FloatBar(CSizeControlBar* pBar)
{
    const QString section = SectionOf(pBar);
    const QRect rc(pBar->mapToGlobal(QPoint(0, 0)), pBar->size());
    Settings::WriteProfileInt(section, QStringLiteral("dock top"), rc.top());
    Settings::WriteProfileInt(section, QStringLiteral("dock bottom"), rc.top() + rc.height());
    Settings::WriteProfileInt(section, QStringLiteral("dock left"), rc.left());
    Settings::WriteProfileInt(section, QStringLiteral("dock right"), rc.left() + rc.width());
    const QSize size = pBar->CalcFixedLayout(false, false);
    Settings::WriteProfileInt(section, QStringLiteral("dock width"), size.width());
    Settings::WriteProfileInt(section, QStringLiteral("dock height"), size.height());
    Settings::WriteProfileInt(section, QStringLiteral("dock side"),
                              ComputeDockSide(rc.left(), rc.top()));

    const int x = Settings::GetProfileInt(section, QStringLiteral("float x"), 100);
    const int y = Settings::GetProfileInt(section, QStringLiteral("float y"), 100);
    FloatControlBar(pBar, QPoint(x, y), pBar->GetDockingStyle());
    pBar->repaint();
}

void CMainFrame::DockBar(CSizeControlBar* pBar)
{
    const QString section = SectionOf(pBar);
    const QPoint at = pBar->mapToGlobal(QPoint(0, 0));
    Settings::WriteProfileInt(section, QStringLiteral("float x"), at.x());
    Settings::WriteProfileInt(section, QStringLiteral("float y"), at.y());

    const int left = Settings::GetProfileInt(section, QStringLiteral("dock left"), 37);
    const int top = Settings::GetProfileInt(section, QStringLiteral("dock top"), 100);
    const int right = Settings::GetProfileInt(section, QStringLiteral("dock right"), 200);
    const int bottom = Settings::GetProfileInt(section, QStringLiteral("dock bottom"), 450);
    const int side = Settings::GetProfileInt(section, QStringLiteral("dock side"),
                                             pBar == m_wndTreeBar ? AfxId::AFX_IDW_DOCKBAR_LEFT
                                                                  : AfxId::AFX_IDW_DOCKBAR_BOTTOM);
    pBar->EnableDocking(AfxId::CBRS_ALIGN_ANY);
    const QRect rc(QPoint(left, top), QPoint(right - 1, bottom - 1));
    DockControlBar(pBar, side, &rc);
}

void CMainFrame::EnterFullScreen()
{
    CMDIChildWnd* pChild = MDIGetActive();
    if (!IsImageWindowActive())
        return;
    m_bToolBarWasVisible = m_wndToolBar->isVisible();
    m_bStatusBarWasVisible = statusBar()->isVisible();
    m_wndToolBar->hide();
    statusBar()->hide();

    m_pFullScreenToolBar = new QToolBar(QStringLiteral("Full Screen"), this);
    m_pFullScreenToolBar->setObjectName(QStringLiteral("FullScreenToolBar"));
    m_pFullScreenToolBar->setWindowFlags(Qt::Tool | Qt::FramelessWindowHint);
    m_pFullScreenToolBar->setIconSize(QSize(16, 16));
    Menus::PopulateToolBar(m_pFullScreenToolBar, Menus::ToolbarResource(IDR_FULLSCREEN),
                           [this](int nID) { return ActionOf(nID); });

    m_rcBeforeFullScreen = geometry();
    m_bWasMaximized = isMaximized();
    m_bChildWasMaximized = pChild->isMaximized();
    m_pFullScreenChild = pChild;
    showFullScreen();
    pChild->showMaximized();
    m_pFullScreenToolBar->move(300, 200);
    m_pFullScreenToolBar->show();
    m_bFullScreen = true;
}

void CMainFrame::LeaveFullScreen()
{
    delete m_pFullScreenToolBar;
    m_pFullScreenToolBar = nullptr;
    if (m_bToolBarWasVisible)
        m_wndToolBar->show();
    if (m_bStatusBarWasVisible)
        statusBar()->show();
    if (m_bWasMaximized)
    {
        showMaximized();
    }
    else
    {
        showNormal();
        setGeometry(m_rcBeforeFullScreen);
    }
    // The window that went full screen gets its state back even when Escape
    // has hidden it since (it then stays hidden).
    CMDIChildWnd* pChild = m_pFullScreenChild ? m_pFullScreenChild.data() : MDIGetActive();
    if (pChild && !pChild->IsDestroying())
    {
        const bool bHidden = pChild->isHidden();
        if (m_bChildWasMaximized)
            pChild->showMaximized();
        else
            pChild->showNormal();
        if (bHidden)
            pChild->hide();
    }
    m_pFullScreenChild = nullptr;
    m_bFullScreen = false;
}

void CMainFrame::dragEnterEvent(QDragEnterEvent* event)
{
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void CMainFrame::dropEvent(QDropEvent* event)
{
    for (const QUrl& url : event->mimeData()->urls())
        if (url.isLocalFile())
            CVistrelApp::Get()->OpenDocumentFile(url.toLocalFile());
    event->acceptProposedAction();
}
