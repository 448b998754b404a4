// Browsing speed against peers in the same run:
// - filling the file list with a folder of 10,000 files until the first page
//   is painted (names, sizes, types, dates and icons of the rows on screen),
//   against QFileSystemModel loading the same folder into a QTreeView, sorted
//   by name, until every row is in and the first page is painted;
// - the list with 100,000 files (the time the window is held);
// - the same in the thumbnail look (a placeholder or thumbnail per row), and
//   how long each scroll by a page holds the window there, 10,000 files;
// - copying a folder of 1,000 files of 1 MiB through CFileName::ShellCopyFiles
//   (worker thread and progress dialog included) against `cp -r`.
// Usage: vistrel-bench-browse [--quick] [--keep]; runs under QT_QPA_PLATFORM=offscreen.
#include "FileListCtrl.h"
#include "FileName.h"
#include "FileSystemModelPeer.h"
#include "Stats.h"
#include "ThumbnailView.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTreeView>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

namespace
{
const char* const kExtensions[] = {".jpg", ".png", ".txt", ".tif", ".bmp", ""};

// A folder of n small files (and a few folders), names as cameras make them.
void MakeFolder(const QString& path, int n)
{
    QDir().mkpath(path);
    const QByteArray base = QFile::encodeName(path);
    for (int i = 0; i < n; ++i)
    {
        char name[64];
        std::snprintf(name, sizeof name, "/IMG_%d%s", i, kExtensions[i % 6]);
        const int fd = open((base + name).constData(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
        if (fd >= 0)
        {
            const ssize_t w = write(fd, name, std::strlen(name));
            close(fd);
            (void)w;
        }
    }
    for (int i = 0; i < 20; ++i)
        QDir(path).mkdir(QStringLiteral("folder %1").arg(i));
}

double OursList(const QString& folder)
{
    CFileListCtrl list;
    list.resize(900, 700);
    list.show();
    QCoreApplication::processEvents();
    QElapsedTimer t;
    t.start();
    list.SetDirectory(folder);
    list.viewport()->repaint();
    return double(t.nsecsElapsed()) / 1e6;
}

/// The user-interface thread's own processor time in milliseconds: what it
/// did, whatever else the machine was doing meanwhile.
double ThreadCpuMs()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
}

struct ThumbnailRun
{
    double first = 0;
    std::vector<double> held; // wall time of each scroll, sorted
    std::vector<double> cpu;  // the thread's processor time of each, sorted
};

/// The thumbnail look: the time until its first page is painted, and how
/// long each scroll by a page holds the window.
ThumbnailRun OursThumbnails(const QString& folder, const QString& cache, int scrolls)
{
    CFileListCtrl list;
    CThumbnailView view(&list, nullptr, 2, cache);
    view.resize(900, 700);
    view.show();
    QCoreApplication::processEvents();
    QElapsedTimer t;
    t.start();
    list.SetDirectory(folder);
    view.doItemsLayout(); // as the first paint would, without waiting for its timer
    view.viewport()->repaint();
    ThumbnailRun run;
    run.first = double(t.nsecsElapsed()) / 1e6;
    QScrollBar* bar = view.verticalScrollBar();
    for (int i = 0; i < scrolls && bar->value() < bar->maximum(); ++i)
    {
        QCoreApplication::processEvents(); // thumbnails that came in meanwhile
        t.restart();
        const double cpu = ThreadCpuMs();
        bar->setValue(bar->value() + bar->pageStep());
        view.viewport()->repaint();
        QCoreApplication::processEvents();
        run.held.push_back(double(t.nsecsElapsed()) / 1e6);
        run.cpu.push_back(ThreadCpuMs() - cpu);
    }
    std::sort(run.held.begin(), run.held.end());
    std::sort(run.cpu.begin(), run.cpu.end());
    return run;
}

double PeerList(const QString& folder, int expectedRows)
{
    QTreeView view;
    view.resize(900, 700);
    return TimeFileSystemModel(view, folder, expectedRows).ms;
}

void MakeBigFiles(const QString& path, int n, int bytes)
{
    QDir().mkpath(path);
    std::vector<char> data(static_cast<size_t>(bytes));
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = char(i * 2654435761u >> 24);
    for (int i = 0; i < n; ++i)
    {
        QFile f(QStringLiteral("%1/file%2.bin").arg(path).arg(i));
        if (f.open(QIODevice::WriteOnly))
            f.write(data.data(), bytes);
    }
}

double OursCopy(const QString& from, const QString& to)
{
    QElapsedTimer t;
    t.start();
    const int ok = CFileName().ShellCopyFiles(nullptr, from, to + QLatin1Char('/'));
    sync();
    const double ms = double(t.nsecsElapsed()) / 1e6;
    return ok ? ms : -1;
}

double PeerCopy(const QString& from, const QString& to)
{
    QDir().mkpath(to);
    QElapsedTimer t;
    t.start();
    const int rc = QProcess::execute(QStringLiteral("cp"), {QStringLiteral("-r"), from, to});
    sync();
    const double ms = double(t.nsecsElapsed()) / 1e6;
    return rc == 0 ? ms : -1;
}
} // namespace

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    const bool bQuick = app.arguments().contains(QStringLiteral("--quick"));
    QTemporaryDir work(QDir::tempPath() + QStringLiteral("/vistrel-bench-browse-XXXXXX"));
    work.setAutoRemove(!app.arguments().contains(QStringLiteral("--keep")));
    if (!work.isValid())
        return 2;
    const int nFiles = bQuick ? 500 : 10000;
    const int rounds = bQuick ? 1 : 7;
    bool ok = true;

