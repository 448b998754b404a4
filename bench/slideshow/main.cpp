// Slide changes with 24-megapixel JPEGs at a one-second delay, against the
// peer of a viewer that decodes each picture on the user-interface thread
// when its tick comes (QImageReader into a QLabel, the plain way).
//
// For each, over the same pictures in the same run:
//  - the longest gap between two timeouts of a 10 ms timer on the
//    user-interface thread (how long the thread was blocked), and its 99th
//    percentile;
//  - each slide's time on screen (from one slide's first paint to the next
//    one's) against the delay: the largest deviation;
//  - the time from a slide change to the new picture's first paint.
//
// Run it on a display (xvfb-run -a -s "-screen 0 1920x1200x24"); --quick
// runs a short smoke pass with small pictures on any platform.
#include "FileListCtrl.h"
#include "MDIChildWnd.h"
#include "MainFrame.h"
#include "PLView.h"
#include "ScratchHome.h"
#include "Settings.h"
#include "Slideshow.h"
#include "Stats.h"
#include "VistrelApp.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QLabel>
#include <QPainter>
#include <QPointer>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <vector>

namespace
{
/// Pictures with detail everywhere, so that the JPEGs are of a usual size.
QStringList WritePictures(const QString& dir, int n, QSize size)
{
    QStringList paths;
    for (int i = 0; i < n; ++i)
    {
        QImage image(size, QImage::Format_RGB32);
        for (int y = 0; y < size.height(); ++y)
        {
            auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
            for (int x = 0; x < size.width(); ++x)
                row[x] = qRgb((x * (i + 3)) ^ y, (y * 7 + x / 5) & 0xFF, (x + y + i * 40) & 0xFF);
        }
        const QString path = QDir(dir).filePath(QStringLiteral("slide%1.jpg").arg(i + 1));
        image.save(path, "JPG", 90);
        paths.append(path);
    }
    QFile notes(QDir(dir).filePath(QStringLiteral("notes.txt")));
    if (notes.open(QIODevice::WriteOnly))
        notes.write("not a picture\n");
    return paths;
}

/// Records the longest stalls of the user-interface thread: the gaps between
/// timeouts of a 10 ms timer.
class StallMeter
{
public:
    explicit StallMeter(const QElapsedTimer& clock) : m_clock(clock)
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(10);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { Tick(); });
    }
    void Start()
    {
        m_gaps.clear();
        m_last = Now(m_clock);
        m_timer.start();
    }
    void Stop() { m_timer.stop(); }
    double Longest() const
    {
        return m_gaps.empty() ? 0 : *std::max_element(m_gaps.begin(), m_gaps.end());
    }
    double P99() const { return Percentile(m_gaps, 0.99); }

private:
    void Tick()
    {
        const double now = Now(m_clock);
        m_gaps.push_back(now - m_last);
        m_last = now;
    }
    const QElapsedTimer& m_clock;
    QTimer m_timer;
    std::vector<double> m_gaps;
    double m_last = 0;
};

/// Calls back on the first paint of a widget.
class FirstPaint : public QObject
{
public:
    FirstPaint(QWidget* pWidget, std::function<void()> done) : m_done(std::move(done))
    {
        pWidget->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* pWatched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && m_done)
        {
            // After the paint itself: the picture is on screen.
            QTimer::singleShot(0, this, [done = std::exchange(m_done, nullptr)] { done(); });
            pWatched->removeEventFilter(this);
        }
        return false;
    }

private:
    std::function<void()> m_done;
};

struct Result
{
    double longestGap = 0;
    double p99Gap = 0;
    double worstDeviation = 0; // largest |time on screen - delay|
    double meanOnScreen = 0;
    double worstToPaint = 0; // slide change to first paint
    int slides = 0;
};

void Summarise(Result& r, const std::vector<double>& painted, const std::vector<double>& toPaint,
               double delay)
{
    r.slides = int(painted.size());
    double sum = 0;
    for (size_t i = 1; i < painted.size(); ++i)
    {
        const double onScreen = painted[i] - painted[i - 1];
        sum += onScreen;
        r.worstDeviation = std::max(r.worstDeviation, std::fabs(onScreen - delay));
    }
    r.meanOnScreen = painted.size() > 1 ? sum / double(painted.size() - 1) : 0;
    r.worstToPaint = toPaint.empty() ? 0 : *std::max_element(toPaint.begin(), toPaint.end());
}

void RunEventLoopUntil(const std::function<bool()>& done, double ms)
{
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < ms)
        QApplication::processEvents(QEventLoop::AllEvents, 5);
}

