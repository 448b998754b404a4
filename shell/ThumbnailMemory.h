#pragma once
#include <QHash>
#include <QImage>
#include <QString>

#include <cstddef>
#include <list>

/// The thumbnails already decoded, least recently used first out, within a
/// budget of bytes (256 MiB unless told): a folder of 10,000 pictures scrolls
/// without reading the cache twice, and memory stays bounded.
/// User-interface thread only.
class CThumbnailMemory
{
public:
    static constexpr size_t kDefaultBudget = size_t(256) << 20;

    explicit CThumbnailMemory(size_t budget = kDefaultBudget) : m_nBudget(budget) {}

    /// The key of a file's thumbnail: it changes when the file does.
    static QString KeyOf(const QString& path, qint64 mtime, qint64 size, int thumbnailSize);

    /// The thumbnail, now the most recently used; null when it is not held.
    const QImage* Find(const QString& key);
    /// Holds the image (replacing one of the same key), dropping the least
    /// recently used ones until the whole fits the budget. An image larger
    /// than the whole budget is not held.
    void Insert(const QString& key, const QImage& image);
    void Clear();

    size_t GetBytes() const { return m_nBytes; }
    int GetCount() const { return int(m_entries.size()); }

private:
    struct Entry
    {
        QString key;
        QImage image;
        size_t bytes;
    };
    static size_t CostOf(const QImage& image);
    void Drop(std::list<Entry>::iterator it);

    size_t m_nBudget;
    size_t m_nBytes = 0;
    std::list<Entry> m_entries; // most recently used first
    QHash<QString, std::list<Entry>::iterator> m_index;
};
