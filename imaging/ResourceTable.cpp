#include "ResourceTable.h"

#include <mutex>
#include <deque>

namespace
{
std::mutex g_mutex;

std::deque<CResourceEntry>& Table()
{
    static std::deque<CResourceEntry> table;
    return table;
}
} // namespace

void ResourceTable::Register(int id, int type, const uint8_t* data, size_t size)
{
    std::lock_guard lock(g_mutex);
    for (CResourceEntry& e : Table())
        if (e.id == id && e.type == type)
        {
            e.data = data;
            e.size = size;
            return;
        }
    Table().push_back(CResourceEntry{id, type, data, size});
}

const CResourceEntry* ResourceTable::Find(int id, int type)
{
    std::lock_guard lock(g_mutex);
    for (const CResourceEntry& e : Table())
        if (e.id == id && e.type == type)
            return &e;
    return nullptr;
}

void ResourceTable::Clear()
{
    std::lock_guard lock(g_mutex);
    Table().clear();
}
