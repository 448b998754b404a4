// Thumbnails against a peer in the same run:
// - cold cache, a folder of 6000 x 4000 JPEGs, 3000 x 2000 PNGs and TIFFs
//   (2 : 1 : 1, mixed in name order), 256-pixel thumbnails: the time until
//   the first screenful is made, and until all are, against vipsthumbnail
//   (libvips-tools) making the same thumbnails as PNGs with as many parallel
//   single-threaded processes as our pool has workers;
// - warm cache, a folder of 10,000 thumbnailed pictures: reading the folder
//   and getting its first screenful from the cache, against reading the
//   folder with QDir and the screenful's cached PNGs with QImage on one thread.
// Pictures are made with ImageMagick once per run; the files of each format
// are hard links of one picture (the cache tells them apart by name), so the
// run needs little disk.
// Usage: vistrel-bench-thumbs [--quick] [--files N] [--warm N]
#include "DirectoryReader.h"
#include "Stats.h"
#include "ThumbnailCache.h"
#include "ThumbnailPool.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <thread>
#include <unistd.h>

namespace
{
constexpr int kSize = CThumbnailCache::kLarge;
/// Cells of 256 pixels in a list bar of about 1400 x 850: 5 columns, 3 rows.
constexpr int kScreenful = 15;

bool Run(const QString& program, const QStringList& args,
         const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment())
{
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(program, args);
    if (!p.waitForFinished(-1) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
    {
        std::fprintf(stderr, "%s failed: %s\n", qPrintable(program),
                     p.readAllStandardError().constData());
        return false;
    }
    return true;
}

/// A photograph-like picture: a plasma fractal, enlarged, with grain.
bool MakePicture(const QString& path, QSize size)
{
    const QSize seed = size / 4;
    return Run(QStringLiteral("convert"),
               {QStringLiteral("-size"), QStringLiteral("%1x%2").arg(seed.width()).arg(seed.height()),
                QStringLiteral("-seed"), QStringLiteral("7"), QStringLiteral("plasma:fractal"),
                QStringLiteral("-resize"), QStringLiteral("%1x%2!").arg(size.width()).arg(size.height()),
                QStringLiteral("-attenuate"), QStringLiteral("0.4"), QStringLiteral("+noise"),
                QStringLiteral("Uniform"), QStringLiteral("-quality"), QStringLiteral("90"), path});
}

/// n names in folder, hard links of the given pictures in turn; returns the paths.
QStringList LinkFolder(const QString& folder, const QStringList& pictures, int n)
{
    QDir().mkpath(folder);
    QStringList paths;
    for (int i = 0; i < n; ++i)
    {
        const QString& from = pictures[i % pictures.size()];
        const QString to =
            folder + QStringLiteral("/p%1.").arg(i, 5, 10, QLatin1Char('0')) + QFileInfo(from).suffix();
        if (link(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) != 0)
            return {};
        paths.append(to);
    }
    return paths;
}

/// Counts what the pool delivers, so the clock can wait for rows.
struct Receiver
{
    std::mutex lock;
    std::condition_variable changed;
    std::vector<char> done;
    quint64 nGeneration = 0; // results of other generations are late ones
    int nDone = 0;
    int nFailed = 0;

    void Take(const CThumbnailPool::Result& r)
    {
        std::lock_guard guard(lock);
        if (r.nGeneration != nGeneration || r.nRow < 0 || size_t(r.nRow) >= done.size() ||
            done[size_t(r.nRow)])
            return;
        done[size_t(r.nRow)] = 1;
        ++nDone;
        nFailed += r.outcome != CThumbnailPool::kMade;
        changed.notify_all();
    }
    void WaitFirst(int rows)
    {
        std::unique_lock guard(lock);
        changed.wait(guard, [&] {
            for (int i = 0; i < rows && size_t(i) < done.size(); ++i)
                if (!done[size_t(i)])
                    return false;
            return true;
        });
    }
    void WaitAll()
    {
        std::unique_lock guard(lock);
        changed.wait(guard, [&] { return nDone == int(done.size()); });
    }
};

/// Reads the folder as the list does and hands every picture to the pool,
/// the first screenful on screen. Returns the rows.
int StartFolder(CThumbnailPool& pool, Receiver& receiver, const QString& folder,
                double* readMs = nullptr)
{
    QElapsedTimer clock;
    clock.start();
    std::vector<CDirEntry> entries;
    CDirectoryReader::Read(folder, CDirectoryReader::VisibleEntries, entries);
    if (readMs)
        *readMs = Now(clock);
    std::vector<CThumbnailPool::Job> jobs;
    jobs.reserve(entries.size());
    for (size_t i = 0; i < entries.size(); ++i)
        jobs.push_back({int(i), folder + QLatin1Char('/') + entries[i].name, true});
    // The screen is known before the work starts, as the list knows it.
    std::unique_lock guard(receiver.lock);
    const quint64 generation = pool.SetWork(int(entries.size()), std::move(jobs), kSize);
    receiver.nGeneration = generation;
    receiver.done.assign(entries.size(), 0);
    receiver.nDone = receiver.nFailed = 0;
    guard.unlock();
    pool.SetView(0, kScreenful - 1);
    return int(entries.size());
}

/// vipsthumbnail over the files, `threads` single-threaded processes at a time.
double TimeVips(const QStringList& files, const QString& out, int threads)
{
    QDir().mkpath(out);
    QStringList args = {QStringLiteral("-P"), QString::number(threads), QStringLiteral("-n"),
                        QString::number(std::max<qsizetype>(1, (files.size() + threads - 1) / threads)),
                        QStringLiteral("vipsthumbnail"), QStringLiteral("-s"),
                        QString::number(kSize), QStringLiteral("-o"), out + QStringLiteral("/%s.png")};
    QProcess xargs;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("VIPS_CONCURRENCY"), QStringLiteral("1"));
    xargs.setProcessEnvironment(env);
    QElapsedTimer clock;
    clock.start();
    xargs.start(QStringLiteral("xargs"), args);
    xargs.waitForStarted();
    xargs.write(files.join(QLatin1Char('\n')).toLocal8Bit() + '\n');
    xargs.closeWriteChannel();
    xargs.waitForFinished(-1);
    const double ms = Now(clock);
    if (xargs.exitCode() != 0 || QDir(out).entryList(QDir::Files).size() < files.size())
    {
        std::fprintf(stderr, "vipsthumbnail failed: %s\n", xargs.readAllStandardError().constData());
        return -1;
    }
    return ms;
}

void PrintRatio(const char* what, double ours, double peer, const char* peerName)
{
    if (peer > 0)
        std::printf("%-34s %9.1f ms   %s %9.1f ms   ratio %.2f (below 1: we are faster)\n", what,
                    ours, peerName, peer, ours / peer);
    else
        std::printf("%-34s %9.1f ms   (%s not run)\n", what, ours, peerName);
}
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    bool quick = false;
    int files = 400, warm = 10000;
    for (int i = 1; i < argc; ++i)
    {
        if (std::strcmp(argv[i], "--quick") == 0)
            quick = true;
        else if (std::strcmp(argv[i], "--files") == 0 && i + 1 < argc)
            files = std::max(4, std::atoi(argv[++i]));
        else if (std::strcmp(argv[i], "--warm") == 0 && i + 1 < argc)
            warm = std::max(kScreenful, std::atoi(argv[++i]));
    }
    if (quick)
        files = 8, warm = 40;
    const QSize photo = quick ? QSize(600, 400) : QSize(6000, 4000);
    const QSize scan = quick ? QSize(300, 200) : QSize(3000, 2000);
    QTemporaryDir dir;
    const QString base = dir.path() + QStringLiteral("/base");
    QDir().mkpath(base);
    const QStringList pictures = {base + "/a.jpg", base + "/b.jpg", base + "/c.png",
                                  base + "/d.tif"};
    for (const QString& p : pictures)
        if (!MakePicture(p, p.endsWith(".jpg") ? photo : scan))
            return 1;
    const bool haveVips = !QStandardPaths::findExecutable(QStringLiteral("vipsthumbnail")).isEmpty();
    const int threads = int(std::max(1u, std::thread::hardware_concurrency()));

