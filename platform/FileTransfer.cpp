#include "FileTransfer.h"

#include "NativePath.h"


#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <memory>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace
{
constexpr qint64 kChunk = 8 << 20; // bytes per step between cancel checks

struct Fd
{
    int fd = -1;
    ~Fd()
    {
        if (fd >= 0)
            close(fd);
    }
};

struct DirCloser
{
    void operator()(DIR* d) const { closedir(d); }
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

// The entries of a folder, read in full before any is moved out of it.
bool ListFolder(const QByteArray& path, std::vector<QByteArray>& names)
{
    std::unique_ptr<DIR, DirCloser> dir(opendir(path.constData()));
    if (!dir)
        return false;
    while (const dirent* e = readdir(dir.get()))
        if (strcmp(e->d_name, ".") != 0 && strcmp(e->d_name, "..") != 0)
            names.emplace_back(e->d_name);
    return true;
}

// Bytes of the regular files below (and including) path.
qint64 TreeBytes(const QByteArray& path, const std::atomic<bool>& cancel)
{
    struct stat st;
    if (lstat(path.constData(), &st) != 0)
        return 0;
    if (S_ISREG(st.st_mode))
        return qint64(st.st_size);
    if (!S_ISDIR(st.st_mode))
        return 0;
    std::vector<QByteArray> names;
    ListFolder(path, names);
    qint64 total = 0;
    for (const QByteArray& name : names)
    {
        if (cancel)
            break;
        total += TreeBytes(Join(path, name), cancel);
    }
    return total;
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
        struct stat st;
        if (lstat(src.constData(), &st) != 0)
            return Fail("Cannot find", src, errno);
        Top top{src, bIntoFolder ? Join(dest, BaseName(src)) : dest};
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
    if (bIntoFolder && !Exists(dest))
    {
        // Every missing level, as a file manager's paste does.
        for (qsizetype i = 1; i <= dest.size(); ++i)
            if ((i == dest.size() || dest[i] == '/') &&
                mkdir(dest.left(i).constData(), 0777) != 0 && errno != EEXIST)
                return Fail("Cannot create the folder", dest, errno);
    }

    qint64 total = 0;
    for (const Top& top : tops)
        total += TreeBytes(top.source, m_bCancel);
    m_nTotalBytes = total;
    return !m_bCancel;
}

bool CFileTransfer::Run()
{
    std::vector<Top> tops;
    if (!Prepare(tops))
        return false;
    for (const Top& top : tops)
    {
        m_bCopyingMove = false;
        if (!TransferEntry(top.source, top.target))
            return false;
    }
    return !m_bCancel;
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

bool CFileTransfer::TransferEntry(const QByteArray& src, const QByteArray& dst)
{
    if (m_bCancel)
        return false;
    struct stat st, dstSt;
    if (lstat(src.constData(), &st) != 0)
        return Fail("Cannot find", src, errno);
    SetCurrent(src);
    bool bExists = Exists(dst, &dstSt);

    // Within one file system a move is a rename; once it has met another
    // file system, the entries below it are copied without trying again.
    if (m_op == Move && !bExists && !m_bCopyingMove)
    {
        const int err = RenameNoReplace(src, dst);
        if (err == 0)
        {
            Advance(S_ISDIR(st.st_mode) ? TreeBytes(dst, m_bCancel) : qint64(st.st_size));
            return true;
        }
        if (err == EEXIST || err == ENOTEMPTY)
            bExists = Exists(dst, &dstSt);
        else if (err != EXDEV)
            return Fail("Cannot move", src, err);
        else
            m_bCopyingMove = true; // copy, then remove each source once its copy is complete
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
        return true;
    }
    if (m_op == Move && bExists)
    {
        // Replacing within one file system is one atomic rename.
        if (rename(src.constData(), dst.constData()) == 0)
        {
            Advance(qint64(st.st_size));
            return true;
        }
        if (errno != EXDEV)
            return Fail("Cannot move", src, errno);
    }

    if (S_ISLNK(st.st_mode))
    {
        std::vector<char> target(size_t(st.st_size) + 1);
        const ssize_t n = readlink(src.constData(), target.data(), target.size());
        if (n < 0)
            return Fail("Cannot read the link", src, errno);
        target[size_t(n)] = 0;
        if (bExists && unlink(dst.constData()) != 0)
            return Fail("Cannot replace", dst, errno);
        if (symlink(target.data(), dst.constData()) != 0)
            return Fail("Cannot create the link", dst, errno);
        if (m_op == Move && unlink(src.constData()) != 0)
            return Fail("Cannot remove", src, errno);
        return true;
    }
    if (!S_ISREG(st.st_mode))
        return true; // devices, pipes and sockets are not files to carry
    return CopyFile(src, dst, bExists, m_op == Move);
}

bool CFileTransfer::TransferFolder(const QByteArray& src, const QByteArray& dst, bool bMerge)
{
    struct stat st;
    if (lstat(src.constData(), &st) != 0)
        return Fail("Cannot find", src, errno);
    std::vector<QByteArray> names;
    if (!ListFolder(src, names))
        return Fail("Cannot read", src, errno);
    // Owner-only until filled, then the source's permissions.
    if (!bMerge && mkdir(dst.constData(), 0700) != 0)
        return Fail("Cannot create the folder", dst, errno);
    for (const QByteArray& name : names)
        if (!TransferEntry(Join(src, name), Join(dst, name)))
            return false;
    if (!bMerge)
        chmod(dst.constData(), st.st_mode & 07777);
    // What the user skipped stays, and so does its folder.
    if (m_op == Move)
        rmdir(src.constData());
    return true;
}

bool CFileTransfer::CopyFile(const QByteArray& src, const QByteArray& dst, bool bReplace,
                             bool bRemoveSource)
{
    Fd in;
    in.fd = open(src.constData(), O_RDONLY | O_CLOEXEC);
    struct stat st;
    if (in.fd < 0 || fstat(in.fd, &st) != 0)
        return Fail("Cannot read", src, errno);

    // The temporary name stays within the 255 bytes a name may have.
    QByteArray tmpl = Join(DirName(dst), "." + BaseName(dst).left(200) + ".vistrel-XXXXXX");
    Fd out;
    out.fd = mkostemp(tmpl.data(), O_CLOEXEC);
    if (out.fd < 0)
        return Fail("Cannot write into", DirName(dst), errno);

    const int copyErr = CopyData(in.fd, out.fd, qint64(st.st_size));
    bool ok = copyErr == 0 || (copyErr > 0 && Fail("Cannot copy", src, copyErr));
    if (ok)
    {
        fchmod(out.fd, st.st_mode & 07777);
        const struct timespec times[2] = {st.st_atim, st.st_mtim};
        futimens(out.fd, times);
        // A move removes the source next: its copy must be on disk first.
        if (bRemoveSource && fsync(out.fd) != 0)
            ok = Fail("Cannot write", dst, errno);
        // A failing close (a full disk over NFS) is a failed copy.
        const int fd = out.fd;
        out.fd = -1;
        if (close(fd) != 0)
            ok = Fail("Cannot write", dst, errno);
    }
    if (ok)
    {
        const int err = bReplace ? (rename(tmpl.constData(), dst.constData()) == 0 ? 0 : errno)
                                 : RenameNoReplace(tmpl, dst);
        if (err != 0)
            ok = Fail("Cannot write", dst, err);
    }
    if (!ok)
    {
        unlink(tmpl.constData());
        return false;
    }
    if (bRemoveSource && unlink(src.constData()) != 0)
        return Fail("Copied, but cannot remove", src, errno);
    return true;
}

int CFileTransfer::CopyData(int in, int out, qint64 size)
{
    posix_fadvise(in, 0, 0, POSIX_FADV_SEQUENTIAL);
    qint64 copied = 0;
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
        Advance(n);
    }
}
