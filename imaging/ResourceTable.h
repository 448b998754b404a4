#pragma once
#include <cstddef>
#include <cstdint>

/// Resource types of the embedded resource table.
inline constexpr int RT_BITMAP = 2;  ///< a packed DIB (header, palette, rows)
inline constexpr int RT_RCDATA = 10; ///< raw data

/// One embedded resource: an integer id, a type and the bytes, which live in
/// the program's image for its whole run.
struct CResourceEntry
{
    int id;
    int type;
    const uint8_t* data;
    size_t size;
};

/// The program's table of embedded resources, looked up by id and type.
/// The program registers its resources at start-up; tests register their own.
namespace ResourceTable
{
/// Adds or replaces the resource (id, type). The bytes are not copied.
void Register(int id, int type, const uint8_t* data, size_t size);
/// The resource (id, type), or null.
const CResourceEntry* Find(int id, int type);
/// Removes every entry (for tests).
void Clear();
} // namespace ResourceTable
