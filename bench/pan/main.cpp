// Automatic panning of a 6000 x 4000 picture in a 1280 x 900 view, against
// the peer of Qt's image-viewer example: a QLabel with the picture's pixmap
// in a QScrollArea, stepped by a precise timer on the user-interface thread.
//
//  1. One step's repaint: scroll by one pixel and paint what that marks at
//     once, each view in turn; median and 95th percentile.
//  2. Frames: the real panning worker runs on our view for a few seconds,
//     the timer steps the peer as often; steps and paints per second, the
//     longest gap between two paints and the frames dropped (gaps longer
//     than one and a half frames).
//
// Run it on a display of at least 1400 x 1000 (xvfb-run -a -s "-screen 0
// 1920x1200x24"); --quick runs a short smoke pass on any platform.
#include "DIBSection.h"
#include "DocTemplate.h"
#include "Document.h"
#include "MDIChildWnd.h"
#include "MainFrame.h"
#include "PLView.h"
#include "PLViewerDoc.h"
#include "ScratchHome.h"
#include "Settings.h"
#include "Stats.h"
#include "VistrelApp.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

namespace
{
constexpr int kPicW = 6000;
constexpr int kPicH = 4000;
const QSize kView(1280, 900);

/// Records when a widget is painted.
class PaintClock : public QObject
{
public:
    PaintClock(QWidget* pWidget, const QElapsedTimer& clock) : m_clock(clock)
    {
        pWidget->installEventFilter(this);
    }
    std::vector<double> m_times;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            m_times.push_back(Now(m_clock));
        return false;
    }

private:
    const QElapsedTimer& m_clock;
};

struct Frames
{
    double stepsPerSecond = 0;
    double paintsPerSecond = 0;
    double longestGapMs = 0;
    int dropped = 0;
};

Frames Summarise(const std::vector<double>& paints, int steps, double seconds, double frameMs)
{
    Frames f;
    f.stepsPerSecond = steps / seconds;
    f.paintsPerSecond = double(paints.size()) / seconds;
    for (size_t i = 1; i < paints.size(); ++i)
    {
        const double gap = paints[i] - paints[i - 1];
        f.longestGapMs = std::max(f.longestGapMs, gap);
        f.dropped += gap > 1.5 * frameMs ? int(gap / frameMs + 0.5) - 1 : 0;
    }
    return f;
}

/// The picture: some structure, so that no path is unusually cheap.
QString WritePicture(const QString& dir, QImage& peer)
{
    CDIBSection bmp;
    bmp.Create(kPicW, kPicH, 32, false);
    peer = QImage(kPicW, kPicH, QImage::Format_RGB32);
    for (int y = 0; y < kPicH; ++y)
    {
        uint8_t* row = bmp.GetLineArray()[y];
        for (int x = 0; x < kPicW; ++x)
        {
            row[4 * x] = uint8_t(x);
            row[4 * x + 1] = uint8_t(y);
            row[4 * x + 2] = uint8_t(x ^ y);
            row[4 * x + 3] = 0xFF;
        }
        std::memcpy(peer.scanLine(y), row, size_t(4 * kPicW));
    }
    const QString path = QDir(dir).filePath(QStringLiteral("pan.bmp"));
    bmp.SaveAsBmp(QFile::encodeName(path).toStdString());
    return path;
}

/// Sizes the frame so that the view's client area is exactly the size.
void SetClientSize(QWidget* pView, QWidget* pViewport, QWidget* pFrame, QSize size)
{
    for (int i = 0; i < 4; ++i)
    {
        pFrame->resize(pFrame->size() + (size - pViewport->size()));
        QApplication::processEvents();
    }
    pView->setFocus();
}

/// Repaint times of single one-pixel steps down, milliseconds.
std::vector<double> StepRepaints(QAbstractScrollArea* pArea, int nSteps)
{
    std::vector<double> times;
    QElapsedTimer clock;
    QScrollBar* bar = pArea->verticalScrollBar();
    for (int i = 0; i < nSteps; ++i)
    {
        clock.start();
        // What the step marks for painting is painted and put on screen now.
        bar->setValue(bar->value() + 1);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::UpdateRequest);
        times.push_back(double(clock.nsecsElapsed()) / 1e6);
    }
    return times;
}

