#include "FolderTreeCtrl.h"

#include "DirectoryReader.h"
#include "FileDrag.h"
#include "FileName.h"
#include "FilePaste.h"
#include "LabelEditDelegate.h"
#include "MainFrame.h"
#include "MessageBox.h"
#include "SHFileInfo.h"
#include "Strings.h"
#include "TreeItemPath.h"
#include "VistrelApp.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDesktopServices>
#include <QDir>
#include <QDragEnterEvent>
#include <QFileSystemWatcher>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QStandardPaths>
#include <QStorageInfo>
#include <QTreeWidgetItemIterator>
#include <QUrl>

#include <cerrno>
#include <cstring>
#include <memory>
#include <utility>

namespace
{
constexpr int kPathRole = Qt::UserRole;
constexpr int kDragDelayMs = 80;
constexpr int kMaxLabel = 127;
// Above this many sub-folders, their own sub-folders are not looked for ahead.
constexpr size_t kProbeLimit = 500;
// A burst of changes on disk (a copy of many folders) is read once, this long after it.
constexpr int kSyncDelayMs = 250;

// Network file systems, shown wherever they are mounted outside the system's places.
bool IsNetworkFileSystem(const QByteArray& type)
{
    static const char* const kTypes[] = {"nfs",        "nfs4",       "cifs",      "smb3",
                                         "smbfs",      "fuse.sshfs", "sshfs",     "davfs",
                                         "fuse.davfs2", "afs",       "ceph",      "glusterfs",
                                         "fuse.glusterfs", "fuse.rclone", "fuse.s3fs"};
    for (const char* known : kTypes)
        if (type == known)
            return true;
    return false;
}

bool IsAtOrUnder(const QString& path, const char* folder)
{
    return path == QLatin1String(folder) || path.startsWith(QLatin1String(folder) + '/');
}
} // namespace

CFolderTreeCtrl::CFolderTreeCtrl(QWidget* parent)
    : QTreeWidget(parent), m_pWatcher(new QFileSystemWatcher(this))
{
    setObjectName(QStringLiteral("FolderTree"));
    setAccessibleName(QStringLiteral("Desktop folders"));
    setHeaderHidden(true);
    setRootIsDecorated(true);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers); // edits start from commands only
    setItemDelegate(new CLabelEditDelegate(kMaxLabel, QStringLiteral("Folder name"), this));
    setAcceptDrops(true);
    setDragEnabled(true);
    setDropIndicatorShown(false);

    connect(this, &QTreeWidget::itemExpanded, this, &CFolderTreeCtrl::RefreshFolder);
    connect(this, &QTreeWidget::itemExpanded, this, &CFolderTreeCtrl::UpdateWatches);
    connect(this, &QTreeWidget::itemCollapsed, this, &CFolderTreeCtrl::UpdateWatches);
    connect(m_pWatcher, &QFileSystemWatcher::directoryChanged, this,
            &CFolderTreeCtrl::OnFolderChanged);
    m_syncTimer.setSingleShot(true);
    m_syncTimer.setInterval(kSyncDelayMs);
    connect(&m_syncTimer, &QTimer::timeout, this,
            [this]
            {
                if (m_pEditItem)
                {
                    m_syncTimer.start(); // a label is being edited: after it closes
                    return;
                }
                const QStringList changed = std::exchange(m_changedFolders, {});
                // Found afresh for each folder: a reading may take others' items away.
                for (const QString& path : changed)
                    for (QTreeWidgetItemIterator it(this); *it; ++it)
                        if ((*it)->isExpanded() && GetItemPath(*it) == path)
                        {
                            SyncChildren(*it);
                            break;
                        }
                UpdateWatches();
            });
    connect(this, &QTreeWidget::itemCollapsed, this,
            [this](QTreeWidgetItem* pItem)
            {
                // Collapsing selects the folder, so the list shows it.
                if (pItem == topLevelItem(0) && currentItem() == pItem)
                {
                    RefreshRootIfSelected();
                    return;
                }
                m_bCollapsing = true; // selecting it must not open it again
                setCurrentItem(pItem);
                m_bCollapsing = false;
            });
    connect(this, &QTreeWidget::currentItemChanged, this, &CFolderTreeCtrl::OnCurrentItemChanged);
}

