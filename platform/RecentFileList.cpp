#include "RecentFileList.h"

#include "Settings.h"

#include <QFileInfo>

CRecentFileList::CRecentFileList(int nSize, QString section, QString entryFormat)
    : m_nSize(nSize), m_strSection(std::move(section)), m_strEntryFormat(std::move(entryFormat))
{
}

void CRecentFileList::ReadList()
{
    m_arrNames.clear();
    for (int i = 0; i < m_nSize; ++i)
        m_arrNames.append(Settings::GetProfilePath(m_strSection, m_strEntryFormat.arg(i + 1)));
    // Empty entries end the list; later ones move up.
    m_arrNames.removeAll(QString());
}

void CRecentFileList::WriteList() const
{
    for (int i = 0; i < m_nSize; ++i)
        Settings::WriteProfilePath(m_strSection, m_strEntryFormat.arg(i + 1), (*this)[i]);
}

void CRecentFileList::Add(const QString& path)
{
    if (path.isEmpty())
        return;
    const QString full = QFileInfo(path).absoluteFilePath();
    m_arrNames.removeAll(full);
    m_arrNames.prepend(full);
    while (m_arrNames.size() > m_nSize)
        m_arrNames.removeLast();
    WriteList();
}

void CRecentFileList::Remove(int index)
{
    if (index < 0 || index >= m_arrNames.size())
        return;
    m_arrNames.removeAt(index);
    WriteList();
}

QString CRecentFileList::operator[](int index) const
{
    return index >= 0 && index < m_arrNames.size() ? m_arrNames[index] : QString();
}
