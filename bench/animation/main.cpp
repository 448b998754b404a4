// Playing a long, large animation (500 frames of 1000 x 1000, 20 ms each)
// through the image window's player, against QMovie playing the same GIF
// in the same run. For each:
//  - the time from the first frame to the last shown, against the sum of
//    the delays (1.00 is the animation's own speed);
//  - how many frames came more than one delay late;
//  - the anonymous resident memory at its peak while playing, less before,
//    in frames of the picture (4 bytes a pixel).
//
//   vistrel-bench-animation [--quick]
//
// --quick plays 20 frames of 100 x 100, for a smoke run.
#include "AnimationPlayer.h"
#include "DrawDibBmp.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QMovie>
#include <QTemporaryDir>

#include <gif_lib.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace
{
struct Setup
{
    int width;
    int height;
    int frames;
    int delayCs; // hundredths of a second
};

/// Frames of diagonal stripes moving right, a full 256-colour map.
bool WriteGif(const std::string& path, const Setup& s)
{
    int error = 0;
    GifFileType* gif = EGifOpenFileName(path.c_str(), false, &error);
    if (!gif)
        return false;
    GifColorType colours[256];
    for (int i = 0; i < 256; i++)
        colours[i] = GifColorType{GifByteType(i), GifByteType(255 - i), GifByteType(i * 7)};
    ColorMapObject* map = GifMakeMapObject(256, colours);
    bool ok = EGifPutScreenDesc(gif, s.width, s.height, 8, 0, map) == GIF_OK;
    GifFreeMapObject(map);
    // Played for ever: the loop ends when the benchmark has seen every frame.
    const unsigned char loop[3] = {1, 0, 0};
    ok = ok && EGifPutExtensionLeader(gif, APPLICATION_EXT_FUNC_CODE) == GIF_OK &&
         EGifPutExtensionBlock(gif, 11, "NETSCAPE2.0") == GIF_OK &&
         EGifPutExtensionBlock(gif, 3, loop) == GIF_OK && EGifPutExtensionTrailer(gif) == GIF_OK;
    std::vector<GifByteType> row(size_t(s.width));
    for (int f = 0; f < s.frames && ok; f++)
    {
        GraphicsControlBlock gcb{DISPOSAL_UNSPECIFIED, false, s.delayCs, NO_TRANSPARENT_COLOR};
        GifByteType ext[4];
        EGifGCBToExtension(&gcb, ext);
        ok = EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, ext) == GIF_OK &&
             EGifPutImageDesc(gif, 0, 0, s.width, s.height, false, nullptr) == GIF_OK;
        for (int y = 0; y < s.height && ok; y++)
        {
            for (int x = 0; x < s.width; x++)
                row[size_t(x)] = GifByteType(((x + y + 4 * f) / 16) * 13);
            ok = EGifPutLine(gif, row.data(), s.width) == GIF_OK;
        }
    }
    return EGifCloseFile(gif, &error) == GIF_OK && ok;
}

/// Resident memory of our own (not the pages of mapped files: the player
/// maps the file, QMovie reads it).
long long ResidentBytes()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("RssAnon:", 0) == 0)
            return std::atoll(line.c_str() + 8) * 1024;
    return 0;
}

struct Result
{
    double seconds = 0;
    int late = 0;
    long long peakOver = 0;
    int frames = 0;
};

/// Runs the event loop while the player shows frames, until n were shown.
template <class Start> Result Play(int n, int delayMs, Start start)
{
    Result r;
    const long long before = ResidentBytes();
    QElapsedTimer clock;
    qint64 first = -1, last = 0;
    const auto onFrame = [&]
    {
        const qint64 now = clock.elapsed();
        if (first < 0)
            first = now;
        else if (now - last > 2 * delayMs)
            r.late++;
        last = now;
        r.frames++;
        r.peakOver = std::max(r.peakOver, ResidentBytes() - before);
    };
    clock.start();
    start(onFrame);
    while (r.frames < n && clock.elapsed() < 60000ll * 10)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    r.seconds = double(last - first) / 1000;
    return r;
}

void Print(const char* name, const Result& r, const Setup& s)
{
    const double nominal = double(s.frames - 1) * s.delayCs / 100;
    std::printf("%-10s %6d %9.2f %9.2f %7.2f %6d %14.1f\n", name, r.frames, r.seconds, nominal,
                r.seconds / nominal, r.late, double(r.peakOver) / (4.0 * s.width * s.height));
}
} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const bool quick = argc > 1 && std::strcmp(argv[1], "--quick") == 0;
    const Setup s = quick ? Setup{100, 100, 20, 2} : Setup{1000, 1000, 500, 2};
    QTemporaryDir dir;
    const std::string path = QDir(dir.path()).filePath(QStringLiteral("long.gif")).toStdString();
    if (!WriteGif(path, s))
    {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        return 1;
    }
    const int delay = s.delayCs * 10;

    std::unique_ptr<CDrawDibBmp> pOnScreen;
    std::function<void()> tick;
    CAnimationPlayer player(
        [&](CAnimationPlayer::Frame frame)
        {
            CAnimationPlayer::Frame before;
            before.pBmp = std::exchange(pOnScreen, std::move(frame.pBmp));
            tick();
            return before;
        });
    const Result ours = Play(s.frames, delay,
                             [&](const std::function<void()>& onFrame)
                             {
                                 tick = onFrame;
                                 player.Start(path);
                             });
    player.Stop();
    pOnScreen.reset();

    QMovie movie(QString::fromStdString(path));
    movie.setCacheMode(QMovie::CacheNone);
    const Result peer = Play(s.frames, delay,
                             [&](const std::function<void()>& onFrame)
                             {
                                 QObject::connect(&movie, &QMovie::frameChanged, &movie,
                                                  [onFrame](int) { onFrame(); });
                                 movie.start();
                             });
    movie.stop();

    std::printf("%d frames of %d x %d, %d ms each; time = first to last frame shown;\n"
                "speed = time / the delays' sum (1.00 is the animation's own); late = frames\n"
                "more than two delays after the one before; memory = peak anonymous resident\n"
                "memory while playing, less before, in frames of 4 bytes a pixel\n\n",
                s.frames, s.width, s.height, delay);
    std::printf("%-10s %6s %9s %9s %7s %6s %14s\n", "player", "frames", "time s", "delays s",
                "speed", "late", "memory frames");
    Print("ours", ours, s);
    Print("QMovie", peer, s);
    if (ours.frames < s.frames || peer.frames < s.frames)
    {
        std::fprintf(stderr, "not every frame was shown\n");
        return 1;
    }
    return 0;
}
