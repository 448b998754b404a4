#include "PictDecoder.h"

#include "Bmp.h"
#include "DIBSection.h"
#include "DataSource.h"
#include "JPEGDecoder.h"
#include "PictRenderer.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace
{
struct OpcodeInfo
{
    const char* name;
    int length; // data bytes to skip; kWordLength: a 16-bit length word, then that many bytes
};

constexpr int kWordLength = -1;

// Opcodes 0x00-0xA1. Opcodes with a structure of their own (Clip, patterns,
// text, polygons, regions, rasters, LongComment) are handled before the
// length is used.
const OpcodeInfo kOpcodes[] = {
    /* 0x00 */ {"NOP", 0},
    {"Clip", 0},
    {"BkPat", 8},
    {"TxFont", 2},
    {"TxFace", 1},
    {"TxMode", 2},
    {"SpExtra", 4},
    {"PnSize", 4},
    /* 0x08 */ {"PnMode", 2},
    {"PnPat", 8},
    {"FillPat", 8},
    {"OvSize", 4},
    {"Origin", 4},
    {"TxSize", 2},
    {"FgColor", 4},
    {"BkColor", 4},
    /* 0x10 */ {"TxRatio", 8},
    {"Version", 1},
    {"BkPixPat", 0},
    {"PnPixPat", 0},
    {"FillPixPat", 0},
    {"PnLocHFrac", 2},
    {"ChExtra", 2},
    {"reserved", 0},
    /* 0x18 */ {"reserved", 0},
    {"reserved", 0},
    {"RGBFgCol", 6},
    {"RGBBkCol", 6},
    {"HiliteMode", 0},
    {"HiliteColor", 6},
    {"DefHilite", 0},
    {"OpColor", 6},
    /* 0x20 */ {"Line", 8},
    {"LineFrom", 4},
    {"ShortLine", 6},
    {"ShortLineFrom", 2},
    {"reserved", kWordLength},
    {"reserved", kWordLength},
    {"reserved", kWordLength},
    {"reserved", kWordLength},
    /* 0x28 */ {"LongText", 0},
    {"DHText", 0},
    {"DVText", 0},
    {"DHDVText", 0},
    {"reserved", kWordLength},
    {"reserved", kWordLength},
    {"reserved", kWordLength},
    {"reserved", kWordLength},
    /* 0x30 */ {"frameRect", 8},
    {"paintRect", 8},
    {"eraseRect", 8},
    {"invertRect", 8},
    {"fillRect", 8},
    {"reserved", 8},
    {"reserved", 8},
    {"reserved", 8},
    /* 0x38 */ {"frameSameRect", 0},
    {"paintSameRect", 0},
    {"eraseSameRect", 0},
    {"invertSameRect", 0},
    {"fillSameRect", 0},
    {"reserved", 0},
    {"reserved", 0},
    {"reserved", 0},
    /* 0x40 */ {"frameRRect", 8},
    {"paintRRect", 8},
    {"eraseRRect", 8},
    {"invertRRect", 8},
    {"fillRRrect", 8},
    {"reserved", 8},
    {"reserved", 8},
    {"reserved", 8},
    /* 0x48 */ {"frameSameRRect", 0},
    {"paintSameRRect", 0},
    {"eraseSameRRect", 0},
    {"invertSameRRect", 0},
    {"fillSameRRect", 0},
    {"reserved", 0},
    {"reserved", 0},
    {"reserved", 0},
    /* 0x50 */ {"frameOval", 8},
    {"paintOval", 8},
    {"eraseOval", 8},
    {"invertOval", 8},
    {"fillOval", 8},
    {"reserved", 8},
    {"reserved", 8},
    {"reserved", 8},
    /* 0x58 */ {"frameSameOval", 0},
    {"paintSameOval", 0},
    {"eraseSameOval", 0},
    {"invertSameOval", 0},
    {"fillSameOval", 0},
    {"reserved", 0},
    {"reserved", 0},
    {"reserved", 0},
    /* 0x60 */ {"frameArc", 12},
    {"paintArc", 12},
    {"eraseArc", 12},
    {"invertArc", 12},
    {"fillArc", 12},
    {"reserved", 12},
    {"reserved", 12},
    {"reserved", 12},
    /* 0x68 */ {"frameSameArc", 4},
    {"paintSameArc", 4},
    {"eraseSameArc", 4},
    {"invertSameArc", 4},
    {"fillSameArc", 4},
    {"reserved", 4},
    {"reserved", 4},
    {"reserved", 4},
    /* 0x70 */ {"framePoly", 0},
    {"paintPoly", 0},
    {"erasePoly", 0},
    {"invertPoly", 0},
    {"fillPoly", 0},
    {"reserved", 0},
    {"reserved", 0},
    {"reserved", 0},
    /* 0x78 */ {"frameSamePoly", 0},
    {"paintSamePoly", 0},
    {"eraseSamePoly", 0},
    {"invertSamePoly", 0},
    {"fillSamePoly", 0},
    {"reserved", 0},
    {"reserved", 0},
    {"reserved", 0},
    /* 0x80 */ {"frameRgn", 0},
    {"paintRgn", 0},
    {"eraseRgn", 0},
    {"invertRgn", 0},
    {"fillRgn", 0},
    {"reserved", 0},
    {"reserved", 0},
    {"reserved", 0},
    /* 0x88 */ {"frameSameRgn", 0},
    {"paintSameRgn", 0},
    {"eraseSameRgn", 0},
    {"invertSameRgn", 0},
    {"fillSameRgn", 0},
    {"reserved", 0},
    {"reserved", 0},
    {"reserved", 0},
    /* 0x90 */ {"BitsRect", 0},
    {"BitsRgn", 0},
    {"reserved", kWordLength},
    {"reserved", kWordLength},
    {"reserved", kWordLength},
    {"reserved", kWordLength},
    {"reserved", kWordLength},
    {"reserved", kWordLength},
    /* 0x98 */ {"PackBitsRect", 0},
    {"PackBitsRgn", 0},
    {"Opcode_9A", 0},
    {"reserved", kWordLength},
    {"reserved", kWordLength},
    {"reserved", kWordLength},
    {"reserved", kWordLength},
    {"reserved", kWordLength},
    /* 0xA0 */ {"ShortComment", 2},
    {"LongComment", 0},
};
static_assert(sizeof(kOpcodes) / sizeof(kOpcodes[0]) == 0xA2, "one row per opcode 0x00-0xA1");

constexpr PaletteEntry kWhite{255, 255, 255, 255};
constexpr PaletteEntry kBlack{0, 0, 0, 255};

struct PictRect
{
    int top = 0;
    int left = 0;
    int bottom = 0;
    int right = 0;

    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    CRect ToCRect() const { return {left, top, right, bottom}; }
};

PictRect ReadRect(CDataSource& source)
{
    PictRect r;
    r.top = int16_t(source.ReadBE16());
    r.left = int16_t(source.ReadBE16());
    r.bottom = int16_t(source.ReadBE16());
    r.right = int16_t(source.ReadBE16());
    return r;
}

void TraceRect(const char* label, const PictRect& r)
{
    CPicDecoder::TraceF(2, "%s (%d,%d) (%d,%d).\n", label, r.left, r.top, r.right, r.bottom);
}

// The 36 bytes of a pixel map that follow its row-size word and bounds.
struct PixMapHeader
{
    unsigned version = 0;
    unsigned packType = 0;
    uint32_t packSize = 0;
    uint32_t hRes = 0;
    uint32_t vRes = 0;
    unsigned pixelType = 0;
    int pixelSize = 0;
    int cmpCount = 0;
    int cmpSize = 0;
    uint32_t planeBytes = 0;
    uint32_t table = 0;
    uint32_t reserved = 0;
};

PixMapHeader ReadPixMapHeader(CDataSource& source, const PictRect& bounds)
{
    PixMapHeader h;
    h.version = source.ReadBE16();
    h.packType = source.ReadBE16();
    h.packSize = source.ReadBE32();
    h.hRes = source.ReadBE32();
    h.vRes = source.ReadBE32();
    h.pixelType = source.ReadBE16();
    h.pixelSize = source.ReadBE16();
    h.cmpCount = source.ReadBE16();
    h.cmpSize = source.ReadBE16();
    h.planeBytes = source.ReadBE32();
    h.table = source.ReadBE32();
    h.reserved = source.ReadBE32();

    CPicDecoder::Trace(2, "PixMap header info:\n");
    TraceRect("  Bounds:", bounds);
    CPicDecoder::TraceF(2, "  version: 0x%x\n", h.version);
    CPicDecoder::TraceF(2, "  packType: %d\n", int(h.packType));
    CPicDecoder::TraceF(2, "  packSize: %ld\n", long(h.packSize));
    CPicDecoder::TraceF(2, "  pixelSize: %d\n", h.pixelSize);
    CPicDecoder::TraceF(2, "  cmpCount: %d\n", h.cmpCount);
    CPicDecoder::TraceF(2, "  cmpSize: %d.\n", h.cmpSize);
    CPicDecoder::TraceF(2, "  planeBytes: %ld.\n", long(h.planeBytes));
    return h;
}

// Reads a colour table. With a table to fill, every entry's index is checked
// against the entry count and the table's 256 entries; without one the
// entries are only skipped (pattern tables are not used).
void ReadColorTable(CDataSource& source, PaletteEntry* table)
{
    CPicDecoder::Trace(3, "Getting color table info.\n");
    source.Skip(4); // seed
    const unsigned flags = source.ReadBE16();
    // The size word holds entries - 1 as a signed value; -1 is an empty table.
    const int count = std::max(0, int(int16_t(source.ReadBE16())) + 1);
    CPicDecoder::TraceF(2, "Palette Size:  %d\n", count);
    CPicDecoder::Trace(3, "Reading Palette.\n");
    for (int i = 0; i < count; i++)
    {
        const uint8_t* p = source.ReadBytes(8);
        if (!table)
            continue;
        const int index = (flags & 0x8000) ? i : (p[0] << 8 | p[1]);
        if (index >= count || index >= 256)
            CPicDecoder::RaiseError(2, "pixel value greater than colour table size.");
        // High byte of each 16-bit component.
        table[index] = PaletteEntry{p[6], p[4], p[2], 255};
    }
}

// Skips a region or polygon: its size word counts itself. Returns its
// first byte (the size word); size receives its size.
const uint8_t* SkipRegion(CDataSource& source, size_t* size = nullptr)
{
    const uint8_t* start = source.GetBufferPtr();
    const unsigned n = source.ReadBE16();
    if (n < 2)
        CPicDecoder::RaiseError(2, "Illegal polygon or region size.");
    source.Skip(n - 2);
    if (size)
        *size = n;
    return start;
}

// Skips the data of a pixel pattern opcode (BkPixPat, PnPixPat, FillPixPat).
void SkipPixPat(CDataSource& source)
{
    const unsigned type = source.ReadBE16();
    if (type == 2)
    {
        source.Skip(8 + 6); // old-style pattern, then the RGB colour it dithers
        return;
    }
    if (type != 1)
        CPicDecoder::RaiseError(2, "Unknown pattern type in pixPat.");
    source.Skip(8); // old-style pattern
    const size_t rowBytes = source.ReadBE16() & 0x7FFF;
    const PictRect bounds = ReadRect(source);
    ReadPixMapHeader(source, bounds);
    ReadColorTable(source, nullptr);
    const size_t rows = size_t(std::max(0, bounds.Height()));
    if (rowBytes < 8)
    {
        source.Skip(rowBytes * rows);
        return;
    }
    for (size_t y = 0; y < rows; y++)
        source.Skip(rowBytes > 250 ? source.ReadBE16() : source.ReadByte());
}

// Skips the data of LongText, DHText, DVText and DHDVText: a position
// (a point or one or two offset bytes), then a counted string.
void SkipText(int opcode, CDataSource& source)
{
    switch (opcode)
    {
    case 0x28:
        source.Skip(4);
        break;
    case 0x29:
    case 0x2A:
        source.Skip(1);
        break;
    default:
        source.Skip(2);
        break;
    }
    source.Skip(source.ReadByte());
}

// How the rows of a raster are stored.
struct RowLayout
{
    int width = 0;      // pixels per stored row
    int height = 0;     // stored rows
    int pixelSize = 0;  // 1, 2, 4, 8, 16 or 32
    int cmpCount = 0;   // 32-bit pixels: 3 (red, green, blue) or 4 (alpha first)
    size_t rowBytes = 0; // row size
    bool packed = false; // PackBits rows, each after its byte count
    size_t countBytes = 1;
    size_t bufSize = 0; // row buffer: room for the row size and for width pixels
};

// rowWord is the stored row size with its flag bits; 0 derives it from the width.
RowLayout MakeLayout(const PictRect& bounds, int pixelSize, int cmpCount, unsigned rowWord,
                     bool packedOpcode)
{
    RowLayout l;
    l.width = bounds.Width();
    l.height = bounds.Height();
    l.pixelSize = pixelSize;
    l.cmpCount = cmpCount;
    const size_t w = size_t(l.width);
    l.rowBytes = rowWord & 0x7FFF;
    if (l.rowBytes == 0)
        l.rowBytes = pixelSize <= 8 ? w : pixelSize == 16 ? 2 * w : size_t(cmpCount) * w;
    // Rows shorter than 8 bytes are never compressed.
    l.packed = packedOpcode && l.rowBytes >= 8;
    l.countBytes = l.rowBytes > 250 ? 2 : 1;
    size_t needed;
    if (pixelSize <= 8)
        needed = (w * size_t(pixelSize) + 7) / 8;
    else if (pixelSize == 16)
        needed = 2 * w;
    else
        needed = l.packed ? size_t(cmpCount) * w : 4 * w; // planes, or interleaved pixels
    l.bufSize = std::max(l.rowBytes, needed);
    return l;
}

// PackBits: a flag byte f < 0x80 copies the next f + 1 units, f > 0x80 repeats
// the next unit 257 - f times, 0x80 does nothing. A unit is 1 byte, or 2 for
// 16-bit pixels. Output beyond the row buffer is dropped; the row's data ends
// the row.
void UnpackBits(const uint8_t* in, size_t inLen, uint8_t* out, size_t cap, size_t unit)
{
    size_t i = 0;
    size_t o = 0;
    while (i < inLen && o < cap)
    {
        const unsigned f = in[i++];
        if (f == 0x80)
            continue;
        if (f < 0x80)
        {
            const size_t n = std::min((f + 1) * unit, inLen - i);
            const size_t c = std::min(n, cap - o);
            std::memcpy(out + o, in + i, c);
            o += c;
            i += n;
        }
        else
        {
            if (inLen - i < unit)
                break;
            for (unsigned k = 257 - f; k > 0 && o < cap; k--)
            {
                const size_t c = std::min(unit, cap - o);
                std::memcpy(out + o, in + i, c);
                o += c;
            }
            i += unit;
        }
    }
}

void ReadRow(CDataSource& source, const RowLayout& l, uint8_t* buf)
{
    std::memset(buf, 0, l.bufSize);
    if (!l.packed)
    {
        std::memcpy(buf, source.ReadBytes(l.rowBytes), l.rowBytes);
        return;
    }
    const size_t n = l.countBytes == 2 ? source.ReadBE16() : source.ReadByte();
    UnpackBits(source.ReadBytes(n), n, buf, l.bufSize, l.pixelSize == 16 ? 2 : 1);
}

// Pixel x of a row of 1-, 2-, 4- or 8-bit indices, most significant bits first.
unsigned IndexAt(const uint8_t* buf, int pixelSize, size_t x)
{
    if (pixelSize == 8)
        return buf[x];
    const size_t bit = x * size_t(pixelSize);
    return (buf[bit >> 3] >> (8 - pixelSize - int(bit & 7))) & ((1u << pixelSize) - 1);
}

// 5-bit component to 8 bits, so that 31 becomes 255.
uint8_t Expand5(unsigned c)
{
    return uint8_t(c << 3 | c >> 2);
}

// Writes pixels x0 .. x0 + count - 1 of a stored row into a bitmap line.
void ExpandRow(const RowLayout& l, const uint8_t* buf, size_t x0, size_t count, uint8_t* line,
               int bpp, const PaletteEntry* table)
{
    if (bpp == 8)
    {
        // 8-bit bitmaps take only indexed rows (pixel size 8 or less).
        if (l.pixelSize == 8)
            std::memcpy(line, buf + x0, count);
        else
            for (size_t x = 0; x < count; x++)
                line[x] = uint8_t(IndexAt(buf, l.pixelSize, x0 + x));
        return;
    }
    auto* d = reinterpret_cast<PaletteEntry*>(line);
    if (l.pixelSize <= 8)
    {
        for (size_t x = 0; x < count; x++)
            d[x] = table[IndexAt(buf, l.pixelSize, x0 + x)];
    }
    else if (l.pixelSize == 16)
    {
        for (size_t x = 0; x < count; x++)
        {
            const uint8_t* p = buf + 2 * (x0 + x);
            const unsigned v = unsigned(p[0] << 8 | p[1]);
            d[x] = PaletteEntry{Expand5(v & 31), Expand5((v >> 5) & 31), Expand5((v >> 10) & 31),
                                255};
        }
    }
    else if (l.packed)
    {
        // One plane of width bytes per component: red, green, blue, with alpha first
        // when there are four.
        const size_t w = size_t(l.width);
        const uint8_t* planes = buf + x0;
        const bool alpha = l.cmpCount == 4;
        const uint8_t* r = planes + (alpha ? w : 0);
        for (size_t x = 0; x < count; x++)
            d[x] = PaletteEntry{r[2 * w + x], r[w + x], r[x], alpha ? planes[x] : uint8_t(255)};
    }
    else
    {
        // Unpacked rows hold interleaved pixels: alpha (or a pad byte), red, green, blue.
        for (size_t x = 0; x < count; x++)
        {
            const uint8_t* p = buf + 4 * (x0 + x);
            d[x] = PaletteEntry{p[3], p[2], p[1], l.cmpCount == 4 ? p[0] : uint8_t(255)};
        }
    }
}

// The part of the stored rows that becomes the bitmap: the source rectangle
// within the bounds (writers pad rows beyond it), or all of the bounds when
// the source rectangle does not overlap them.
struct Crop
{
    int left;
    int top;
    int width;
    int height;
};

Crop CropToSource(const PictRect& bounds, const PictRect& src)
{
    PictRect c;
    c.top = std::max(bounds.top, src.top);
    c.left = std::max(bounds.left, src.left);
    c.bottom = std::min(bounds.bottom, src.bottom);
    c.right = std::min(bounds.right, src.right);
    if (c.Width() <= 0 || c.Height() <= 0)
        c = bounds;
    return Crop{c.left - bounds.left, c.top - bounds.top, c.Width(), c.Height()};
}

void CheckBounds(const PictRect& bounds)
{
    if (bounds.Width() <= 0 || bounds.Height() <= 0)
        CPicDecoder::RaiseError(
            2, CPicDecoder::Format("Illegal image size %d x %d.", bounds.Width(), bounds.Height()));
}

// Everything a raster opcode says about its pixels, read before the rows.
struct Raster
{
    PictRect bounds;
    PictRect src;
    PictRect dst;
    int mode = 0;
    unsigned rowWord = 0;
    int pixelSize = 1;
    int cmpCount = 1;
    bool packed = true;
    bool pixMap = false;
    const uint8_t* mask = nullptr; // the region of the Rgn opcodes
    size_t maskSize = 0;
};

// Creates the bitmap at bpp bits (8 or 32) and fills it from the stored rows,
// top row first. table maps indices of 8 bits or less to colours at 32 bits.
void ReadRaster(CBmp& bmp, int bpp, CDataSource& source, const Raster& r,
                const PaletteEntry* table)
{
    CheckBounds(r.bounds);
    if (r.pixelSize == 32 && r.cmpCount != 3 && r.cmpCount != 4)
        CPicDecoder::RaiseError(
            2, CPicDecoder::Format("Unsupported component count in pict: %d.", r.cmpCount));
    const RowLayout l = MakeLayout(r.bounds, r.pixelSize, r.cmpCount, r.rowWord, r.packed);
    const Crop crop = CropToSource(r.bounds, r.src);

    // Each stored row takes at least its byte count or its row size, so the
    // data must hold that much before anything is allocated.
    const size_t rows = size_t(crop.top) + size_t(crop.height);
    const size_t minRow = l.packed ? l.countBytes : l.rowBytes;
    if (rows > source.GetRemaining() / minRow)
        CDataSource::ThrowEndOfFile();

    const bool alpha = bpp == 32 && r.pixelSize == 32 && r.cmpCount == 4;
    bmp.Create(crop.width, crop.height, bpp, alpha);
    const std::unique_ptr<uint8_t[]> buf =
        CPicDecoder::AllocateBuffer(bmp, l.bufSize, "Out of memory allocating pict row buffer.");
    uint8_t** lines = bmp.GetLineArray();
    for (size_t y = 0; y < rows; y++)
    {
        ReadRow(source, l, buf.get());
        if (y >= size_t(crop.top))
            ExpandRow(l, buf.get(), size_t(crop.left), size_t(crop.width),
                      lines[y - size_t(crop.top)], bpp, table);
    }
}

// Passes over stored rows first .. last - 1 without unpacking them.
void SkipRows(CDataSource& source, const Raster& r, size_t first, size_t last)
{
    const RowLayout l = MakeLayout(r.bounds, r.pixelSize, r.cmpCount, r.rowWord, r.packed);
    for (size_t y = first; y < last; y++)
        source.Skip(!l.packed           ? l.rowBytes
                    : l.countBytes == 2 ? source.ReadBE16()
                                        : source.ReadByte());
}

// Reads the source and destination rectangles, the mode and, for the region
// opcodes, the mask region.
void ReadPlacement(CDataSource& source, Raster& r, bool region)
{
    r.src = ReadRect(source);
    r.dst = ReadRect(source);
    r.mode = source.ReadBE16();
    if (region)
    {
        CPicDecoder::Trace(3, "Skipping polygon or region.\n");
        r.mask = SkipRegion(source, &r.maskSize);
    }
}

// Opcodes that draw: lines, text and the shapes with their verbs.
bool IsDrawingOpcode(int opcode)
{
    if (opcode >= 0x20 && opcode <= 0x23)
        return true;
    if (opcode >= 0x28 && opcode <= 0x2B)
        return true;
    return opcode >= 0x30 && opcode <= 0x8C && (opcode & 7) <= 4;
}

bool IsPixelSize(int pixelSize)
{
    return pixelSize == 1 || pixelSize == 2 || pixelSize == 4 || pixelSize == 8 ||
           pixelSize == 16 || pixelSize == 32;
}

// A raster met while scanning (no renderer) is skipped; while rendering
// it is decoded beside the frame and drawn into it.
void PassRaster(CPictRenderer* renderer, const CBmp& frame, const Raster& r,
                const PaletteEntry* table, CDataSource& source)
{
    const size_t rows = size_t(std::max(0, r.bounds.Height()));
    if (!renderer)
    {
        SkipRows(source, r, 0, rows);
        return;
    }
    CheckBounds(r.bounds);
    const Crop crop = CropToSource(r.bounds, r.src);
    CPicDecoder::CheckBudget(frame.GetStorageBytes(), CBmp::CheckSize(crop.width, crop.height, 32),
                             "Out of memory allocating pict raster.");
    CDIBSection pixels;
    ReadRaster(pixels, 32, source, r, table);
    SkipRows(source, r, size_t(crop.top) + size_t(crop.height), rows);
    const CRect covered{r.bounds.left + crop.left, r.bounds.top + crop.top,
                        r.bounds.left + crop.left + crop.width,
                        r.bounds.top + crop.top + crop.height};
    renderer->DrawRaster(pixels, covered, r.src.ToCRect(), r.dst.ToCRect(), r.mode, r.mask,
                         r.maskSize, !r.pixMap);
}

// A pixel pattern as a pattern of its own colours: a pixel map (type 1) or
// an RGB colour (type 2, dithered on screens of few colours).
QDPattern ReadPixPat(const CBmp& frame, CDataSource& source)
{
    const unsigned type = source.ReadBE16();
    if (type == 2)
    {
        source.Skip(8); // old-style pattern
        const uint8_t* p = source.ReadBytes(6);
        return QDPattern::Colour(PaletteEntry{p[4], p[2], p[0], 255});
    }
    if (type != 1)
        CPicDecoder::RaiseError(2, "Unknown pattern type in pixPat.");
    source.Skip(8);
    Raster r;
    r.pixMap = true;
    r.rowWord = source.ReadBE16();
    r.bounds = ReadRect(source);
    r.src = r.bounds;
    const PixMapHeader h = ReadPixMapHeader(source, r.bounds);
    r.pixelSize = h.pixelSize;
    r.cmpCount = h.cmpCount;
    PaletteEntry table[256] = {};
    ReadColorTable(source, table);
    if (!IsPixelSize(r.pixelSize))
        CPicDecoder::RaiseError(
            2, CPicDecoder::Format("Illegal bpp value in unpackbits: %d\n", r.pixelSize));
    CheckBounds(r.bounds);
    CPicDecoder::CheckBudget(frame.GetStorageBytes(),
                             CBmp::CheckSize(r.bounds.Width(), r.bounds.Height(), 32),
                             "Out of memory allocating pict pattern.");
    CDIBSection pixels;
    ReadRaster(pixels, 32, source, r, table);
    QDPattern pat;
    pat.width = pixels.GetWidth();
    pat.height = pixels.GetHeight();
    pat.pixels.resize(size_t(pat.width) * size_t(pat.height));
    for (int y = 0; y < pat.height; y++)
    {
        const auto* line = reinterpret_cast<const PaletteEntry*>(pixels.GetLineArray()[y]);
        for (int x = 0; x < pat.width; x++)
            pat.pixels[size_t(y) * size_t(pat.width) + size_t(x)] =
                PaletteEntry{line[x].b, line[x].g, line[x].r, 255};
    }
    return pat;
}

} // namespace

