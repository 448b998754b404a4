#pragma once
#include "MDIChildWnd.h"
#include "PictureLoader.h"
#include "SlideLoader.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <memory>

class CDrawDibBmp;
class CMDIChildWnd;
class ISlideHost;
struct CSlideshowState;

/// The slideshow: shows the pictures of the list bar (or its slideshow
/// selection) one at a time, each in a maximised image window that replaces
/// the last one when the timer of the slide's frame ticks.
///
/// The next picture is decoded ahead on a worker, so a slide change costs the
/// user-interface thread only the window swap. Each slide's delay counts from
/// the moment it is on screen: a tick that comes before the next picture is
/// ready makes it show as soon as it is. A file that cannot be decoded is a
/// miss: the show goes on with the next pick, the failure shows in the status
/// bar, and after as many failures in a row as the source has entries the
/// pick gives up until the next tick (at the start: "No images in this
/// directory.").
///
/// The shared state (running, paused, order, delay, timer) lives with the
/// host, where the frames read it; the pictures come from the host's
/// ISlideSource.
class CSlideshow : public QObject
{
    Q_OBJECT
public:
    explicit CSlideshow(ISlideHost& host);
    ~CSlideshow() override;

    void Start();
    /// A tick of the timer of the slide's frame.
    void NextSlide();
    void Stop();
    void Pause();
    void Resume();

    /// The frame of the slide on screen, or null.
    CMDIChildWnd* GetCurrentSlideFrame() const { return m_pCurrentSlideFrame; }
    /// The picture picked to come next (being decoded or ready), or empty.
    const QString& GetNextSlidePath() const { return m_strNextSlidePath; }

signals:
    /// A slide has come on screen: its frame is active and its delay begins.
    void SlideShown(const QString& path);

private:
    /// Picks the next picture and asks the loader for it; a retry after a
    /// failed decode goes on in list order, so that one sweep of the source
    /// finds any picture that can be shown. False when there is none to pick.
    bool RequestNext(bool bRetry);
    void OnLoaded(const std::shared_ptr<CSlideLoader::Slide>& slide,
                  const std::shared_ptr<CPictureLoader::Pass>& picture);
    void OnFailed(const CSlideLoader::Slide& slide);
    /// Shows the picture in a new slideshow frame and closes the last slide.
    void ShowSlide(const QString& path, std::shared_ptr<CPictureLoader::Pass> picture);
    /// Stops the timer of every image window.
    void StopTimers();
    /// Forgets the picture ahead and any decode under way.
    void Reset();
    void Message(const char* text);

    ISlideHost& m_host;
    CSlideshowState& m_state;
    QPointer<CMDIChildWnd> m_pCurrentSlideFrame;
    QString m_strNextSlidePath;
    std::shared_ptr<CPictureLoader::Pass> m_pNextSlide; // decoded and waiting for its tick
    unsigned m_nTicket = 0;                    // the decode waited for; 0 for none
    bool m_bFirst = false;                     // the first slide is not on screen yet
    bool m_bDue = false;                       // a tick came: show the next one when ready
    int m_nFailures = 0;                       // failed decodes in a row
    CSlideLoader m_loader;                     // last: its worker is joined before the rest goes
};