    // The list against QFileSystemModel, alternating, each on a fresh widget and model.
    const QString folder = work.path() + QStringLiteral("/list");
    MakeFolder(folder, nFiles);
    const int rows = nFiles + 20;
    std::vector<double> ours, peer;
    for (int r = 0; r < rounds; ++r)
    {
        ours.push_back(OursList(folder));
        peer.push_back(PeerList(folder, rows));
    }
    std::printf("list %d files: ours %.1f ms (first %.1f), QFileSystemModel+QTreeView %.1f ms "
                "(first %.1f); ratio %.2f\n",
                rows, Median(ours), ours.front(), Median(peer), peer.front(),
                Median(ours) / Median(peer));

    const QString cache = work.path() + QStringLiteral("/thumbnails");
    {
        std::vector<double> first, held, cpu;
        for (int r = 0; r < rounds; ++r)
        {
            const ThumbnailRun run = OursThumbnails(folder, cache, bQuick ? 5 : 60);
            first.push_back(run.first);
            held.insert(held.end(), run.held.begin(), run.held.end());
            cpu.insert(cpu.end(), run.cpu.begin(), run.cpu.end());
        }
        std::sort(held.begin(), held.end());
        std::sort(cpu.begin(), cpu.end());
        std::printf("thumbnails %d files: first page %.1f ms (details %.1f ms); a scroll by a page "
                    "holds the window median %.1f ms, 99th percentile %.1f ms, longest %.1f ms "
                    "(its own processor time: median %.1f ms, longest %.1f ms)\n",
                    rows, Median(first), Median(ours), Median(held), Percentile(held, 0.99),
                    held.empty() ? 0.0 : held.back(), Median(cpu), cpu.empty() ? 0.0 : cpu.back());
    }

    if (!bQuick)
    {
        const QString huge = work.path() + QStringLiteral("/huge");
        MakeFolder(huge, 100000);
        std::vector<double> held, thumbs;
        for (int r = 0; r < 3; ++r)
        {
            held.push_back(OursList(huge));
            thumbs.push_back(OursThumbnails(huge, cache, 0).first);
        }
        std::printf("list 100020 files: ours %.1f ms, thumbnail look %.1f ms (window held for "
                    "that long); ratio %.2f\n",
                    Median(held), Median(thumbs), Median(thumbs) / Median(held));
        QDir(huge).removeRecursively();
    }

    // Copy: 1,000 files of 1 MiB, ours and cp alternating, each into a fresh folder.
    const int nBig = bQuick ? 20 : 1000;
    const QString src = work.path() + QStringLiteral("/src");
    MakeBigFiles(src, nBig, 1 << 20);
    sync();
    std::vector<double> oursCopy, peerCopy;
    for (int r = 0; r < (bQuick ? 1 : 4); ++r)
    {
        const QString a = work.path() + QStringLiteral("/ours%1").arg(r);
        const QString b = work.path() + QStringLiteral("/cp%1").arg(r);
        // Alternate who goes first, so neither always meets the other's writeback.
        double o = 0, p = 0;
        if (r % 2 == 0)
            o = OursCopy(src, a), p = PeerCopy(src, b);
        else
            p = PeerCopy(src, b), o = OursCopy(src, a);
        ok = ok && o > 0 && p > 0 &&
             QDir(a + QStringLiteral("/src")).entryList(QDir::Files).size() == nBig;
        oursCopy.push_back(o);
        peerCopy.push_back(p);
        QDir(a).removeRecursively();
        QDir(b).removeRecursively();
    }
    const double mib = double(nBig);
    std::printf("copy %d x 1 MiB: ours %.0f ms (%.0f MiB/s), cp -r %.0f ms (%.0f MiB/s); "
                "throughput ratio %.2f\n",
                nBig, Median(oursCopy), mib * 1000 / Median(oursCopy), Median(peerCopy),
                mib * 1000 / Median(peerCopy), Median(peerCopy) / Median(oursCopy));
    return ok ? 0 : 1;
}
