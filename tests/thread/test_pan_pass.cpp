#include "LoopAutoScrollThread.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using Kind = CLoopAutoScrollThread::StepKind;

namespace
{
struct Move
{
    Kind kind;
    int pos;
    Clock::time_point at;
};

/// A view on a thread of its own that stands for the user-interface thread:
/// it carries out the worker's steps in order and records every move.
class FakeView
{
public:
    FakeView(int maxV, int maxH) : m_maxV(maxV), m_maxH(maxH)
    {
        m_ui = std::thread([this] { Loop(); });
    }
    ~FakeView()
    {
        {
            std::lock_guard lock(m_lock);
            m_bQuit = true;
        }
        m_wake.notify_all();
        m_ui.join();
    }

    CLoopAutoScrollThread::Dispatch Dispatch()
    {
        return [this](Kind kind, int pos, std::shared_ptr<CLoopAutoScrollThread::Reply> reply)
        {
            {
                std::lock_guard lock(m_lock);
                m_queue.push_back(
                    [=, this]
                    {
                        if (!reply->Begin())
                            return;
                        if (kind == Kind::Vertical)
                            m_v = std::clamp(pos, 0, m_maxV);
                        else if (kind == Kind::Horizontal)
                            m_h = std::clamp(pos, 0, m_maxH);
                        {
                            std::lock_guard record(m_lock);
                            if (kind == Kind::Read)
                                ++m_nReads;
                            else
                                m_moves.push_back({kind, pos, Clock::now()});
                        }
                        if (m_onMove)
                            m_onMove(*this);
                        reply->Finish({m_v, m_h, m_maxV, m_maxH});
                    });
            }
            m_wake.notify_all();
            return true;
        };
    }

    /// Runs on the fake user-interface thread and holds it (a slow step).
    void Stall(std::chrono::milliseconds time)
    {
        std::lock_guard lock(m_lock);
        m_queue.push_front([time] { std::this_thread::sleep_for(time); });
        m_wake.notify_all();
    }

    std::vector<Move> Moves()
    {
        std::lock_guard lock(m_lock);
        return m_moves;
    }
    int Reads()
    {
        std::lock_guard lock(m_lock);
        return m_nReads;
    }
    bool WaitForMoves(size_t n, std::chrono::milliseconds limit = 10s)
    {
        const auto end = Clock::now() + limit;
        while (Moves().size() < n && Clock::now() < end)
            std::this_thread::sleep_for(1ms);
        return Moves().size() >= n;
    }

    // Read and written on the fake user-interface thread only.
    int m_v = 0;
    int m_h = 0;
    int m_maxV;
    int m_maxH;
    std::function<void(FakeView&)> m_onMove;

private:
    void Loop()
    {
        std::unique_lock lock(m_lock);
        for (;;)
        {
            m_wake.wait(lock, [this] { return m_bQuit || !m_queue.empty(); });
            if (m_bQuit)
                return;
            auto task = std::move(m_queue.front());
            m_queue.pop_front();
            // Steps run without the lock, as on a real event loop.
            lock.unlock();
            task();
            lock.lock();
        }
    }

    std::mutex m_lock;
    std::condition_variable m_wake;
    std::deque<std::function<void()>> m_queue;
    std::vector<Move> m_moves;
    int m_nReads = 0;
    bool m_bQuit = false;
    std::thread m_ui;
};

/// A sweep: kind, first and last position.
struct Sweep
{
    Kind kind;
    int first;
    int last;
};
using Step = std::pair<Kind, int>;

/// The single steps the sweeps make, one position at a time.
std::vector<Step> StepsOf(const std::vector<Sweep>& sweeps)
{
    std::vector<Step> out;
    for (const Sweep& sweep : sweeps)
        for (int p = sweep.first;; p += sweep.last >= sweep.first ? 1 : -1)
        {
            out.emplace_back(sweep.kind, p);
            if (p == sweep.last)
                break;
        }
    return out;
}

/// The first moves made, as many as expected (all of them when fewer).
std::vector<Step> FirstSteps(const std::vector<Move>& moves, size_t n)
{
    std::vector<Step> out;
    for (size_t i = 0; i < moves.size() && i < n; ++i)
        out.emplace_back(moves[i].kind, moves[i].pos);
    return out;
}

double Ms(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}
} // namespace