bool CFolderTreeCtrl::IsUserVolume(const QString& root, const QByteArray& fileSystemType)
{
    if (root == QLatin1String("/"))
        return false;
    // Removable media land in /media or /run/media/USER (another user's are
    // not ours to open); /mnt is where a user mounts by hand.
    if (IsAtOrUnder(root, "/run/media"))
    {
        const QString mine =
            QStringLiteral("/run/media/") + QDir(QDir::homePath()).dirName() + QLatin1Char('/');
        return root.startsWith(mine) || root + '/' == mine;
    }
    if (root.startsWith(QLatin1String("/media/")) || IsAtOrUnder(root, "/mnt"))
        return true;
    for (const char* system : {"/boot", "/snap", "/proc", "/sys", "/dev", "/run", "/var", "/etc",
                               "/usr", "/tmp"})
        if (IsAtOrUnder(root, system))
            return false;
    return IsNetworkFileSystem(fileSystemType);
}

QTreeWidgetItem* CFolderTreeCtrl::AddFolder(QTreeWidgetItem* pParent, const QString& name,
                                            const QString& path, bool bProbeChildren, int nIndex)
{
    auto* pItem = new QTreeWidgetItem;
    pItem->setText(0, name);
    pItem->setData(0, kPathRole, path);
    pItem->setIcon(0, CSHFileInfo::TypeOf(path, name, true).icon);
    pItem->setFlags(pItem->flags() | Qt::ItemIsEditable);
    const bool bMayHaveChildren =
        !bProbeChildren || CDirectoryReader::HasEntries(path, CDirectoryReader::VisibleFolders);
    pItem->setChildIndicatorPolicy(bMayHaveChildren
                                       ? QTreeWidgetItem::ShowIndicator
                                       : QTreeWidgetItem::DontShowIndicatorWhenChildless);
    if (pParent && nIndex >= 0)
        pParent->insertChild(nIndex, pItem);
    else if (pParent)
        pParent->addChild(pItem);
    else
        addTopLevelItem(pItem);
    return pItem;
}

void CFolderTreeCtrl::FillRoot(bool bExpandFirst)
{
    m_bFilling = true;
    clear();
    m_hCurItem = m_hPrevItem = nullptr;
    const QString home = QDir::homePath();
    AddFolder(nullptr, QStringLiteral("Home"), home, false);
    for (const auto location : {QStandardPaths::DesktopLocation, QStandardPaths::PicturesLocation})
    {
        const QString path = QStandardPaths::writableLocation(location);
        if (!path.isEmpty() && path != home && QFileInfo(path).isDir())
            AddFolder(nullptr, QStandardPaths::displayName(location), path, false);
    }
    AddFolder(nullptr, QStringLiteral("File System"), QStringLiteral("/"), false);
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes())
        if (volume.isValid() && volume.isReady() &&
            IsUserVolume(volume.rootPath(), volume.fileSystemType()))
            AddFolder(nullptr, volume.displayName(), volume.rootPath(), false);
    m_bFilling = false;
    UpdateWatches();

    QTreeWidgetItem* pFirst = topLevelItem(0);
    QFont bold = pFirst->font(0);
    bold.setBold(true);
    pFirst->setFont(0, bold);
    if (bExpandFirst)
        pFirst->setExpanded(true);
    setCurrentItem(pFirst);
}

void CFolderTreeCtrl::RefreshRootIfSelected()
{
    if (currentItem() && currentItem() == topLevelItem(0))
        FillRoot(false);
}

