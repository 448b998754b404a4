#pragma once
#include <QString>
#include <QTreeWidget>

/// A tree of the user's folders for choosing a directory: Home, Desktop,
/// Pictures, the file system and mounted volumes at the top, sub-folders
/// read when a folder is expanded. Each item holds its absolute path.
class CShellTree : public QTreeWidget
{
    Q_OBJECT
public:
    explicit CShellTree(QWidget* pParent = nullptr);

    /// Folder icons on the items.
    void EnableImages();
    /// Fills the top level.
    void PopulateTree();
    /// Reads the item's sub-folders (when it is expanded).
    void OnFolderExpanding(QTreeWidgetItem* pItem);
    /// The selected folder's path; false when nothing is selected.
    bool OnFolderSelected(QString& path) const;
    /// Expands down to the folder and selects it; false when no top-level
    /// item holds it. A path that does not exist opens as far as it goes.
    bool TunnelTree(const QString& path);

    static QString PathOf(const QTreeWidgetItem* pItem);

private:
    QTreeWidgetItem* AddFolder(QTreeWidgetItem* pParent, const QString& name, const QString& path);

    bool m_bImages = false;
};
