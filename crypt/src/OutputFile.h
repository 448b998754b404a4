#pragma once
#include <cstddef>
#include <functional>
#include <string>
#include <sys/types.h>

namespace tarncrypt
{
/// An output file that appears only when it is complete.
///
/// The bytes go to an unnamed file in the target's folder (a short-named
/// temporary file where the file system has no unnamed files), which
/// Commit() flushes to disk and puts in place of the target; until then an
/// existing target stays as it was, so the target may also be the file
/// being read, and an interrupted run leaves nothing behind. An existing
/// target that the caller may not write is refused. A target that exists
/// and is not a regular file (a device, a pipe) is written directly.
/// Anything not committed is removed again.
class COutputFile
{
public:
    /// `newFileMode`: permissions of an output that did not exist (less the
    /// umask); a replaced file keeps its own, and its owner and group where
    /// the caller may set them. `bUnnamed` false always uses a named
    /// temporary file.
    explicit COutputFile(mode_t newFileMode, bool bUnnamed = true)
        : m_newFileMode(newFileMode), m_bTryUnnamed(bUnnamed)
    {
    }
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
    bool CreateNamed(mode_t mode);
    /// Gives the temporary file fresh random names beside the target until
    /// `attempt` takes one or fails otherwise than by a taken name (errno
    /// then says why); false when no name was taken.
    bool TryTempNames(const std::function<bool(const char*)>& attempt);
    bool LinkUnnamed(const char* name) const;
    bool PutInPlace();
    /// Names the temporary file, also for RemovePartialOutputs().
    void SetTempName(std::string name);
    void ForgetTempName();

    mode_t m_newFileMode;
    bool m_bTryUnnamed;
    int m_fd = -1;
    bool m_bDirect = false;
    bool m_bReplace = false; ///< the target existed at Open()
    std::string m_strTarget;
    /// The temporary file's name; empty while it has none.
    std::string m_strTemp;
    int m_nSlot = -1; ///< the temporary name's slot for RemovePartialOutputs()
};
} // namespace tarncrypt
