#pragma once
#include "MDIFrameWnd.h"

#include <QPointer>
#include <QRect>

class CChildFrame;
class CListBar;
class CMDIWindowList;
class CPLView;
class CSizeControlBar;
class CTreeBar;
class QKeyEvent;
class QLabel;
class QMenu;
class QToolBar;

/// The main frame: client area of image windows, main toolbar, status bar,
/// the tree bar and the list bar, full screen, and key routing.
class CMainFrame : public CMDIFrameWnd
{
    Q_OBJECT
public:
    CMainFrame();
    ~CMainFrame() override;

    /// Builds the frame from resource 128; false when a step failed.
    bool LoadFrame(int nIDResource);
    /// Shows the frame with the stored "WindowPos", or with the show command.
    void InitialShowWindow(int nCmdShow);

    /// Escape and Delete before normal dispatch; true consumes the event.
    bool PreTranslateMessage(QObject* pTarget, QEvent* pEvent);

    /// The next child frame of the client area, or null (the walk then starts again).
    CMDIChildWnd* NextChildFrame();
    int CountChildFrames();
    void SetListDirectory(const QString& path);

    CTreeBar* GetTreeBar() const { return m_wndTreeBar; }
    CListBar* GetListBar() const { return m_wndListBar; }
    QToolBar* GetToolBar() const { return m_wndToolBar; }
    QToolBar* GetFullScreenToolBar() const { return m_pFullScreenToolBar; }

    void ToggleBar(CSizeControlBar* pBar);
    void DockOrFloat(CSizeControlBar* pBar);
    void ToggleAllowDocking(CSizeControlBar* pBar);
    /// Saves the docked place and floats the bar at its stored floating place.
    void FloatBar(CSizeControlBar* pBar);
    /// Saves the floating place and docks the bar at its stored docked place.
    void DockBar(CSizeControlBar* pBar);
    /// The dock side for a bar whose window starts at (left, top).
    int ComputeDockSide(int left, int top) const;
    static int ComputeDockSide(int left, int top, int width, int height);

    /// The frame has accepted its close: the program is ending.
    bool IsClosed() const { return m_bClosed; }
    bool IsFullScreen() const { return m_bFullScreen; }
    void EnterFullScreen();
    void LeaveFullScreen();

    /// Whether the active child frame is a visible image frame.
    bool IsImageWindowActive() const;
    CPLView* GetActiveImageView() const;
    /// " 5 / 10; 2.4 MB": the active picture's place among the list's
    /// pictures and its file's size, or empty when it is not in the list.
    QString GetPositionText() const;
    void SyncScroll(Qt::Orientation orientation, bool bForward);
    /// The image windows listed at the foot of the Window menu.
    CMDIWindowList* GetWindowList() const { return m_pWindowList; }
    /// Shows every image window that Escape has hidden.
    void ShowHiddenImageFrames();

protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void createActions();
    void createMenus();
    void createToolBars();
    void createStatusBar();
    void createDockBars();
    void registerCommands();
    void registerListCommands();
    void UpdateMenuForActiveChild();
    /// Where Paste puts files: the folder tree's folder while it has the
    /// focus, else the list's folder.
    QString PasteFolder() const;
    void OnAppExit();
    /// Runs the enabled command whose keypad shortcut the key is; true when one ran.
    bool TriggerKeypadShortcut(const QKeyEvent* pKey);
    /// Lights the CAP, NUM and SCRL panes as the keyboard's lights are.
    void UpdateLockPanes();
    QString SectionOf(CSizeControlBar* pBar) const;
    QAction* ActionOf(int nID) const;

    bool m_bFullScreen = false;
    bool m_bStatusBarWasVisible = false;
    bool m_bToolBarWasVisible = false;
    QRect m_rcBeforeFullScreen;
    bool m_bWasMaximized = false;
    QToolBar* m_pFullScreenToolBar = nullptr;
    bool m_bChildWasMaximized = false;
    QPointer<CMDIChildWnd> m_pFullScreenChild;
    QPointer<CMDIChildWnd> m_pChildCursor;
    bool m_bExitCommand = false;
    bool m_bClosed = false;
    QLabel* m_pImageInfoPane = nullptr;
    QLabel* m_pZoomPane = nullptr;
    QLabel* m_pPositionPane = nullptr;
    QList<QLabel*> m_lockPanes;
    CListBar* m_wndListBar = nullptr;
    CTreeBar* m_wndTreeBar = nullptr;
    QToolBar* m_wndToolBar = nullptr;
    CMDIWindowList* m_pWindowList = nullptr;
    QList<QMenu*> m_mainMenus;
    QList<QMenu*> m_imageMenus;
    bool m_bImageMenuShown = false;
};
