#include "InputFile.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tarncrypt
{
CInputFile::~CInputFile()
{
    Close();
}

bool CInputFile::Open(const char* path)
{
    Close();
    if (!path)
        return false;
    m_fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (m_fd < 0)
        return false;
    struct stat st;
    if (fstat(m_fd, &st) != 0 || S_ISDIR(st.st_mode))
    {
        Close();
        return false;
    }
    m_nLength = S_ISREG(st.st_mode) ? uint64_t(st.st_size) : 0;
    return true;
}

ssize_t CInputFile::Read(void* data, size_t size)
{
    auto* p = static_cast<char*>(data);
    size_t done = 0;
    while (done < size)
    {
        const ssize_t n = ::read(m_fd, p + done, size - done);
        if (n < 0)
        {
            if (errno == EINTR)
                continue;
            return -1;
        }
        if (n == 0)
            break;
        done += size_t(n);
    }
    return ssize_t(done);
}

bool CInputFile::Close()
{
    if (m_fd < 0)
        return true;
    const int rc = ::close(m_fd);
    m_fd = -1;
    return rc == 0;
}
} // namespace tarncrypt
