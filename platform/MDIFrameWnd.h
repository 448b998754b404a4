#pragma once
#include "CmdTarget.h"
#include "WindowPlacement.h"

#include <QMainWindow>
#include <QPointer>

class CMDIChildWnd;
class CSizeControlBar;
class QMdiArea;
class QMdiSubWindow;

/// The main frame: a main window whose client area holds child frames,
/// with bars that dock on its sides or float.
class CMDIFrameWnd : public QMainWindow, public CCmdTarget
{
    Q_OBJECT
public:
    CMDIFrameWnd();
    ~CMDIFrameWnd() override;

    QMdiArea* MdiArea() const { return m_pMdiArea; }
    /// The active child frame (kept while the program is in the background).
    CMDIChildWnd* MDIGetActive() const;
    void MDIActivate(CMDIChildWnd* pFrame);
    /// Activates the child frame after the active one.
    void MDINext();
    /// Puts a new, hidden frame into the client area at the next cascade place.
    void AddChildFrame(CMDIChildWnd* pFrame);
    /// Child frames from the top of the window order down: a frame goes to
    /// the top when it is created and when it is activated.
    QList<CMDIChildWnd*> ChildFramesInZOrder() const;
    void MDICascade();
    /// Horizontal: frames above one another, full width; else side by side.
    void MDITile(bool bHorizontal);
    void MDIIconArrange();

    /// The normal rectangle is the outer one, window manager's frame included.
    CWindowPlacement GetWindowPlacement() const;
    void SetWindowPlacement(const CWindowPlacement& wp);
    /// Places the outer frame (title bar included) at the rectangle, on a
    /// visible screen.
    void SetFrameRect(const QRect& rcOuter);

    // Docking.
    void EnableDocking(unsigned dwDockStyle);
    /// Docks the bar on a dock side (59420 left, 59421 right, 59422 bottom),
    /// sized from the rectangle (screen coordinates) when one is given.
    void DockControlBar(CSizeControlBar* pBar, int nDockBarID, const QRect* pRect = nullptr);
    void FloatControlBar(CSizeControlBar* pBar, const QPoint& point, unsigned dwStyle);
    /// The places and sizes of all bars, stored under the section name.
    void SaveSizeBarState(const QString& name);
    void LoadSizeBarState(const QString& name);
    /// Whether LoadSizeBarState has run: a state saved before it would
    /// overwrite the stored one with the defaults.
    bool IsBarStateLoaded() const { return m_bBarStateLoaded; }
    static Qt::DockWidgetArea AreaOfDockSide(int nDockBarID);

signals:
    void ActiveChildChanged();

protected:
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    bool m_bBarStateLoaded = false;
    void RememberNormal();
    QMargins FrameMargins() const;
    void ApplyPendingFrameRect();

    QMdiArea* m_pMdiArea;
    QList<QPointer<CMDIChildWnd>> m_zOrder;
    QRect m_rcNormal;  // outer rectangle in the normal state
    QRect m_rcPending; // outer rectangle set before the frame's size was known
    int m_nCascade = 0;
};
