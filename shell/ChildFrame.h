#pragma once
#include "MDIChildWnd.h"

/// The frame of an image window. New image windows open where the last one
/// was closed ("WWTypeWindowPos"); slideshow frames show maximised and step
/// the slideshow on their timer.
class CChildFrame : public CMDIChildWnd
{
    Q_OBJECT
public:
    CChildFrame();

    void ActivateFrame(int nCmdShow = -1) override;
    /// Marks the frame as a slideshow frame and starts its timer (milliseconds).
    int StartSlideshowTimer(int nPeriod);
    void StopSlideshowTimer();
    /// Scrolls the frame's view by one line.
    void SyncScroll(Qt::Orientation orientation, bool bForward);

    bool m_bSlideshow;

protected:
    void OnDestroy() override;
    void timerEvent(QTimerEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    int m_nTimer = 0;
    bool m_bWasShown = false;
};
