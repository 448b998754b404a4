#include "FileSource.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <mutex>

namespace
{
/// The mapped views that the SIGBUS handler may repair: a fixed table, since
/// the handler may neither lock nor allocate.
struct GuardedView
{
    std::atomic<bool> used{false};
    std::atomic<uintptr_t> begin{0};
    std::atomic<uintptr_t> end{0};
    std::atomic<bool> truncated{false};
};
constexpr int kGuardSlots = 512;
GuardedView g_Views[kGuardSlots];
uintptr_t g_PageMask = 0;
struct sigaction g_PreviousBus;

/// A read past the end of a file that shrank faults with SIGBUS. If the
/// address lies in one of our views, zero pages replace the rest of the view
/// and the read is retried; any other fault goes to whoever handled it before.
void OnBusError(int sig, siginfo_t* info, void* context)
{
    const uintptr_t addr = reinterpret_cast<uintptr_t>(info->si_addr);
    for (GuardedView& view : g_Views)
    {
        const uintptr_t begin = view.begin.load(std::memory_order_acquire);
        const uintptr_t end = view.end.load(std::memory_order_acquire);
        if (begin == 0 || addr < begin || addr >= end)
            continue;
        const uintptr_t page = addr & g_PageMask;
        void* zeros = mmap(reinterpret_cast<void*>(page), end - page, PROT_READ,
                           MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0);
        if (zeros != MAP_FAILED)
        {
            view.truncated.store(true, std::memory_order_release);
            return;
        }
        break;
    }
    if ((g_PreviousBus.sa_flags & SA_SIGINFO) && g_PreviousBus.sa_sigaction)
        g_PreviousBus.sa_sigaction(sig, info, context);
    else if (g_PreviousBus.sa_handler != SIG_DFL && g_PreviousBus.sa_handler != SIG_IGN)
        g_PreviousBus.sa_handler(sig);
    else
        signal(SIGBUS, SIG_DFL); // the faulting read runs again and ends the process
}

void InstallBusGuard()
{
    static std::once_flag once;
    std::call_once(once, [] {
        g_PageMask = ~(uintptr_t(sysconf(_SC_PAGESIZE)) - 1);
        struct sigaction action = {};
        action.sa_sigaction = OnBusError;
        action.sa_flags = SA_SIGINFO | SA_RESTART;
        sigemptyset(&action.sa_mask);
        sigaction(SIGBUS, &action, &g_PreviousBus);
    });
}

/// Takes a free slot for [view, view + size); -1 when all are in use.
int GuardView(void* view, size_t size)
{
    InstallBusGuard();
    const uintptr_t begin = reinterpret_cast<uintptr_t>(view);
    for (int i = 0; i < kGuardSlots; i++)
    {
        GuardedView& slot = g_Views[i];
        if (slot.used.exchange(true, std::memory_order_acq_rel))
            continue;
        // begin is set last: the handler ignores a slot whose begin is 0.
        slot.truncated.store(false, std::memory_order_relaxed);
        slot.end.store(begin + size, std::memory_order_release);
        slot.begin.store(begin, std::memory_order_release);
        return i;
    }
    return -1;
}
/// Maps errno of a failed open onto the library's codes.
int OpenErrorCode(int err)
{
    switch (err)
    {
    case ENOTDIR:
        return 3;
    case EACCES:
    case EPERM:
    case EBUSY:
        return 5;
    default:
        return 4;
    }
}

/// ENOENT means "path not found" when the folder part of the path is missing.
bool DirectoryMissing(const std::string& path)
{
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos || slash == 0)
        return false;
    struct stat st;
    return stat(path.substr(0, slash).c_str(), &st) != 0 || !S_ISDIR(st.st_mode);
}
} // namespace

CFileSource::~CFileSource()
{
    if (m_hFile >= 0 || m_pView)
        CFileSource::Close();
}

int CFileSource::Open(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
    {
        const int err = errno;
        if (err == ENOENT && DirectoryMissing(path))
            return 3;
        return OpenErrorCode(err);
    }
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
    {
        ::close(fd);
        return S_ISDIR(st.st_mode) ? 5 : 4;
    }
    // An empty file can't be mapped, as on the platform the codes come from.
    if (st.st_size == 0)
    {
        ::close(fd);
        return 5;
    }
    const size_t size = size_t(st.st_size);
    void* view = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
    if (view == MAP_FAILED)
    {
        ::close(fd);
        return 5;
    }
    // The advice values are not flags: each is given on its own.
    madvise(view, size, MADV_SEQUENTIAL);
    madvise(view, size, MADV_WILLNEED);
    m_Guard = GuardView(view, size);
    if (m_Guard < 0)
    {
        munmap(view, size);
        return ReadWhole(path, fd, size);
    }
    m_hFile = fd;
    m_pView = view;
    m_ViewSize = size;
    CDataSource::Open(path, static_cast<const uint8_t*>(view), size);
    return 0;
}

int CFileSource::ReadWhole(const std::string& path, int fd, size_t size)
{
    m_pCopy.reset(new (std::nothrow) uint8_t[size]);
    size_t done = 0;
    while (m_pCopy && done < size)
    {
        const ssize_t n = pread(fd, m_pCopy.get() + done, size - done, off_t(done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += size_t(n);
    }
    ::close(fd);
    if (!m_pCopy || done == 0)
    {
        m_pCopy.reset();
        return 5;
    }
    CDataSource::Open(path, m_pCopy.get(), done);
    return 0;
}

bool CFileSource::WasTruncated() const
{
    return m_Guard >= 0 && g_Views[m_Guard].truncated.load(std::memory_order_acquire);
}

void CFileSource::Close()
{
    if (m_Guard >= 0)
    {
        // The view is unmapped after its slot is free: the handler never
        // repairs an address that is no longer ours.
        g_Views[m_Guard].begin.store(0, std::memory_order_release);
        g_Views[m_Guard].end.store(0, std::memory_order_release);
        g_Views[m_Guard].used.store(false, std::memory_order_release);
        m_Guard = -1;
    }
    if (m_pView)
        munmap(m_pView, m_ViewSize);
    m_pView = nullptr;
    m_pCopy.reset();
    m_ViewSize = 0;
    CDataSource::Close();
    if (m_hFile >= 0)
        ::close(m_hFile);
    m_hFile = -1;
}
