#include "PartialOutputs.h"

#include "tarncrypt/PartialOutputs.h"

#include <atomic>
#include <climits>
#include <cstring>
#include <unistd.h>

namespace tarncrypt
{
namespace
{
enum SlotState : int
{
    kFree,
    kFilling, ///< a name is being copied in
    kNamed,
    kRemoving, ///< a signal handler is unlinking the name
};

/// Fixed storage, since a signal handler may neither allocate nor lock.
struct Slot
{
    std::atomic<int> state{kFree};
    char path[PATH_MAX];
};
static_assert(std::atomic<int>::is_always_lock_free);

Slot g_slots[16];
} // namespace

int RegisterPartialOutput(const char* path)
{
    const size_t length = std::strlen(path);
    if (length >= PATH_MAX)
        return -1;
    for (int i = 0; i < int(std::size(g_slots)); i++)
    {
        int expected = kFree;
        if (!g_slots[i].state.compare_exchange_strong(expected, kFilling))
            continue;
        std::memcpy(g_slots[i].path, path, length + 1);
        g_slots[i].state.store(kNamed);
        return i;
    }
    return -1;
}

void ReleasePartialOutput(int slot)
{
    if (slot < 0)
        return;
    // A handler running on another thread finishes its unlink first.
    for (int expected = kNamed; !g_slots[slot].state.compare_exchange_weak(expected, kFree);
         expected = kNamed)
    {
    }
}

void RemovePartialOutputs()
{
    for (Slot& slot : g_slots)
    {
        int expected = kNamed;
        if (!slot.state.compare_exchange_strong(expected, kRemoving))
            continue;
        ::unlink(slot.path);
        slot.state.store(kNamed);
    }
}
} // namespace tarncrypt
