#pragma once
#include <cstddef>
#include <string>
#include <sys/types.h>

namespace tarncrypt
{
/// An output file that appears only when it is complete.
///
/// The bytes go to a new file beside the target, which Commit() flushes to
/// disk and renames over the target; until then an existing target stays as
/// it was, so the target may also be the file being read. A target that
/// exists and is not a regular file (a device, a pipe) is written directly.
/// Anything not committed is removed again.
class COutputFile
{
public:
    /// `newFileMode`: permissions of an output that did not exist (less the
    /// umask); a replaced file keeps its own.
    explicit COutputFile(mode_t newFileMode) : m_newFileMode(newFileMode) {}
    ~COutputFile();
    COutputFile(const COutputFile&) = delete;
    COutputFile& operator=(const COutputFile&) = delete;

    bool Open(const char* path);
    /// Writes all `size` bytes, or returns false.
    bool Write(const void* data, size_t size);
    /// Flushes, closes and puts the file in place; false if any step fails,
    /// and then nothing was put in place.
    bool Commit();
    /// Closes and removes what was written.
    void Discard();

private:
    mode_t m_newFileMode;
    int m_fd = -1;
    bool m_bDirect = false;
    std::string m_strTarget;
    std::string m_strTemp;
};
} // namespace tarncrypt
