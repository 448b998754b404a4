#pragma once
#include <QElapsedTimer>
#include <QPointer>
#include <QStringList>
#include <QTimer>
#include <QTreeWidget>

class QFileSystemWatcher;

/// The "Desktop" tab: the machine's folders as a tree. At the top stand the
/// home folder, the desktop and pictures folders (when they exist), the file
/// system root and each mounted volume; below them folders only, without
/// hidden ones, sorted as the file manager sorts, read afresh on every
/// expansion and followed on disk while expanded. Selecting a folder shows its
/// files in the list bar, and the selection follows the list's folder. Folders are
/// created and renamed by label editing; the file list's drags drop here.
/// Each item holds its absolute path (GetItemPath).
class CFolderTreeCtrl : public QTreeWidget
{
    Q_OBJECT
public:
    explicit CFolderTreeCtrl(QWidget* parent = nullptr);

    /// Rebuilds the top level; the first item is selected and shown in bold,
    /// and expanded unless bExpandFirst is false.
    void FillRoot(bool bExpandFirst = true);
    /// The item's text preceded by each ancestor's text and "/".
    QString GetItemDisplayPath(const QTreeWidgetItem* pItem) const;
    /// The file-system path of a display path; empty for one that does not
    /// start at a top-level item.
    QString DisplayPathToFilePath(const QString& displayPath) const;
    /// The item's absolute path.
    QString GetItemPath(const QTreeWidgetItem* pItem) const;
    /// Reads the item's sub-folders again.
    void RefreshFolder(QTreeWidgetItem* pItem);
    /// Rebuilds the top level when the first top-level item is selected.
    void RefreshRootIfSelected();
    /// A new folder "New_Folder" below the current item, its label open for editing.
    void NewFolder();
    /// Opens the item's label for editing; the folder is renamed when it closes.
    void RenameItem(QTreeWidgetItem* pItem);
    /// Moves the item's folder to the trash after asking.
    void TrashItem(QTreeWidgetItem* pItem);
    /// Selects the item of the path, expanding the folders above it; false
    /// when the path is under no top-level item.
    bool SelectPath(const QString& path);
    /// Selects the list's folder (expanding to it) without pointing the list
    /// there again; a folder under no top-level item leaves the tree as it is.
    void FollowListFolder(const QString& path);
    /// Whether a mounted file system stands at the top level: removable and
    /// network volumes and those under /media, /run/media/USER and /mnt, not
    /// the system's own mounts.
    static bool IsUserVolume(const QString& root, const QByteArray& fileSystemType);

    QTreeWidgetItem* m_hCurItem = nullptr;
    QTreeWidgetItem* m_hPrevItem = nullptr;
    bool m_bNewFolderPending = false;
    QString m_strOldPath;

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void startDrag(Qt::DropActions supportedActions) override;
    void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override;

private:
    /// A new item for the folder, appended to pParent's children or, with
    /// nIndex, inserted there.
    QTreeWidgetItem* AddFolder(QTreeWidgetItem* pParent, const QString& name, const QString& path,
                               bool bProbeChildren, int nIndex = -1);
    void OnCurrentItemChanged(QTreeWidgetItem* pCurrent, QTreeWidgetItem* pPrevious);
    void BeginLabelEdit(QTreeWidgetItem* pItem);
    void EndLabelEdit(QTreeWidgetItem* pItem);
    void SetItemPath(QTreeWidgetItem* pItem, const QString& path);
    void SetDropHighlight(QTreeWidgetItem* pItem);
    /// Brings the item's children in line with its folder on disk: gone
    /// folders leave, new ones come in their sorted place, the others stay
    /// with their own expansion and selection.
    void SyncChildren(QTreeWidgetItem* pItem);
    /// Watches the folders of the expanded items, and only those.
    void UpdateWatches();
    void OnFolderChanged(const QString& path);

    QPointer<QWidget> m_pEditor;
    QTreeWidgetItem* m_pEditItem = nullptr;
    QString m_strOldName;
    QTreeWidgetItem* m_pDropItem = nullptr;
    QElapsedTimer m_buttonDown;
    bool m_bCollapsing = false;
    bool m_bFilling = false; // selection changes while items are made are not the user's
    bool m_bFollowing = false; // the selection follows the list: it must not point the list
    QFileSystemWatcher* m_pWatcher;
    QTimer m_syncTimer;        // gathers a burst of changes into one reading
    QStringList m_changedFolders;
};