// The bitmap depth for a pixel map: 32 when asked for or for 32-bit pixels,
// else 8; 16-bit pixels have no 8-bit form.
int CPictDecoder::PixMapDepth(int pixelSize, int& depth)
{
    ChooseDepth(pixelSize, depth);
    const int bpp = depth == 32 || pixelSize == 32 ? 32 : 8;
    if (bpp == 8 && pixelSize == 16)
        RaiseError(2, "Bad bits per pixel in expandBuf8.");
    depth = bpp;
    return bpp;
}

void CPictDecoder::DecodeImage(CBmp& bmp, std::unique_ptr<PaletteEntry[]>& pal, int& depth,
                               CDataSource& source)
{
    Trace(2, "Decoding mac pict.\n");
    const size_t pictStart = source.GetPos();
    source.Skip(512);
    ReadHeader(source);
    const size_t body = source.GetPos();
    const int requested = depth;
    if (HasDrawing(bmp, source, pictStart))
    {
        source.SetPos(body);
        try
        {
            Render(bmp, depth, source, pictStart);
            Trace(3, "Decoding finished.\n");
            return;
        }
        catch (const CTextException& e)
        {
            // A picture whose drawing fails still shows its first raster, if
            // it has one; without one, the drawing's fault is reported.
            try
            {
                source.SetPos(body);
                depth = requested;
                DecodeFirstRaster(bmp, pal, depth, source, pictStart);
            }
            catch (const CTextException&)
            {
                throw e;
            }
        }
    }
    else
    {
        source.SetPos(body);
        DecodeFirstRaster(bmp, pal, depth, source, pictStart);
    }
    Trace(3, "Decoding finished.\n");
}

