#include "OutputFile.h"

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
/// Creates a file named `base` plus six random characters, exclusively.
int CreateUnique(const std::string& base, mode_t mode, std::string& name)
{
    static const char kChars[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::random_device device;
    std::uniform_int_distribution<int> pick(0, sizeof(kChars) - 2);
    for (int attempt = 0; attempt < 100; attempt++)
    {
        name = base + '.';
        for (int i = 0; i < 6; i++)
            name += kChars[pick(device)];
        const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
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
    const bool bExists = ::stat(path, &st) == 0;
    if (bExists && !S_ISREG(st.st_mode))
    {
        m_bDirect = true;
        m_fd = ::open(path, O_WRONLY | O_TRUNC | O_CLOEXEC);
        return m_fd >= 0;
    }
    m_bDirect = false;
    m_strTarget = path;
    if (bExists)
    {
        // Replace what a symbolic link points to, not the link.
        char resolved[PATH_MAX];
        if (::realpath(path, resolved))
            m_strTarget = resolved;
    }
    m_fd = CreateUnique(m_strTarget, m_newFileMode, m_strTemp);
    if (m_fd < 0)
    {
        m_strTemp.clear();
        return false;
    }
    if (bExists)
        (void)fchmod(m_fd, st.st_mode & 07777);
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
    const bool bSynced = fsync(m_fd) == 0;
    const bool bClosed = ::close(m_fd) == 0;
    m_fd = -1;
    if (!bSynced || !bClosed || std::rename(m_strTemp.c_str(), m_strTarget.c_str()) != 0)
    {
        Discard();
        return false;
    }
    m_strTemp.clear();
    return true;
}

void COutputFile::Discard()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    if (!m_strTemp.empty())
        ::unlink(m_strTemp.c_str());
    m_strTemp.clear();
}
} // namespace tarncrypt
