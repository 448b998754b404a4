// Launch to first pixels. For each viewer command, in turn and several times:
// start it with the picture, watch the screen (shared-memory grabs of its
// middle row and column) until a pixel of the picture's colour appears, read the
// viewer's memory a moment later, and end it. Run under an X server whose
// root is black (xvfb-run -s "-screen 0 1280x800x24 -br"), no window manager.
//
//   vistrel-bench-launch PICTURE.jpg [RUNS] -- NAME CMD... [-- NAME CMD...]...
//
// The picture must be mostly red (r > 150, g and b < 90): make it with
//   convert -size 6000x4000 xc:'rgb(210,40,40)' -attenuate 0.3 +noise Gaussian P.jpg
// (40 pixels of that colour in a row on a line tell the picture from a red
// button on a toolbar).
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

/// The screen's middle row and middle column, grabbed through shared
/// memory: every viewer puts a picture larger than the screen across the
/// middle, and grabbing two lines instead of the whole screen keeps the X
/// server free for the viewer it watches.
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
        const int width = DisplayWidth(m_pDisplay, screen),
                  height = DisplayHeight(m_pDisplay, screen);
        return m_row.Open(m_pDisplay, width, 1, 0, height / 2) &&
               m_column.Open(m_pDisplay, 1, height, width / 2, 0);
    }

    /// Whether any pixel of the two lines has the picture's colour.
    bool ShowsPicture()
    {
        return m_row.Shows(m_pDisplay, m_root) || m_column.Shows(m_pDisplay, m_root);
    }

private:
    static constexpr int kRun = 40;

    struct CLine
    {
        XImage* pImage = nullptr;
        XShmSegmentInfo shm{};
        int x = 0, y = 0;

        bool Open(Display* display, int width, int height, int atX, int atY)
        {
            const int screen = DefaultScreen(display);
            x = atX;
            y = atY;
            pImage = XShmCreateImage(display, DefaultVisual(display, screen),
                                     unsigned(DefaultDepth(display, screen)), ZPixmap, nullptr,
                                     &shm, unsigned(width), unsigned(height));
            if (!pImage || pImage->bits_per_pixel != 32)
                return false;
            shm.shmid = shmget(IPC_PRIVATE, size_t(pImage->bytes_per_line) * pImage->height,
                               IPC_CREAT | 0600);
            shm.shmaddr = pImage->data = static_cast<char*>(shmat(shm.shmid, nullptr, 0));
            shm.readOnly = False;
            XShmAttach(display, &shm);
            shmctl(shm.shmid, IPC_RMID, nullptr); // gone once both sides detach
            return true;
        }

        bool Shows(Display* display, Window root)
        {
            XShmGetImage(display, root, pImage, x, y, AllPlanes);
            // A run of the colour longer than any icon is the picture (a
            // toolbar may hold a red button).
            int run = 0;
            for (int j = 0; j < pImage->height; j++)
            {
                const auto* line = reinterpret_cast<const uint32_t*>(
                    pImage->data + size_t(j) * pImage->bytes_per_line);
                for (int i = 0; i < pImage->width; i++)
                {
                    const uint32_t p = line[i];
                    const int r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, b = p & 0xFF;
                    run = r > 150 && g < 90 && b < 90 ? run + 1 : 0;
                    if (run >= kRun)
                        return true;
                }
            }
            return false;
        }
    };

    Display* m_pDisplay = nullptr;
    Window m_root = 0;
    CLine m_row, m_column;
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
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
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
