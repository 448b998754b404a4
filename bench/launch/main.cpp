// Launch to first pixels. For each viewer command, in turn and several times:
// start it with the picture, watch the screen (shared-memory grabs of the
// root window) until a pixel of the picture's colour appears, read the
// viewer's memory a moment later, and end it. Run under an X server whose
// root is black (xvfb-run -s "-screen 0 1280x800x24 -br"), no window manager.
//
//   vistrel-bench-launch PICTURE.jpg [RUNS] -- NAME CMD... [-- NAME CMD...]...
//
// The picture must be mostly red (r > 150, g and b < 90): make it with
//   convert -size 6000x4000 xc:'rgb(210,40,40)' -attenuate 0.3 +noise Gaussian P.jpg
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <sys/ipc.h>
#include <sys/shm.h>
#include <sys/wait.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace
{
using Clock = std::chrono::steady_clock;

struct Viewer
{
    std::string name;
    std::vector<std::string> argv;
    std::vector<double> firstPixels; // seconds
    std::vector<double> rssMiB;
};

/// The screen, grabbed through shared memory.
class CScreen
{
public:
    bool Open()
    {
        m_pDisplay = XOpenDisplay(nullptr);
        if (!m_pDisplay || !XShmQueryExtension(m_pDisplay))
            return false;
        const int screen = DefaultScreen(m_pDisplay);
        m_root = RootWindow(m_pDisplay, screen);
        m_pImage = XShmCreateImage(m_pDisplay, DefaultVisual(m_pDisplay, screen),
                                   unsigned(DefaultDepth(m_pDisplay, screen)), ZPixmap, nullptr,
                                   &m_shm, unsigned(DisplayWidth(m_pDisplay, screen)),
                                   unsigned(DisplayHeight(m_pDisplay, screen)));
        if (!m_pImage || m_pImage->bits_per_pixel != 32)
            return false;
        m_shm.shmid = shmget(IPC_PRIVATE, size_t(m_pImage->bytes_per_line) * m_pImage->height,
                             IPC_CREAT | 0600);
        m_shm.shmaddr = m_pImage->data = static_cast<char*>(shmat(m_shm.shmid, nullptr, 0));
        m_shm.readOnly = False;
        XShmAttach(m_pDisplay, &m_shm);
        shmctl(m_shm.shmid, IPC_RMID, nullptr); // gone once both sides detach
        return true;
    }

    /// Whether any pixel on a 4-pixel grid has the picture's colour.
    bool ShowsPicture()
    {
        XShmGetImage(m_pDisplay, m_root, m_pImage, 0, 0, AllPlanes);
        for (int y = 0; y < m_pImage->height; y += 4)
        {
            const auto* row = reinterpret_cast<const uint32_t*>(m_pImage->data +
                                                                size_t(y) * m_pImage->bytes_per_line);
            for (int x = 0; x < m_pImage->width; x += 4)
            {
                const uint32_t p = row[x];
                const int r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, b = p & 0xFF;
                if (r > 150 && g < 90 && b < 90)
                    return true;
            }
        }
        return false;
    }

private:
    Display* m_pDisplay = nullptr;
    Window m_root = 0;
    XImage* m_pImage = nullptr;
    XShmSegmentInfo m_shm{};
};

double ResidentMiB(pid_t pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stod(line.substr(6)) / 1024.0;
    return 0;
}

void Stop(pid_t pid)
{
    kill(pid, SIGTERM);
    for (int i = 0; i < 100; i++)
    {
        if (waitpid(pid, nullptr, WNOHANG) == pid)
            return;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
}

/// One launch: seconds to first pixels (negative on a time-out) and memory.
std::pair<double, double> Launch(CScreen& screen, const Viewer& viewer, const std::string& picture)
{
    std::vector<std::string> args = viewer.argv;
    args.push_back(picture);
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    const auto start = Clock::now();
    const pid_t pid = fork();
    if (pid == 0)
    {
        execvp(argv[0], argv.data());
        _exit(127);
    }
    double seconds = -1;
    while (std::chrono::duration<double>(Clock::now() - start).count() < 10)
    {
        if (screen.ShowsPicture())
        {
            seconds = std::chrono::duration<double>(Clock::now() - start).count();
            break;
        }
        if (waitpid(pid, nullptr, WNOHANG) == pid)
            return {-1, 0};
        // A grab keeps the X server busy for a millisecond or two: grabbing
        // without a pause would hold up the viewer's own requests to it.
        std::this_thread::sleep_for(std::chrono::milliseconds(3));
    }
    // The whole picture is in well within this.
    std::this_thread::sleep_for(std::chrono::milliseconds(2000));
    const double rss = ResidentMiB(pid);
    Stop(pid);
    return {seconds, rss};
}

double Median(std::vector<double> v)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}
} // namespace

int main(int argc, char** argv)
{
    if (argc < 4)
    {
        std::fprintf(stderr, "usage: %s PICTURE [RUNS] -- NAME CMD... [-- NAME CMD...]...\n", argv[0]);
        return 2;
    }
    const std::string picture = argv[1];
    int i = 2;
    int runs = 5;
    if (std::strcmp(argv[i], "--") != 0)
        runs = std::max(1, std::atoi(argv[i++]));
    std::vector<Viewer> viewers;
    for (; i < argc; i++)
    {
        if (std::strcmp(argv[i], "--") == 0)
        {
            if (i + 2 < argc + 1 && i + 1 < argc)
                viewers.push_back(Viewer{argv[++i], {}, {}, {}});
            continue;
        }
        if (!viewers.empty())
            viewers.back().argv.push_back(argv[i]);
    }
    CScreen screen;
    if (!screen.Open())
    {
        std::fprintf(stderr, "no X display with shared memory and 32-bit pixels\n");
        return 2;
    }
    if (screen.ShowsPicture())
    {
        std::fprintf(stderr, "the screen shows the picture's colour before any launch\n");
        return 2;
    }
    for (int run = 0; run < runs; run++)
        for (Viewer& v : viewers)
        {
            const auto [seconds, rss] = Launch(screen, v, picture);
            if (seconds >= 0)
            {
                v.firstPixels.push_back(seconds);
                v.rssMiB.push_back(rss);
            }
            // Let the screen clear before the next one starts.
            for (int wait = 0; wait < 100 && screen.ShowsPicture(); wait++)
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    double fastestPeer = 0;
    for (size_t k = 1; k < viewers.size(); k++)
        if (!viewers[k].firstPixels.empty())
        {
            const double m = Median(viewers[k].firstPixels);
            fastestPeer = fastestPeer == 0 ? m : std::min(fastestPeer, m);
        }
    for (const Viewer& v : viewers)
    {
        const double m = Median(v.firstPixels);
        std::printf("%-10s first pixels: median %.3f s (best %.3f, %zu of %d runs)  memory %.0f MiB",
                    v.name.c_str(), m,
                    v.firstPixels.empty() ? 0.0 : *std::min_element(v.firstPixels.begin(),
                                                                     v.firstPixels.end()),
                    v.firstPixels.size(), runs, Median(v.rssMiB));
        if (&v == &viewers.front() && fastestPeer > 0 && m > 0)
            std::printf("  (%.2fx faster than the fastest peer)", fastestPeer / m);
        std::printf("\n");
    }
    return 0;
}
