#include "ThumbnailMemory.h"

QString CThumbnailMemory::KeyOf(const QString& path, qint64 mtime, qint64 size, int thumbnailSize)
{
    return QString::number(thumbnailSize) + QLatin1Char(' ') + QString::number(mtime) +
           QLatin1Char(' ') + QString::number(size) + QLatin1Char(' ') + path;
}

size_t CThumbnailMemory::CostOf(const QImage& image)
{
    // The pixels, and what the entry and its key cost beside them.
    return size_t(std::max<qsizetype>(image.sizeInBytes(), 0)) + 256;
}

const QImage* CThumbnailMemory::Find(const QString& key)
{
    const auto found = m_index.constFind(key);
    if (found == m_index.constEnd())
        return nullptr;
    m_entries.splice(m_entries.begin(), m_entries, found.value());
    return &m_entries.front().image;
}

void CThumbnailMemory::Drop(std::list<Entry>::iterator it)
{
    m_nBytes -= it->bytes;
    m_index.remove(it->key);
    m_entries.erase(it);
}

void CThumbnailMemory::Insert(const QString& key, const QImage& image)
{
    const auto found = m_index.constFind(key);
    if (found != m_index.constEnd())
        Drop(found.value());
    const size_t bytes = CostOf(image);
    if (bytes > m_nBudget)
        return;
    while (!m_entries.empty() && m_nBytes + bytes > m_nBudget)
        Drop(std::prev(m_entries.end()));
    m_entries.push_front(Entry{key, image, bytes});
    m_index.insert(key, m_entries.begin());
    m_nBytes += bytes;
}

void CThumbnailMemory::Clear()
{
    m_entries.clear();
    m_index.clear();
    m_nBytes = 0;
}
