// Expanding a project folder against a peer in the same run: the project
// tree reads the folder of 10,000 files (and 20 sub-folders) when its root is
// expanded, sorts it and paints the first page; the peer is QFileSystemModel
// loading the same folder into a QTreeView, sorted by name, until every row
// is in and the first page is painted.
// Usage: vistrel-bench-projects [--quick]; runs under QT_QPA_PLATFORM=offscreen.
#include "FileSystemModelPeer.h"
#include "ProjectTreeCtrl.h"
#include "Stats.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTreeView>

#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

namespace
{
// The project folder: its project file, n pictures and 20 folders.
QString MakeProject(const QString& parent, int n)
{
    const QString dir = parent + QStringLiteral("/Trip");
    QDir().mkpath(dir);
    const QByteArray base = QFile::encodeName(dir);
    for (int i = 0; i < n; ++i)
    {
        char name[64];
        std::snprintf(name, sizeof name, "/IMG_%d.jpg", i);
        const int fd = open((base + name).constData(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
        if (fd >= 0)
            close(fd);
    }
    for (int i = 0; i < 20; ++i)
        QDir(dir).mkdir(QStringLiteral("folder %1").arg(i));
    QFile file(dir + QStringLiteral("/Trip.vrp"));
    if (file.open(QIODevice::WriteOnly))
        file.write("Trip\r\n");
    return file.fileName();
}

double Ours(const QString& projectFile, int expectedRows)
{
    CProjectTreeCtrl tree;
    tree.resize(300, 700);
    tree.show();
    tree.LoadProject(projectFile);
    tree.ShowProjectRoot();
    QCoreApplication::processEvents();
    QElapsedTimer t;
    t.start();
    tree.GetRootItem()->setExpanded(true);
    tree.viewport()->repaint();
    const double ms = double(t.nsecsElapsed()) / 1e6;
    return tree.GetRootItem()->childCount() == expectedRows ? ms : -1;
}

double Peer(const QString& folder, int expectedRows)
{
    QTreeView view;
    view.resize(300, 700);
    view.setHeaderHidden(true);
    // The peer lists the project file too.
    const CFileSystemModelRun run = TimeFileSystemModel(view, folder, expectedRows + 1);
    return run.rows == expectedRows + 1 ? run.ms : -1;
}
} // namespace

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    const bool bQuick = app.arguments().contains(QStringLiteral("--quick"));
    QTemporaryDir work(QDir::tempPath() + QStringLiteral("/vistrel-bench-projects-XXXXXX"));
    if (!work.isValid())
        return 2;
    const int nFiles = bQuick ? 500 : 10000;
    const int rounds = bQuick ? 1 : 7;
    const QString projectFile = MakeProject(work.path(), nFiles);
    const int rows = nFiles + 20;

    // Alternating, each on a fresh widget and model.
    std::vector<double> ours, peer;
    for (int i = 0; i < rounds; ++i)
    {
        ours.push_back(Ours(projectFile, rows));
        peer.push_back(Peer(QFileInfo(projectFile).absolutePath(), rows));
    }
    if (*std::min_element(ours.begin(), ours.end()) < 0 ||
        *std::min_element(peer.begin(), peer.end()) < 0)
    {
        std::printf("FAIL: a tree did not show the %d entries\n", rows);
        return 1;
    }
    const double o = Median(ours), p = Median(peer);
    std::printf("expand a project folder of %d files: ours %.1f ms, QFileSystemModel %.1f ms, "
                "ratio %.2f (median of %d)\n",
                nFiles, o, p, o / p, rounds);
    return 0;
}
