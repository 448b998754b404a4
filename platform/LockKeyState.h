#pragma once
#include <optional>

/// The lights of the lock keys, as the X server's keyboard extension
/// reports them.
namespace LockKeyState
{
struct Lights
{
    bool caps = false;
    bool num = false;
    bool scroll = false;
};
/// The lights now; none where the display is not an X server.
std::optional<Lights> Read();
} // namespace LockKeyState
