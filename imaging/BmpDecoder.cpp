#include "BmpDecoder.h"

#include "Bmp.h"
#include "DataSource.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <new>

namespace
{
constexpr uint32_t kBitFields = 3;
constexpr uint32_t kJpeg = 4;
constexpr uint32_t kPng = 5;
constexpr uint32_t kAlphaBitFields = 6;

/// The information header as read from the file, whatever its variant:
/// OS/2 1.x (12 bytes), Windows (40), with colour masks (52, 56), V4 (108),
/// V5 (124), or OS/2 2.x (16 to 64, fields past its size read as zero).
struct BmpInfoHeader
{
    uint32_t size;
    int32_t width;
    int32_t height;
    uint16_t planes;
    uint16_t bitCount;
    uint32_t compression;
    uint32_t clrUsed;
    uint32_t masks[4]; // red, green, blue, alpha, when the header holds them
    bool core;         // OS/2 1.x: 3-byte colour-table entries
    bool os2;          // OS/2 2.x: compression 3 is Huffman, 4 is RLE24
};

bool IsKnownHeaderSize(uint32_t size)
{
    return size == 12 || (size >= 16 && size <= 64) || size == 108 || size == 124;
}

BmpInfoHeader ReadInfoHeader(CDataSource& source)
{
    BmpInfoHeader h{};
    h.size = source.ReadLE32();
    if (!IsKnownHeaderSize(h.size))
        CPicDecoder::RaiseError(2, "Bitmap decoder: BITMAPINFOHEADER has wrong size.");
    // The fields after the size, zero beyond the header's own length.
    uint8_t f[120] = {};
    std::memcpy(f, source.ReadBytes(h.size - 4), std::min<size_t>(h.size - 4, sizeof f));
    if (h.size == 12)
    {
        h.core = true;
        h.width = f[0] | f[1] << 8;
        h.height = f[2] | f[3] << 8;
        h.planes = uint16_t(f[4] | f[5] << 8);
        h.bitCount = uint16_t(f[6] | f[7] << 8);
        return h;
    }
    h.os2 = h.size != 40 && h.size != 52 && h.size != 56 && h.size <= 64;
    h.width = int32_t(CDataSource::LE32At(f));
    h.height = int32_t(CDataSource::LE32At(f + 4));
    h.planes = uint16_t(f[8] | f[9] << 8);
    h.bitCount = uint16_t(f[10] | f[11] << 8);
    h.compression = CDataSource::LE32At(f + 12);
    h.clrUsed = CDataSource::LE32At(f + 28);
    if (!h.os2 && h.size >= 52)
        for (int i = 0; i < 4; i++)
            h.masks[i] = CDataSource::LE32At(f + 36 + 4 * i); // the alpha mask only from 56 bytes on
    return h;
}

/// Where file row i lands: bottom-up files fill the bitmap from its last line.
struct RowOrder
{
    uint8_t** lines;
    int height;
    bool topDown;

    uint8_t* Line(int fileRow) const { return lines[topDown ? fileRow : height - 1 - fileRow]; }
};

/// Palette indices into an 8-bit line.
struct IndexOut8
{
    uint8_t* line = nullptr;

    void SetLine(uint8_t* p) { line = p; }
    void Put(int x, uint8_t index) { line[x] = index; }
    void Fill(int x, int n, uint8_t index) { std::memset(line + x, index, size_t(n)); }
};

/// The colour-table entries of palette indices into a 32-bit line.
struct IndexOut32
{
    const PaletteEntry* table;
    PaletteEntry* line = nullptr;

    explicit IndexOut32(const PaletteEntry* t) : table(t) {}
    void SetLine(uint8_t* p) { line = reinterpret_cast<PaletteEntry*>(p); }
    void Put(int x, uint8_t index) { line[x] = table[index]; }
    void Fill(int x, int n, uint8_t index) { std::fill_n(line + x, n, table[index]); }
};

/// File row bytes of an uncompressed row: width * bits rounded up to 4 bytes.
size_t FileRowBytes(int width, int bits)
{
    return (size_t(width) * size_t(bits) + 31) / 32 * 4;
}

/// One colour channel of a 16- or 32-bit pixel, by its mask, scaled to 8
/// bits with rounding.
struct Channel
{
    static constexpr int kTableBits = 12;

