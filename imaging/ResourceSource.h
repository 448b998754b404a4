#pragma once
#include "DataSource.h"

/// A data source over a resource of the embedded resource table.
class CResourceSource : public CDataSource
{
public:
    CResourceSource() = default;
    ~CResourceSource() override;

    /// Finds resource id of the given type (raw data when 0). Returns 0 on
    /// success, 4 when there is no such resource. The source is named
    /// "Resource: <id>".
    int Open(int id, int type = 0);
    void Close() override;

private:
    using CDataSource::Open;
};
