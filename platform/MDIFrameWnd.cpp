#include "MDIFrameWnd.h"

#include "AfxIds.h"
#include "MDIChildWnd.h"
#include "Settings.h"
#include "SizeControlBar.h"

#include <QEvent>
#include <QGuiApplication>
#include <QMdiArea>
#include <QScreen>

#include <algorithm>

CMDIFrameWnd::CMDIFrameWnd() : m_pMdiArea(new QMdiArea(this))
{
    m_pMdiArea->setObjectName(QStringLiteral("MdiClient"));
    setCentralWidget(m_pMdiArea);
    connect(m_pMdiArea, &QMdiArea::subWindowActivated, this, [this](QMdiSubWindow* pWindow) {
        if (auto* pFrame = dynamic_cast<CMDIChildWnd*>(pWindow))
        {
            m_zOrder.removeAll(pFrame);
            m_zOrder.prepend(pFrame);
        }
        emit ActiveChildChanged();
    });
}

CMDIFrameWnd::~CMDIFrameWnd() = default;

CMDIChildWnd* CMDIFrameWnd::MDIGetActive() const
{
    auto* pFrame = dynamic_cast<CMDIChildWnd*>(m_pMdiArea->currentSubWindow());
    return pFrame && !pFrame->IsDestroying() ? pFrame : nullptr;
}

void CMDIFrameWnd::MDIActivate(CMDIChildWnd* pFrame)
{
    m_pMdiArea->setActiveSubWindow(pFrame);
}

void CMDIFrameWnd::MDINext()
{
    m_pMdiArea->activateNextSubWindow();
}

QList<CMDIChildWnd*> CMDIFrameWnd::ChildFramesInZOrder() const
{
    QList<CMDIChildWnd*> frames;
    for (const QPointer<CMDIChildWnd>& pFrame : m_zOrder)
        if (pFrame && !pFrame->IsDestroying())
            frames.append(pFrame.data());
    return frames;
}

void CMDIFrameWnd::AddChildFrame(CMDIChildWnd* pFrame)
{
    m_zOrder.removeAll(nullptr);
    m_zOrder.prepend(pFrame);
    m_pMdiArea->addSubWindow(pFrame);
    pFrame->hide();
    const QSize area = m_pMdiArea->viewport()->size();
    const int step = 24;
    const int places = std::max(1, std::min(area.width(), area.height()) / 4 / step);
    const int offset = (m_nCascade++ % places) * step;
    pFrame->setGeometry(offset, offset, std::max(160, area.width() * 3 / 4),
                        std::max(120, area.height() * 3 / 4));
}

void CMDIFrameWnd::MDICascade()
{
    m_pMdiArea->cascadeSubWindows();
}

void CMDIFrameWnd::MDITile(bool bHorizontal)
{
    QList<QMdiSubWindow*> frames;
    for (QMdiSubWindow* w : m_pMdiArea->subWindowList(QMdiArea::CreationOrder))
        if (w->isVisible() && !w->isMinimized())
            frames.append(w);
    if (frames.isEmpty())
        return;
    const QRect area = m_pMdiArea->viewport()->rect();
    const int n = int(frames.size());
    for (int i = 0; i < n; ++i)
    {
        QMdiSubWindow* w = frames[i];
        if (w->isMaximized())
            w->showNormal();
        if (bHorizontal)
        {
            const int top = area.height() * i / n, bottom = area.height() * (i + 1) / n;
            w->setGeometry(0, top, area.width(), bottom - top);
        }
        else
        {
            const int left = area.width() * i / n, right = area.width() * (i + 1) / n;
            w->setGeometry(left, 0, right - left, area.height());
        }
    }
}

void CMDIFrameWnd::MDIIconArrange()
{
    int x = 0;
    const int y = m_pMdiArea->viewport()->height();
    for (QMdiSubWindow* w : m_pMdiArea->subWindowList(QMdiArea::CreationOrder))
    {
        if (!w->isMinimized())
            continue;
        w->move(x, y - w->height());
        x += w->width();
    }
}

CWindowPlacement CMDIFrameWnd::GetWindowPlacement() const
{
    CWindowPlacement wp;
    const int cmd = ShowCmdOf(this);
    wp.showCmd = unsigned(cmd == SW_HIDE ? SW_SHOWNORMAL : cmd);
    wp.ptMinPosition = QPoint(-1, -1);
    wp.ptMaxPosition = QPoint(-1, -1);
    // The normal rectangle is the outer one, window manager's frame included.
    QRect rc = m_rcPending.isValid() ? m_rcPending : m_rcNormal;
    if (!rc.isValid())
        rc = frameGeometry();
    wp.SetNormalRect(rc);
    return wp;
}

void CMDIFrameWnd::SetWindowPlacement(const CWindowPlacement& wp)
{
    const QRect rc = wp.NormalRect();
    if (rc.width() > 0 && rc.height() > 0)
        SetFrameRect(rc);
}

