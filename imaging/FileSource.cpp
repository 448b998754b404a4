#include "FileSource.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace
{
/// Maps errno of a failed open onto the library's codes.
int OpenErrorCode(int err)
{
    switch (err)
    {
    case ENOTDIR:
        return 3;
    case EACCES:
    case EPERM:
    case EBUSY:
        return 5;
    default:
        return 4;
    }
}

/// ENOENT means "path not found" when the folder part of the path is missing.
bool DirectoryMissing(const std::string& path)
{
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos || slash == 0)
        return false;
    struct stat st;
    return stat(path.substr(0, slash).c_str(), &st) != 0 || !S_ISDIR(st.st_mode);
}
} // namespace

CFileSource::~CFileSource()
{
    if (m_hFile >= 0 || m_pView)
        CFileSource::Close();
}

int CFileSource::Open(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
    {
        const int err = errno;
        if (err == ENOENT && DirectoryMissing(path))
            return 3;
        return OpenErrorCode(err);
    }
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
    {
        ::close(fd);
        return S_ISDIR(st.st_mode) ? 5 : 4;
    }
    // An empty file can't be mapped, as on the platform the codes come from.
    if (st.st_size == 0)
    {
        ::close(fd);
        return 5;
    }
    const size_t size = size_t(st.st_size);
    void* view = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
    if (view == MAP_FAILED)
    {
        ::close(fd);
        return 5;
    }
    // The advice values are not flags: each is given on its own.
    madvise(view, size, MADV_SEQUENTIAL);
    madvise(view, size, MADV_WILLNEED);
    m_hFile = fd;
    m_pView = view;
    m_ViewSize = size;
    CDataSource::Open(path, static_cast<const uint8_t*>(view), size);
    return 0;
}

void CFileSource::Close()
{
    if (m_pView)
        munmap(m_pView, m_ViewSize);
    m_pView = nullptr;
    m_ViewSize = 0;
    CDataSource::Close();
    if (m_hFile >= 0)
        ::close(m_hFile);
    m_hFile = -1;
}
