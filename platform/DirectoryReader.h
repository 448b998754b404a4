#pragma once
#include <QByteArray>
#include <QString>
#include <vector>

/// One entry of a folder as the list and the trees show it.
struct CDirEntry
{
    QString name;     // file name, undecodable bytes escaped (NativePath)
    qint64 size = 0;  // bytes; 0 for folders
    qint64 mtime = 0; // last write, seconds since the epoch
    bool bFolder = false;

    friend bool operator==(const CDirEntry&, const CDirEntry&) = default;
};

/// Reads folders the way the file manager shows them: folders first, then
/// files, each sorted by name case-insensitively with numbers in natural order
/// ("img2" before "img10"). Touches no widget, so it may run on any thread.
class CDirectoryReader
{
public:
    enum Filter
    {
        AllEntries,     // every entry but "." and "..", hidden ones included
        VisibleEntries, // as file managers show: no hidden ones (names starting with ".")
        VisibleFolders  // folders only, without hidden ones
    };

    enum Order
    {
        FileManagerOrder, // as Sort puts them
        Unsorted          // as the folder yields them, for callers with an order of their own
    };

    /// Fills out with the entries; false (and out empty) when the folder
    /// cannot be read.
    static bool Read(const QString& path, Filter filter, std::vector<CDirEntry>& out,
                     Order order = FileManagerOrder);
    /// Sorts entries into the order above.
    static void Sort(std::vector<CDirEntry>& entries);
    /// The names of every entry but "." and ".." as the file system stores
    /// them (bytes), unsorted and not stat-ed: for code that carries files
    /// rather than shows them. False when the folder cannot be read.
    static bool ReadNames(const QByteArray& path, std::vector<QByteArray>& names);
    /// True when the folder holds at least one entry that passes the filter
    /// (reads no further than the first one).
    static bool HasEntries(const QString& path, Filter filter);
};
