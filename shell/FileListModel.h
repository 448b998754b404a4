#pragma once
#include "DirectoryReader.h"
#include "SHFileInfo.h"

#include <QAbstractTableModel>
#include <vector>

/// The rows of the file list: one folder's entries with the four columns
/// "Name", "Size", "Type" and "Modified". Texts, types and icons are made
/// only for the rows a view asks for, so a folder of 100,000 files costs its
/// reading and sorting, not 400,000 texts.
class CFileListModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column
    {
        NameColumn,
        SizeColumn,
        TypeColumn,
        ModifiedColumn,
        ColumnCount
    };

    explicit CFileListModel(QObject* parent = nullptr);

    void SetEntries(const QString& folder, std::vector<CDirEntry> entries);
    int Count() const { return int(m_entries.size()); }
    const QString& Folder() const { return m_strFolder; }
    const CDirEntry& Entry(int row) const { return m_entries[size_t(row)]; }
    const std::vector<CDirEntry>& Entries() const { return m_entries; }
    /// Removes the rows (any order).
    void RemoveRows(QList<int> rows);
    /// Shows the rows dimmed (cut for moving); other rows lose that state.
    void SetCutRows(const QList<int>& rows);
    bool IsCut(int row) const { return m_cut[size_t(row)]; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    /// An edited name is not taken here: it asks for the rename on disk,
    /// which the list reads back afterwards.
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;

signals:
    void RenameRequested(const QString& oldName, const QString& newName);

private:
    const CSHFileInfo::Type& TypeOf(int row) const;

    QString m_strFolder;
    std::vector<CDirEntry> m_entries;
    std::vector<bool> m_cut;
    mutable std::vector<const CSHFileInfo::Type*> m_types; // looked up on first show
};
