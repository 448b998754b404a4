// One repaint of an image view at each zoom step (and a scroll by 40 pixels
// at the same zoom), through the renderer and the picture's reduced copies,
// against a QGraphicsView with smooth transformation zooming the same picture:
// milliseconds per repaint, best of alternating batches. Also what the
// reduced copies cost in memory and time to make.
#include "BmpPyramid.h"
#include "DrawDibBmp.h"
#include "PictureRenderer.h"
#include "ZoomModel.h"

#include <QApplication>
#include <QGraphicsPixmapItem>
#include <QGraphicsScene>
#include <QGraphicsView>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <random>
#include <vector>

namespace
{
using Clock = std::chrono::steady_clock;

double MsSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

/// Milliseconds per call of a batch of at least budgetMs.
double TimeBatch(const std::function<void()>& paint, double budgetMs)
{
    int n = 0;
    const auto start = Clock::now();
    do
    {
        paint();
        n++;
    } while (MsSince(start) < budgetMs);
    return MsSince(start) / n;
}

/// Best of alternating batches, so that both see the same load.
std::pair<double, double> TimePair(const std::function<void()>& ours,
                                   const std::function<void()>& peer, int batches, double budgetMs)
{
    double a = 1e30;
    double b = 1e30;
    for (int i = 0; i < batches; i++)
    {
        a = std::min(a, TimeBatch(ours, budgetMs));
        b = std::min(b, TimeBatch(peer, budgetMs));
    }
    return {a, b};
}

/// A photo-like picture: smooth gradients under fine noise, so that neither
/// path meets flat colour.
void FillPicture(CDrawDibBmp& bmp, int w, int h)
{
    bmp.Create(w, h, 32, false);
    std::minstd_rand noise(7);
    uint8_t** lines = bmp.GetLineArray();
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++)
        {
            uint8_t* p = lines[y] + 4 * size_t(x);
            const int n = int(noise() % 32);
            p[0] = uint8_t(x * 200 / w + n);
            p[1] = uint8_t(y * 200 / h + n);
            p[2] = uint8_t(((x + y) * 100 / (w + h)) + n);
            p[3] = 0xFF;
        }
}

QImage TopDownCopy(CDrawDibBmp& bmp)
{
    QImage img(bmp.GetWidth(), bmp.GetHeight(), QImage::Format_RGB32);
    for (int y = 0; y < img.height(); y++)
        std::memcpy(img.scanLine(y), bmp.GetLineArray()[y], size_t(img.bytesPerLine()));
    return img;
}
} // namespace

int main(int argc, char** argv)
{
    const bool quick = argc > 1 && std::strcmp(argv[1], "--quick") == 0;
    QApplication app(argc, argv);
    const int picW = quick ? 600 : 6000;
    const int picH = quick ? 400 : 4000;
    const QSize window(quick ? 320 : 1920, quick ? 200 : 1080);
    const int batches = quick ? 1 : 5;
    const double budgetMs = quick ? 1 : 120;

    CDrawDibBmp bmp;
    FillPicture(bmp, picW, picH);
    CBmpPyramid pyramid;
    const auto buildStart = Clock::now();
    pyramid.Build(bmp);
    const double buildMs = MsSince(buildStart);
    const double bitmapBytes = double(bmp.GetStorageBytes());
    std::printf("%d x %d picture, %d x %d view. Reduced copies: %.1f ms to make, picture with "
                "copies %.2fx the bitmap\n",
                picW, picH, window.width(), window.height(), buildMs,
                (bitmapBytes + double(pyramid.GetMemoryUse())) / bitmapBytes);

    CPictureRenderer renderer;
    renderer.m_pFull = &bmp;
    renderer.m_pPyramid = &pyramid;
    const CPictureRenderer::Backdrop backdrop;
    QImage target(window, QImage::Format_RGB32);

    // The peer: the same picture in a QGraphicsView, smooth, rendered into
    // an image of the window's size.
    QGraphicsScene scene;
    QGraphicsPixmapItem* item = scene.addPixmap(QPixmap::fromImage(TopDownCopy(bmp)));
    item->setTransformationMode(Qt::SmoothTransformation);
    QGraphicsView view(&scene);
    view.setRenderHint(QPainter::SmoothPixmapTransform);
    view.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    view.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    view.setFrameShape(QFrame::NoFrame);
    view.resize(window);

    double worstOurs = 0;
    double worstPeer = 0;
    std::printf("%8s %10s %12s %8s\n", "zoom", "ours ms", "QGraphics ms", "ratio");
    std::vector<double> zooms{ZoomModel::kMin};
    while (zooms.back() < ZoomModel::kMax)
        zooms.push_back(ZoomModel::Step(zooms.back(), true));
    for (const double zoom : zooms)
    {
        const QSize scaled = ZoomModel::ScaledSize(QSize(picW, picH), zoom);
        // A scroll of 40 pixels between the two repaints of a pair: the
        // middle of the picture, as after zooming around the pointer.
        const QPoint middle = ZoomModel::MaxOffset(scaled, window) / 2;
        int scroll = 0;
        const auto ours = [&]
        {
            const QPoint offset = middle + QPoint(scroll = 40 - scroll, 0);
            const QPoint origin = ZoomModel::Origin(scaled, window, offset);
            QPainter p(&target);
            p.setClipRect(QRect(QPoint(0, 0), window));
            renderer.Draw(p, QRect(origin, scaled), true, backdrop);
        };
        view.resetTransform();
        view.scale(zoom, zoom);
        const QPointF centre(picW / 2.0, picH / 2.0);
        const auto peer = [&]
        {
            view.centerOn(centre + QPointF((scroll = 40 - scroll) / zoom, 0));
            QPainter p(&target);
            view.render(&p, QRectF(QPointF(0, 0), QSizeF(window)), QRect(QPoint(0, 0), window));
        };
        const auto [a, b] = TimePair(ours, peer, batches, budgetMs);
        worstOurs = std::max(worstOurs, a);
        worstPeer = std::max(worstPeer, b);
        std::printf("%7.1f%% %10.2f %12.2f %8.2f\n", zoom * 100, a, b, a / b);
        std::fflush(stdout);
    }
    std::printf("worst repaint: ours %.2f ms, QGraphicsView %.2f ms (ratio %.2f)\n", worstOurs,
                worstPeer, worstOurs / worstPeer);
    return 0;
}
