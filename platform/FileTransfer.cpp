#include "FileTransfer.h"

#include "DirectoryReader.h"
#include "NativePath.h"

#include <QRandomGenerator>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fnmatch.h>
#include <signal.h>
#include <memory>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace
{
constexpr qint64 kChunk = 8 << 20; // bytes per step between cancel checks
constexpr int kMaxNamed = 10;       // entries named in a summary
// A temporary name without a living owner's process id is stale this long
// after its last write (names of older versions carry no process id).
constexpr time_t kStaleSeconds = 600;
const char kTempTag[] = ".vistrel-";

CFileTransfer::FaultHook g_faultHook;

int Injected(const char* call, const QByteArray& path)
{
    return g_faultHook ? g_faultHook(call, path) : 0;
}

struct Fd
{
    int fd = -1;
    ~Fd()
    {
        if (fd >= 0)
            close(fd);
    }
};

QByteArray Join(const QByteArray& folder, const QByteArray& name)
{
    return folder.endsWith('/') ? folder + name : folder + '/' + name;
}

QByteArray BaseName(const QByteArray& path)
{
    QByteArray p = path;
    while (p.size() > 1 && p.endsWith('/'))
        p.chop(1);
    return p.mid(p.lastIndexOf('/') + 1);
}

QByteArray DirName(const QByteArray& path)
{
    const qsizetype slash = path.lastIndexOf('/');
    return slash <= 0 ? QByteArray("/") : path.left(slash);
}

bool Exists(const QByteArray& path, struct stat* st = nullptr)
{
    struct stat local;
    return lstat(path.constData(), st ? st : &local) == 0;
}

// The entries of a folder, read in full before any is moved out of it, in
// byte order so that a transfer goes the same way each time.
bool ListFolder(const QByteArray& path, std::vector<QByteArray>& names)
{
    if (!CDirectoryReader::ReadNames(path, names))
        return false;
    std::sort(names.begin(), names.end());
    return true;
}

// Bytes of the regular files below (and including) path, and the number of
// entries that are not folders.
struct Tally
{
    qint64 bytes = 0;
    int items = 0;
};

void Count(const QByteArray& path, const std::atomic<bool>& cancel, Tally& tally)
{
    struct stat st;
    if (lstat(path.constData(), &st) != 0)
    {
        ++tally.items; // a missing source is an item that will fail
        return;
    }
    if (!S_ISDIR(st.st_mode))
    {
        ++tally.items;
        tally.bytes += S_ISREG(st.st_mode) ? qint64(st.st_size) : 0;
        return;
    }
    std::vector<QByteArray> names;
    ListFolder(path, names);
    for (const QByteArray& name : names)
    {
        if (cancel)
            return;
        Count(Join(path, name), cancel, tally);
    }
}

Tally CountTree(const QByteArray& path, const std::atomic<bool>& cancel)
{
    Tally tally;
    Count(path, cancel, tally);
    return tally;
}

bool SameTime(const struct timespec& a, const struct timespec& b)
{
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

// A hidden name beside dst for a file or link being made: ".NAME.vistrel-PID-XXXXXX".
// The name part stays short enough for the 255 bytes a name may have.
QByteArray TempTemplate(const QByteArray& dst)
{
    return Join(DirName(dst), "." + BaseName(dst).left(200) + kTempTag +
                                  QByteArray::number(qint64(getpid())) + "-XXXXXX");
}

QByteArray RandomTempName(const QByteArray& dst)
{
    static const char kChars[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    QByteArray name = TempTemplate(dst);
    for (qsizetype i = name.size() - 6; i < name.size(); ++i)
        name[i] = kChars[QRandomGenerator::global()->bounded(int(sizeof kChars) - 1)];
    return name;
}

// Whether a name is one of our temporary names whose writer is gone: its
// process no longer runs, or (without a process id) it has not been written
// for a while.
bool IsStaleTemporary(int dirFd, const char* name)
{
    const char* tag = name[0] == '.' ? strstr(name, kTempTag) : nullptr;
    if (!tag)
        return false;
    const char* rest = tag + strlen(kTempTag);
    while (const char* next = strstr(rest, kTempTag)) // the last tag is ours
        rest = next + strlen(kTempTag);
    const size_t length = strlen(rest);
    const char* dash = strchr(rest, '-');
    struct stat st;
    if (fstatat(dirFd, name, &st, AT_SYMLINK_NOFOLLOW) != 0 ||
        !(S_ISREG(st.st_mode) || S_ISLNK(st.st_mode)))
        return false;
    if (dash && size_t(dash - rest) + 7 == length)
    {
        const long pid = strtol(rest, nullptr, 10);
        return pid > 0 && kill(pid_t(pid), 0) != 0 && errno == ESRCH;
    }
    return length == 6 && time(nullptr) - st.st_mtim.tv_sec > kStaleSeconds;
}

// "name (copy).ext", then "name (copy 2).ext" ... : the first that is free.
QByteArray FreeCopyName(const QByteArray& path, bool bFolder)
{
    const QByteArray folder = DirName(path), name = BaseName(path);
    const qsizetype dot = bFolder ? -1 : name.lastIndexOf('.');
    const QByteArray stem = dot > 0 ? name.left(dot) : name;
    const QByteArray ext = dot > 0 ? name.mid(dot) : QByteArray();
    for (int n = 1;; ++n)
    {
        const QByteArray tag =
            n == 1 ? QByteArray(" (copy)") : " (copy " + QByteArray::number(n) + ")";
        const QByteArray candidate = Join(folder, stem + tag + ext);
        if (!Exists(candidate))
            return candidate;
    }
}

bool IsWildcard(const QByteArray& name)
{
    return name.contains('*') || name.contains('?');
}

// Strips a trailing "/", "/*" or "/*.*" that marks a folder destination.
bool StripFolderMark(QString& path)
{
    for (const char* mark : {"/*.*", "/*", "/"})
    {
        if (path.size() > 1 && path.endsWith(QLatin1String(mark)))
        {
            path.chop(qsizetype(strlen(mark)));
            if (path.isEmpty())
                path = QStringLiteral("/");
            return true;
        }
    }
    return false;
}

// The resolved path; for a path that does not exist yet, that of its nearest
// existing ancestor followed by the rest.
QByteArray Canonical(const QByteArray& path)
{
    QByteArray existing = path, rest;
    while (!existing.isEmpty() && existing != "/" && !Exists(existing))
    {
        rest.prepend('/' + BaseName(existing));
        existing = DirName(existing);
    }
    std::unique_ptr<char, decltype(&free)> real(realpath(existing.constData(), nullptr), &free);
    return (real ? QByteArray(real.get()) : existing) + rest;
}
} // namespace

void CFileTransfer::SetFaultHook(FaultHook hook)
{
    g_faultHook = std::move(hook);
}

int CFileTransfer::RenameNoReplace(const QByteArray& from, const QByteArray& to)
{
    if (renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return errno;
    if (Exists(to))
        return EEXIST;
    return rename(from.constData(), to.constData()) == 0 ? 0 : errno;
}

CFileTransfer::CFileTransfer(Operation op, const QStringList& sources, const QString& destination)
    : m_op(op), m_sources(sources), m_strDestination(destination)
{
}

QString CFileTransfer::CurrentName() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_strCurrent;
}

void CFileTransfer::SetCurrent(const QByteArray& path)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_strCurrent = NativePath::Decode(BaseName(path));
}

bool CFileTransfer::Fail(const char* what, const QByteArray& path, int err)
{
    m_strError = QStringLiteral("%1 \"%2\": %3")
                     .arg(QLatin1String(what), NativePath::Decode(path),
                          QString::fromStdString(std::generic_category().message(err)));
    return false;
}

bool CFileTransfer::Halted()
{
    if (m_bCancel && !m_bHalted)
        m_bHalted = m_bCancelled = true;
    return m_bHalted;
}

bool CFileTransfer::Prepare(std::vector<Top>& tops)
{
    // Sources: paths, or a folder's entries named by a pattern.
    std::vector<QByteArray> sources;
    bool bPattern = false;
    for (const QString& s : m_sources)
    {
        const QByteArray native = NativePath::Encode(s);
        const QByteArray name = BaseName(native);
        if (!IsWildcard(name))
        {
            sources.push_back(native);
            continue;
        }
        bPattern = true;
        const QByteArray folder = DirName(native);
        std::vector<QByteArray> names;
        if (!ListFolder(folder, names))
            return Fail("Cannot read", folder, errno);
        // "*.*" means every entry, dotted or not, as it always has.
        const bool bAll = name == "*" || name == "*.*";
        for (const QByteArray& entry : names)
            if (bAll || fnmatch(name.constData(), entry.constData(), FNM_PERIOD) == 0)
                sources.push_back(Join(folder, entry));
    }

    QString destination = m_strDestination;
    const bool bMarked = StripFolderMark(destination);
    const QByteArray dest = NativePath::Encode(destination);
    struct stat dst;
    const bool bIntoFolder = bMarked || bPattern || sources.size() != 1 ||
                             (stat(dest.constData(), &dst) == 0 && S_ISDIR(dst.st_mode));
    const QByteArray destReal = bIntoFolder ? Canonical(dest) : Canonical(DirName(dest));

    for (const QByteArray& src : sources)
    {
        Top top{src, bIntoFolder ? Join(dest, BaseName(src)) : dest};
        // A source that is gone fails as an entry, so the others are still carried.
        struct stat st;
        if (lstat(src.constData(), &st) != 0)
        {
            tops.push_back(std::move(top));
            continue;
        }
        if (S_ISDIR(st.st_mode))
        {
            const QByteArray srcReal = Canonical(src);
            if (destReal == srcReal || destReal.startsWith(srcReal + '/'))
                return Fail(m_op == Copy ? "Cannot copy a folder into itself:"
                                         : "Cannot move a folder into itself:",
                            src, EINVAL);
        }
        struct stat tst;
        if (lstat(top.target.constData(), &tst) == 0 && tst.st_dev == st.st_dev &&
            tst.st_ino == st.st_ino)
        {
            if (m_op == Move)
                continue; // already where it should go
            top.target = FreeCopyName(top.target, S_ISDIR(st.st_mode));
        }
        tops.push_back(std::move(top));
    }

    // Counted before anything is made, so a cancel here leaves nothing behind.
    Tally total;
    for (const Top& top : tops)
    {
        const Tally one = CountTree(top.source, m_bCancel);
        total.bytes += one.bytes;
        total.items += one.items;
    }
    m_nTotalBytes = total.bytes;
    m_nItems = total.items;
    if (Halted())
        return false;

    if (bIntoFolder && !Exists(dest))
    {
        // Every missing level, as a file manager's paste does.
        for (qsizetype i = 1; i <= dest.size(); ++i)
        {
            if (i != dest.size() && dest[i] != '/')
                continue;
            const QByteArray level = dest.left(i);
            if (mkdir(level.constData(), 0777) == 0)
                Created(level);
            else if (errno != EEXIST)
                return Fail("Cannot create the folder", dest, errno);
        }
    }
    return true;
}

bool CFileTransfer::Run()
{
    std::vector<Top> tops;
    bool ok = Prepare(tops);
    for (const Top& top : tops)
    {
        if (!ok)
            break;
        m_bCopyingMove = false;
        ok = TransferEntry(top.source, top.target);
    }
    // Once the work is done a late Cancel has nothing left to stop.
    if (ok)
        Commit();
    else
        RollBack();
    Summarize(ok);
    return ok && m_problems.isEmpty();
}

void CFileTransfer::Created(const QByteArray& dst)
{
    m_created.push_back(dst);
    m_touchedDirs.insert(DirName(dst));
}

void CFileTransfer::Carried(const QByteArray& src, const QByteArray& dst, bool bFolder,
                            const Identity& id)
{
    m_touchedDirs.insert(DirName(dst));
    if (m_op == Move)
        m_removals.push_back({src, bFolder, id});
    else if (!bFolder)
        ++m_nDone;
}

void CFileTransfer::Commit()
{
    if (m_removals.empty())
        return;
    // The copies' names must be on disk before their sources go.
    for (const QByteArray& dir : m_touchedDirs)
    {
        Fd fd;
        fd.fd = open(dir.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd.fd >= 0 && fsync(fd.fd) != 0 && errno != EINVAL)
        {
            Fail("Cannot write", dir, errno);
            m_problems.append(m_strError + QStringLiteral("; the sources are kept"));
            m_strError.clear();
            return;
        }
    }
    for (const Removal& r : m_removals)
    {
        if (r.bFolder)
        {
            // What was kept keeps its folder.
            rmdir(r.path.constData());
            continue;
        }
        const int injected = Injected("unlink", r.path);
        struct stat st;
        if (lstat(r.path.constData(), &st) != 0 || st.st_dev != r.id.dev ||
            st.st_ino != r.id.ino || st.st_size != r.id.size ||
            !SameTime(st.st_mtim, r.id.mtim) || !SameTime(st.st_ctim, r.id.ctim))
        {
            m_problems.append(QStringLiteral("\"%1\" changed while it was moved: the original "
                                             "and the copy are both kept")
                                  .arg(NativePath::Decode(r.path)));
            continue;
        }
        if (injected != 0 || unlink(r.path.constData()) != 0)
        {
            Fail("Copied, but cannot remove", r.path, injected != 0 ? injected : errno);
            m_problems.append(m_strError);
            m_strError.clear();
            continue;
        }
        ++m_nDone;
    }
}

void CFileTransfer::RollBack()
{
    // A move that stops keeps its sources whole, so its copies go; a copy
    // keeps the files it completed. Folders made and left empty go in both.
    for (const QByteArray& path : m_created)
    {
        struct stat st;
        if (lstat(path.constData(), &st) == 0 && S_ISDIR(st.st_mode))
            chmod(path.constData(), (st.st_mode & 07777) | S_IRWXU);
    }
    for (auto it = m_created.rbegin(); it != m_created.rend(); ++it)
    {
        struct stat st;
        if (lstat(it->constData(), &st) != 0)
            continue;
        if (S_ISDIR(st.st_mode))
            rmdir(it->constData());
        else if (m_op == Move)
            unlink(it->constData());
    }
    m_removals.clear();
}

void CFileTransfer::Summarize(bool bFinished)
{
    if (m_nLinksLeftOut > 0)
        m_problems.append(
            m_nLinksLeftOut == 1
                ? QStringLiteral("1 symbolic link: the destination cannot hold links")
                : QStringLiteral("%1 symbolic links: the destination cannot hold links")
                      .arg(m_nLinksLeftOut));
    if (m_bCancelled)
    {
        m_strError.clear();
        return;
    }
    if (bFinished && m_problems.isEmpty())
        return;
    const QString verb = m_op == Copy ? QStringLiteral("copied") : QStringLiteral("moved");
    QString text = m_strError; // the failure that stopped it, if any
    if (m_nItems > 1 || !m_problems.isEmpty() || m_nDone > 0)
    {
        if (!text.isEmpty())
            text += QStringLiteral("\n\n");
        text += m_nDone == 0 ? QStringLiteral("Nothing was %1.").arg(verb)
                             : QStringLiteral("%1 of %2 items were %3.")
                                   .arg(m_nDone)
                                   .arg(m_nItems)
                                   .arg(verb);
        if (!bFinished && m_op == Move)
            text += QStringLiteral(" The sources that were not moved are as they were.");
    }
    if (!m_problems.isEmpty())
    {
        text += QStringLiteral("\nNot %1:").arg(verb);
        for (qsizetype i = 0; i < m_problems.size() && i < kMaxNamed; ++i)
            text += QStringLiteral("\n") + m_problems[i];
        if (m_problems.size() > kMaxNamed)
            text += QStringLiteral("\n... and %1 more").arg(m_problems.size() - kMaxNamed);
    }
    m_strError = text;
}

bool CFileTransfer::Resolve(const QByteArray& src, const QByteArray& dst, bool bTargetIsFolder,
                            Answer& answer)
{
    if (m_bHaveAllAnswer)
    {
        answer = m_allAnswer;
    }
    else if (!m_onConflict)
    {
        // Nobody to ask: never overwrite.
        answer = Cancel;
        m_bHalted = true;
        return Fail("Not replaced, it exists:", dst, EEXIST);
    }
    else
    {
        const Reply reply =
            m_onConflict({NativePath::Decode(src), NativePath::Decode(dst), bTargetIsFolder});
        answer = reply.answer;
        if (reply.bApplyToAll && answer != Cancel)
        {
            m_bHaveAllAnswer = true;
            m_allAnswer = answer;
        }
    }
    if (answer == Cancel)
        m_bCancel = true;
    return answer != Cancel;
}

CFileTransfer::ErrorAnswer CFileTransfer::AskAboutError(const QByteArray& src)
{
    ErrorAnswer answer = SkipEntry;
    if (!m_bSkipAllErrors)
    {
        if (!m_onError)
        {
            m_bHalted = true; // nobody to ask: the failure ends the transfer
            return CancelTransfer;
        }
        answer = m_onError({NativePath::Decode(src), m_strError});
    }
    switch (answer)
    {
    case RetryEntry:
        break;
    case SkipAllEntries:
        m_bSkipAllErrors = true;
        [[fallthrough]];
    case SkipEntry:
        m_problems.append(m_strError);
        m_strError.clear();
        break;
    case CancelTransfer:
        // A cancel, wherever the failing entry stands in the batch.
        m_bCancel = true;
        Halted();
        m_strError.clear();
        break;
    }
    return answer;
}

bool CFileTransfer::TransferEntry(const QByteArray& src, const QByteArray& dst)
{
    for (;;)
    {
        if (Halted())
            return false;
        m_strError.clear();
        if (CarryEntry(src, dst))
            return true;
        if (Halted() || m_strError.isEmpty())
            return false;
        switch (AskAboutError(src))
        {
        case RetryEntry:
            continue;
        case SkipEntry:
        case SkipAllEntries:
            return true; // the batch goes on without it
        case CancelTransfer:
            return false;
        }
    }
}

bool CFileTransfer::CarryEntry(const QByteArray& src, const QByteArray& dst)
{
    struct stat st, dstSt;
    if (lstat(src.constData(), &st) != 0)
        return Fail("Cannot find", src, errno);
    SetCurrent(src);
    bool bExists = Exists(dst, &dstSt);

    // Within one file system a move is a rename; once it has met another
    // file system, the entries below it are copied without trying again.
    if (m_op == Move && !bExists && !m_bCopyingMove)
    {
        int err = Injected("rename", src);
        if (err == 0)
            err = RenameNoReplace(src, dst);
        if (err == 0)
        {
            const Tally moved = S_ISDIR(st.st_mode) ? CountTree(dst, m_bCancel) : Tally{qint64(st.st_size), 1};
            Advance(moved.bytes);
            m_nDone += moved.items;
            m_touchedDirs.insert(DirName(dst));
            return true;
        }
        if (err == EEXIST || err == ENOTEMPTY)
            bExists = Exists(dst, &dstSt);
        else if (err != EXDEV)
            return Fail("Cannot move", src, err);
        else
            m_bCopyingMove = true; // copy all, then remove the sources
    }

    if (S_ISDIR(st.st_mode))
    {
        if (bExists && !S_ISDIR(dstSt.st_mode))
            return Fail("A file stands where the folder should go:", dst, EEXIST);
        return TransferFolder(src, dst, bExists);
    }
    if (bExists && S_ISDIR(dstSt.st_mode))
        return Fail("A folder stands where the file should go:", dst, EISDIR);

    Answer answer = Replace;
    if (bExists && !Resolve(src, dst, false, answer))
        return false;
    if (answer == Skip)
    {
        Advance(S_ISREG(st.st_mode) ? qint64(st.st_size) : 0);
        --m_nItems; // kept by the user's answer, not a failure
        return true;
    }
    if (m_op == Move && bExists && !m_bCopyingMove)
    {
        // Replacing within one file system is one atomic rename.
        int err = Injected("rename", src);
        if (err == 0 && rename(src.constData(), dst.constData()) != 0)
            err = errno;
        if (err == 0)
        {
            Advance(qint64(st.st_size));
            ++m_nDone;
            return true;
        }
        if (err != EXDEV)
            return Fail("Cannot move", src, err);
        m_bCopyingMove = true;
    }

    if (S_ISLNK(st.st_mode))
        return CopyLink(src, dst, bExists, st);
    if (!S_ISREG(st.st_mode))
    {
        --m_nItems;
        return true; // devices, pipes and sockets are not files to carry
    }
    return CopyFile(src, dst, bExists, st);
}

bool CFileTransfer::TransferFolder(const QByteArray& src, const QByteArray& dst, bool bMerge)
{
    struct stat st;
    if (lstat(src.constData(), &st) != 0)
        return Fail("Cannot find", src, errno);
    std::vector<QByteArray> names;
    if (!ListFolder(src, names))
        return Fail("Cannot read", src, errno);
    // Made with the source's permissions at once, so a stop halfway leaves
    // a folder as the user knows it; the owner may write into it while it
    // fills, and a folder without that right gets its own mode at the end.
    const mode_t mode = st.st_mode & 07777;
    if (!bMerge)
    {
        if (mkdir(dst.constData(), mode | S_IRWXU) != 0)
            return Fail("Cannot create the folder", dst, errno);
        Created(dst);
        chmod(dst.constData(), mode | S_IRWXU); // the umask took its share
    }
    struct FinalMode
    {
        const QByteArray& path;
        mode_t mode;
        bool bRestore;
        ~FinalMode()
        {
            if (bRestore)
                chmod(path.constData(), mode);
        }
    } finalMode{dst, mode, !bMerge && (mode & S_IRWXU) != S_IRWXU};

    for (const QByteArray& name : names)
        if (!TransferEntry(Join(src, name), Join(dst, name)))
            return false;
    // What the user skipped stays, and so does its folder.
    if (m_op == Move && m_bCopyingMove)
        Carried(src, dst, true, Identity{});
    else if (m_op == Move)
        rmdir(src.constData());
    return true;
}

bool CFileTransfer::CopyLink(const QByteArray& src, const QByteArray& dst, bool bReplace,
                             const struct stat& entry)
{
    std::vector<char> target(size_t(entry.st_size) + 1);
    const ssize_t n = readlink(src.constData(), target.data(), target.size());
    if (n < 0)
        return Fail("Cannot read the link", src, errno);
    target[size_t(n)] = 0;
    RemoveStaleTemporaries(DirName(dst));

    // Made under a temporary name and renamed into place: a failure keeps
    // what it was to replace.
    QByteArray tmp;
    int err = EEXIST;
    for (int attempt = 0; attempt < 100 && err == EEXIST; ++attempt)
    {
        tmp = RandomTempName(dst);
        err = Injected("symlink", dst);
        if (err == 0 && symlink(target.data(), tmp.constData()) != 0)
            err = errno;
    }
    if (err == EPERM || err == EOPNOTSUPP)
    {
        // The file system holds no links (FAT, exFAT): carry the file it
        // points at, else leave the link out and say so once at the end.
        struct stat pointed;
        if (stat(src.constData(), &pointed) == 0 && S_ISREG(pointed.st_mode))
        {
            m_nTotalBytes += qint64(pointed.st_size);
            return CopyFile(src, dst, bReplace, entry);
        }
        ++m_nLinksLeftOut;
        return true;
    }
    if (err != 0)
        return Fail("Cannot create the link", dst, err);
    err = bReplace ? (rename(tmp.constData(), dst.constData()) == 0 ? 0 : errno)
                   : RenameNoReplace(tmp, dst);
    if (err != 0)
    {
        unlink(tmp.constData());
        return Fail("Cannot create the link", dst, err);
    }
    if (!bReplace)
        Created(dst);
    Identity id{entry.st_dev, entry.st_ino, entry.st_size, entry.st_mtim, entry.st_ctim};
    Carried(src, dst, false, id);
    return true;
}

void CFileTransfer::RemoveStaleTemporaries(const QByteArray& folder)
{
    if (!m_cleanDirs.insert(folder).second)
        return;
    std::vector<QByteArray> names;
    const Fd dir{open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)};
    if (dir.fd < 0 || !CDirectoryReader::ReadNames(folder, names))
        return;
    for (const QByteArray& name : names)
        if (IsStaleTemporary(dir.fd, name.constData()))
            unlinkat(dir.fd, name.constData(), 0);
}

