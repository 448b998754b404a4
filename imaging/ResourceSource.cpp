#include "ResourceSource.h"

#include "ResourceTable.h"

CResourceSource::~CResourceSource() = default;

int CResourceSource::Open(int id, int type)
{
    const CResourceEntry* res = ResourceTable::Find(id, type ? type : RT_RCDATA);
    if (!res || !res->data)
        return 4;
    CDataSource::Open("Resource: " + std::to_string(id), res->data, res->size);
    return 0;
}

void CResourceSource::Close()
{
    CDataSource::Close();
}
