#include "Thread.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <memory>
#include <new>

// One entry per name of the threads with a shared lock. The lock itself is a
// flag guarded by the process-wide lock, so that the entry can be freed
// whenever no thread uses it, and a thread that ends while holding it
// releases it.
struct CThread::LockEntry
{
    std::string name;
    int nUsers = 0;   // registered threads of the name
    int nWaiting = 0; // callers waiting in EnterSharedLock
    bool bLocked = false;
    const CThread* pHolder = nullptr;
    std::condition_variable freed;
};

namespace
{
using Clock = std::chrono::steady_clock;
constexpr auto kPollStep = std::chrono::milliseconds(100);

std::mutex g_lock;

// Priority levels and the nice values that stand for them.
struct Level
{
    int priority;
    int nice;
};
constexpr Level kLevels[] = {{-15, 19}, {-2, 10}, {-1, 5}, {0, 0}, {1, -5}, {2, -10}, {15, -20}};

// The level whose field lies nearest the value.
const Level& Nearest(int value, int Level::*field)
{
    const Level* best = &kLevels[0];
    for (const Level& level : kLevels)
        if (std::abs(level.*field - value) < std::abs(best->*field - value))
            best = &level;
    return *best;
}

// Run in waits of at most 100 ms until done() holds or the count is used up.
template <class Done>
bool WaitInSteps(std::unique_lock<std::mutex>& lock, std::condition_variable& cv, int nWaitCount,
                 Done done)
{
    for (int i = 0; !done() && (nWaitCount < 0 || i <= nWaitCount); ++i)
        cv.wait_for(lock, kPollStep, done);
    return done();
}
} // namespace

std::vector<std::unique_ptr<CThread::LockEntry>>& CThread::Registry()
{
    static std::vector<std::unique_ptr<CThread::LockEntry>> registry;
    return registry;
}

CThread::CThread(int nUser1, int nUser2) : m_nUser1(nUser1), m_nUser2(nUser2) {}

CThread::~CThread()
{
    try
    {
        if (IsAlive())
            Kill(0, true);
    }
    catch (...)
    {
    }
    Reap();
    std::lock_guard lock(g_lock);
    Unregister();
    Reset();
    m_hEvent = false;
}

void CThread::Raise(int nCode, const std::string& text)
{
    throw CThreadException(this, nCode, text);
}

void CThread::Reset()
{
    m_nThreadId = 0;
    m_nState = 1;
    m_commands.clear();
    m_changed.notify_all();
}

void CThread::Start()
{
    Reap();
    std::unique_lock lock(g_lock);
    // A thread that ended since the join above is joined first.
    while (m_bHandle && !m_bRunning)
    {
        lock.unlock();
        Reap();
        lock.lock();
    }
    if (m_bRunning)
    {
        m_nExitCode = kStillActive;
        Raise(2, "Thread is already started!");
    }
    Reset();
    m_hEvent = m_hEvent || m_bUseEvent;
    try
    {
        Register();
    }
    catch (const std::bad_alloc&)
    {
        Raise(1, CThreadException::SystemText(ENOMEM));
    }

    pthread_attr_t attr;
    pthread_attr_init(&attr);
    if (m_nStackSize)
    {
        const long page = sysconf(_SC_PAGESIZE);
        size_t size = std::max<size_t>(m_nStackSize, PTHREAD_STACK_MIN);
        size = (size + size_t(page) - 1) / size_t(page) * size_t(page);
        pthread_attr_setstacksize(&attr, size);
    }
    m_bStopRequested = false;
    m_bRunning = true;
    m_bStarting = true;
    ++m_nLaunch;
    const int err = pthread_create(&m_hThread, &attr, &CThread::Routine, this);
    pthread_attr_destroy(&attr);
    if (err)
    {
        m_bRunning = false;
        m_bStarting = false;
        Unregister();
        Reset();
        Raise(1, CThreadException::SystemText(err));
    }
    m_bHandle = true;
    // The routine publishes its id, then waits until Start is done.
    m_changed.wait(lock, [this] { return m_nThreadId != 0; });

    try
    {
        Enqueue(kCmdStart, false);
    }
    catch (const std::exception& e)
    {
        // The routine has not called Run: let it go and join it.
        const std::string text = e.what();
        m_bRunning = false;
        m_bStarting = false;
        Unregister();
        Reset();
        lock.unlock();
        Reap();
        Raise(5, text);
    }
    m_nState = 0;
    m_bStarting = false;
    m_changed.notify_all();
}