/// Our slideshow over the folder, through the program's own command.
Result RunOurs(CVistrelApp& vistrel, const QString& dir, int delay, int nSlides,
               const QElapsedTimer& clock)
{
    Settings::WriteProfileInt(QStringLiteral("Settings"), QStringLiteral("slideshowspeed"), delay);
    Settings::WriteProfileInt(QStringLiteral("Settings"), QStringLiteral("randomslideshow"), 0);
    vistrel.GetMainFrame()->SetListDirectory(dir);
    std::vector<double> shown, painted, toPaint;
    std::vector<std::unique_ptr<FirstPaint>> watchers;
    CSlideshow& show = vistrel.GetSlideshow();
    QObject::connect(&show, &CSlideshow::SlideShown, &show,
                     [&]
                     {
                         const double at = Now(clock);
                         shown.push_back(at);
                         auto* view =
                             dynamic_cast<CPLView*>(show.GetCurrentSlideFrame()->GetActiveView());
                         watchers.push_back(std::make_unique<FirstPaint>(
                             view->viewport(),
                             [&, at]
                             {
                                 painted.push_back(Now(clock));
                                 toPaint.push_back(painted.back() - at);
                             }));
                     });
    StallMeter meter(clock);
    vistrel.StartSlideshow();
    // The first slide's decode is the start's; the meter runs from its paint.
    RunEventLoopUntil([&] { return !painted.empty(); }, 30000);
    meter.Start();
    RunEventLoopUntil([&] { return int(painted.size()) > nSlides; }, 30000 + nSlides * delay * 3);
    meter.Stop();
    vistrel.StopSlideshow();
    QObject::disconnect(&show, &CSlideshow::SlideShown, &show, nullptr);
    Result r;
    r.longestGap = meter.Longest();
    r.p99Gap = meter.P99();
    Summarise(r, painted, toPaint, delay);
    return r;
}

/// The peer: at each tick of a one-second timer, the next picture is read on
/// the user-interface thread and shown in a maximised QLabel.
Result RunPeer(const QStringList& paths, int delay, int nSlides, const QElapsedTimer& clock)
{
    QLabel label;
    label.setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label.showMaximized();
    std::vector<double> painted, toPaint;
    std::unique_ptr<FirstPaint> watcher;
    int next = 0;
    auto show = [&]
    {
        const double at = Now(clock);
        QImageReader reader(paths[next++ % paths.size()]);
        label.setPixmap(QPixmap::fromImage(reader.read()));
        watcher = std::make_unique<FirstPaint>(&label,
                                               [&, at]
                                               {
                                                   painted.push_back(Now(clock));
                                                   toPaint.push_back(painted.back() - at);
                                               });
    };
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    tick.setInterval(delay);
    QObject::connect(&tick, &QTimer::timeout, show);
    StallMeter meter(clock);
    show();
    RunEventLoopUntil([&] { return !painted.empty(); }, 30000);
    tick.start();
    meter.Start();
    RunEventLoopUntil([&] { return int(painted.size()) > nSlides; }, 30000 + nSlides * delay * 3);
    meter.Stop();
    tick.stop();
    Result r;
    r.longestGap = meter.Longest();
    r.p99Gap = meter.P99();
    Summarise(r, painted, toPaint, delay);
    return r;
}

void Print(const char* who, const Result& r, int delay)
{
    std::printf("%-5s  longest stall %6.1f ms (99%%: %5.1f ms)   on screen: mean %7.1f ms, "
                "worst %+6.1f ms off the %d ms delay   change to first paint: worst %6.1f ms   "
                "(%d slides)\n",
                who, r.longestGap, r.p99Gap, r.meanOnScreen, r.worstDeviation, delay,
                r.worstToPaint, r.slides);
}
} // namespace

int main(int argc, char** argv)
{
    const bool bQuick = argc > 1 && std::strcmp(argv[1], "--quick") == 0;
    CScratchHome scratch(argc, argv);
    if (!scratch.IsValid())
        return 2;
    QApplication app(scratch.Argc(), scratch.Argv());
    scratch.KeepSettingsHere();
    const QString home = scratch.Path();

    const QSize size = bQuick ? QSize(600, 400) : QSize(6000, 4000);
    const int delay = bQuick ? 200 : 1000, nSlides = bQuick ? 2 : 8;
    const QString dir = QDir(home).filePath(QStringLiteral("slides"));
    QDir().mkpath(dir);
    const QStringList paths = WritePictures(dir, 3, size);
    std::printf("%d x %d JPEGs (%.1f MB each), a text file, %d ms delay, sequential order\n",
                size.width(), size.height(), double(QFile(paths[0]).size()) / 1e6, delay);

    QElapsedTimer clock;
    clock.start();
    CVistrelApp vistrel;
    if (!vistrel.InitInstance())
        return 1;
    vistrel.GetMainFrame()->showMaximized();
    const Result ours = RunOurs(vistrel, dir, delay, nSlides, clock);
    vistrel.GetMainFrame()->hide();
    const Result peer = RunPeer(paths, delay, nSlides, clock);
    Print("ours", ours, delay);
    Print("peer", peer, delay);
    std::printf("ratio  longest stall %.2f   worst deviation from the delay %.2f\n",
                ours.longestGap / peer.longestGap,
                peer.worstDeviation > 0 ? ours.worstDeviation / peer.worstDeviation : 0);
    vistrel.GetMainFrame()->close();
    return ours.slides > nSlides ? 0 : 1;
}
