#pragma once
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileSystemModel>
#include <QTreeView>

/// The peer of the folder views: QFileSystemModel loading the folder into the
/// (sized, otherwise plain) view, sorted by name, until it holds
/// `expectedRows` rows and has painted, or a minute has passed.
struct CFileSystemModelRun
{
    double ms = 0;
    int rows = 0;
};

inline CFileSystemModelRun TimeFileSystemModel(QTreeView& view, const QString& folder,
                                               int expectedRows)
{
    view.setUniformRowHeights(true);
    view.show();
    QCoreApplication::processEvents();
    QElapsedTimer t;
    t.start();
    QFileSystemModel model;
    model.setFilter(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    view.setModel(&model);
    const QModelIndex root = model.setRootPath(folder);
    view.setRootIndex(root);
    view.setSortingEnabled(true);
    view.sortByColumn(0, Qt::AscendingOrder);
    while (model.rowCount(root) < expectedRows && t.elapsed() < 60000)
    {
        if (model.canFetchMore(root))
            model.fetchMore(root);
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    }
    view.viewport()->repaint();
    const CFileSystemModelRun run{double(t.nsecsElapsed()) / 1e6, model.rowCount(root)};
    view.setModel(nullptr);
    return run;
}