void CFolderTreeCtrl::RefreshFolder(QTreeWidgetItem* pItem)
{
    if (!pItem || m_bFilling)
        return;
    m_bFilling = true;
    const QString path = GetItemPath(pItem);
    const bool bWasCurrentChild = currentItem() && currentItem()->parent() == pItem;
    const QString currentPath = bWasCurrentChild ? GetItemPath(currentItem()) : QString();
    // The children go; what was current among them is found again below.
    for (QTreeWidgetItem* pChild : pItem->takeChildren())
        delete pChild;
    std::vector<CDirEntry> folders;
    CDirectoryReader::Read(path, CDirectoryReader::VisibleFolders, folders);
    const bool bProbe = folders.size() <= kProbeLimit;
    for (const CDirEntry& folder : folders)
    {
        QTreeWidgetItem* pChild = AddFolder(pItem, folder.name, CFileName::JoinPath(path, folder.name), bProbe);
        if (bWasCurrentChild && GetItemPath(pChild) == currentPath)
            setCurrentItem(pChild);
    }
    if (folders.empty())
        pItem->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicatorWhenChildless);
    m_bFilling = false;
    if (bWasCurrentChild && !currentItem())
        setCurrentItem(pItem);
    if (!pItem->isExpanded())
        pItem->setExpanded(true);
    scrollToItem(pItem);
}

QString CFolderTreeCtrl::GetItemDisplayPath(const QTreeWidgetItem* pItem) const
{
    return TreeItemPath(pItem);
}

QString CFolderTreeCtrl::DisplayPathToFilePath(const QString& displayPath) const
{
    // The longest top-level text that starts the display path names its folder.
    qsizetype bestLength = -1;
    QString result;
    for (int i = 0; i < topLevelItemCount(); ++i)
    {
        const QString text = topLevelItem(i)->text(0);
        const QString prefix = text.endsWith(QLatin1Char('/')) ? text : text + QLatin1Char('/');
        QString rest;
        if (displayPath == text)
            rest.clear();
        else if (displayPath.startsWith(prefix))
            rest = displayPath.mid(prefix.size());
        else
            continue;
        if (text.size() <= bestLength)
            continue;
        bestLength = text.size();
        const QString top = GetItemPath(topLevelItem(i));
        result = rest.isEmpty() ? top : CFileName::JoinPath(top, rest);
    }
    return result;
}

QString CFolderTreeCtrl::GetItemPath(const QTreeWidgetItem* pItem) const
{
    return pItem ? pItem->data(0, kPathRole).toString() : QString();
}

void CFolderTreeCtrl::SetItemPath(QTreeWidgetItem* pItem, const QString& path)
{
    const QString old = GetItemPath(pItem);
    pItem->setData(0, kPathRole, path);
    for (int i = 0; i < pItem->childCount(); ++i)
    {
        QTreeWidgetItem* pChild = pItem->child(i);
        SetItemPath(pChild, path + GetItemPath(pChild).mid(old.size()));
    }
}

bool CFolderTreeCtrl::SelectPath(const QString& path)
{
    const QString clean = QDir::cleanPath(path);
    QTreeWidgetItem* pBest = nullptr;
    for (int i = 0; i < topLevelItemCount(); ++i)
    {
        const QString top = GetItemPath(topLevelItem(i));
        if ((clean == top || clean.startsWith(CFileName::JoinPath(top, QString()))) &&
            (!pBest || top.size() > GetItemPath(pBest).size()))
            pBest = topLevelItem(i);
    }
    QTreeWidgetItem* pItem = pBest;
    while (pItem && GetItemPath(pItem) != clean)
    {
        pItem->setExpanded(true);
        QTreeWidgetItem* pNext = nullptr;
        for (int i = 0; i < pItem->childCount() && !pNext; ++i)
        {
            const QString child = GetItemPath(pItem->child(i));
            if (clean == child || clean.startsWith(CFileName::JoinPath(child, QString())))
                pNext = pItem->child(i);
        }
        pItem = pNext;
    }
    if (pItem)
        setCurrentItem(pItem);
    return pItem != nullptr;
}

void CFolderTreeCtrl::FollowListFolder(const QString& path)
{
    if (m_bFollowing || GetItemPath(currentItem()) == QDir::cleanPath(path))
        return;
    m_bFollowing = true;
    // A folder the tree cannot show leaves nothing highlighted, so that a
    // click on any folder, the last one too, points the list there again.
    if (!SelectPath(path))
        setCurrentItem(nullptr);
    m_bFollowing = false;
}

