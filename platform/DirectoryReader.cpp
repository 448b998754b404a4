#include "DirectoryReader.h"

#include "NativePath.h"

#include <QCollator>
#include <QCollatorSortKey>
#include <QLocale>

#include <algorithm>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>

namespace
{
struct DirCloser
{
    void operator()(DIR* d) const { closedir(d); }
};
using DirHandle = std::unique_ptr<DIR, DirCloser>;

bool IsDotOrDotDot(const char* name)
{
    return name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0));
}

// Whether the entry is a folder; links are followed, as the file manager does.
bool IsFolderEntry(int dirFd, const dirent* e)
{
    if (e->d_type == DT_DIR)
        return true;
    if (e->d_type != DT_LNK && e->d_type != DT_UNKNOWN)
        return false;
    struct stat st;
    return fstatat(dirFd, e->d_name, &st, 0) == 0 && S_ISDIR(st.st_mode);
}

// Calls fn(entry) for each entry that passes the filter; fn returns false to stop.
template <typename Fn>
bool ForEachEntry(const QString& path, CDirectoryReader::Filter filter, Fn fn)
{
    DirHandle dir(opendir(NativePath::Encode(path).constData()));
    if (!dir)
        return false;
    const int fd = dirfd(dir.get());
    while (const dirent* e = readdir(dir.get()))
    {
        if (IsDotOrDotDot(e->d_name))
            continue;
        if (filter != CDirectoryReader::AllEntries && e->d_name[0] == '.')
            continue;
        if (filter == CDirectoryReader::VisibleFolders && !IsFolderEntry(fd, e))
            continue;
        if (!fn(fd, e))
            break;
    }
    return true;
}
} // namespace

bool CDirectoryReader::Read(const QString& path, Filter filter, std::vector<CDirEntry>& out,
                            Order order)
{
    out.clear();
    // For folders only: what the directory calls a file goes at once; a link
    // or an entry of unknown type is told by the stat it gets anyway.
    const bool bFoldersOnly = filter == VisibleFolders;
    const bool ok =
        ForEachEntry(path, bFoldersOnly ? VisibleEntries : filter,
                     [&](int fd, const dirent* e)
                     {
                         if (bFoldersOnly && e->d_type != DT_DIR && e->d_type != DT_LNK &&
                             e->d_type != DT_UNKNOWN)
                             return true;
                         CDirEntry entry;
                         entry.name = NativePath::Decode(e->d_name, qsizetype(strlen(e->d_name)));
                         struct stat st;
                         // A link whose target is gone is still listed, as the link itself.
                         if (fstatat(fd, e->d_name, &st, 0) == 0 ||
                             fstatat(fd, e->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0)
                         {
                             entry.bFolder = S_ISDIR(st.st_mode);
                             entry.size = entry.bFolder ? 0 : qint64(st.st_size);
                             entry.mtime = qint64(st.st_mtim.tv_sec);
                         }
                         else
                         {
                             entry.bFolder = e->d_type == DT_DIR;
                         }
                         if (bFoldersOnly && !entry.bFolder)
                             return true;
                         out.push_back(std::move(entry));
                         return true;
                     });
    if (order == FileManagerOrder)
        Sort(out);
    return ok;
}

bool CDirectoryReader::ReadNames(const QByteArray& path, std::vector<QByteArray>& names)
{
    DirHandle dir(opendir(path.constData()));
    if (!dir)
        return false;
    while (const dirent* e = readdir(dir.get()))
        if (!IsDotOrDotDot(e->d_name))
            names.emplace_back(e->d_name);
    return true;
}

bool CDirectoryReader::HasEntries(const QString& path, Filter filter)
{
    bool found = false;
    ForEachEntry(path, filter,
                 [&](int, const dirent*)
                 {
                     found = true;
                     return false;
                 });
    return found;
}

void CDirectoryReader::Sort(std::vector<CDirEntry>& entries)
{
    // One sort key per name: comparing keys is a byte comparison, far cheaper
    // than collating the two names on each of the n log n comparisons.
    // The C locale collates by code point and ignores numeric mode; take the
    // language-neutral order instead, as the file manager does.
    QCollator collator(QLocale().language() == QLocale::C ? QLocale(QLocale::English) : QLocale());
    collator.setNumericMode(true);
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    struct Keyed
    {
        QCollatorSortKey key;
        qsizetype index;
    };
    std::vector<Keyed> keyed;
    keyed.reserve(entries.size());
    for (qsizetype i = 0; i < qsizetype(entries.size()); ++i)
        keyed.push_back({collator.sortKey(entries[size_t(i)].name), i});
    std::sort(keyed.begin(), keyed.end(),
              [&](const Keyed& a, const Keyed& b)
              {
                  const CDirEntry& ea = entries[size_t(a.index)];
                  const CDirEntry& eb = entries[size_t(b.index)];
                  if (ea.bFolder != eb.bFolder)
                      return ea.bFolder;
                  const int c = a.key.compare(b.key);
                  // Names equal to the collator ("a" and "A") keep a stable order.
                  return c != 0 ? c < 0 : ea.name < eb.name;
              });
    std::vector<CDirEntry> sorted;
    sorted.reserve(entries.size());
    for (const Keyed& k : keyed)
        sorted.push_back(std::move(entries[size_t(k.index)]));
    entries = std::move(sorted);
}