void CMDIFrameWnd::SetFrameRect(const QRect& rcOuter)
{
    QRect rc = rcOuter;
    // A window whose title bar is on no screen (a monitor since removed)
    // comes onto the primary screen, inside its work area.
    const QRect strip(rc.left(), rc.top(), rc.width(), 24);
    bool bVisible = false;
    for (const QScreen* pScreen : QGuiApplication::screens())
    {
        const QRect common = pScreen->availableGeometry() & strip;
        bVisible = bVisible || (common.width() >= std::min(100, rc.width()) && !common.isEmpty());
    }
    if (!bVisible && QGuiApplication::primaryScreen())
    {
        const QRect work = QGuiApplication::primaryScreen()->availableGeometry();
        rc.setSize(rc.size().boundedTo(work.size()));
        rc.moveTopLeft(QPoint(std::clamp(rc.left(), work.left(), work.right() - rc.width() + 1),
                              std::clamp(rc.top(), work.top(), work.bottom() - rc.height() + 1)));
    }
    // move() places the outer frame; the size is the inner one, known only
    // once the window manager has framed the window: until then it is
    // corrected on every move and resize (ApplyPendingFrameRect).
    m_rcPending = rc;
    m_rcNormal = rc;
    const QMargins margins = FrameMargins();
    move(rc.topLeft());
    resize(rc.size().shrunkBy(margins).expandedTo(QSize(1, 1)));
    if (!margins.isNull())
        m_rcPending = QRect();
}

QMargins CMDIFrameWnd::FrameMargins() const
{
    const QRect outer = frameGeometry(), inner = geometry();
    return QMargins(inner.left() - outer.left(), inner.top() - outer.top(),
                    outer.right() - inner.right(), outer.bottom() - inner.bottom());
}

void CMDIFrameWnd::ApplyPendingFrameRect()
{
    if (!m_rcPending.isValid() || !isVisible() || isMaximized() || isMinimized() || isFullScreen())
        return;
    const QMargins margins = FrameMargins();
    if (margins.isNull())
        return;
    const QRect rc = m_rcPending;
    m_rcPending = QRect();
    resize(rc.size().shrunkBy(margins).expandedTo(QSize(1, 1)));
    move(rc.topLeft());
}

void CMDIFrameWnd::EnableDocking(unsigned dwDockStyle)
{
    setDockOptions(QMainWindow::AnimatedDocks | QMainWindow::AllowNestedDocks |
                   QMainWindow::AllowTabbedDocks);
    setCorner(Qt::BottomLeftCorner, (dwDockStyle & AfxId::CBRS_ALIGN_LEFT)
                                        ? Qt::LeftDockWidgetArea
                                        : Qt::BottomDockWidgetArea);
}

Qt::DockWidgetArea CMDIFrameWnd::AreaOfDockSide(int nDockBarID)
{
    switch (nDockBarID)
    {
    case AfxId::AFX_IDW_DOCKBAR_RIGHT:
        return Qt::RightDockWidgetArea;
    case AfxId::AFX_IDW_DOCKBAR_BOTTOM:
        return Qt::BottomDockWidgetArea;
    case AfxId::AFX_IDW_DOCKBAR_LEFT:
        return Qt::LeftDockWidgetArea;
    default:
        return Qt::TopDockWidgetArea;
    }
}

void CMDIFrameWnd::DockControlBar(CSizeControlBar* pBar, int nDockBarID, const QRect* pRect)
{
    const Qt::DockWidgetArea area = AreaOfDockSide(nDockBarID);
    // A floating bar keeps its place in the side it left: docking it back
    // there puts it where it was, beside its neighbours, not after them.
    const bool bBackHome = pBar->isFloating() && dockWidgetArea(pBar) == area;
    if (pBar->isFloating())
        pBar->setFloating(false);
    if (!bBackHome)
        addDockWidget(area, pBar);
    pBar->show();
    if (pRect && pRect->width() > 0 && pRect->height() > 0)
    {
        const bool vertical = area == Qt::LeftDockWidgetArea || area == Qt::RightDockWidgetArea;
        resizeDocks({pBar}, {vertical ? pRect->width() : pRect->height()},
                    vertical ? Qt::Horizontal : Qt::Vertical);
    }
}

void CMDIFrameWnd::FloatControlBar(CSizeControlBar* pBar, const QPoint& point, unsigned)
{
    if (dockWidgetArea(pBar) == Qt::NoDockWidgetArea)
        addDockWidget(Qt::LeftDockWidgetArea, pBar);
    pBar->setFloating(true);
    pBar->move(point);
    pBar->show();
}

void CMDIFrameWnd::SaveSizeBarState(const QString& name)
{
    Settings::WriteProfileBinary(name, QStringLiteral("State"), saveState());
}

void CMDIFrameWnd::LoadSizeBarState(const QString& name)
{
    m_bBarStateLoaded = true;
    const QByteArray state = Settings::GetProfileBinary(name, QStringLiteral("State"));
    if (!state.isEmpty())
        restoreState(state);
}

void CMDIFrameWnd::RememberNormal()
{
    ApplyPendingFrameRect();
    if (!m_rcPending.isValid() && !isMaximized() && !isMinimized() && !isFullScreen())
        m_rcNormal = frameGeometry();
}

void CMDIFrameWnd::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::ActivationChange)
        emit ActiveChildChanged();
    if (event->type() == QEvent::WindowStateChange)
        RememberNormal();
}

void CMDIFrameWnd::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    RememberNormal();
}

void CMDIFrameWnd::moveEvent(QMoveEvent* event)
{
    QMainWindow::moveEvent(event);
    RememberNormal();
}

void CMDIFrameWnd::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    RememberNormal();
}