void* CThread::Routine(void* pArg)
{
    auto* self = static_cast<CThread*>(pArg);
    unsigned launch = 0;
    {
        std::unique_lock lock(g_lock);
        self->m_nThreadId = unsigned(gettid());
        self->m_changed.notify_all();
        self->m_changed.wait(lock, [self] { return !self->m_bStarting; });
        if (!self->m_bRunning)
            return nullptr;
        launch = self->m_nLaunch;
    }
    int result = -1;
    try
    {
        result = self->Run();
    }
    catch (...)
    {
        // An exception that leaves Run ends the thread, not the program.
    }
    std::lock_guard lock(g_lock);
    if (self->m_nLaunch == launch && self->m_bRunning)
    {
        self->Unregister();
        self->m_bRunning = false;
        self->Reset();
        self->m_nExitCode = result;
    }
    // Nothing of self is touched after the lock is released: the owner may
    // join and destroy it at once.
    return nullptr;
}

void CThread::Reap()
{
    pthread_t handle;
    {
        std::lock_guard lock(g_lock);
        if (!m_bHandle || m_bRunning)
            return;
        handle = m_hThread;
        m_bHandle = false;
    }
    pthread_join(handle, nullptr);
}

bool CThread::IsAlive()
{
    std::lock_guard lock(g_lock);
    if (m_bRunning)
        m_nExitCode = kStillActive;
    return m_bRunning;
}

bool CThread::SetPriority(int nPriority)
{
    std::lock_guard lock(g_lock);
    if (!m_bRunning)
        return false;
    return setpriority(PRIO_PROCESS, id_t(m_nThreadId),
                       Nearest(nPriority, &Level::priority).nice) == 0;
}

int CThread::GetPriority()
{
    std::lock_guard lock(g_lock);
    if (!m_bRunning)
        return INT_MAX;
    errno = 0;
    const int nice = getpriority(PRIO_PROCESS, id_t(m_nThreadId));
    return nice == -1 && errno ? INT_MAX : Nearest(nice, &Level::nice).priority;
}

void CThread::RequestStop()
{
    m_bStopRequested = true;
    {
        // Taken so that a sleep about to begin sees the flag or the wake-up.
        std::lock_guard sleepLock(m_sleepLock);
    }
    m_sleepWake.notify_all();
    {
        std::lock_guard lock(g_lock);
        if (m_bRunning)
        {
            try
            {
                Enqueue(kCmdStop, false);
            }
            catch (const std::exception&)
            {
                // The stop flag is set; the command is only a courtesy.
            }
        }
    }
    OnStopRequested();
}

void CThread::Kill(int nExitCode, bool bQuiet)
{
    RequestStop();
    std::unique_lock lock(g_lock);
    if (!m_bRunning && !m_bHandle)
    {
        m_nExitCode = nExitCode;
        Reset();
        return;
    }
    if (m_bHandle && pthread_equal(m_hThread, pthread_self()))
    {
        // A thread cannot join itself; it ends when its Run returns.
        if (!bQuiet)
            Raise(3, CThreadException::SystemText(EDEADLK));
        m_nExitCode = nExitCode;
        return;
    }
    const unsigned launch = m_nLaunch;
    const bool bJoin = m_bHandle;
    const pthread_t handle = m_hThread;
    m_bHandle = false;
    lock.unlock();
    const int err = bJoin ? pthread_join(handle, nullptr) : 0;
    lock.lock();
    if (m_nLaunch == launch)
    {
        // The routine stored Run's result as it ended.
        if (bQuiet || err)
            m_nExitCode = nExitCode;
        Unregister();
        m_bRunning = false;
        Reset();
    }
    if (err && !bQuiet)
        Raise(3, CThreadException::SystemText(err));
    lock.unlock();
    OnKilled();
}

bool CThread::Stop(int& nExitCode, int nWaitCount)
{
    RequestStop();
    std::unique_lock lock(g_lock);
    if (!WaitInSteps(lock, m_changed, nWaitCount, [this] { return !m_bRunning; }))
        return false;
    nExitCode = m_nExitCode;
    lock.unlock();
    Reap();
    return true;
}

void CThread::Enqueue(unsigned nCommand, bool bFirst)
{
    if (!m_bUseEvent || !m_hEvent || nCommand == 0)
        return;
    if (bFirst)
        m_commands.insert(m_commands.begin(), nCommand);
    else if (m_commands.empty() || m_commands.back() != nCommand)
        m_commands.push_back(nCommand);
    m_changed.notify_all();
}

void CThread::PostCommand(unsigned nCommand)
{
    Post(nCommand, false);
}

void CThread::PostCommandFirst(unsigned nCommand)
{
    Post(nCommand, true);
}

