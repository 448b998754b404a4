#pragma once
#include "DataSource.h"

/// A data source over a file mapped read-only into memory.
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

private:
    using CDataSource::Open;
    int m_hFile = -1;
    void* m_pView = nullptr;
    size_t m_ViewSize = 0;
};
