#pragma once
#include "Thread.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

/// The automatic-panning worker of an image view: pans the view down,
/// right, up and left in an endless loop, one device pixel a step, pausing
/// at each corner, until asked to stop.
///
/// The worker decides the steps and the pauses; each step is carried out by
/// the view on the user-interface thread (the dispatch), and the worker
/// waits for its answer. Every wait ends at once on a stop request, so the
/// user-interface thread never waits on the worker for longer than it takes
/// the worker to wake.
class CLoopAutoScrollThread : public CThread
{
public:
    /// The view's scroll positions and the largest positions allowed.
    struct Positions
    {
        int v = 0;
        int h = 0;
        int maxV = 0;
        int maxH = 0;
    };
    enum class StepKind
    {
        Read,       // report the positions only
        Vertical,   // scroll vertically to the position
        Horizontal, // scroll horizontally to the position
    };

    /// The answer to one step, shared by the worker and the user-interface
    /// thread: the worker may stop waiting and end before the step runs.
    class Reply
    {
    public:
        /// False when the worker no longer waits: skip the step.
        bool Begin();
        void Finish(const Positions& after);

    private:
        friend class CLoopAutoScrollThread;
        bool Wait(Positions& after);
        void Cancel();

        enum
        {
            Waiting,
            Running,
            Done,
            Cancelled
        } m_state = Waiting;
        Positions m_after;
        std::mutex m_lock;
        std::condition_variable m_done;
    };
    /// Hands a step to the user-interface thread, which calls Begin, carries
    /// the step out and calls Finish. False when it cannot be handed over.
    using Dispatch = std::function<bool(StepKind, int nPos, std::shared_ptr<Reply>)>;

    CLoopAutoScrollThread(int nUser1 = 0, int nUser2 = 0);
    ~CLoopAutoScrollThread() override;

    // Set before Start.
    void SetDispatch(Dispatch dispatch) { m_dispatch = std::move(dispatch); }
    /// The pause at each corner, milliseconds.
    void SetPanDelay(int nMs) { m_nPanDelay = nMs; }
    /// The shortest time between two steps (a screen frame); 0 for no pacing.
    void SetStepInterval(std::chrono::microseconds interval) { m_nStepUs = interval.count(); }

protected:
    /// Pans until a stop is requested; returns 0.
    int Run() override;
    void OnKilled() override {}
    void OnStopRequested() override;

private:
    /// One pass: pause, down, pause, right, pause, up, pause, left. False
    /// when a stop ended it or the view can no longer be reached.
    bool PanOnce();
    /// Steps from the current position to the target, one unit at a time;
    /// ends early when the view stops following (its range shrank).
    bool Sweep(StepKind kind, bool bForward);
    /// One paced step.
    bool Move(StepKind kind, int nPos, Positions& at);
    bool Ask(StepKind kind, int nPos, Positions& at);

    std::atomic<bool> m_bLoop{false};
    std::atomic<int> m_nPanDelay{1000};
    std::atomic<long long> m_nStepUs{0};
    Dispatch m_dispatch;
    std::chrono::steady_clock::time_point m_nextStep; // worker only
    std::mutex m_replyLock;
    std::shared_ptr<Reply> m_pReply; // the step being waited for
};
