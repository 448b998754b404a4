#pragma once
#include <QElapsedTimer>
#include <QPointer>
#include <QTreeWidget>

/// The "Desktop" tab: the machine's folders as a tree. At the top stand the
/// home folder, the desktop and pictures folders (when they exist), the file
/// system root and each mounted volume; below them folders only, without
/// hidden ones, sorted as the file manager sorts, read afresh on every
/// expansion. Selecting a folder shows its files in the list bar. Folders are
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

    QTreeWidgetItem* m_hCurItem = nullptr;
    QTreeWidgetItem* m_hPrevItem = nullptr;
    bool m_bNewFolderPending = false;
    QString m_strOldPath;

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void startDrag(Qt::DropActions supportedActions) override;
    void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override;

private:
    QTreeWidgetItem* AddFolder(QTreeWidgetItem* pParent, const QString& name, const QString& path,
                               bool bProbeChildren);
    void OnCurrentItemChanged(QTreeWidgetItem* pCurrent, QTreeWidgetItem* pPrevious);
    void BeginLabelEdit(QTreeWidgetItem* pItem);
    void EndLabelEdit(QTreeWidgetItem* pItem);
    void SetItemPath(QTreeWidgetItem* pItem, const QString& path);
    void SetDropHighlight(QTreeWidgetItem* pItem);

    QPointer<QWidget> m_pEditor;
    QTreeWidgetItem* m_pEditItem = nullptr;
    QString m_strOldName;
    QTreeWidgetItem* m_pDropItem = nullptr;
    QElapsedTimer m_buttonDown;
    bool m_bCollapsing = false;
    bool m_bFilling = false; // selection changes while items are made are not the user's
};
