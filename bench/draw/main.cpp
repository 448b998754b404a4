// Time to paint one view of a large picture, on both drawing paths, at 1:1
// (a scrolled region) and fitted to the view, against a plain
// QPainter::drawImage of the same picture held as a top-down QImage. Times
// are wall-clock and process CPU time, best of alternating batches.
#include "DrawDibBmp.h"

#include <QImage>
#include <QPainter>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <chrono>
#include <ctime>
#include <functional>
#include <utility>
#include <vector>

namespace
{
constexpr int kPicW = 8000;
constexpr int kPicH = 6000;
constexpr int kViewW = 1920;
constexpr int kViewH = 1080;
constexpr int kScrollX = 3000;
constexpr int kScrollY = 2000;

using PaintFn = std::function<void(QPainter&)>;

/// Milliseconds per paint of a batch of at least 150 ms: wall-clock time
/// (Qt spreads some paints over threads), and the process's CPU time.
std::pair<double, double> TimeBatch(QImage& target, const PaintFn& paint)
{
    using Clock = std::chrono::steady_clock;
    int n = 0;
    const auto start = Clock::now();
    const std::clock_t cpuStart = std::clock();
    std::chrono::duration<double, std::milli> elapsed{};
    do
    {
        QPainter p(&target);
        paint(p);
        p.end();
        n++;
        elapsed = Clock::now() - start;
    } while (elapsed.count() < 150.0);
    const double cpuMs = 1000.0 * double(std::clock() - cpuStart) / CLOCKS_PER_SEC;
    return {elapsed.count() / n, cpuMs / n};
}

struct Timing
{
    double wall = 1e30;
    double cpu = 1e30;
};

/// Best times per paint of each, batches alternating so that both see the
/// same load on the machine.
std::pair<Timing, Timing> TimePair(QImage& target, const PaintFn& ours, const PaintFn& peer)
{
    Timing a;
    Timing b;
    for (int batch = 0; batch < 7; batch++)
    {
        const auto [wa, ca] = TimeBatch(target, ours);
        const auto [wb, cb] = TimeBatch(target, peer);
        a = {std::min(a.wall, wa), std::min(a.cpu, ca)};
        b = {std::min(b.wall, wb), std::min(b.cpu, cb)};
    }
    return {a, b};
}

/// A picture with some structure in it, so that no path is unusually cheap.
void FillPicture(CDrawDibBmp& bmp, int bpp)
{
    bmp.Create(kPicW, kPicH, bpp, false);
    uint8_t** lines = bmp.GetLineArray();
    for (int y = 0; y < kPicH; y++)
    {
        uint8_t* row = lines[y];
        if (bpp == 32)
            for (int x = 0; x < kPicW; x++)
            {
                row[4 * x] = uint8_t(x);
                row[4 * x + 1] = uint8_t(y);
                row[4 * x + 2] = uint8_t(x ^ y);
                row[4 * x + 3] = 0xFF;
            }
        else
            for (int x = 0; x < kPicW; x++)
                row[x] = uint8_t((x + y) ^ (x >> 3));
    }
    if (bpp == 8)
    {
        std::vector<PaletteEntry> pal(256);
        for (int i = 0; i < 256; i++)
            pal[size_t(i)] = PaletteEntry{uint8_t(i), uint8_t(255 - i), uint8_t(i * 7), 0};
        bmp.SetPalette(pal.data());
    }
}

/// The baseline's picture: a top-down QImage copy of the same rows.
QImage TopDownCopy(const CDrawDibBmp& bmp)
{
    const bool indexed = bmp.GetBitsPerPixel() == 8;
    QImage img(kPicW, kPicH, indexed ? QImage::Format_Indexed8 : QImage::Format_RGB32);
    for (int y = 0; y < kPicH; y++)
        std::memcpy(img.scanLine(y), bmp.GetLineArray()[y], size_t(img.bytesPerLine()));
    if (indexed)
    {
        QList<QRgb> table;
        for (int i = 0; i < 256; i++)
        {
            const PaletteEntry& e = bmp.GetPaletteTable()[i];
            table.append(qRgb(e.r, e.g, e.b));
        }
        img.setColorTable(table);
    }
    return img;
}

void RunPicture(int bpp, QImage::Format targetFormat, const char* targetName)
{
    CDrawDibBmp bmp;
    FillPicture(bmp, bpp);
    const QImage peer = TopDownCopy(bmp);
    QImage target(kViewW, kViewH, targetFormat);
    target.fill(Qt::black);

    const CRect whole{0, 0, kPicW, kPicH};
    const CRect view{0, 0, kViewW, kViewH};
    struct Case
    {
        const char* name;
        bool fit;
        bool smooth;
    };
    const Case cases[] = {{"1:1  plain ", false, false},
                          {"1:1  smooth", false, true},
                          {"fit  plain ", true, false},
                          {"fit  smooth", true, true}};
    for (const Case& c : cases)
    {
        const auto [ours, base] = TimePair(
            target,
            [&](QPainter& p)
            {
                if (c.fit)
                    bmp.Render(p, &view, &whole, c.smooth, nullptr, false);
                else
                {
                    p.translate(-kScrollX, -kScrollY);
                    bmp.Render(p, &whole, &whole, c.smooth, nullptr, false);
                }
            },
            [&](QPainter& p)
            {
                p.setRenderHint(QPainter::SmoothPixmapTransform, c.smooth);
                if (c.fit)
                    p.drawImage(QRect(0, 0, kViewW, kViewH), peer);
                else
                {
                    p.translate(-kScrollX, -kScrollY);
                    p.drawImage(QRect(0, 0, kPicW, kPicH), peer, QRect(0, 0, kPicW, kPicH));
                }
            });
        std::printf("%2d bit  %-8s %s  wall: ours %7.2f ms, drawImage %7.2f ms, ratio %.2f"
                    "   cpu: ours %7.2f ms, drawImage %7.2f ms, ratio %.2f\n",
                    bpp, targetName, c.name, ours.wall, base.wall, ours.wall / base.wall, ours.cpu,
                    base.cpu, ours.cpu / base.cpu);
    }
    // The renderer must have drawn from the bitmap's own rows throughout.
    const CDibImage& wrapper = bmp.GetDrawDib();
    std::printf("        wrapper set up %d time(s), draws from the bitmap's own rows: %s\n",
                wrapper.GetSetupCount(),
                wrapper.GetImage().constBits() == bmp.GetBits() ? "yes" : "NO");
}
} // namespace

int main(int argc, char** argv)
{
    // An optional argument picks one depth: 32 or 8.
    const int only = argc > 1 ? std::atoi(argv[1]) : 0;
    std::printf("%d x %d picture, %d x %d view scrolled to (%d, %d) or fitted\n", kPicW, kPicH,
                kViewW, kViewH, kScrollX, kScrollY);
    for (int bpp : {32, 8})
    {
        if (only && bpp != only)
            continue;
        RunPicture(bpp, QImage::Format_ARGB32_Premultiplied, "ARGB32PM");
        RunPicture(bpp, QImage::Format_RGB32, "RGB32");
    }
    return 0;
}
