#pragma once
#include "DataSource.h"

#include <memory>

/// A data source over a file mapped read-only into memory.
///
/// A file that shrinks while it is mapped would make reads past its new end
/// fault with SIGBUS. The mapping is guarded: such a read sees zeros instead,
/// and WasTruncated() tells the decoder that the data it read is not the file.
class CFileSource : public CDataSource
{
public:
    CFileSource() = default;
    ~CFileSource() override;

    /// Maps the whole file. Returns 0 on success, 3 when a directory of the
    /// path does not exist, 5 when access is denied or the file is empty or
    /// cannot be mapped, 4 for any other failure (a missing file included).
    int Open(const std::string& path);
    void Close() override;

    /// True once a read went past the end of a file that shrank while mapped.
    bool WasTruncated() const;

private:
    using CDataSource::Open;
    /// Reads the file into an owned buffer, for when no guard slot is free.
    int ReadWhole(const std::string& path, int fd, size_t size);

    int m_hFile = -1;
    void* m_pView = nullptr;
    size_t m_ViewSize = 0;
    int m_Guard = -1;
    std::unique_ptr<uint8_t[]> m_pCopy;
};
