#include "MDIChildWnd.h"

#include "AfxIds.h"
#include "Document.h"
#include "View.h"

#include <QCloseEvent>
#include <QMdiArea>

CMDIChildWnd::CMDIChildWnd()
{
    setAttribute(Qt::WA_DeleteOnClose, false);
}

CMDIChildWnd::~CMDIChildWnd()
{
    if (CDocument* pDoc = GetActiveDocument(); pDoc && m_pView)
        pDoc->RemoveView(m_pView);
}

void CMDIChildWnd::ActivateFrame(int nCmdShow)
{
    if (nCmdShow == -1)
    {
        nCmdShow = SW_SHOW;
        if (!isVisible())
            nCmdShow = SW_SHOWNORMAL;
        else if (isMinimized())
            nCmdShow = SW_RESTORE;
        QMdiSubWindow* pActive = mdiArea() ? mdiArea()->currentSubWindow() : nullptr;
        if (pActive && pActive != this && pActive->isMaximized())
            nCmdShow = SW_SHOWMAXIMIZED;
    }
    ShowWindow(nCmdShow);
    if (nCmdShow != SW_HIDE && mdiArea())
        mdiArea()->setActiveSubWindow(this);
}

void CMDIChildWnd::ShowWindow(int nCmdShow)
{
    ShowWithCmd(this, nCmdShow);
}

int CMDIChildWnd::GetShowCmd() const
{
    return ShowCmdOf(this);
}

void CMDIChildWnd::SetActiveView(CView* pView)
{
    m_pView = pView;
}

CDocument* CMDIChildWnd::GetActiveDocument() const
{
    return m_pView ? m_pView->GetDocument() : nullptr;
}

CWindowPlacement CMDIChildWnd::GetWindowPlacement() const
{
    CWindowPlacement wp;
    const int cmd = GetShowCmd();
    wp.showCmd = unsigned(cmd == SW_HIDE ? SW_SHOWNORMAL : cmd);
    wp.ptMinPosition = QPoint(-1, -1);
    wp.ptMaxPosition = QPoint(-1, -1);
    wp.SetNormalRect(m_rcNormal.isValid() ? m_rcNormal : geometry());
    return wp;
}

void CMDIChildWnd::SetWindowPlacement(const CWindowPlacement& wp)
{
    const QRect rc = wp.NormalRect();
    if (rc.width() > 0 && rc.height() > 0)
    {
        if (isMaximized() || isMinimized())
            showNormal();
        setGeometry(rc);
        m_rcNormal = rc;
    }
    if (wp.showCmd != SW_HIDE)
        ShowWindow(int(wp.showCmd));
}

void CMDIChildWnd::DestroyWindow()
{
    if (m_bDestroying)
        return;
    m_bDestroying = true;
    OnDestroy();
    if (CDocument* pDoc = GetActiveDocument(); pDoc && m_pView)
        pDoc->RemoveView(m_pView);
    hide();
    if (QMdiArea* pArea = mdiArea())
        pArea->removeSubWindow(this);
    deleteLater();
}

void CMDIChildWnd::closeEvent(QCloseEvent* event)
{
    event->ignore();
    if (m_bDestroying)
        return;
    CDocument* pDoc = GetActiveDocument();
    if (!pDoc)
    {
        DestroyWindow();
        return;
    }
    // The last frame of a document closes the document.
    bool bLastFrame = true;
    for (CView* pView : pDoc->GetViews())
        bLastFrame = bLastFrame && pView->GetParentFrame() == this;
    if (!bLastFrame)
    {
        DestroyWindow();
        return;
    }
    if (pDoc->SaveModified())
        pDoc->OnCloseDocument();
}

void CMDIChildWnd::RememberNormal()
{
    if (!isMaximized() && !isMinimized())
        m_rcNormal = geometry();
}

void CMDIChildWnd::moveEvent(QMoveEvent* event)
{
    QMdiSubWindow::moveEvent(event);
    RememberNormal();
}

void CMDIChildWnd::resizeEvent(QResizeEvent* event)
{
    QMdiSubWindow::resizeEvent(event);
    RememberNormal();
}
