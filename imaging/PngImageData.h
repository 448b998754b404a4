#pragma once
#include "PaletteEntry.h"

#include <cstddef>
#include <cstdint>

class CBmp;
class COrientedRows;

/// Decodes the image data of a non-interlaced PNG without libpng: the whole
/// IDAT stream inflated at once by libdeflate, rows unfiltered and expanded
/// into the bitmap's layout by loops written for each pixel format. It gives
/// exactly the rows libpng gives with the decoder's transformations (16 bits
/// stripped to the high byte, low bit depths expanded or unpacked, a
/// palette's tRNS through the palette it is given, gray and RGB tRNS
/// unused), or declines: anything it does not cover or that is damaged
/// (a CRC mismatch, a stream that is short, long or has trailing data, an
/// unknown filter, a truncated file, a buffer beyond the memory budget)
/// leaves the whole picture to libpng, which then reports as it always did.
class CPngImageData
{
public:
    struct Format
    {
        uint32_t width = 0;
        uint32_t height = 0;
        int bitDepth = 8;
        int colorType = 0;
        int depth = 8;                       // of the bitmap: 8 or 32
        const PaletteEntry* palette = nullptr; // 256 entries, for palette images at 32 bits
    };

    /// png: the whole file from its signature. bmp is created; rows places
    /// the stored rows in it. False when it declines (some rows may be
    /// written by then).
    static bool Decode(const uint8_t* png, size_t size, const Format& format, const CBmp& bmp,
                       COrientedRows& rows);

    /// The Orientation of the file's first eXIf chunk, or 1 when it has none.
    static int ExifOrientation(const uint8_t* png, size_t size);
};
