#include "FileListModel.h"

#include "FileName.h"
#include "Strings.h"

#include <QApplication>
#include <QPalette>

#include <algorithm>

namespace
{
// Escaped bytes of a name that is not UTF-8 show as the replacement character.
QString ShownName(const QString& name)
{
    QString out = name;
    for (qsizetype i = 0; i < out.size(); ++i)
    {
        if (out[i].isHighSurrogate() && i + 1 < out.size() && out[i + 1].isLowSurrogate())
            ++i;
        else if (out[i].isSurrogate())
            out[i] = QChar::ReplacementCharacter;
    }
    return out;
}
} // namespace

CFileListModel::CFileListModel(QObject* parent) : QAbstractTableModel(parent) {}

void CFileListModel::SetEntries(const QString& folder, std::vector<CDirEntry> entries)
{
    beginResetModel();
    m_strFolder = folder;
    m_entries = std::move(entries);
    m_cut.assign(m_entries.size(), false);
    m_types.assign(m_entries.size(), nullptr);
    endResetModel();
}

void CFileListModel::RemoveRows(QList<int> rows)
{
    std::sort(rows.begin(), rows.end(), std::greater<int>());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    for (int row : rows)
    {
        if (row < 0 || row >= Count())
            continue;
        beginRemoveRows(QModelIndex(), row, row);
        m_entries.erase(m_entries.begin() + row);
        m_cut.erase(m_cut.begin() + row);
        m_types.erase(m_types.begin() + row);
        endRemoveRows();
    }
}

void CFileListModel::SetCutRows(const QList<int>& rows)
{
    std::fill(m_cut.begin(), m_cut.end(), false);
    for (int row : rows)
        if (row >= 0 && row < Count())
            m_cut[size_t(row)] = true;
    if (Count() > 0)
        emit dataChanged(index(0, 0), index(Count() - 1, ColumnCount - 1), {Qt::ForegroundRole});
}

int CFileListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : Count();
}

int CFileListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

const CSHFileInfo::Type& CFileListModel::TypeOf(int row) const
{
    const CSHFileInfo::Type*& type = m_types[size_t(row)];
    if (!type)
    {
        const CDirEntry& e = Entry(row);
        type = &CSHFileInfo::TypeOf(CFileName::JoinPath(m_strFolder, e.name), e.name, e.bFolder);
    }
    return *type;
}

QVariant CFileListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= Count())
        return {};
    const int row = index.row();
    const CDirEntry& e = Entry(row);
    switch (role)
    {
    case Qt::EditRole:
        return index.column() == NameColumn ? QVariant(ShownName(e.name)) : QVariant();
    case Qt::DisplayRole:
        switch (index.column())
        {
        case NameColumn:
            return ShownName(e.name);
        case SizeColumn:
            return e.bFolder ? QString() : CSHFileInfo::SizeText(e.size);
        case TypeColumn:
            return TypeOf(row).description;
        case ModifiedColumn:
            return CSHFileInfo::TimeText(e.mtime);
        default:
            return {};
        }
    case Qt::DecorationRole:
        return index.column() == NameColumn ? QVariant(TypeOf(row).icon) : QVariant();
    case Qt::ForegroundRole:
        if (m_cut[size_t(row)])
            return QApplication::palette().brush(QPalette::Disabled, QPalette::Text);
        return {};
    default:
        return {};
    }
}

QVariant CFileListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    static const char* const kTitles[] = {Str::kColumnName, Str::kColumnSize, Str::kColumnType,
                                          Str::kColumnModified};
    return section >= 0 && section < ColumnCount ? QString::fromLatin1(kTitles[section])
                                                 : QVariant();
}

Qt::ItemFlags CFileListModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    const Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled;
    return index.column() == NameColumn ? flags | Qt::ItemIsEditable : flags;
}

bool CFileListModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (role != Qt::EditRole || !index.isValid() || index.column() != NameColumn ||
        index.row() >= Count())
        return false;
    const QString& name = Entry(index.row()).name;
    const QString wanted = value.toString();
    if (wanted != ShownName(name))
        emit RenameRequested(name, wanted);
    return false;
}