void CFolderTreeCtrl::OnCurrentItemChanged(QTreeWidgetItem* pCurrent, QTreeWidgetItem* pPrevious)
{
    m_hPrevItem = pPrevious;
    m_hCurItem = pCurrent;
    if (m_bFilling || m_bFollowing || !pCurrent ||
        (m_bNewFolderPending && pCurrent == m_pEditItem))
        return;
    const QString path = GetItemPath(pCurrent);
    CVistrelApp* pApp = CVistrelApp::Get();
    if (pApp)
        pApp->m_strCurrentImage = path;
    if (!m_bCollapsing && !pCurrent->isExpanded() &&
        pCurrent->childIndicatorPolicy() == QTreeWidgetItem::ShowIndicator)
        pCurrent->setExpanded(true);
    if (path.isEmpty() || !pApp)
        return;
    if (CMainFrame* pFrame = pApp->GetMainFrame())
        pFrame->SetListDirectory(path);
}

void CFolderTreeCtrl::UpdateWatches()
{
    QStringList wanted;
    for (QTreeWidgetItemIterator it(this); *it; ++it)
        if ((*it)->isExpanded() && !GetItemPath(*it).isEmpty())
            wanted.append(GetItemPath(*it));
    const QStringList watched = m_pWatcher->directories();
    QStringList gone, added;
    for (const QString& path : watched)
        if (!wanted.contains(path))
            gone.append(path);
    for (const QString& path : wanted)
        if (!watched.contains(path))
            added.append(path);
    if (!gone.isEmpty())
        m_pWatcher->removePaths(gone);
    if (!added.isEmpty())
        m_pWatcher->addPaths(added);
}

void CFolderTreeCtrl::OnFolderChanged(const QString& path)
{
    if (!m_changedFolders.contains(path))
        m_changedFolders.append(path);
    m_syncTimer.start();
}

void CFolderTreeCtrl::SyncChildren(QTreeWidgetItem* pItem)
{
    const QString path = GetItemPath(pItem);
    std::vector<CDirEntry> folders;
    CDirectoryReader::Read(path, CDirectoryReader::VisibleFolders, folders);
    QStringList names;
    for (const CDirEntry& folder : folders)
        names.append(folder.name);

    QTreeWidgetItem* pCurrent = currentItem();
    bool bLostCurrent = false;
    m_bFilling = true;
    for (int i = pItem->childCount() - 1; i >= 0; --i)
    {
        QTreeWidgetItem* pChild = pItem->child(i);
        if (names.contains(pChild->text(0)))
            continue;
        for (QTreeWidgetItem* p = pCurrent; p && !bLostCurrent; p = p->parent())
            bLostCurrent = p == pChild;
        delete pChild;
    }
    const bool bProbe = folders.size() <= kProbeLimit;
    for (int i = 0; i < int(folders.size()); ++i)
    {
        const QString& name = folders[size_t(i)].name;
        if (i < pItem->childCount() && pItem->child(i)->text(0) == name)
        {
            QTreeWidgetItem* pChild = pItem->child(i);
            // A folder made in a collapsed child gives it its expander.
            if (!pChild->isExpanded() && bProbe)
                pChild->setChildIndicatorPolicy(
                    CDirectoryReader::HasEntries(GetItemPath(pChild), CDirectoryReader::VisibleFolders)
                        ? QTreeWidgetItem::ShowIndicator
                        : QTreeWidgetItem::DontShowIndicatorWhenChildless);
            continue;
        }
        int j = i + 1;
        while (j < pItem->childCount() && pItem->child(j)->text(0) != name)
            ++j;
        if (j < pItem->childCount())
            pItem->insertChild(i, pItem->takeChild(j)); // renamed on disk: a new place
        else
            AddFolder(pItem, name, CFileName::JoinPath(path, name), bProbe, i);
    }
    pItem->setChildIndicatorPolicy(folders.empty() ? QTreeWidgetItem::DontShowIndicatorWhenChildless
                                                   : QTreeWidgetItem::ShowIndicator);
    m_bFilling = false;
    if (bLostCurrent)
        setCurrentItem(pItem); // the list shows the folder that is still there
}