    uint32_t mask = 0;
    int shift = 0;
    int bits = 0;
    uint8_t scale[1 << kTableBits] = {}; // for channels of up to kTableBits bits

    void Set(uint32_t m)
    {
        mask = m;
        shift = m ? __builtin_ctz(m) : 0;
        bits = m ? 32 - __builtin_clz(m) - shift : 0;
        if (bits == 0 || bits > kTableBits)
            return;
        for (uint32_t v = 0; v <= Max(); v++)
            scale[v] = Scaled(v);
    }
    uint32_t Max() const { return uint32_t((uint64_t(1) << bits) - 1); }
    uint8_t Scaled(uint32_t v) const { return uint8_t((uint64_t(v) * 255 + Max() / 2) / Max()); }
    bool Contiguous() const { return mask == 0 || ((mask >> shift) & ((mask >> shift) + 1)) == 0; }
    uint8_t Get(uint32_t v) const
    {
        const uint32_t c = (v & mask) >> shift;
        return bits <= kTableBits ? scale[c] : Scaled(c);
    }
};

/// 16- and 32-bit pixels through their masks into 32-bit lines.
void DecodeMasked(CDataSource& source, const RowOrder& rows, int width, int bits,
                  const Channel (&ch)[4])
{
    const size_t rowBytes = FileRowBytes(width, bits);
    for (int i = 0; i < rows.height; i++)
    {
        const uint8_t* src = source.ReadBytes(rowBytes);
        auto* dst = reinterpret_cast<PaletteEntry*>(rows.Line(i));
        for (int x = 0; x < width; x++)
        {
            const uint32_t v = bits == 16 ? uint32_t(src[2 * x] | src[2 * x + 1] << 8)
                                          : CDataSource::LE32At(src + 4 * size_t(x));
            dst[x] = PaletteEntry{ch[2].Get(v), ch[1].Get(v), ch[0].Get(v),
                                  ch[3].mask ? ch[3].Get(v) : uint8_t(255)};
        }
    }
}

template <typename Out>
void DecodeIndexedRows(CDataSource& source, const RowOrder& rows, int width, int bits, Out out)
{
    const size_t rowBytes = FileRowBytes(width, bits);
    const unsigned valueMask = (1u << bits) - 1;
    for (int i = 0; i < rows.height; i++)
    {
        const uint8_t* src = source.ReadBytes(rowBytes);
        out.SetLine(rows.Line(i));
        if (bits == 8)
        {
            for (int x = 0; x < width; x++)
                out.Put(x, src[x]);
            continue;
        }
        // Most significant bits first.
        for (int x = 0; x < width; x++)
        {
            const size_t bit = size_t(x) * size_t(bits);
            out.Put(x, uint8_t((src[bit >> 3] >> (8 - bits - int(bit & 7))) & valueMask));
        }
    }
}

void DecodeCopiedRows(CDataSource& source, const RowOrder& rows, size_t rowBytes, size_t copyBytes)
{
    for (int i = 0; i < rows.height; i++)
        std::memcpy(rows.Line(i), source.ReadBytes(rowBytes), copyBytes);
}

void Decode24(CDataSource& source, const RowOrder& rows, int width)
{
    const size_t rowBytes = FileRowBytes(width, 24);
    for (int i = 0; i < rows.height; i++)
    {
        const uint8_t* src = source.ReadBytes(rowBytes);
        uint8_t* dst = rows.Line(i);
        // Four bytes at a time with the alpha byte forced; the last pixel
        // alone, since its fourth byte may lie past the row.
        int x = 0;
        for (; x + 1 < width; x++)
        {
            uint32_t v;
            std::memcpy(&v, src + 3 * x, 4);
            v |= 0xFF000000u;
            std::memcpy(dst + 4 * x, &v, 4);
        }
        dst[4 * x] = src[3 * x];
        dst[4 * x + 1] = src[3 * x + 1];
        dst[4 * x + 2] = src[3 * x + 2];
        dst[4 * x + 3] = 0xFF;
    }
}

/// Run-length data, lines from the bottom up. Runs are clipped to their line,
/// and decoding stops after the top line: nothing is written outside the
/// bitmap. Pixels that end-of-line, delta and end-of-bitmap codes skip stay
/// as created: index 0 at 8 bits, transparent at 32. Returns whether any was
/// skipped.
template <bool kRle4, typename Out>
bool DecodeRle(CDataSource& source, uint8_t** lines, int width, int height, Out out)
{
    bool skipped = false;
    int y = height - 1;
    int x = 0;
    out.SetLine(lines[y]);
    for (;;)
    {
        const uint8_t* code = source.ReadBytes(2);
        const int count = code[0];
        const uint8_t value = code[1];
        if (count > 0)
        {
            const int n = std::min(count, width - x);
            if constexpr (!kRle4)
                out.Fill(x, n, value);
            else
            {
                const uint8_t hi = value >> 4, lo = value & 15;
                for (int k = 0; k < n; k++)
                    out.Put(x + k, (k & 1) ? lo : hi);
            }
            x += n;
        }
        else if (value == 0 || value == 2)
        {
            // End of line, or a delta: right by dx, up by dy lines.
            int dx = 0, dy = 1;
            if (value == 2)
            {
                const uint8_t* delta = source.ReadBytes(2);
                dx = delta[0];
                dy = delta[1];
            }
            skipped |= value == 2 ? dx > 0 || dy > 0 : x < width;
            x = value == 0 ? 0 : std::min(width, x + dx);
            y -= dy;
            if (y < 0)
                return skipped;
            out.SetLine(lines[y]);
        }
        else if (value == 1)
            return skipped || y > 0 || x < width;
        else
        {
            const int dataBytes = kRle4 ? (value + 1) / 2 : value;
            const uint8_t* src = source.ReadBytes(size_t(dataBytes));
            const int n = std::min<int>(value, width - x);
            for (int k = 0; k < n; k++)
            {
                if constexpr (kRle4)
                    out.Put(x + k, uint8_t((k & 1) ? src[k / 2] & 15 : src[k / 2] >> 4));
                else
                    out.Put(x + k, src[k]);
            }
            x += n;
            if (dataBytes & 1)
                source.Skip(1);
        }
    }
}
} // namespace

