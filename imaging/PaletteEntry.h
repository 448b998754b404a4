#pragma once
#include <cstdint>

/// One colour-table entry, and also the layout of a 32-bit pixel:
/// byte 0 blue, 1 green, 2 red, 3 alpha (or filler when the bitmap has no alpha).
struct PaletteEntry
{
    uint8_t b;
    uint8_t g;
    uint8_t r;
    uint8_t a;

    friend bool operator==(const PaletteEntry&, const PaletteEntry&) = default;
};
static_assert(sizeof(PaletteEntry) == 4, "PaletteEntry must be 4 packed bytes");
