#include "ChildFrame.h"

#include "AfxIds.h"
#include "PLView.h"
#include "Settings.h"
#include "VistrelApp.h"

#include <QTimer>
#include <QTimerEvent>

CChildFrame::CChildFrame() : m_bSlideshow(CVistrelApp::Get()->m_bSlideshowRunning) {}

void CChildFrame::ActivateFrame(int nCmdShow)
{
    if (m_bSlideshow)
    {
        CMDIChildWnd::ActivateFrame(SW_SHOWMAXIMIZED);
        return;
    }
    // The active image window's state, before this frame becomes active.
    CVistrelApp* pApp = CVistrelApp::Get();
    const int v = pApp->GetActiveImageFrame() == this ? GetShowCmd() : pApp->GetActiveImageShowCmd();
    // A window reopened at start-up takes its own stored placement, any
    // other the placement of the image window closed last.
    CWindowPlacement wp;
    if (CWindowPlacement::Parse(pApp->m_strPendingPlacement, wp))
    {
        if (wp.showCmd == SW_HIDE || wp.showCmd == SW_SHOWMINIMIZED)
            wp.showCmd = SW_SHOWNORMAL;
        SetWindowPlacement(wp);
    }
    else if (CWindowPlacement::Parse(Settings::GetProfileString(QStringLiteral("Settings"),
                                                                QStringLiteral("WWTypeWindowPos")),
                                     wp))
    {
        if (v == SW_SHOWMINIMIZED)
            wp.showCmd = SW_SHOWNORMAL;
        SetWindowPlacement(wp);
    }
    else
    {
        ShowWindow(v == SW_SHOWMINIMIZED ? SW_SHOWNORMAL : v);
    }
    CMDIChildWnd::ActivateFrame(nCmdShow);
}

int CChildFrame::StartSlideshowTimer(int nPeriod)
{
    m_bSlideshow = true;
    StopSlideshowTimer();
    // A coarse timer may be late by a twentieth of its period; a slide's time
    // on screen is meant to be the delay.
    m_nTimer = startTimer(nPeriod, Qt::PreciseTimer);
    return m_nTimer;
}

void CChildFrame::StopSlideshowTimer()
{
    if (m_nTimer)
        killTimer(m_nTimer);
    m_nTimer = 0;
}

void CChildFrame::timerEvent(QTimerEvent* event)
{
    if (event->timerId() != m_nTimer)
    {
        CMDIChildWnd::timerEvent(event);
        return;
    }
    if (m_bSlideshow)
        CVistrelApp::Get()->NextSlide();
}

void CChildFrame::SyncScroll(Qt::Orientation orientation, bool bForward)
{
    if (auto* pView = dynamic_cast<CPLView*>(GetActiveView()))
        pView->ScrollLine(orientation, bForward);
}

void CChildFrame::showEvent(QShowEvent* event)
{
    CMDIChildWnd::showEvent(event);
    m_bWasShown = true;
}

void CChildFrame::OnDestroy()
{
    StopSlideshowTimer();
    if (auto* pView = dynamic_cast<CPLView*>(GetActiveView()))
        pView->StopAutoScroll();
    // A frame that never showed (a failed open) has no placement worth
    // keeping and must not replace the last window's.
    if (!m_bWasShown || property("failedOpen").toBool())
    {
        // Panning that moved to a window whose picture failed goes back to
        // the window that is active after it.
        CVistrelApp* pApp = CVistrelApp::Get();
        if (property("failedOpen").toBool() && pApp->m_bPanning)
            QTimer::singleShot(0, pApp, [pApp] { pApp->RestartPanning(); });
        return;
    }
    CWindowPlacement wp = GetWindowPlacement();
    wp.flags = isMaximized() ? 2 : 0;
    Settings::WriteProfileString(QStringLiteral("Settings"), QStringLiteral("WWTypeWindowPos"),
                                 wp.Format());
}
