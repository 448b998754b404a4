#include "Thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <climits>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace
{
/// A thread whose work is a function of its own.
class CTestThread : public CThread
{
public:
    explicit CTestThread(std::function<int(CTestThread&)> work) : m_work(std::move(work)) {}
    ~CTestThread() override { Kill(0, true); }

    using CThread::IsStopRequested;
    using CThread::Sleep;
    int m_nKilled = 0;

protected:
    int Run() override { return m_work(*this); }
    void OnKilled() override { ++m_nKilled; }

private:
    std::function<int(CTestThread&)> m_work;
};

int Code(CThread& thread)
{
    try
    {
        thread.Start();
    }
    catch (const CThreadException& e)
    {
        EXPECT_EQ(e.GetThread(), &thread);
        return e.GetCode();
    }
    return 0;
}

double MsSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}
} // namespace

TEST(Thread, StartingARunningThreadRaisesCode2AndTheRunningOneGoesOn)
{
    CTestThread thread(
        [](CTestThread& self)
        {
            while (self.Sleep(1000))
            {
            }
            return 42;
        });
    EXPECT_EQ(thread.GetExitCode(), -2);
    EXPECT_EQ(thread.GetState(), 1);
    EXPECT_EQ(thread.GetPriority(), INT_MAX);
    EXPECT_FALSE(thread.SetPriority(0));

    thread.Start();
    EXPECT_TRUE(thread.IsAlive());
    EXPECT_EQ(thread.GetExitCode(), CThread::kStillActive);
    EXPECT_EQ(thread.GetState(), 0);
    EXPECT_NE(thread.GetThreadId(), 0u);
    try
    {
        thread.Start();
        ADD_FAILURE() << "a second start succeeded";
    }
    catch (const CThreadException& e)
    {
        EXPECT_EQ(e.GetCode(), 2);
        EXPECT_EQ(e.GetText(), "Thread is already started!");
    }
    EXPECT_TRUE(thread.IsAlive());

    // Lowering is always allowed; the level reads back.
    EXPECT_TRUE(thread.SetPriority(-1));
    EXPECT_EQ(thread.GetPriority(), -1);

    int code = 0;
    EXPECT_TRUE(thread.Stop(code, -1));
    EXPECT_EQ(code, 42);
    EXPECT_FALSE(thread.IsAlive());
    EXPECT_EQ(thread.GetState(), 1);
    EXPECT_EQ(thread.GetThreadId(), 0u);

    // An ended thread starts again.
    EXPECT_EQ(Code(thread), 0);
    EXPECT_TRUE(thread.IsAlive());
}

TEST(Thread, StopWaitsAtMostItsCountOf100MsSteps)
{
    // This work ignores the stop until the test lets it go.
    std::atomic<bool> release{false};
    CTestThread stubborn(
        [&](CTestThread&)
        {
            while (!release)
                std::this_thread::sleep_for(1ms);
            return 7;
        });
    stubborn.Start();
    int code = -1;
    auto start = Clock::now();
    EXPECT_FALSE(stubborn.Stop(code, 1));
    EXPECT_GE(MsSince(start), 190.0);
    EXPECT_EQ(code, -1);
    EXPECT_TRUE(stubborn.IsAlive());
    release = true;
    EXPECT_TRUE(stubborn.Stop(code, -1));
    EXPECT_EQ(code, 7);

    // Work that checks the flag ends at once, not at the end of its sleep
    // nor at the end of a 100 ms step.
    CTestThread willing(
        [](CTestThread& self)
        {
            while (self.Sleep(10000))
            {
            }
            return self.IsStopRequested() ? 3 : 0;
        });
    willing.Start();
    start = Clock::now();
    EXPECT_TRUE(willing.Stop(code, 0));
    EXPECT_LT(MsSince(start), 100.0);
    EXPECT_EQ(code, 3);
}

TEST(Thread, KillJoinsAndStoresTheGivenCodeWhenQuiet)
{
    CTestThread thread(
        [](CTestThread& self)
        {
            while (self.Sleep(10000))
            {
            }
            return 5;
        });
    thread.Kill(9, false); // never started: only the code is stored
    EXPECT_EQ(thread.GetExitCode(), 9);
    EXPECT_EQ(thread.m_nKilled, 0);

    thread.Start();
    thread.Kill(0, false);
    EXPECT_FALSE(thread.IsAlive());
    EXPECT_EQ(thread.GetExitCode(), 5);
    EXPECT_EQ(thread.m_nKilled, 1);

    thread.Start();
    thread.Kill(11, true);
    EXPECT_EQ(thread.GetExitCode(), 11);

    // A thread cannot join itself: code 3 with the system's text.
    std::atomic<int> raised{0};
    std::string text;
    CTestThread* pSelf = nullptr;
    CTestThread suicidal(
        [&](CTestThread&)
        {
            try
            {
                pSelf->Kill(0, false);
            }
            catch (const CThreadException& e)
            {
                text = e.GetText();
                raised = e.GetCode();
            }
            return 1;
        });
    pSelf = &suicidal;
    suicidal.Start();
    int code = 0;
    EXPECT_TRUE(suicidal.Stop(code, -1));
    EXPECT_EQ(raised, 3);
    EXPECT_FALSE(text.empty());
}