    Receiver receiver;
    CThumbnailPool pool([&](CThumbnailPool::Result r) { receiver.Take(r); }, threads,
                        dir.path() + QStringLiteral("/cache/thumbnails"));

    // Cold cache.
    const QString cold = dir.path() + QStringLiteral("/cold");
    const QStringList coldFiles = LinkFolder(cold, pictures, files);
    if (coldFiles.isEmpty())
        return 1;
    QElapsedTimer clock;
    clock.start();
    const int rows = StartFolder(pool, receiver, cold);
    receiver.WaitFirst(std::min(kScreenful, rows));
    const double oursFirst = Now(clock);
    receiver.WaitAll();
    const double oursAll = Now(clock);
    if (receiver.nFailed > 0)
    {
        std::printf("FAIL: %d thumbnails not made\n", receiver.nFailed);
        return 1;
    }
    double vipsFirst = -1, vipsAll = -1;
    if (haveVips)
    {
        vipsFirst = TimeVips(coldFiles.mid(0, kScreenful), dir.path() + "/vips-first", threads);
        vipsAll = TimeVips(coldFiles, dir.path() + "/vips-all", threads);
    }
    std::printf("%d pictures (%d x %d JPEGs, %d x %d PNGs and TIFFs), %d-pixel thumbnails, "
                "%d threads each\n",
                files, photo.width(), photo.height(), scan.width(), scan.height(), kSize, threads);
    PrintRatio("cold: first screenful (15)", oursFirst, vipsFirst, "vipsthumbnail");
    PrintRatio("cold: all made", oursAll, vipsAll, "vipsthumbnail");
    if (vipsAll > 0)
        std::printf("%-34s %9.1f /s   vipsthumbnail %9.1f /s   throughput ratio %.2f\n",
                    "cold: thumbnails per second", 1000.0 * files / oursAll,
                    1000.0 * files / vipsAll, vipsAll / oursAll);

