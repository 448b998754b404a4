#pragma once
#include <QString>
#include <QStringList>

/// The recent-file list: section "Recent File List", values "File1" ... "FileN",
/// most recent first. Written back on every change.
class CRecentFileList
{
public:
    explicit CRecentFileList(int nSize, QString section = QStringLiteral("Recent File List"),
                             QString entryFormat = QStringLiteral("File%1"));

    void ReadList();
    void WriteList() const;
    /// Moves or inserts the path at the front.
    void Add(const QString& path);
    void Remove(int index);
    int GetSize() const { return m_nSize; }
    /// Entry i, or an empty string past the filled entries.
    QString operator[](int index) const;

private:
    int m_nSize;
    QString m_strSection;
    QString m_strEntryFormat;
    QStringList m_arrNames;
};