void CThread::Post(unsigned nCommand, bool bFirst)
{
    std::lock_guard lock(g_lock);
    try
    {
        Enqueue(nCommand, bFirst);
    }
    catch (const std::exception& e)
    {
        Raise(5, e.what());
    }
}

unsigned CThread::TakeCommand()
{
    if (m_commands.empty())
        return 0;
    const unsigned nCommand = m_commands.front();
    m_commands.erase(m_commands.begin());
    return nCommand;
}

unsigned CThread::GetCommand()
{
    std::lock_guard lock(g_lock);
    return TakeCommand();
}

unsigned CThread::WaitForCommand(int nTimeoutMs)
{
    std::unique_lock lock(g_lock);
    const bool bQueued =
        m_changed.wait_for(lock, std::chrono::milliseconds(std::max(0, nTimeoutMs)),
                           [this] { return !m_commands.empty(); });
    return bQueued ? TakeCommand() : unsigned(kCmdTimeout);
}

void CThread::ClearCommands()
{
    std::lock_guard lock(g_lock);
    m_commands.clear();
}

bool CThread::WaitForState(int nState, int nWaitCount)
{
    std::unique_lock lock(g_lock);
    return WaitInSteps(lock, m_changed, nWaitCount, [&] { return m_nState == nState; });
}

bool CThread::Sleep(int nMs)
{
    return SleepUntil(Clock::now() + std::chrono::milliseconds(std::max(0, nMs)));
}

bool CThread::SleepUntil(std::chrono::steady_clock::time_point until)
{
    std::unique_lock lock(m_sleepLock);
    return !m_sleepWake.wait_until(lock, until, [this] { return m_bStopRequested.load(); });
}

void CThread::Register()
{
    if (!m_bSharedLock)
        return;
    auto& registry = Registry();
    for (const auto& entry : registry)
        if (entry->name == m_strName)
        {
            ++entry->nUsers;
            m_pLockEntry = entry.get();
            return;
        }
    if (registry.size() == registry.capacity())
        registry.reserve(registry.size() + 10);
    auto entry = std::make_unique<LockEntry>();
    entry->name = m_strName;
    entry->nUsers = 1;
    m_pLockEntry = entry.get();
    registry.push_back(std::move(entry));
}

void CThread::Unregister()
{
    LockEntry* entry = m_pLockEntry;
    if (!entry)
        return;
    m_pLockEntry = nullptr;
    if (entry->bLocked && entry->pHolder == this)
    {
        entry->bLocked = false;
        entry->pHolder = nullptr;
        entry->freed.notify_all();
    }
    --entry->nUsers;
    if (entry->nWaiting > 0)
    {
        // Callers waiting through this thread give up.
        entry->freed.notify_all();
        return;
    }
    if (entry->nUsers > 0)
        return;
    auto& registry = Registry();
    std::erase_if(registry, [entry](const auto& e) { return e.get() == entry; });
}

bool CThread::EnterSharedLock()
{
    std::unique_lock lock(g_lock);
    LockEntry* entry = m_pLockEntry;
    if (!entry)
        return false;
    ++entry->nWaiting;
    entry->freed.wait(lock, [&] { return !entry->bLocked || m_pLockEntry != entry; });
    --entry->nWaiting;
    if (m_pLockEntry != entry)
    {
        // This thread ended while its caller waited; the entry may be unused now.
        if (entry->nUsers == 0 && entry->nWaiting == 0)
            std::erase_if(Registry(), [entry](const auto& e) { return e.get() == entry; });
        return false;
    }
    entry->bLocked = true;
    entry->pHolder = this;
    return true;
}

bool CThread::LeaveSharedLock()
{
    std::lock_guard lock(g_lock);
    LockEntry* entry = m_pLockEntry;
    if (!entry || !entry->bLocked || entry->pHolder != this)
        return false;
    entry->bLocked = false;
    entry->pHolder = nullptr;
    entry->freed.notify_all();
    return true;
}

int CThread::SharedLockCount()
{
    std::lock_guard lock(g_lock);
    return int(Registry().size());
}

void CThread::SetUser(int nUser1, int nUser2)
{
    std::lock_guard lock(g_lock);
    m_nUser1 = nUser1;
    m_nUser2 = nUser2;
}

void CThread::GetUser(int& nUser1, int& nUser2) const
{
    std::lock_guard lock(g_lock);
    nUser1 = m_nUser1;
    nUser2 = m_nUser2;
}

int CThread::GetExitCode() const
{
    std::lock_guard lock(g_lock);
    return m_nExitCode;
}

int CThread::GetState() const
{
    std::lock_guard lock(g_lock);
    return m_nState;
}

unsigned CThread::GetThreadId() const
{
    std::lock_guard lock(g_lock);
    return m_nThreadId;
}
