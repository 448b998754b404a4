#include "OutputFile.h"

#include "PartialOutputs.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace tarncrypt
{
namespace
{
constexpr int kNameAttempts = 100;

/// A short random name in `folder`: the target's own name may already be
/// as long as a name can be.
std::string RandomName(const std::string& folder)
{
    static const char kChars[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::random_device device;
    std::uniform_int_distribution<int> pick(0, sizeof(kChars) - 2);
    std::string name = folder + ".tarncrypt-";
    for (int i = 0; i < 6; i++)
        name += kChars[pick(device)];
    return name;
}

/// The folder part of `path` with its final '/'; empty for a bare name.
std::string FolderOf(const std::string& path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}
} // namespace

COutputFile::~COutputFile()
{
    Discard();
}

bool COutputFile::Open(const char* path)
{
    Discard();
    if (!path || !*path)
        return false;
    struct stat st;
    m_bReplace = ::stat(path, &st) == 0;
    if (m_bReplace && !S_ISREG(st.st_mode))
    {
        m_bDirect = true;
        m_fd = ::open(path, O_WRONLY | O_TRUNC | O_NOCTTY | O_CLOEXEC);
        return m_fd >= 0;
    }
    m_bDirect = false;
    m_strTarget = path;
    if (m_bReplace)
    {
        // Replace what a symbolic link points to, not the link.
        char resolved[PATH_MAX];
        if (::realpath(path, resolved))
            m_strTarget = resolved;
        // Replacing needs only a writable folder; a file the caller may not
        // write is left alone all the same.
        if (faccessat(AT_FDCWD, m_strTarget.c_str(), W_OK, AT_EACCESS) != 0)
            return false;
    }
    // A replacement gets the old file's mode once it is open.
    const mode_t mode = m_bReplace ? 0600 : m_newFileMode;
    const std::string folder = FolderOf(m_strTarget);
    if (m_bTryUnnamed)
        m_fd = ::open(folder.empty() ? "." : folder.c_str(),
                      O_TMPFILE | O_WRONLY | O_CLOEXEC, mode);
    if (m_fd < 0 && !CreateNamed(mode))
        return false;
    if (m_bReplace)
    {
        // The owner first, since a change of owner clears the set-ID bits.
        if (fchown(m_fd, st.st_uid, st.st_gid) != 0 && fchown(m_fd, uid_t(-1), st.st_gid) != 0)
        {
            // Not the caller's to give away: the replacement is the caller's.
        }
        (void)fchmod(m_fd, st.st_mode & 07777);
    }
    return true;
}

bool COutputFile::CreateNamed(mode_t mode)
{
    return TryTempNames(
        [&](const char* name)
        {
            m_fd = ::open(name, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
            return m_fd >= 0;
        });
}

bool COutputFile::TryTempNames(const std::function<bool(const char*)>& attempt)
{
    const std::string folder = FolderOf(m_strTarget);
    for (int i = 0; i < kNameAttempts; i++)
    {
        // Named before it exists, so a signal cannot leave it behind.
        SetTempName(RandomName(folder));
        if (attempt(m_strTemp.c_str()))
            return true;
        const int error = errno;
        ForgetTempName();
        errno = error;
        if (error != EEXIST)
            return false;
    }
    return false;
}

bool COutputFile::LinkUnnamed(const char* name) const
{
    char procPath[32];
    std::snprintf(procPath, sizeof(procPath), "/proc/self/fd/%d", m_fd);
    if (linkat(AT_FDCWD, procPath, AT_FDCWD, name, AT_SYMLINK_FOLLOW) == 0)
        return true;
    if (errno == EEXIST)
        return false;
    // Without /proc: linking by descriptor needs a privilege most callers
    // lack, but costs nothing to try.
    return linkat(m_fd, "", AT_FDCWD, name, AT_EMPTY_PATH) == 0;
}

bool COutputFile::PutInPlace()
{
    if (m_strTemp.empty())
    {
        if (!m_bReplace && LinkUnnamed(m_strTarget.c_str()))
            return true;
        if (!m_bReplace && errno != EEXIST)
            return false;
        // A name can only be given to a new file: link it beside the target,
        // then rename it over the target in one step.
        if (!TryTempNames([this](const char* name) { return LinkUnnamed(name); }))
            return false;
    }
    if (std::rename(m_strTemp.c_str(), m_strTarget.c_str()) != 0)
        return false;
    ForgetTempName();
    return true;
}

bool COutputFile::Write(const void* data, size_t size)
{
    const auto* p = static_cast<const char*>(data);
    while (size > 0)
    {
        const ssize_t n = ::write(m_fd, p, size);
        if (n < 0)
        {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (n == 0)
            return false;
        p += n;
        size -= size_t(n);
    }
    return true;
}

bool COutputFile::Commit()
{
    if (m_fd < 0)
        return false;
    if (m_bDirect)
    {
        const bool bClosed = ::close(m_fd) == 0;
        m_fd = -1;
        return bClosed;
    }
    if (fsync(m_fd) != 0 || !PutInPlace())
    {
        Discard();
        return false;
    }
    // The data reached the disk with fsync(); closing cannot lose it.
    ::close(m_fd);
    m_fd = -1;
    return true;
}

void COutputFile::Discard()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    if (!m_strTemp.empty())
        ::unlink(m_strTemp.c_str());
    ForgetTempName();
}

void COutputFile::SetTempName(std::string name)
{
    m_strTemp = std::move(name);
    m_nSlot = RegisterPartialOutput(m_strTemp.c_str());
}

void COutputFile::ForgetTempName()
{
    ReleasePartialOutput(m_nSlot);
    m_nSlot = -1;
    m_strTemp.clear();
}
} // namespace tarncrypt
