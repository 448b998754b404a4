#pragma once
#include "ThreadException.h"

#include <pthread.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

/// A worker thread over a POSIX thread. Its bookkeeping (handle, id, exit
/// code, state, command queue, shared-lock registry) is guarded by one
/// process-wide lock, which is never held while anyone waits for a thread,
/// sleeps or runs Run.
///
/// A thread cannot be terminated from outside: Kill and Stop ask it to stop
/// and the work in Run checks IsStopRequested between its steps, or sleeps
/// and waits through Sleep and SleepUntil, which end at once on a stop.
/// A derived class stops its thread in its own destructor, before the
/// object that Run works on is gone.
class CThread
{
public:
    /// Commands of the queue. 1 is what WaitForCommand reads on a time-out.
    enum : unsigned
    {
        kCmdTimeout = 1,
        kCmdStart = 2, // queued by Start
        kCmdStop = 7,  // queued by Stop
    };
    /// The platform's exit code of a thread still running.
    static constexpr int kStillActive = 259;

    CThread(int nUser1 = 0, int nUser2 = 0);
    virtual ~CThread();
    CThread(const CThread&) = delete;
    CThread& operator=(const CThread&) = delete;

    /// Starts the thread. Throws CThreadException: 2 when it is running,
    /// 4 when its wake-up event fails, 1 when the thread cannot be created,
    /// 5 when the start command cannot be queued.
    void Start();
    /// True while Run executes; stores the exit code read (259 while alive).
    bool IsAlive();
    /// Priority levels: -15 idle, -2 lowest ... 2 highest, 15 time-critical.
    /// False when there is no thread or the system refuses (raising needs
    /// privileges on Linux).
    bool SetPriority(int nPriority);
    /// The thread's level, or the largest int when there is no thread.
    int GetPriority();
    /// Asks the thread to stop and joins it. Code 3 when it cannot be joined
    /// (a thread killing itself) unless bQuiet; with bQuiet the given exit
    /// code is stored instead of the thread's own.
    void Kill(int nExitCode = 0, bool bQuiet = false);
    /// Queues the stop command, asks the thread to stop and waits in 100 ms
    /// steps, at most nWaitCount + 1 of them (-1: without limit). True when
    /// the thread has ended; its exit code is then in nExitCode.
    bool Stop(int& nExitCode, int nWaitCount);
    /// Asks Run to end: sets the stop flag and wakes the thread's sleeps.
    void RequestStop();

    /// Queues a command and wakes the thread. Does nothing without an event
    /// (m_bUseEvent, before Start) or for command 0, or when the command is
    /// already last in the queue. Throws code 5 when queueing fails.
    void PostCommand(unsigned nCommand);
    /// Puts a command at the head of the queue.
    void PostCommandFirst(unsigned nCommand);
    /// Takes the head command; 0 when the queue is empty.
    unsigned GetCommand();
    /// Waits until a command is queued or the time (milliseconds) is up;
    /// takes the head command, or returns kCmdTimeout.
    unsigned WaitForCommand(int nTimeoutMs);
    void ClearCommands();
    /// Waits in 100 ms steps, at most nWaitCount + 1 of them (-1: without
    /// limit), until m_nState is the value. True when it is.
    bool WaitForState(int nState, int nWaitCount = -1);

    /// The lock shared by the running threads of one name (m_bSharedLock).
    /// Not recursive. False when the thread has no shared lock.
    bool EnterSharedLock();
    bool LeaveSharedLock();
    /// How many names the registry holds.
    static int SharedLockCount();

    void SetUser(int nUser1, int nUser2);
    void GetUser(int& nUser1, int& nUser2) const;
    int GetExitCode() const;
    int GetState() const;
    unsigned GetThreadId() const;

    // Set before Start.
    bool m_bUseEvent = false;
    bool m_bSharedLock = false;
    std::string m_strName;
    unsigned m_nStackSize = 0; // bytes; 0 for the system's default

protected:
    /// The thread's work; its result is the exit code.
    virtual int Run() = 0;
    /// Called after Kill has ended the thread.
    virtual void OnKilled() {}
    /// Called by RequestStop on the caller's thread, after the stop flag is
    /// set: a derived class wakes any wait of its own here.
    virtual void OnStopRequested() {}

    bool IsStopRequested() const { return m_bStopRequested.load(); }
    /// Sleeps; false when a stop request ends the sleep early.
    bool Sleep(int nMs);
    bool SleepUntil(std::chrono::steady_clock::time_point until);

private:
    struct LockEntry;
    /// The lock registry; grows in blocks of 10 entries, which never move.
    static std::vector<std::unique_ptr<LockEntry>>& Registry();
    static void* Routine(void* pArg);
    void Reset();
    void Register();
    void Unregister();
    void Enqueue(unsigned nCommand, bool bFirst);
    void Post(unsigned nCommand, bool bFirst);
    /// The head command, taken off the queue; 0 when it is empty.
    unsigned TakeCommand();
    /// Joins a thread whose Run has returned, outside the process-wide lock.
    void Reap();
    [[noreturn]] void Raise(int nCode, const std::string& text);

    LockEntry* m_pLockEntry = nullptr;
    pthread_t m_hThread{};
    bool m_bHandle = false;   // m_hThread is a thread not yet joined
    bool m_bRunning = false;  // Run has not returned
    bool m_bStarting = false; // Start has not finished: the routine waits
    bool m_hEvent = false;    // the command queue's wake-up event exists
    unsigned m_nThreadId = 0;
    unsigned m_nLaunch = 0; // counts starts, so a stale routine knows itself
    int m_nExitCode = -2;
    int m_nState = 1;
    int m_nUser1;
    int m_nUser2;
    std::vector<unsigned> m_commands;
    std::condition_variable m_changed; // with the process-wide lock

    // Stop requests and the sleeps they end; not part of the bookkeeping.
    std::atomic<bool> m_bStopRequested{false};
    std::mutex m_sleepLock;
    std::condition_variable m_sleepWake;
};