void CPictDecoder::DecodeFirstRaster(CBmp& bmp, std::unique_ptr<PaletteEntry[]>& pal, int& depth,
                                     CDataSource& source, size_t pictStart)
{
    m_Pass = Pass::kRaster;
    // Every opcode consumes data, so the loop ends at the latest with the data.
    while (!DoOpcode(ReadOpcode(source, pictStart), bmp, pal, depth, source))
    {
    }
}

bool CPictDecoder::HasDrawing(CBmp& bmp, CDataSource& source, size_t pictStart)
{
    m_Pass = Pass::kScan;
    m_bDrawing = false;
    m_bQuickTime = false;
    std::unique_ptr<PaletteEntry[]> pal;
    int depth = 0;
    try
    {
        while (!DoOpcode(ReadOpcode(source, pictStart), bmp, pal, depth, source))
        {
        }
    }
    catch (const CTextException&)
    {
        // A damaged picture is drawn up to its damage.
    }
    // QuickTime data is shown on its own, as the JPEG it holds.
    return m_bDrawing && !m_bQuickTime;
}

void CPictDecoder::Render(CBmp& bmp, int& depth, CDataSource& source, size_t pictStart)
{
    Trace(2, "Rendering the picture's drawing.\n");
    // The frame is at 72 dpi; an extended version 2 header gives the
    // picture's own resolution and its rectangle at that resolution, which
    // the drawing's coordinates use.
    const CRect frame = m_SourceRect.IsEmpty() ? m_Frame : m_SourceRect;
    if (frame.IsEmpty())
        RaiseError(2, Format("Illegal image size %d x %d.", frame.Width(), frame.Height()));
    bmp.Create(frame.Width(), frame.Height(), 32, false);
    uint8_t** lines = bmp.GetLineArray();
    for (int y = 0; y < bmp.GetHeight(); y++)
        std::memset(lines[y], 0xFF, size_t(bmp.GetWidth()) * 4);
    depth = 32;

    CPictRenderer renderer(bmp, frame);
    m_pRenderer = &renderer;
    m_Pass = Pass::kRender;
    std::unique_ptr<PaletteEntry[]> pal;
    try
    {
        while (!DoOpcode(ReadOpcode(source, pictStart), bmp, pal, depth, source))
        {
        }
    }
    catch (...)
    {
        m_pRenderer = nullptr;
        throw;
    }
    m_pRenderer = nullptr;
}