int CFileTransfer::NameFile(int fd, const QByteArray& tmp, const QByteArray& dst, bool bReplace)
{
    if (!tmp.isEmpty())
        return bReplace ? (rename(tmp.constData(), dst.constData()) == 0 ? 0 : errno)
                        : RenameNoReplace(tmp, dst);
    // An unnamed file gets its name by a link, which never replaces; a
    // replacement is linked under a temporary name and renamed over the old.
    const QByteArray self = "/proc/self/fd/" + QByteArray::number(fd);
    if (!bReplace)
        return linkat(AT_FDCWD, self.constData(), AT_FDCWD, dst.constData(), AT_SYMLINK_FOLLOW) == 0
                   ? 0
                   : errno;
    for (int attempt = 0; attempt < 100; ++attempt)
    {
        const QByteArray named = RandomTempName(dst);
        if (linkat(AT_FDCWD, self.constData(), AT_FDCWD, named.constData(), AT_SYMLINK_FOLLOW) !=
            0)
        {
            if (errno == EEXIST)
                continue;
            return errno;
        }
        if (rename(named.constData(), dst.constData()) == 0)
            return 0;
        const int err = errno;
        unlink(named.constData());
        return err;
    }
    return EEXIST;
}

bool CFileTransfer::CopyFile(const QByteArray& src, const QByteArray& dst, bool bReplace,
                             const struct stat& entry)
{
    Fd in;
    if (const int injected = Injected("open", src))
        return Fail("Cannot read", src, injected);
    in.fd = open(src.constData(), O_RDONLY | O_CLOEXEC);
    struct stat st;
    if (in.fd < 0 || fstat(in.fd, &st) != 0)
        return Fail("Cannot read", src, errno);
    const QByteArray folder = DirName(dst);
    RemoveStaleTemporaries(folder);

    // Unnamed until complete where the file system allows it, so not even
    // a kill leaves a partial file; else a hidden temporary name.
    static const bool bHaveProc = access("/proc/self/fd", X_OK) == 0;
    QByteArray tmpl;
    Fd out;
    out.fd = bHaveProc ? open(folder.constData(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600) : -1;
    if (out.fd < 0)
    {
        tmpl = TempTemplate(dst);
        out.fd = mkostemp(tmpl.data(), O_CLOEXEC);
    }
    if (out.fd < 0)
    {
        // FAT refuses names with characters such as ":" or "?".
        if (errno == EINVAL || errno == ENAMETOOLONG)
            return Fail("The file system there cannot hold the name", dst, errno);
        return Fail("Cannot write into", folder, errno);
    }

    qint64 copied = 0;
    int copyErr = CopyData(in.fd, out.fd, qint64(st.st_size), copied);
    if (copyErr == 0)
        copyErr = Injected("copied", src);
    bool ok = copyErr == 0 || (copyErr > 0 && Fail("Cannot copy", src, copyErr));
    // A source written or cut while it was read gives a torn copy.
    struct stat after;
    if (ok && (fstat(in.fd, &after) != 0 || after.st_size != st.st_size || copied != st.st_size ||
               !SameTime(after.st_mtim, st.st_mtim) || !SameTime(after.st_ctim, st.st_ctim)))
    {
        m_strError = QStringLiteral("\"%1\" changed while it was copied; the copy is not kept")
                         .arg(NativePath::Decode(src));
        ok = false;
    }
    if (ok)
    {
        fchmod(out.fd, st.st_mode & 07777);
        const struct timespec times[2] = {st.st_atim, st.st_mtim};
        futimens(out.fd, times);
        // A move removes the source later: its copy must be on disk first.
        if (m_op == Move && fsync(out.fd) != 0)
            ok = Fail("Cannot write", dst, errno);
    }
    if (ok)
    {
        const int err = NameFile(out.fd, tmpl, dst, bReplace);
        if (err == EINVAL || err == ENAMETOOLONG)
            ok = Fail("The file system there cannot hold the name", dst, err);
        else if (err != 0)
            ok = Fail("Cannot write", dst, err);
    }
    // A failing close (a full disk over NFS) is a failed copy.
    const int fd = out.fd;
    out.fd = -1;
    if (close(fd) != 0 && ok)
    {
        ok = Fail("Cannot write", dst, errno);
        if (!bReplace)
            unlink(dst.constData());
    }
    if (!ok)
    {
        if (!tmpl.isEmpty())
            unlink(tmpl.constData());
        return false;
    }
    if (!bReplace)
        Created(dst);
    // A link carried as the file it points at is removed as the link.
    const struct stat& id = S_ISLNK(entry.st_mode) ? entry : st;
    Carried(src, dst, false, Identity{id.st_dev, id.st_ino, id.st_size, id.st_mtim, id.st_ctim});
    return true;
}

int CFileTransfer::CopyData(int in, int out, qint64 size, qint64& copied)
{
    posix_fadvise(in, 0, 0, POSIX_FADV_SEQUENTIAL);
    // The kernel copies without the data passing through this process (and
    // shares the blocks where the file system can).
    for (;;)
    {
        if (m_bCancel)
            return -1;
        const ssize_t n = copy_file_range(in, nullptr, out, nullptr, size_t(kChunk), 0);
        if (n > 0)
        {
            copied += n;
            Advance(n);
            continue;
        }
        if (n == 0)
            return 0;
        if (errno == EINTR)
            continue;
        if (copied == 0 && (errno == EXDEV || errno == ENOSYS || errno == EINVAL ||
                            errno == EOPNOTSUPP || errno == EPERM))
            break;
        return errno;
    }

    std::vector<char> buffer(size_t(std::min<qint64>(std::max<qint64>(size, 4096), 1 << 20)));
    for (;;)
    {
        if (m_bCancel)
            return -1;
        const ssize_t n = read(in, buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return errno;
        if (n == 0)
            return 0;
        for (ssize_t done = 0; done < n;)
        {
            const ssize_t w = write(out, buffer.data() + done, size_t(n - done));
            if (w < 0 && errno == EINTR)
                continue;
            if (w < 0)
                return errno;
            done += w;
        }
        copied += n;
        Advance(n);
    }
}
