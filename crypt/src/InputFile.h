#pragma once
#include <cstddef>
#include <cstdint>
#include <sys/types.h>

namespace tarncrypt
{
/// An input file read front to back through a POSIX descriptor.
class CInputFile
{
public:
    CInputFile() = default;
    ~CInputFile();
    CInputFile(const CInputFile&) = delete;
    CInputFile& operator=(const CInputFile&) = delete;

    /// Opens `path` for reading; a directory counts as a failure.
    bool Open(const char* path);
    /// The length at opening; 0 for what is not a regular file.
    uint64_t GetLength() const { return m_nLength; }
    /// Reads up to `size` bytes, fewer only at the end of the file.
    /// Returns the count read, or -1 on an error.
    ssize_t Read(void* data, size_t size);
    bool Close();

private:
    int m_fd = -1;
    uint64_t m_nLength = 0;
};
} // namespace tarncrypt