TEST(Thread, CommandsArriveInQueueOrder)
{
    std::atomic<bool> go{false};
    std::vector<unsigned> seen;
    CTestThread thread(
        [&](CTestThread& self)
        {
            while (!go)
                std::this_thread::sleep_for(1ms);
            for (unsigned n = 0; n != CThread::kCmdStop;)
                seen.push_back(n = self.WaitForCommand(5000));
            seen.push_back(self.WaitForCommand(20)); // empty queue: time-out
            return 0;
        });
    thread.m_bUseEvent = true;
    thread.PostCommand(3); // no event before the start: not queued
    thread.Start();
    thread.PostCommand(3);
    thread.PostCommand(4);
    thread.PostCommand(4); // already last: not queued again
    thread.PostCommand(0);
    thread.PostCommand(5);
    thread.PostCommandFirst(6);
    go = true;
    int code = -1;
    EXPECT_TRUE(thread.Stop(code, -1));
    EXPECT_EQ(seen, (std::vector<unsigned>{6, CThread::kCmdStart, 3, 4, 5, CThread::kCmdStop,
                                           CThread::kCmdTimeout}));
}

TEST(Thread, SharedLockOfANameExcludesItsThreadsAndLeavesNoEntryBehind)
{
    const int before = CThread::SharedLockCount();
    constexpr int kThreads = 4;
    constexpr int kRounds = 2000;
    long counter = 0; // guarded by the shared lock only
    std::atomic<int> inside{0};
    std::atomic<int> overlaps{0};
    std::atomic<bool> go{false};
    auto work = [&](CTestThread& self)
    {
        while (!go)
            std::this_thread::sleep_for(1ms);
        for (int i = 0; i < kRounds; ++i)
        {
            if (!self.EnterSharedLock())
                return 1;
            if (inside.fetch_add(1) != 0)
                ++overlaps;
            ++counter;
            inside.fetch_sub(1);
            self.LeaveSharedLock();
        }
        return 0;
    };
    std::vector<std::unique_ptr<CTestThread>> threads;
    for (int i = 0; i < kThreads; ++i)
    {
        threads.push_back(std::make_unique<CTestThread>(work));
        threads.back()->m_bSharedLock = true;
        threads.back()->m_strName = "counter";
    }
    // A thread of another name gets a lock of its own.
    CTestThread other(
        [&](CTestThread& self)
        {
            while (!go)
                std::this_thread::sleep_for(1ms);
            const bool bEntered = self.EnterSharedLock();
            return bEntered && self.LeaveSharedLock() ? 0 : 1;
        });
    other.m_bSharedLock = true;
    other.m_strName = "other";
    for (auto& t : threads)
        t->Start();
    other.Start();
    EXPECT_EQ(CThread::SharedLockCount(), before + 2);
    go = true;
    int code = -1;
    for (auto& t : threads)
    {
        EXPECT_TRUE(t->Stop(code, -1));
        EXPECT_EQ(code, 0);
    }
    EXPECT_TRUE(other.Stop(code, -1));
    EXPECT_EQ(code, 0);
    EXPECT_EQ(counter, long(kThreads) * kRounds);
    EXPECT_EQ(overlaps, 0);
    EXPECT_EQ(CThread::SharedLockCount(), before);

    // A thread without a shared lock has none to enter, and one that ends
    // holding its lock releases it.
    CTestThread plain([](CTestThread& self) { return self.EnterSharedLock() ? 1 : 0; });
    plain.Start();
    EXPECT_TRUE(plain.Stop(code, -1));
    EXPECT_EQ(code, 0);
    for (int round = 0; round < 2; ++round)
    {
        CTestThread holder([](CTestThread& self) { return self.EnterSharedLock() ? 0 : 1; });
        holder.m_bSharedLock = true;
        holder.m_strName = "counter";
        holder.Start();
        EXPECT_TRUE(holder.Stop(code, -1));
        EXPECT_EQ(code, 0);
    }
    EXPECT_EQ(CThread::SharedLockCount(), before);
}

TEST(Thread, WaitForStateAndDestroyingARunningThread)
{
    auto thread = std::make_unique<CTestThread>(
        [](CTestThread& self)
        {
            while (self.Sleep(10000))
            {
            }
            return 0;
        });
    EXPECT_TRUE(thread->WaitForState(1, 0));
    thread->Start();
    EXPECT_TRUE(thread->WaitForState(0, 0));
    EXPECT_FALSE(thread->WaitForState(1, 0));
    int user1 = 0, user2 = 0;
    thread->SetUser(4, 5);
    thread->GetUser(user1, user2);
    EXPECT_EQ(user1 * 10 + user2, 45);
    const auto start = Clock::now();
    thread.reset(); // stops and joins
    EXPECT_LT(MsSince(start), 1000.0);
}
