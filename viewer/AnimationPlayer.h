#pragma once
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class CAnimation;
class CDrawDibBmp;

/// Plays an animated picture (GIF, PNG, WebP, JPEG XL) in an image window.
///
/// A worker thread opens the file and composes each frame when it is asked
/// to, one frame ahead of the frame on screen; the receiver gets each frame
/// when its time comes and gives back the one it showed before, whose
/// storage the worker reuses. So at most two composed frames exist besides
/// the animation's own canvas, however long the animation is. Frames show
/// for their delay (at least CAnimation::kMinDelay) and the animation plays
/// as often as its loop count says, then stays on its last frame.
/// Paused, the frames step forward and back by hand, wrapping round.
/// A file that holds one picture, or that cannot be opened as an animation,
/// plays nothing: the still picture stays as the document decoded it.
class CAnimationPlayer : public QObject
{
    Q_OBJECT
public:
    struct Frame
    {
        std::unique_ptr<CDrawDibBmp> pBmp;     // the composed picture, 32 bits with alpha
        std::unique_ptr<CDrawDibBmp> pDisplay; // converted to the display's profile, or null
        int nIndex = 0;                        // within the animation, from 0
        int nDelay = 0;                        // how long it shows, in milliseconds
    };
    /// Shows the frame and hands back the one shown before (or an empty one).
    using Receiver = std::function<Frame(Frame)>;

    explicit CAnimationPlayer(Receiver receiver);
    ~CAnimationPlayer() override;

    /// Opens the file (a path in file-system bytes) on the worker and, when
    /// it is an animation, plays it from its first frame.
    void Start(const std::string& path);
    /// Stops playing, joins the worker and forgets the animation.
    void Stop();

    /// Whether the file turned out to be an animation of several frames.
    bool IsAnimation() const { return m_bAnimation; }
    bool IsPlaying() const { return m_bAnimation && m_bPlaying && !m_bEnded; }
    /// Play or pause; playing after the last play starts again at the first frame.
    void SetPlaying(bool bPlay);
    /// While paused: the frame after the one on screen (the first after the last).
    void StepForward();
    /// While paused: the frame before (the last before the first).
    void StepBack();
    /// The index of the frame on screen, -1 before the first.
    int GetFrameIndex() const { return m_nShown; }

private:
    enum class Ask
    {
        kNone,
        kPlay, // the next frame, honouring the loop count
        kStep, // the next frame, wrapping round
        kSeek, // frame m_nSeekTo (-1: the last)
    };
    struct Shared; // the worker's side

    void Request(Ask ask, int nSeekTo = 0);
    void OnOpened(bool bAnimation);
    /// A frame the worker composed for request nSerial, or the end of the plays.
    void OnComposed(const std::shared_ptr<Frame>& frame, bool bEnded, unsigned nSerial);
    /// Puts the frame on screen.
    void Show(Frame frame);
    /// Puts the frame on screen for its delay and asks for the one after.
    void ShowPlaying(Frame frame);
    /// Drops the frame composed ahead and shows frame nIndex (-1: the last) when it comes.
    void SeekAndShow(int nIndex);
    /// Gives a frame's storage to the worker for a later frame.
    void Recycle(Frame frame);
    void OnTimer();
    static void Work(const std::shared_ptr<Shared>& shared, CAnimationPlayer* player,
                     std::string path);

    Receiver m_receiver;
    std::shared_ptr<Shared> m_pShared;
    std::thread m_worker;
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_nDue = 0;          // when the frame on screen has had its time, on m_clock
    bool m_bAnimation = false;
    bool m_bPlaying = true;
    bool m_bEnded = false;      // the last play is over
    bool m_bAsked = false;      // a frame is being composed
    bool m_bShowOnArrival = false; // the frame asked for goes on screen when it comes
    bool m_bDueNow = false;     // the frame on screen has had its time
    unsigned m_nSerial = 0;     // of the latest request
    int m_nShown = -1;
    int m_nShownDelay = 0;
    std::unique_ptr<Frame> m_pReady; // composed ahead
};
