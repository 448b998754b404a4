#include "ShellTree.h"

#include "DirectoryReader.h"

#include <QDir>
#include <QStandardPaths>
#include <QStorageInfo>
#include <QStyle>

namespace
{
constexpr int kPathRole = Qt::UserRole + 1;

// The visible sub-folders, sorted as the file manager sorts them.
QStringList SubFolders(const QString& path)
{
    std::vector<CDirEntry> folders;
    CDirectoryReader::Read(path, CDirectoryReader::VisibleFolders, folders);
    QStringList names;
    for (const CDirEntry& folder : folders)
        names.append(folder.name);
    return names;
}
} // namespace

CShellTree::CShellTree(QWidget* pParent) : QTreeWidget(pParent)
{
    setHeaderHidden(true);
    setRootIsDecorated(true);
    setUniformRowHeights(true);
    connect(this, &QTreeWidget::itemExpanded, this, &CShellTree::OnFolderExpanding);
}

void CShellTree::EnableImages()
{
    m_bImages = true;
}

QString CShellTree::PathOf(const QTreeWidgetItem* pItem)
{
    return pItem ? pItem->data(0, kPathRole).toString() : QString();
}

QTreeWidgetItem* CShellTree::AddFolder(QTreeWidgetItem* pParent, const QString& name,
                                       const QString& path)
{
    auto* pItem = new QTreeWidgetItem(QStringList(name));
    pItem->setData(0, kPathRole, path);
    if (m_bImages)
        pItem->setIcon(0, style()->standardIcon(QStyle::SP_DirIcon));
    // Read when expanded; until then it offers to expand.
    pItem->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
    if (pParent)
        pParent->addChild(pItem);
    else
        addTopLevelItem(pItem);
    return pItem;
}

void CShellTree::PopulateTree()
{
    clear();
    const QString home = QDir::homePath();
    AddFolder(nullptr, QStringLiteral("Home"), home);
    for (auto [location, name] : {std::pair{QStandardPaths::DesktopLocation, "Desktop"},
                                  std::pair{QStandardPaths::PicturesLocation, "Pictures"}})
    {
        const QString path = QStandardPaths::writableLocation(location);
        if (!path.isEmpty() && path != home && QDir(path).exists())
            AddFolder(nullptr, QString::fromLatin1(name), path);
    }
    AddFolder(nullptr, QStringLiteral("File System"), QStringLiteral("/"));
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes())
    {
        const QString root = volume.rootPath();
        if (volume.isValid() && volume.isReady() &&
            (root.startsWith(QLatin1String("/media/")) || root.startsWith(QLatin1String("/mnt/")) ||
             root.startsWith(QLatin1String("/run/media/"))))
            AddFolder(nullptr, volume.displayName(), root);
    }
}

void CShellTree::OnFolderExpanding(QTreeWidgetItem* pItem)
{
    if (pItem->childCount() > 0)
        return;
    const QString path = PathOf(pItem);
    const QStringList names = SubFolders(path);
    for (const QString& name : names)
        AddFolder(pItem, name, QDir(path).filePath(name));
    if (names.isEmpty())
        pItem->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicator);
}

bool CShellTree::OnFolderSelected(QString& path) const
{
    const QTreeWidgetItem* pItem = currentItem();
    if (!pItem)
        return false;
    path = PathOf(pItem);
    return !path.isEmpty();
}

bool CShellTree::TunnelTree(const QString& path)
{
    const QString target = QDir::cleanPath(QDir(path).absolutePath());
    auto holds = [&target](const QString& folder)
    {
        return target == folder ||
               target.startsWith(folder.endsWith(QLatin1Char('/')) ? folder
                                                                   : folder + QLatin1Char('/'));
    };
    // The top-level item nearest the folder.
    QTreeWidgetItem* pItem = nullptr;
    for (int i = 0; i < topLevelItemCount(); ++i)
    {
        QTreeWidgetItem* pTop = topLevelItem(i);
        if (holds(PathOf(pTop)) && (!pItem || PathOf(pTop).size() > PathOf(pItem).size()))
            pItem = pTop;
    }
    if (!pItem)
        return false;
    while (PathOf(pItem) != target)
    {
        pItem->setExpanded(true);
        QTreeWidgetItem* pNext = nullptr;
        for (int i = 0; i < pItem->childCount() && !pNext; ++i)
            if (holds(PathOf(pItem->child(i))))
                pNext = pItem->child(i);
        if (!pNext)
            break;
        pItem = pNext;
    }
    setCurrentItem(pItem);
    scrollToItem(pItem);
    return true;
}