void RunEventLoop(double ms)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms)
        QApplication::processEvents(QEventLoop::AllEvents, 5);
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
    Settings::WriteProfileInt(QStringLiteral("Settings"), QStringLiteral("pandelay"), 0);

    QImage peerImage;
    const QString path = WritePicture(home, peerImage);
    CVistrelApp vistrel;
    if (!vistrel.InitInstance())
        return 1;
    vistrel.GetMainFrame()->showMaximized();
    CDocument* pDoc = vistrel.GetImageTemplate()->OpenDocumentFile(path, true);
    auto* view = pDoc ? dynamic_cast<CPLView*>(pDoc->GetFirstView()) : nullptr;
    if (!view)
        return 1;
    // The picture decodes off this thread.
    while (static_cast<CPLViewerDoc*>(pDoc)->IsLoading())
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    SetClientSize(view, view->viewport(), view->GetParentFrame(), kView);

    QScrollArea peer;
    auto* label = new QLabel;
    label->setPixmap(QPixmap::fromImage(peerImage));
    peer.setWidget(label);
    peer.setFrameShape(QFrame::NoFrame);
    peer.show();
    SetClientSize(&peer, peer.viewport(), &peer, kView);

    const double rate = view->screen()->refreshRate();
    const double steps = rate >= 1 ? std::min(rate, 120.0) : 60;
    const double frameMs = 1000.0 / steps;
    std::printf("%d x %d picture; views %d x %d (ours) and %d x %d (peer); %.0f Hz screen, "
                "%.0f steps a second wanted\n",
                kPicW, kPicH, view->viewport()->width(), view->viewport()->height(),
                peer.viewport()->width(), peer.viewport()->height(), rate, steps);

    // 1. One step's repaint, alternating batches so both see the same load.
    std::vector<double> ours, theirs;
    const int nBatches = bQuick ? 1 : 6, nSteps = bQuick ? 10 : 100;
    for (int batch = 0; batch < nBatches; ++batch)
    {
        const auto a = StepRepaints(view, nSteps);
        const auto b = StepRepaints(&peer, nSteps);
        ours.insert(ours.end(), a.begin(), a.end());
        theirs.insert(theirs.end(), b.begin(), b.end());
    }
    const double om = Percentile(ours, 0.5), pm = Percentile(theirs, 0.5);
    const double o95 = Percentile(ours, 0.95), p95 = Percentile(theirs, 0.95);
    std::printf("step repaint  median: ours %6.2f ms, peer %6.2f ms, ratio %.2f   "
                "95%%: ours %6.2f ms, peer %6.2f ms, ratio %.2f\n",
                om, pm, om / pm, o95, p95, o95 / p95);

    // 2. Frames while panning.
    const double runMs = bQuick ? 300 : 4000;
    view->verticalScrollBar()->setValue(0);
    peer.verticalScrollBar()->setValue(0);
    QElapsedTimer clock;
    clock.start();
    Frames fo, fp;
    {
        PaintClock paints(view->viewport(), clock);
        const double start = Now(clock);
        vistrel.StartPanning();
        RunEventLoop(runMs);
        const int moved = view->verticalScrollBar()->value();
        vistrel.StopPanning();
        fo = Summarise(paints.m_times, moved, (Now(clock) - start) / 1000, frameMs);
    }
    {
        PaintClock paints(peer.widget(), clock); // the label scrolls inside the viewport
        QTimer timer;
        timer.setTimerType(Qt::PreciseTimer);
        timer.setInterval(int(frameMs + 0.5));
        QObject::connect(
            &timer, &QTimer::timeout, &peer,
            [&peer] { peer.verticalScrollBar()->setValue(peer.verticalScrollBar()->value() + 1); });
        const double start = Now(clock);
        timer.start();
        RunEventLoop(runMs);
        timer.stop();
        fp = Summarise(paints.m_times, peer.verticalScrollBar()->value(),
                       (Now(clock) - start) / 1000, frameMs);
    }
    std::printf("panning       steps/s: ours %6.1f, peer %6.1f, ratio %.2f   paints/s: ours "
                "%6.1f, peer %6.1f   longest gap: ours %5.1f ms, peer %5.1f ms   dropped "
                "frames: ours %d, peer %d\n",
                fo.stepsPerSecond, fp.stepsPerSecond, fo.stepsPerSecond / fp.stepsPerSecond,
                fo.paintsPerSecond, fp.paintsPerSecond, fo.longestGapMs, fp.longestGapMs,
                fo.dropped, fp.dropped);
    vistrel.GetMainFrame()->close();
    return fo.stepsPerSecond > 0 ? 0 : 1;
}