void CPictDecoder::ReadHeader(CDataSource& source)
{
    source.Skip(2); // picture size
    m_Frame = ReadRect(source).ToCRect();
    m_SourceRect = CRect{};
    uint8_t b;
    while ((b = source.ReadByte()) == 0)
    {
    }
    if (b != 0x11)
        RaiseError(1, "Error decoding pict: Version number missing.");
    b = source.ReadByte();
    if (b == 1)
        m_Version = 1;
    else if (b == 2 && source.ReadByte() == 0xFF)
        m_Version = 2;
    else
        RaiseError(1, "Illegal version number.");
    TraceF(2, "PICT version %d found.\n", m_Version);
}

int CPictDecoder::ReadOpcode(CDataSource& source, size_t pictStart) const
{
    if (m_Version == 1)
        return source.ReadByte();
    // Version 2 opcodes are word-aligned from the start of the picture.
    if ((source.GetPos() - pictStart) & 1)
        source.Skip(1);
    return source.ReadBE16();
}

// The version 2 header: version (-2 for the extended form), reserved word,
// then either a fixed-point bounding box or (extended) the resolution and
// the source rectangle at it; reserved long.
void CPictDecoder::ReadVersion2Header(CDataSource& source)
{
    const unsigned version = source.ReadBE16();
    source.Skip(2);
    const uint32_t hRes = source.ReadBE32();
    const uint32_t vRes = source.ReadBE32();
    const PictRect src = ReadRect(source);
    source.Skip(4);
    if (version == 0xFFFE && hRes != 0 && vRes != 0)
    {
        TraceF(2, "Resolution %u x %u dpi.\n", unsigned(hRes >> 16), unsigned(vRes >> 16));
        m_SourceRect = src.ToCRect();
    }
}

