// The open dialog's preview against a peer in the same run:
// - time from selecting a 6000 x 4000 JPEG until its preview is ready
//   (CPreviewPicture: our decoder on a worker, scaled to the panel), against
//   QImageReader reading the same file scaled to the panel (libjpeg's DCT
//   scaling) on the calling thread;
// - the longest the event loop is held while the selection moves through
//   eight such pictures, one every 20 ms.
// Usage: vistrel-bench-preview [--quick]; runs under QT_QPA_PLATFORM=offscreen.
#include "PreviewPicture.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QImageReader>
#include <QPainter>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace
{
QString MakeJpeg(const QString& path, QSize size, int seed)
{
    QImage image(size, QImage::Format_RGB32);
    QPainter painter(&image);
    QLinearGradient gradient(0, 0, size.width(), size.height());
    gradient.setColorAt(0, QColor::fromHsv(seed * 40 % 360, 200, 220));
    gradient.setColorAt(1, QColor::fromHsv((seed * 40 + 180) % 360, 200, 90));
    painter.fillRect(image.rect(), gradient);
    painter.end();
    // Grain, so that the file holds detail as a photograph does.
    quint32 noise = 2463534242u + quint32(seed);
    for (int y = 0; y < size.height(); ++y)
    {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < size.width(); ++x)
        {
            noise ^= noise << 13;
            noise ^= noise >> 17;
            noise ^= noise << 5;
            const int d = int(noise & 31) - 16;
            const QRgb p = row[x];
            row[x] = qRgb(std::clamp(qRed(p) + d, 0, 255), std::clamp(qGreen(p) + d, 0, 255),
                          std::clamp(qBlue(p) + d, 0, 255));
        }
    }
    image.save(path, "JPEG", 90);
    return path;
}

void Process(int ms)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

// Milliseconds until the preview of path is ready.
double TimePreview(CPreviewPicture& preview, const QString& path)
{
    preview.ClearPreview();
    QElapsedTimer clock;
    clock.start();
    preview.LoadPreview(path);
    while (!preview.HasImage() && clock.elapsed() < 20000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
    return clock.nsecsElapsed() / 1e6;
}

double TimeReader(const QString& path, QSize area)
{
    QElapsedTimer clock;
    clock.start();
    QImageReader reader(path);
    const QRect place = CPreviewPicture::PlaceOf(reader.size(), QRect(QPoint(0, 0), area));
    reader.setScaledSize(place.size());
    const QImage image = reader.read();
    return image.isNull() ? -1 : clock.nsecsElapsed() / 1e6;
}
} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const bool quick = argc > 1 && std::strcmp(argv[1], "--quick") == 0;
    const QSize size = quick ? QSize(600, 400) : QSize(6000, 4000);
    const int files = quick ? 2 : 8;
    QTemporaryDir dir;
    QStringList paths;
    for (int i = 0; i < files; ++i)
        paths.append(MakeJpeg(dir.filePath(QStringLiteral("p%1.jpg").arg(i)), size, i));

    CPreviewPicture preview;
    preview.resize(134, 138);
    const QSize area = preview.size() - QSize(2, 2);

    double ours = 1e9, peer = 1e9;
    for (int round = 0; round < 3; ++round)
    {
        ours = std::min(ours, TimePreview(preview, paths[round % files]));
        peer = std::min(peer, TimeReader(paths[round % files], area));
    }
    if (!preview.HasImage() || peer < 0)
    {
        std::printf("FAIL: no preview\n");
        return 1;
    }
    std::printf("preview of a %d x %d JPEG: %.1f ms; QImageReader scaled read: %.1f ms; "
                "ratio %.2f\n",
                size.width(), size.height(), ours, peer, ours / peer);

    // Moving the selection: a 2 ms timer measures the longest gap between its ticks.
    QElapsedTimer gap;
    qint64 longest = 0;
    QTimer ticker;
    ticker.setInterval(2);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        longest = std::max(longest, gap.restart());
    });
    int next = 0;
    QTimer mover;
    mover.setInterval(20);
    QObject::connect(&mover, &QTimer::timeout, [&] {
        if (next < files)
            preview.LoadPreview(paths[next++]);
    });
    gap.start();
    ticker.start();
    mover.start();
    Process(20 * files + 200);
    while (!preview.HasImage())
        Process(20);
    std::printf("selection through %d pictures: the event loop was held at most %lld ms\n",
                files, longest);
    return 0;
}
