#include "Measure.h"

#include <malloc.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>

namespace
{
/// A "Vm...:" field of /proc/self/status, in bytes; -1 when it is missing.
long long StatusField(const char* name)
{
    std::FILE* f = std::fopen("/proc/self/status", "r");
    if (!f)
        return -1;
    char line[256];
    long long kib = -1;
    const size_t n = std::strlen(name);
    while (std::fgets(line, sizeof line, f))
    {
        if (std::strncmp(line, name, n) == 0 && line[n] == ':')
        {
            kib = std::atoll(line + n + 1);
            break;
        }
    }
    std::fclose(f);
    return kib < 0 ? -1 : kib * 1024;
}

/// Sets the peak resident size (VmHWM) back to the current resident size.
bool ResetPeak()
{
    std::FILE* f = std::fopen("/proc/self/clear_refs", "w");
    if (!f)
        return false;
    const bool ok = std::fputs("5", f) >= 0;
    return std::fclose(f) == 0 && ok;
}
} // namespace

double TimeOnce(const std::function<void()>& fn)
{
    const auto start = std::chrono::steady_clock::now();
    fn();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double Median(std::vector<double>& samples)
{
    if (samples.empty())
        return 0;
    std::sort(samples.begin(), samples.end());
    const size_t mid = samples.size() / 2;
    return samples.size() % 2 ? samples[mid] : (samples[mid - 1] + samples[mid]) / 2;
}

// Peak memory is VmHWM after a reset through /proc/self/clear_refs, less the
// resident size at the reset, read in a fresh child: the child starts from a
// copy of this process, gives its free heap pages back to the system first
// (malloc_trim), so that memory the call reuses from earlier runs still
// counts, and exits afterwards, so no run sees another's leftovers.
long long PeakResidentGrowth(const std::function<void()>& prepare, const std::function<void()>& fn)
{
    int fds[2];
    if (pipe(fds) != 0)
        return -1;
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid < 0)
    {
        close(fds[0]);
        close(fds[1]);
        return -1;
    }
    if (pid == 0)
    {
        close(fds[0]);
        long long growth = -1;
        try
        {
            prepare();
            malloc_trim(0);
            if (ResetPeak())
            {
                const long long base = StatusField("VmRSS");
                fn();
                const long long peak = StatusField("VmHWM");
                if (base >= 0 && peak >= 0)
                    growth = peak - base;
            }
        }
        catch (const std::exception& e)
        {
            std::fprintf(stderr, "memory run failed: %s\n", e.what());
        }
        catch (...)
        {
            std::fprintf(stderr, "memory run failed\n");
        }
        const ssize_t written = write(fds[1], &growth, sizeof growth);
        _exit(written == ssize_t(sizeof growth) ? 0 : 1);
    }
    close(fds[1]);
    long long growth = -1;
    if (read(fds[0], &growth, sizeof growth) != ssize_t(sizeof growth))
        growth = -1;
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    return growth;
}