bool CPictDecoder::DoOpcode(int opcode, CBmp& bmp, std::unique_ptr<PaletteEntry[]>& pal,
                            int& depth, CDataSource& source)
{
    if (opcode <= 0xA1)
        return DoTableOpcode(opcode, bmp, pal, depth, source);
    if (opcode == 0x00FF || opcode == 0xFFFF)
    {
        Trace(2, "Opcode: End of pict.\n");
        if (m_Pass != Pass::kRaster)
            return true;
        RaiseError(6, "PICT contained only vector data!\n");
    }
    if (opcode == 0x0C00)
    {
        Trace(2, "Opcode: Header.\n");
        ReadVersion2Header(source);
        return false;
    }
    if (opcode == 0x8200)
    {
        Trace(2, "Opcode: JPEG.\n");
        if (m_Pass == Pass::kRaster)
        {
            DecodeJPEG(bmp, depth, source);
            return true;
        }
        m_bQuickTime = true;
        if (m_Pass == Pass::kScan)
            return true;
        // Behind drawing, QuickTime data is not drawn.
        source.Skip(source.ReadBE32());
        return false;
    }

    // Reserved opcodes, skipped by the length their range defines.
    TraceF(3, "Opcode: reserved 0x%x.\n", unsigned(opcode));
    if (opcode <= 0x00AF)
        source.Skip(source.ReadBE16());
    else if (opcode <= 0x00CF || (opcode >= 0x8000 && opcode <= 0x80FF))
        return false;
    else if (opcode >= 0x0100 && opcode <= 0x1FA3)
        source.Skip(2 * size_t(opcode >> 8)); // two bytes per unit of the high byte
    else
        source.Skip(source.ReadBE32());
    return false;
}