void CFolderTreeCtrl::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_F2 && event->modifiers() == Qt::NoModifier &&
        state() != EditingState)
    {
        RenameItem(currentItem());
        return;
    }
    QTreeWidget::keyPressEvent(event);
}

void CFolderTreeCtrl::NewFolder()
{
    QTreeWidgetItem* pParent = m_hCurItem ? m_hCurItem : currentItem();
    // One new folder at a time: a label being edited keeps its item.
    if (!pParent || GetItemPath(pParent).isEmpty() || m_pEditItem)
        return;
    m_bNewFolderPending = true;
    pParent->setExpanded(true); // reads its folders first, so the new item stays
    auto* pItem = new QTreeWidgetItem;
    pItem->setText(0, QString::fromLatin1(Str::kNewFolderName));
    pItem->setIcon(0, pParent->icon(0));
    pItem->setFlags(pItem->flags() | Qt::ItemIsEditable);
    pParent->insertChild(0, pItem);
    m_pEditItem = pItem;
    setCurrentItem(pItem);
    scrollToItem(pItem);
    BeginLabelEdit(pItem);
}

void CFolderTreeCtrl::BeginLabelEdit(QTreeWidgetItem* pItem)
{
    m_pEditItem = pItem;
    m_strOldName = pItem->text(0);
    m_strOldPath = m_bNewFolderPending ? QString() : GetItemPath(pItem);
    editItem(pItem, 0);
}

void CFolderTreeCtrl::closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint)
{
    QTreeWidget::closeEditor(editor, hint);
    if (QTreeWidgetItem* pItem = m_pEditItem)
    {
        m_pEditItem = nullptr;
        EndLabelEdit(pItem);
    }
}

void CFolderTreeCtrl::EndLabelEdit(QTreeWidgetItem* pItem)
{
    const QString name = pItem->text(0);
    QTreeWidgetItem* pParent = pItem->parent();
    if (m_bNewFolderPending)
    {
        m_bNewFolderPending = false;
        const QString path =
            pParent ? CFileName::MakeFolder(this, GetItemPath(pParent), name) : QString();
        if (path.isEmpty())
        {
            // The item would stand for a folder that is not there.
            setCurrentItem(pParent);
            delete pItem;
            return;
        }
        pItem->setData(0, kPathRole, path);
        pItem->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicatorWhenChildless);
        OnCurrentItemChanged(pItem, m_hPrevItem);
        return;
    }

    if (name == m_strOldName || m_strOldPath.isEmpty())
        return;
    CFileName file;
    const QString newPath = pParent ? CFileName::JoinPath(GetItemPath(pParent), name) : QString();
    // Open pictures and the list follow the folder (the rename listener).
    const bool bRenamed = pParent && (file.IsFolder(m_strOldPath) || file.IsFile(m_strOldPath)) &&
                          file.RenameEntry(this, m_strOldPath, name);
    if (!bRenamed)
    {
        // The label tells what is on disk.
        pItem->setText(0, m_strOldName);
        return;
    }
    SetItemPath(pItem, newPath);
    if (pItem == currentItem())
        OnCurrentItemChanged(pItem, m_hPrevItem);
}

void CFolderTreeCtrl::RenameItem(QTreeWidgetItem* pItem)
{
    if (!pItem || !pItem->parent())
        return; // the top-level places keep their names
    setCurrentItem(pItem);
    BeginLabelEdit(pItem);
}

void CFolderTreeCtrl::TrashItem(QTreeWidgetItem* pItem)
{
    if (!pItem || !pItem->parent())
        return;
    const QString path = GetItemPath(pItem);
    CFileName file;
    file.ShellDeleteItems(this, path, 0);
    if (file.Exist(path))
        return;
    QTreeWidgetItem* pParent = pItem->parent();
    if (currentItem() == pItem)
        setCurrentItem(pParent);
    delete pItem;
}

