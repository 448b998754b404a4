#pragma once
#include "PaletteEntry.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

/// Abstract bitmap: geometry, colour table, alpha flag and the line array.
///
/// Rows are stored bottom-up as in a DIB; row pointer i (GetLineArray()[i])
/// addresses image row i counted from the top, so decoders and the viewer
/// work top-down. Line size is ceil(width * bpp / 8) rounded up to a multiple
/// of 4. Depths below 16 carry a palette of 2^bpp entries; 16 and above none.
class CBmp
{
public:
    CBmp() = default;
    virtual ~CBmp() = default;
    CBmp(const CBmp&) = delete;
    CBmp& operator=(const CBmp&) = delete;

    /// Replaces the storage with width x height pixels of bpp bits. Pixel
    /// contents start zeroed; the palette is the default gray ramp. Throws
    /// what CheckSize() throws, and CTextException 10 when the storage cannot
    /// be allocated (the bitmap is then a fresh 16 x 16 one of 8 bits).
    virtual void Create(int width, int height, int bpp, bool alpha);
    virtual size_t GetMemoryUse() const = 0;
    virtual int GetLineSize() const = 0;

    int GetWidth() const { return m_Width; }
    int GetHeight() const { return m_Height; }
    int GetBitsPerPixel() const { return m_bpp; }
    bool HasAlpha() const { return m_bAlphaChannel; }
    void SetHasAlpha(bool alpha) { m_bAlphaChannel = alpha; }

    /// Colour table of 2^bpp entries, or null for 16 bits and more.
    PaletteEntry* GetPaletteTable() const { return m_pClrTab; }
    /// Number of colour-table entries (0 without a table).
    int GetPaletteSize() const { return m_bpp < 16 ? 1 << m_bpp : 0; }
    /// Row pointers, top row first.
    uint8_t** GetLineArray() const { return m_pLineArray.data(); }
    /// First byte of the pixel storage: the bottom row.
    uint8_t* GetBits() const { return m_pBits; }

    /// Copies 2^bpp entries over the colour table.
    void SetPalette(const PaletteEntry* pPal);
    /// The default gray ramp: entry i = i * (255 / (n - 1)), alpha 255.
    void SetGrayPalette();

    /// Copies pSrc into this bitmap, converting to bpp bits (0 = keep).
    /// Supported conversions: 8 -> 32, 1 -> 32, 1 -> 8, 8/32 -> 1.
    void ConvertFrom(const CBmp& src, int bpp = 0);
    /// Byte 3 of every pixel of this 32-bit bitmap := the 8-bit source pixel.
    void SetAlphaFromBitmap(const CBmp& alphaBmp);
    /// Places src (8 or 32 bits) at (x, y) into this 32-bit bitmap, clipped,
    /// blending with the source alpha when it has one.
    void BlendFrom(const CBmp& src, int x, int y);
    /// Makes this a 32-bit bitmap of width x height (each no larger than
    /// src's) holding src (1, 8 or 32 bits, another bitmap) reduced: each pixel the average of the
    /// source pixels it covers, weighted by their alpha when src has alpha.
    void ReduceFrom(const CBmp& src, int width, int height);

    /// Writes a Windows BMP file: palette images as stored, 32-bit images as
    /// 24-bit without alpha. Throws std::system_error on I/O failure.
    void SaveAsBmp(const std::string& path) const;
    void SaveAsBmp(std::FILE* file) const;

    /// Bytes per row for a width and depth, padded to 4 bytes.
    static size_t LineSizeFor(int width, int bpp);
    /// Palette bytes for a depth: 4 * 2^bpp below 16 bits, else 0.
    static size_t PaletteBytesFor(int bpp) { return bpp < 16 ? 4 * (size_t(1) << bpp) : 0; }
    /// Memory a bitmap of this geometry takes: header, palette, pixels and
    /// the line array. Throws CTextException 2 for a size that is not
    /// positive or an unknown depth, and 10 when it exceeds GetMaxPixelBytes().
    /// Decoders call it to refuse a picture before they look at its data.
    static size_t CheckSize(int width, int height, int bpp);
    /// The memory this bitmap takes, as CheckSize() counts it.
    size_t GetStorageBytes() const;
    /// The memory budget of one decode, in bytes: the bitmap's storage and
    /// line array and the decoder's own buffers together stay below it.
    /// Defaults to half the machine's physical memory.
    static size_t GetMaxPixelBytes();
    static void SetMaxPixelBytes(size_t bytes);
    /// Asks the system to back the whole 2 MiB pages inside a large block
    /// with huge pages, so that a picture's first writes fault once per
    /// page of 2 MiB instead of once per 4 KiB. Only advice.
    static void AdviseLargePages(void* block, size_t bytes);

protected:
    virtual void AllocateStorage(int width, int height, int bpp, bool alpha) = 0;
    virtual void FreeStorage() = 0;
    virtual void BuildLineArray() = 0;

    /// Stores geometry, builds the line array and, below 16 bits, the gray ramp.
    void InitLocals(int width, int height, int bpp, bool alpha);

    int m_Width = 0;
    int m_Height = 0;
    uint16_t m_bpp = 0;
    PaletteEntry* m_pClrTab = nullptr;
    uint8_t* m_pBits = nullptr;
    bool m_bAlphaChannel = false;
    mutable std::vector<uint8_t*> m_pLineArray;
};