bool CPictDecoder::DoTableOpcode(int opcode, CBmp& bmp, std::unique_ptr<PaletteEntry[]>& pal,
                                 int& depth, CDataSource& source)
{
    const OpcodeInfo& info = kOpcodes[opcode];
    if (std::strcmp(info.name, "reserved") == 0)
        TraceF(3, "Opcode: reserved=0x%x\n", unsigned(opcode));
    else
        TraceF(3, "Opcode: %s\n", info.name);

    if (m_Pass == Pass::kScan && IsDrawingOpcode(opcode))
        m_bDrawing = true;
    if (m_Pass == Pass::kRender && m_pRenderer->DoOpcode(opcode, source))
        return false;
    switch (opcode)
    {
    case 0x01: // Clip: a region, used only for drawing
        SkipRegion(source);
        return false;
    case 0x12:
    case 0x13:
    case 0x14:
        if (m_Pass == Pass::kRender)
            m_pRenderer->SetPixPat(opcode, ReadPixPat(bmp, source));
        else
            SkipPixPat(source);
        return false;
    case 0x28:
    case 0x29:
    case 0x2A:
    case 0x2B:
        SkipText(opcode, source);
        return false;
    case 0x90:
    case 0x91:
    case 0x98:
    case 0x99:
        DecodeBits(opcode, bmp, pal, depth, source);
        return m_Pass == Pass::kRaster;
    case 0x9A:
    case 0x9B: // DirectBitsRect, DirectBitsRgn
        DecodeDirectBits(opcode, bmp, depth, source);
        return m_Pass == Pass::kRaster;
    case 0xA1: // LongComment: kind, then counted data
        source.Skip(2);
        source.Skip(source.ReadBE16());
        return false;
    default:
        break;
    }
    // Polygons and regions (with the reserved opcodes of their ranges) carry
    // their data behind a size word.
    if ((opcode >= 0x70 && opcode <= 0x77) || (opcode >= 0x80 && opcode <= 0x87))
    {
        Trace(3, "Skipping polygon or region.\n");
        SkipRegion(source);
    }
    else if (info.length == kWordLength)
        source.Skip(source.ReadBE16());
    else
        source.Skip(size_t(info.length));
    return false;
}