bool CBmpDecoder::IsPackedDib(const uint8_t* d, size_t size)
{
    if (size < 20)
        return false;
    const uint32_t headerSize = CDataSource::LE32At(d);
    if (headerSize == 12)
    {
        const unsigned width = d[4] | d[5] << 8, planes = d[8] | d[9] << 8;
        const unsigned bits = d[10] | d[11] << 8;
        return width > 0 && planes == 1 && (bits == 1 || bits == 4 || bits == 8 || bits == 24);
    }
    if (headerSize != 40 && headerSize != 52 && headerSize != 56 && headerSize != 108 &&
        headerSize != 124)
        return false;
    const int32_t width = int32_t(CDataSource::LE32At(d + 4));
    const unsigned planes = d[12] | d[13] << 8, bits = d[14] | d[15] << 8;
    const uint32_t compression = CDataSource::LE32At(d + 16);
    return width > 0 && planes == 1 &&
           (bits == 1 || bits == 2 || bits == 4 || bits == 8 || bits == 16 || bits == 24 ||
            bits == 32) &&
           compression <= kAlphaBitFields;
}

void CBmpDecoder::DecodeImage(CBmp& bmp, std::unique_ptr<PaletteEntry[]>& pal, int& depth,
                              CDataSource& source)
{
    // Offsets in the file count from where the bitmap starts in the source.
    const size_t base = source.GetPos();

    // A packed DIB has no file header: no size to check, and the pixels
    // follow the colour table.
    uint32_t fileSize = 0, offBits = 0;
    if (IsPackedDib(source.GetBufferPtr(), source.GetRemaining()))
        Trace(2, "Packed DIB without file header found\n");
    else
    {
        const uint8_t* fileHeader = source.ReadBytes(14);
        if (fileHeader[0] != 'B' || fileHeader[1] != 'M')
            RaiseError(1, "Bitmap decoder: This isn't a bitmap.");
        fileSize = CDataSource::LE32At(fileHeader + 2);
        offBits = CDataSource::LE32At(fileHeader + 10);
        Trace(2, "Bitmap file signature found\n");
    }

    BmpInfoHeader h = ReadInfoHeader(source);
    // A negative height marks a top-down file.
    if (h.width <= 0 || h.height == 0 || h.height == INT_MIN)
        RaiseError(2, Format("Bitmap decoder: Illegal image size %d x %d.", h.width, h.height));
    const bool topDown = h.height < 0;
    const int width = h.width;
    const int height = topDown ? -h.height : h.height;
    const int bits = h.bitCount;
    const bool rle = (bits == 4 || bits == 8) && h.compression != 0;
    if (rle && topDown)
        RaiseError(2, "Bitmap decoder: A compressed bitmap can't be top-down.");
    // Embedded JPEG and PNG data, OS/2 Huffman and RLE24 are not decoded.
    if (!rle &&
        (h.compression == kJpeg || h.compression == kPng || (h.os2 && h.compression == kBitFields)))
        RaiseError(2, Format("Decoding bmp: Unsupported compression %u.", h.compression));
    Trace(2, "Bitmap header is ok.\n");

    // A 40-byte header is followed by the colour masks it announces.
    const bool masked = (bits == 16 || bits == 32) &&
                        (h.compression == kBitFields || h.compression == kAlphaBitFields);
    if (masked && h.size == 40)
    {
        const int n = h.compression == kAlphaBitFields ? 4 : 3;
        for (int i = 0; i < n; i++)
            h.masks[i] = source.ReadLE32();
    }

    pal.reset(new (std::nothrow) PaletteEntry[256]);
    if (!pal)
        RaiseError(10, "Out of memory allocationg color table.");
    // Entries the file does not define stay opaque black.
    std::fill_n(pal.get(), 256, PaletteEntry{0, 0, 0, 255});
    size_t paletteBytes = 0;
    if (bits <= 8)
    {
        Trace(3, "Reading palette.\n");
        const size_t entryBytes = h.core ? 3 : 4;
        uint32_t n = h.clrUsed != 0 ? h.clrUsed : uint32_t(1) << bits;
        // Without a count, a pixel offset inside the full table tells how
        // many entries the writer stored.
        const size_t tableStart = source.GetPos() - base;
        if (h.clrUsed == 0 && offBits > tableStart && offBits < tableStart + entryBytes * n)
            n = uint32_t((offBits - tableStart) / entryBytes);
        if (n > 256)
            RaiseError(2, Format("Bitmap decoder: Palette of %u entries; at most 256 allowed.", n));
        paletteBytes = entryBytes * n;
        const uint8_t* p = source.ReadBytes(paletteBytes);
        for (uint32_t i = 0; i < n; i++)
            pal[i] =
                PaletteEntry{p[entryBytes * i], p[entryBytes * i + 1], p[entryBytes * i + 2], 255};
    }

    // The data must hold the file size the header claims, less two bytes.
    if (fileSize > 2 && fileSize - 2 > source.GetFileSize() - base)
        CDataSource::ThrowEndOfFile();

    if (bits != 1 && bits != 2 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32)
        RaiseError(2, "Decoding bmp: Illegal bpp value.");

    // 16 and 32-bit pixels: 5-5-5 and blue-green-red-unused without masks;
    // headers with an alpha mask give alpha also to uncompressed pixels.
    Channel ch[4];
    if (bits == 16 || bits == 32)
    {
        if (!masked)
        {
            const uint32_t alpha = h.size >= 56 && !h.os2 ? h.masks[3] : 0;
            if (bits == 16)
                h.masks[0] = 0x7C00, h.masks[1] = 0x03E0, h.masks[2] = 0x001F, h.masks[3] = 0;
            else
                h.masks[0] = 0xFF0000, h.masks[1] = 0xFF00, h.masks[2] = 0xFF, h.masks[3] = alpha;
        }
        for (int i = 0; i < 4; i++)
        {
            ch[i].Set(h.masks[i]);
            if (!ch[i].Contiguous() || (bits == 16 && h.masks[i] > 0xFFFF))
                RaiseError(2, "Decoding bmp: Unsupported bit field layout.");
        }
    }

    // Pixels start at the declared offset when it lies in the data after the
    // colour table (files may leave a gap there), else right after the table.
    const size_t pixelStart = source.GetPos();
    if (base + offBits >= pixelStart && base + offBits < source.GetFileSize())
        source.SetPos(base + offBits);

    ChooseDepth(bits, depth);
    if (depth != 8 || bits > 8)
        depth = 32;
    const bool alpha = ((bits == 16 || bits == 32) && ch[3].mask != 0) || (rle && depth == 32);
    // Refuse what the budget can't hold, then what the data can't: every
    // uncompressed row is stored in full.
    CBmp::CheckSize(width, height, depth);
    if (!rle && FileRowBytes(width, bits) > source.GetRemaining() / size_t(height))
        CDataSource::ThrowEndOfFile();
    bmp.Create(width, height, depth, alpha);
    if (depth == 8)
        bmp.SetPalette(pal.get());

    uint8_t** lines = bmp.GetLineArray();
    const RowOrder rows{lines, height, topDown};
    if (rle)
    {
        Trace(2, bits == 8 ? "Decoding RLE8-compressed bitmap.\n"
                           : "Decoding RLE4-compressed bitmap.\n");
        bool skipped;
        if (bits == 8 && depth == 8)
            skipped = DecodeRle<false>(source, lines, width, height, IndexOut8{});
        else if (bits == 8)
            skipped = DecodeRle<false>(source, lines, width, height, IndexOut32{pal.get()});
        else if (depth == 8)
            skipped = DecodeRle<true>(source, lines, width, height, IndexOut8{});
        else
            skipped = DecodeRle<true>(source, lines, width, height, IndexOut32{pal.get()});
        // At 32 bits skipped pixels are transparent; without any, the
        // picture is opaque.
        bmp.SetHasAlpha(depth == 32 && skipped);
    }
    else if (bits <= 8)
    {
        Trace(2, bits == 1   ? "Decoding 1 bit per pixel bitmap.\n"
                 : bits == 2 ? "Decoding 2 bit per pixel bitmap.\n"
                 : bits == 4 ? "Decoding uncompressed 4 bit per pixel bitmap.\n"
                             : "Decoding uncompressed 8 bit per pixel bitmap.\n");
        if (depth == 8 && bits == 8)
            DecodeCopiedRows(source, rows, FileRowBytes(width, 8), size_t(width));
        else if (depth == 8)
            DecodeIndexedRows(source, rows, width, bits, IndexOut8{});
        else
            DecodeIndexedRows(source, rows, width, bits, IndexOut32{pal.get()});
    }
    else if (bits == 24)
    {
        Trace(2, "Decoding 24 bit per pixel bitmap.\n");
        Decode24(source, rows, width);
    }
    else if (bits == 32 && h.masks[0] == 0xFF0000 && h.masks[1] == 0xFF00 && h.masks[2] == 0xFF &&
             (h.masks[3] == 0 || h.masks[3] == 0xFF000000))
    {
        // The stored order already is the bitmap's.
        Trace(2, "Decoding 32 bit per pixel bitmap.\n");
        DecodeCopiedRows(source, rows, 4 * size_t(width), 4 * size_t(width));
    }
    else
    {
        Trace(2, bits == 16 ? "Decoding 16 bit per pixel bitmap.\n"
                            : "Decoding 32 bit per pixel bitmap.\n");
        DecodeMasked(source, rows, width, bits, ch);
    }
    // An RLE bitmap's alpha marks the pixels its codes skip, never empty at
    // random; scanning it would cost a pass over pictures that delta codes
    // make huge from a few bytes.
    if (!rle)
        DropEmptyAlpha(bmp);
    Trace(3, "Decoding finished.\n");
}
