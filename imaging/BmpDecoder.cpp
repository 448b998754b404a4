#include "BmpDecoder.h"

#include "Bmp.h"
#include "DataSource.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <new>

namespace
{
/// The 40-byte information header as read from the file.
struct BmpInfoHeader
{
    uint32_t size;
    int32_t width;
    int32_t height;
    uint16_t planes;
    uint16_t bitCount;
    uint32_t compression;
    uint32_t sizeImage;
    int32_t xPelsPerMeter;
    int32_t yPelsPerMeter;
    uint32_t clrUsed;
    uint32_t clrImportant;
};

constexpr uint32_t kBitFields = 3;
constexpr uint32_t kAlphaBitFields = 6;

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

BmpInfoHeader ReadInfoHeader(CDataSource& source)
{
    BmpInfoHeader h;
    h.size = source.ReadLE32();
    h.width = int32_t(source.ReadLE32());
    h.height = int32_t(source.ReadLE32());
    h.planes = source.ReadLE16();
    h.bitCount = source.ReadLE16();
    h.compression = source.ReadLE32();
    h.sizeImage = source.ReadLE32();
    h.xPelsPerMeter = int32_t(source.ReadLE32());
    h.yPelsPerMeter = int32_t(source.ReadLE32());
    h.clrUsed = source.ReadLE32();
    h.clrImportant = source.ReadLE32();
    return h;
}

/// 32-bit files with bit fields decode as stored only in the usual
/// blue-green-red byte order; other layouts would show wrong colours.
void CheckBitFields(const BmpInfoHeader& h, CDataSource& source)
{
    if (h.bitCount != 32 || (h.compression != kBitFields && h.compression != kAlphaBitFields))
        return;
    if (source.GetRemaining() < 12)
        CDataSource::ThrowEndOfFile();
    const uint8_t* p = source.GetBufferPtr();
    auto mask = [p](int i)
    {
        return uint32_t(p[4 * i]) | uint32_t(p[4 * i + 1]) << 8 | uint32_t(p[4 * i + 2]) << 16 |
               uint32_t(p[4 * i + 3]) << 24;
    };
    if (mask(0) != 0x00FF0000 || mask(1) != 0x0000FF00 || mask(2) != 0x000000FF)
        CPicDecoder::RaiseError(2, "Decoding bmp: Unsupported bit field layout.");
}

template <typename Out> void DecodeIndexedRows(CDataSource& source, const RowOrder& rows, int width,
                                               int bits, Out out)
{
    const size_t rowBytes = FileRowBytes(width, bits);
    for (int i = 0; i < rows.height; i++)
    {
        const uint8_t* src = source.ReadBytes(rowBytes);
        out.SetLine(rows.Line(i));
        if (bits == 8)
        {
            for (int x = 0; x < width; x++)
                out.Put(x, src[x]);
        }
        else if (bits == 4)
        {
            for (int x = 0; x + 1 < width; x += 2)
            {
                out.Put(x, uint8_t(src[x / 2] >> 4));
                out.Put(x + 1, uint8_t(src[x / 2] & 15));
            }
            if (width & 1)
                out.Put(width - 1, uint8_t(src[width / 2] >> 4));
        }
        else
        {
            for (int x = 0; x < width; x++)
                out.Put(x, uint8_t((src[x >> 3] >> (7 - (x & 7))) & 1));
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
/// and decoding stops after the top line: nothing is written outside the bitmap.
template <bool kRle4, typename Out>
void DecodeRle(CDataSource& source, uint8_t** lines, int width, int height, Out out)
{
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
        else if (value == 0)
        {
            if (--y < 0)
                return;
            x = 0;
            out.SetLine(lines[y]);
        }
        else if (value == 1)
            return;
        else if (value == 2)
            CPicDecoder::RaiseError(6, "Encountered delta escape.");
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

void CBmpDecoder::DecodeImage(CBmp& bmp, std::unique_ptr<PaletteEntry[]>& pal, int& depth,
                              CDataSource& source)
{
    // Offsets in the file count from where the bitmap starts in the source.
    const size_t base = source.GetPos();

    const uint8_t* fileHeader = source.ReadBytes(14);
    if (fileHeader[0] != 'B' || fileHeader[1] != 'M')
        RaiseError(1, "Bitmap decoder: This isn't a bitmap.");
    const uint32_t fileSize = uint32_t(fileHeader[2]) | uint32_t(fileHeader[3]) << 8 |
                              uint32_t(fileHeader[4]) << 16 | uint32_t(fileHeader[5]) << 24;
    const uint32_t offBits = uint32_t(fileHeader[10]) | uint32_t(fileHeader[11]) << 8 |
                             uint32_t(fileHeader[12]) << 16 | uint32_t(fileHeader[13]) << 24;
    Trace(2, "Bitmap file signature found\n");

    const BmpInfoHeader h = ReadInfoHeader(source);
    if (h.size != 40)
        RaiseError(2, "Bitmap decoder: BITMAPINFOHEADER has wrong size.");
    // A negative height marks a top-down file.
    if (h.width <= 0 || h.height == 0 || h.height == INT_MIN)
        RaiseError(2, Format("Bitmap decoder: Illegal image size %d x %d.", h.width, h.height));
    const bool topDown = h.height < 0;
    const int width = h.width;
    const int height = topDown ? -h.height : h.height;
    const bool rle = (h.bitCount == 4 || h.bitCount == 8) && h.compression != 0;
    if (rle && topDown)
        RaiseError(2, "Bitmap decoder: A compressed bitmap can't be top-down.");
    Trace(2, "Bitmap header is ok.\n");

    pal.reset(new (std::nothrow) PaletteEntry[256]);
    if (!pal)
        RaiseError(10, "Out of memory allocationg color table.");
    // Entries the file does not define stay opaque black.
    std::fill_n(pal.get(), 256, PaletteEntry{0, 0, 0, 255});
    size_t paletteBytes = 0;
    if (h.bitCount <= 8)
    {
        Trace(3, "Reading palette.\n");
        const uint32_t n = h.clrUsed != 0 ? h.clrUsed : uint32_t(1) << h.bitCount;
        if (n > 256)
            RaiseError(2, Format("Bitmap decoder: Palette of %u entries; at most 256 allowed.", n));
        paletteBytes = 4 * size_t(n);
        const uint8_t* p = source.ReadBytes(paletteBytes);
        for (uint32_t i = 0; i < n; i++)
            pal[i] = PaletteEntry{p[4 * i], p[4 * i + 1], p[4 * i + 2], 255};
    }

    // The data must hold the file size the header claims, less two bytes.
    const size_t pixelStart = source.GetPos();
    const int64_t advance = int64_t(fileSize) - int64_t(paletteBytes) - 56;
    if (advance > 0 && uint64_t(advance) > source.GetRemaining())
        CDataSource::ThrowEndOfFile();

    if (h.bitCount != 1 && h.bitCount != 4 && h.bitCount != 8 && h.bitCount != 24 &&
        h.bitCount != 32)
        RaiseError(2, "Decoding bmp: Illegal bpp value.");
    CheckBitFields(h, source);

    // Pixels start at the declared offset when it lies in the data after the
    // colour table (files may leave a gap there), else right after the table.
    if (base + offBits >= pixelStart && base + offBits < source.GetFileSize())
        source.SetPos(base + offBits);

    ChooseDepth(h.bitCount, depth);
    if (depth != 8 || h.bitCount > 8)
        depth = 32;
    bmp.Create(width, height, depth, false);
    if (depth == 8)
        bmp.SetPalette(pal.get());

    uint8_t** lines = bmp.GetLineArray();
    const RowOrder rows{lines, height, topDown};
    if (rle)
    {
        Trace(2, h.bitCount == 8 ? "Decoding RLE8-compressed bitmap.\n"
                                 : "Decoding RLE4-compressed bitmap.\n");
        if (h.bitCount == 8 && depth == 8)
            DecodeRle<false>(source, lines, width, height, IndexOut8{});
        else if (h.bitCount == 8)
            DecodeRle<false>(source, lines, width, height, IndexOut32{pal.get()});
        else if (depth == 8)
            DecodeRle<true>(source, lines, width, height, IndexOut8{});
        else
            DecodeRle<true>(source, lines, width, height, IndexOut32{pal.get()});
    }
    else if (h.bitCount <= 8)
    {
        Trace(2, h.bitCount == 1   ? "Decoding 1 bit per pixel bitmap.\n"
                 : h.bitCount == 4 ? "Decoding uncompressed 4 bit per pixel bitmap.\n"
                                   : "Decoding uncompressed 8 bit per pixel bitmap.\n");
        if (depth == 8 && h.bitCount == 8)
            DecodeCopiedRows(source, rows, FileRowBytes(width, 8), size_t(width));
        else if (depth == 8)
            DecodeIndexedRows(source, rows, width, h.bitCount, IndexOut8{});
        else
            DecodeIndexedRows(source, rows, width, h.bitCount, IndexOut32{pal.get()});
    }
    else if (h.bitCount == 24)
    {
        Trace(2, "Decoding 24 bit per pixel bitmap.\n");
        Decode24(source, rows, width);
    }
    else
    {
        Trace(2, "Decoding 32 bit per pixel bitmap.\n");
        DecodeCopiedRows(source, rows, 4 * size_t(width), 4 * size_t(width));
    }
    Trace(3, "Decoding finished.\n");
}