void CPictDecoder::DecodeBits(int opcode, CBmp& bmp, std::unique_ptr<PaletteEntry[]>& pal,
                              int& depth, CDataSource& source)
{
    const bool region = opcode == 0x91 || opcode == 0x99;
    Raster r;
    // BitsRect and BitsRgn store their rows as they are; only the PackBits
    // opcodes compress them.
    r.packed = opcode >= 0x98;
    r.rowWord = source.ReadBE16();
    r.pixMap = (r.rowWord & 0x8000) != 0;
    if (!r.pixMap)
    {
        Trace(2, "Reading version 1 bitmap.\n");
        r.bounds = ReadRect(source);
        TraceRect("  Bounds", r.bounds);
    }
    else
    {
        r.bounds = ReadRect(source);
        const PixMapHeader h = ReadPixMapHeader(source, r.bounds);
        r.pixelSize = h.pixelSize;
        r.cmpCount = h.cmpCount;
        if (!IsPixelSize(r.pixelSize))
            RaiseError(2, Format("Illegal bpp value in unpackbits: %d\n", r.pixelSize));
        pal.reset(new (std::nothrow) PaletteEntry[256]());
        if (!pal)
            RaiseError(10, "Out of memory allocationg color table.");
        ReadColorTable(source, pal.get());
    }
    ReadPlacement(source, r, region);

    // Bitmaps: clear bits white, set bits black.
    PaletteEntry bitmapTable[256] = {kWhite, kBlack};
    const PaletteEntry* table = r.pixMap ? pal.get() : bitmapTable;
    if (m_Pass != Pass::kRaster)
    {
        PassRaster(m_Pass == Pass::kRender ? m_pRenderer : nullptr, bmp, r, table, source);
        return;
    }
    if (!r.pixMap)
    {
        ChooseDepth(1, depth);
        depth = depth == 32 ? 32 : 8;
        ReadRaster(bmp, depth, source, r, table);
        if (depth == 8)
        {
            bmp.GetPaletteTable()[0] = kWhite;
            bmp.GetPaletteTable()[1] = kBlack;
        }
        return;
    }
    const int bpp = PixMapDepth(r.pixelSize, depth);
    ReadRaster(bmp, bpp, source, r, pal.get());
    if (bpp == 8)
        bmp.SetPalette(pal.get());
}