TEST(PanPass, SweepsDownRightUpLeftEndingOneShortOfEachEdge)
{
    // A 2000 x 1500 picture in an 800 x 600 view; the second pass starts
    // where the first ended, at (1, 1).
    FakeView view(1500 - 600, 2000 - 800);
    CLoopAutoScrollThread worker;
    worker.SetDispatch(view.Dispatch());
    worker.SetPanDelay(0);
    worker.Start();
    const size_t firstPass = 899 + 1199 + 898 + 1198;
    ASSERT_TRUE(view.WaitForMoves(firstPass + 898));
    worker.RequestStop();
    int code = -1;
    ASSERT_TRUE(worker.Stop(code, -1));
    EXPECT_EQ(code, 0);

    const std::vector<Step> expected = StepsOf({{Kind::Vertical, 1, 899},
                                                {Kind::Horizontal, 1, 1199},
                                                {Kind::Vertical, 898, 1},
                                                {Kind::Horizontal, 1198, 1},
                                                {Kind::Vertical, 2, 899}});
    EXPECT_EQ(FirstSteps(view.Moves(), expected.size()), expected);
}

TEST(PanPass, PicturesThatFitOrStopFollowingAreHandled)
{
    struct Case
    {
        const char* name;
        int maxV, maxH;
        std::function<void(FakeView&)> onMove;
        std::vector<Sweep> expect;
    };
    const Case cases[] = {
        // Nothing to scroll: every pass is four pauses.
        {"fits", 0, 0, nullptr, {}},
        {"one pixel taller", 1, 0, nullptr, {}},
        // The view's range shrinks to 40 under the first sweep: the sweep
        // ends there and the pass goes on.
        {"range shrinks",
         100,
         3,
         [](FakeView& v)
         {
             if (v.m_v == 30)
                 v.m_maxV = 40;
         },
         {{Kind::Vertical, 1, 39},
          {Kind::Horizontal, 1, 2},
          {Kind::Vertical, 38, 1},
          {Kind::Horizontal, 1, 1}}},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        FakeView view(c.maxV, c.maxH);
        view.m_onMove = c.onMove;
        CLoopAutoScrollThread worker;
        worker.SetDispatch(view.Dispatch());
        worker.SetPanDelay(5);
        worker.Start();
        const auto start = Clock::now();
        // Four sweeps, each preceded by a read, make a pass.
        while (view.Reads() < 8 && Clock::now() - start < 10s)
            std::this_thread::sleep_for(1ms);
        worker.RequestStop();
        int code = -1;
        ASSERT_TRUE(worker.Stop(code, -1));
        EXPECT_GE(view.Reads(), 8);
        // A pass that has nothing to scroll makes no move at all.
        const std::vector<Step> expected = StepsOf(c.expect);
        EXPECT_EQ(FirstSteps(view.Moves(), expected.empty() ? SIZE_MAX : expected.size()),
                  expected);
    }
}

TEST(PanPass, StopIsPromptInAPauseAndWhileAStepIsPending)
{
    FakeView view(500, 500);
    CLoopAutoScrollThread worker;
    worker.SetDispatch(view.Dispatch());
    worker.SetPanDelay(60000);
    worker.Start();
    std::this_thread::sleep_for(20ms);
    auto start = Clock::now();
    int code = -1;
    ASSERT_TRUE(worker.Stop(code, 0)); // within the first 100 ms step
    EXPECT_LT(Ms(Clock::now() - start), 100.0);

    // The user-interface thread is busy with something else when the stop
    // comes: the worker does not wait for it, and the step it asked for is
    // skipped when it finally runs.
    worker.SetPanDelay(0);
    worker.Start();
    ASSERT_TRUE(view.WaitForMoves(10));
    view.Stall(300ms);
    std::this_thread::sleep_for(20ms);
    start = Clock::now();
    ASSERT_TRUE(worker.Stop(code, 0));
    EXPECT_LT(Ms(Clock::now() - start), 100.0);
    const size_t moves = view.Moves().size();
    std::this_thread::sleep_for(350ms);
    EXPECT_EQ(view.Moves().size(), moves);
}

TEST(PanPass, StepsArePacedAndNeverBurstAfterASlowStep)
{
    constexpr auto kInterval = 4ms;
    FakeView view(2000, 0);
    CLoopAutoScrollThread worker;
    worker.SetDispatch(view.Dispatch());
    worker.SetPanDelay(0);
    worker.SetStepInterval(kInterval);
    worker.Start();
    ASSERT_TRUE(view.WaitForMoves(10));
    view.Stall(50ms);
    ASSERT_TRUE(view.WaitForMoves(40));
    worker.RequestStop();
    int code = -1;
    ASSERT_TRUE(worker.Stop(code, -1));
    const std::vector<Move> moves = view.Moves();
    // No two moves within one interval, also after the stalled one (the
    // margin is for the fake thread's wake-up times).
    for (size_t i = 1; i < moves.size(); ++i)
        EXPECT_GE(Ms(moves[i].at - moves[i - 1].at), Ms(kInterval) / 2) << "move " << i;
}