void CFolderTreeCtrl::contextMenuEvent(QContextMenuEvent* event)
{
    QTreeWidgetItem* pItem =
        event->reason() == QContextMenuEvent::Mouse ? itemAt(event->pos()) : currentItem();
    m_hCurItem = pItem;
    if (!pItem)
        return;
    const QString path = GetItemPath(pItem);
    QMenu menu(this);
    menu.setAccessibleName(QStringLiteral("Folder menu"));
    menu.addAction(QStringLiteral("&Open in File Manager"), this,
                   [path] { QDesktopServices::openUrl(QUrl::fromLocalFile(path)); });
    menu.addSeparator();
    menu.addAction(QStringLiteral("New &Folder"), this, [this] { NewFolder(); });
    QAction* rename =
        menu.addAction(QStringLiteral("&Rename"), this, [this, pItem] { RenameItem(pItem); });
    QAction* trash =
        menu.addAction(QStringLiteral("Move to &Trash"), this, [this, pItem] { TrashItem(pItem); });
    QAction* paste = menu.addAction(QStringLiteral("&Paste"), this,
                                    [this, path] { FilePaste::PasteInto(this, path); });
    paste->setEnabled(!path.isEmpty() && FilePaste::CanPaste());
    rename->setEnabled(pItem->parent() != nullptr);
    trash->setEnabled(pItem->parent() != nullptr);
    menu.addSeparator();
    menu.addAction(QStringLiteral("&Copy Path"), this,
                   [path] { QApplication::clipboard()->setText(path); });
    menu.exec(event->reason() == QContextMenuEvent::Mouse
                  ? event->globalPos()
                  : viewport()->mapToGlobal(visualItemRect(pItem).center()));
    event->accept();
}

void CFolderTreeCtrl::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        m_buttonDown.start();
    QTreeWidget::mousePressEvent(event);
}

void CFolderTreeCtrl::startDrag(Qt::DropActions)
{
    // Folders are not dragged from this tree; a drag is simply accepted.
}

void CFolderTreeCtrl::SetDropHighlight(QTreeWidgetItem* pItem)
{
    if (pItem == m_pDropItem)
        return;
    if (m_pDropItem)
        m_pDropItem->setBackground(0, QBrush());
    m_pDropItem = pItem;
    if (m_pDropItem)
        m_pDropItem->setBackground(0, palette().brush(QPalette::Highlight).color().lighter(160));
}

void CFolderTreeCtrl::dragEnterEvent(QDragEnterEvent* event)
{
    if (event->mimeData()->hasUrls() || CFileDrag::IsFromFileList(event->mimeData()))
        event->acceptProposedAction();
    else
        event->ignore();
}

void CFolderTreeCtrl::dragMoveEvent(QDragMoveEvent* event)
{
    SetDropHighlight(itemAt(event->position().toPoint()));
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

void CFolderTreeCtrl::dragLeaveEvent(QDragLeaveEvent* event)
{
    SetDropHighlight(nullptr);
    QTreeWidget::dragLeaveEvent(event);
}

void CFolderTreeCtrl::dropEvent(QDropEvent* event)
{
    QTreeWidgetItem* pItem = itemAt(event->position().toPoint());
    SetDropHighlight(nullptr);
    event->setDropAction(Qt::CopyAction);
    event->accept();
    // The drag ends before the copy runs, so the source's drag loop is not held.
    const QMimeData* pData = event->mimeData();
    auto* pCopy = new QMimeData;
    for (const QString& format : pData->formats())
        pCopy->setData(format, pData->data(format));
    const QString path = GetItemPath(pItem);
    const bool bHasItem = pItem != nullptr;
    QMetaObject::invokeMethod(
        this,
        [this, pCopy, path, bHasItem]
        {
            std::unique_ptr<QMimeData> dropped(pCopy);
            if (!bHasItem)
            {
                AfxMessageBox(QString::fromLatin1(Str::kDropOnAnItem), MB_OK, this);
                return;
            }
            CFileDrag::DropOnItem(this, dropped.get(), path);
            // A collapsed folder is not watched: a first sub-folder dropped
            // into it gives it its expander here.
            for (QTreeWidgetItemIterator it(this); *it; ++it)
                if (GetItemPath(*it) == path && !(*it)->isExpanded() &&
                    CDirectoryReader::HasEntries(path, CDirectoryReader::VisibleFolders))
                    (*it)->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
            setFocus();
        },
        Qt::QueuedConnection);
}