void CPictDecoder::DecodeDirectBits(int opcode, CBmp& bmp, int& depth, CDataSource& source)
{
    Raster r;
    r.pixMap = true;
    source.Skip(4); // base address
    // The stored row size sizes the byte counts, as the writers do it.
    r.rowWord = source.ReadBE16();
    r.bounds = ReadRect(source);
    const PixMapHeader h = ReadPixMapHeader(source, r.bounds);
    r.pixelSize = h.pixelSize;
    r.cmpCount = h.cmpCount;
    ReadPlacement(source, r, opcode == 0x9B);
    // Direct pixels carry their colours; other sizes would need a colour table.
    if (r.pixelSize != 16 && r.pixelSize != 32)
        RaiseError(2, Format("Illegal bpp value in unpackbits: %d\n", r.pixelSize));
    if (m_Pass != Pass::kRaster)
    {
        PassRaster(m_Pass == Pass::kRender ? m_pRenderer : nullptr, bmp, r, nullptr, source);
        return;
    }
    ReadRaster(bmp, PixMapDepth(r.pixelSize, depth), source, r, nullptr);
}

void CPictDecoder::DecodeJPEG(CBmp& bmp, int& depth, CDataSource& source)
{
    const uint32_t length = source.ReadBE32();
    if (depth == 0)
        depth = 32;
    // The QuickTime image description comes first; the JPEG stream starts at FF D8 FF.
    const uint8_t* p = source.GetBufferPtr();
    const size_t avail = source.GetRemaining();
    size_t i = 0;
    for (;; i++)
    {
        if (i == length)
            RaiseError(6, "PICT file contains unrecognized quicktime data.\n");
        if (i + 3 > avail)
            CDataSource::ThrowEndOfFile();
        if (p[i] == 0xFF && p[i + 1] == 0xD8 && p[i + 2] == 0xFF)
            break;
    }
    if (!m_pJPEGDecoder)
        RaiseError(6, "Library not compiled for PICT/JPEG.");
    source.Skip(i);
    m_pJPEGDecoder->DecodeSource(source, bmp, 0);
}