    // Warm cache: small pictures, thumbnailed once before the clock runs.
    const QString warmDir = dir.path() + QStringLiteral("/warm");
    const QString small = base + QStringLiteral("/small.jpg");
    if (!MakePicture(small, QSize(640, 427)) || LinkFolder(warmDir, {small}, warm).isEmpty())
        return 1;
    StartFolder(pool, receiver, warmDir);
    receiver.WaitAll();
    std::vector<double> ours, peer, reading;
    for (int round = 0; round < 5; ++round)
    {
        clock.restart();
        double readMs = 0;
        StartFolder(pool, receiver, warmDir, &readMs);
        reading.push_back(readMs);
        receiver.WaitFirst(kScreenful);
        ours.push_back(Now(clock));
        pool.Clear();
        pool.WaitIdle();

        clock.restart();
        const QStringList names = QDir(warmDir).entryList(QDir::Files, QDir::Name);
        int read = 0;
        for (int i = 0; i < kScreenful && i < names.size(); ++i)
            read += !QImage(pool.GetCache().PathFor(warmDir + '/' + names[i], kSize)).isNull();
        peer.push_back(Now(clock));
        if (read != kScreenful)
        {
            std::printf("FAIL: the warm cache holds %d of %d\n", read, kScreenful);
            return 1;
        }
    }
    std::printf("%d pictures already thumbnailed:\n", warm);
    PrintRatio("warm: first screenful (median)", Median(ours), Median(peer), "QDir + QImage");
    std::printf("%-34s %9.1f ms   (reading and sorting the folder, as the details look does)\n",
                "warm: of which the folder", Median(reading));
    return 0;
}
