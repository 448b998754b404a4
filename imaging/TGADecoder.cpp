#include "TGADecoder.h"

#include "Bmp.h"
#include "DataSource.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace
{
struct TgaHeader
{
    uint8_t idLength;
    uint8_t mapType;
    uint8_t imageType;
    uint16_t mapFirst;
    uint16_t mapLength;
    uint8_t mapEntryBits;
    uint16_t xOrigin;
    uint16_t yOrigin;
    uint16_t width;
    uint16_t height;
    uint8_t pixelBits;
    uint8_t descriptor;
};

constexpr uint8_t kRightToLeft = 0x10;
constexpr uint8_t kTopToBottom = 0x20;
constexpr uint8_t kAlphaBits = 0x0F;
// Value layouts beyond the stored bit counts: 16-bit gray pixels hold a gray
// level, then an alpha byte; without alpha bits in the descriptor, 16-bit
// gray and 32-bit pixels are opaque (16-bit colour then reads as 15-bit).
constexpr int kGrayAlpha16 = -16;
constexpr int kGrayOpaque16 = -17;
constexpr int kOpaque32 = -32;

/// Bytes of one stored value of 8, 15, 16, 24 or 32 bits.
int ValueBytes(int bits)
{
    return (bits + 7) / 8;
}

bool IsValueSize(int bits)
{
    return bits == 8 || bits == 15 || bits == 16 || bits == 24 || bits == 32;
}

TgaHeader ReadHeader(CDataSource& source)
{
    const uint8_t* p = source.ReadBytes(18);
    auto le16 = [p](int i) { return uint16_t(p[i] | p[i + 1] << 8); };
    return TgaHeader{p[0],    p[1],     p[2],     le16(3),  le16(5), p[7],
                     le16(8), le16(10), le16(12), le16(14), p[16],   p[17]};
}

/// Converts n stored values of `bits` bits to 32-bit pixels; 8-bit values
/// are looked up in the table.
void ConvertValues(const uint8_t* src, PaletteEntry* dst, int n, int bits,
                   const PaletteEntry* table)
{
    switch (bits)
    {
    case kGrayAlpha16:
    case kGrayOpaque16:
        for (int i = 0; i < n; i++)
            dst[i] = PaletteEntry{src[2 * i], src[2 * i], src[2 * i],
                                  bits == kGrayAlpha16 ? src[2 * i + 1] : uint8_t(255)};
        break;
    case kOpaque32:
        for (int i = 0; i < n; i++)
            dst[i] = PaletteEntry{src[4 * i], src[4 * i + 1], src[4 * i + 2], 255};
        break;
    case 8:
        for (int i = 0; i < n; i++)
            dst[i] = table[src[i]];
        break;
    case 15:
    case 16:
    {
        // 5 bits per channel widened by repeating their top bits, so that 31
        // is 255; bit 15 is the attribute (alpha) bit.
        const bool attribute = bits == 16;
        auto widen = [](unsigned c) { return uint8_t(c << 3 | c >> 2); };
        for (int i = 0; i < n; i++)
        {
            const unsigned v = unsigned(src[2 * i] | src[2 * i + 1] << 8);
            const uint8_t a = attribute ? ((v & 0x8000) ? 0x80 : 0) : 255;
            dst[i] = PaletteEntry{widen(v & 31), widen((v >> 5) & 31), widen((v >> 10) & 31), a};
        }
        break;
    }
    case 24:
        for (int i = 0; i < n; i++)
            dst[i] = PaletteEntry{src[3 * i], src[3 * i + 1], src[3 * i + 2], 255};
        break;
    default:
        std::memcpy(dst, src, 4 * size_t(n));
        break;
    }
}

/// Writes pixels of one row, 8-bit values as bytes into an 8-bit line or
/// converted into a 32-bit line.
struct RowWriter
{
    int bits;
    int bytes;
    bool trueColour;
    const PaletteEntry* table;

    void Literal(uint8_t* line, int x, const uint8_t* src, int n) const
    {
        if (trueColour)
            ConvertValues(src, reinterpret_cast<PaletteEntry*>(line) + x, n, bits, table);
        else
            std::memcpy(line + x, src, size_t(n));
    }
    void Run(uint8_t* line, int x, const uint8_t* value, int n) const
    {
        if (trueColour)
        {
            PaletteEntry px;
            ConvertValues(value, &px, 1, bits, table);
            std::fill_n(reinterpret_cast<PaletteEntry*>(line) + x, n, px);
        }
        else
            std::memset(line + x, *value, size_t(n));
    }
};

/// Run-length packets. A packet that does not end with its row continues on
/// the next one, so the state survives between rows.
struct RlePacketState
{
    int left = 0; // pixels still to come from the current packet
    bool run = false;
    const uint8_t* value = nullptr; // the repeated value of a run packet

    void DecodeRow(CDataSource& source, const RowWriter& out, uint8_t* line, int width)
    {
        int x = 0;
        while (x < width)
        {
            if (left == 0)
            {
                const uint8_t h = source.ReadByte();
                run = h >= 128;
                left = run ? h - 127 : h + 1;
                if (run)
                    value = source.ReadBytes(size_t(out.bytes));
            }
            const int n = std::min(left, width - x);
            if (run)
                out.Run(line, x, value, n);
            else
                out.Literal(line, x, source.ReadBytes(size_t(n) * size_t(out.bytes)), n);
            x += n;
            left -= n;
        }
    }
};

void MirrorRow(uint8_t* line, int width, bool trueColour)
{
    if (trueColour)
    {
        auto* p = reinterpret_cast<PaletteEntry*>(line);
        std::reverse(p, p + width);
    }
    else
        std::reverse(line, line + width);
}
} // namespace

void CTGADecoder::DecodeImage(CBmp& bmp, std::unique_ptr<PaletteEntry[]>& pal, int& depth,
                              CDataSource& source)
{
    Trace(2, "Decoding TGA.\n");
    const TgaHeader h = ReadHeader(source);
    source.Skip(h.idLength);
    // Detection admits only these sizes; a direct caller may pass anything.
    if (!IsValueSize(h.pixelBits) ||
        (h.mapType != 0 && h.mapEntryBits != 0 && !IsValueSize(h.mapEntryBits)))
        RaiseError(2, "Unknown TGA pixel size.");

    ChooseDepth(h.pixelBits, depth);
    if (depth != 8 || h.pixelBits > 8)
        depth = 32;
    const bool gray = h.imageType == 3 || h.imageType == 11;
    const bool rle = h.imageType >= 9 && h.imageType <= 11;
    // 16 and 32-bit pixels carry alpha only when the descriptor counts alpha bits.
    const bool alpha = (h.pixelBits == 16 || h.pixelBits == 32) && (h.descriptor & kAlphaBits) != 0;
    int valueBits = h.pixelBits;
    if (h.pixelBits == 16)
        valueBits = gray ? (alpha ? kGrayAlpha16 : kGrayOpaque16) : (alpha ? 16 : 15);
    else if (h.pixelBits == 32 && !alpha)
        valueBits = kOpaque32;

    // Refuse what the budget can't hold, then what the data can't: rows are
    // stored in full, and a packet of at least one value codes 128 pixels at most.
    CBmp::CheckSize(h.width, h.height, depth);
    const size_t pixels = size_t(h.width) * size_t(h.height);
    const size_t valueBytes = size_t(ValueBytes(h.pixelBits));
    const size_t mapBytes =
        h.mapType != 0 ? size_t(h.mapLength) * size_t(ValueBytes(h.mapEntryBits)) : 0;
    const size_t dataBytes = source.GetRemaining() - std::min(source.GetRemaining(), mapBytes);
    const bool knownType = (h.imageType >= 1 && h.imageType <= 3) || rle;
    if (knownType &&
        (rle ? pixels / 128 > dataBytes / (1 + valueBytes) : pixels > dataBytes / valueBytes))
        CDataSource::ThrowEndOfFile();
    bmp.Create(h.width, h.height, depth, alpha);

    pal.reset(new (std::nothrow) PaletteEntry[256]);
    if (!pal)
        RaiseError(10, "Out of memory for palette.");
    // Without a colour map 8-bit values are gray levels, as in the bitmap's
    // default palette.
    for (int i = 0; i < 256; i++)
        pal[i] = PaletteEntry{uint8_t(i), uint8_t(i), uint8_t(i), 255};
    if (h.mapType != 0)
    {
        // Entries past index 255 are read to get past them but can't be held
        // by the table. Gray images keep the ramp whatever their map says.
        const uint8_t* map =
            source.ReadBytes(size_t(h.mapLength) * size_t(ValueBytes(h.mapEntryBits)));
        const int kept = std::clamp(256 - int(h.mapFirst), 0, int(h.mapLength));
        PaletteEntry* first = pal.get() + std::min<int>(h.mapFirst, 256);
        if (!gray && h.mapEntryBits == 8)
        {
            for (int i = 0; i < kept; i++)
                first[i] = PaletteEntry{map[i], map[i], map[i], 255};
        }
        else if (!gray && h.mapEntryBits != 0)
            ConvertValues(map, first, kept, h.mapEntryBits, nullptr);
    }
    if (depth == 8)
        bmp.SetPalette(pal.get());

    if (!knownType)
        RaiseError(2, "Unknown TGA image type.");

    const int width = h.width;
    const int height = h.height;
    const bool topDown = (h.descriptor & kTopToBottom) != 0;
    const bool mirrored = (h.descriptor & kRightToLeft) != 0;
    const RowWriter out{valueBits, ValueBytes(h.pixelBits), depth == 32, pal.get()};
    uint8_t** lines = bmp.GetLineArray();
    RlePacketState packets;
    for (int r = 0; r < height; r++)
    {
        uint8_t* line = lines[topDown ? r : height - 1 - r];
        if (rle)
            packets.DecodeRow(source, out, line, width);
        else
            out.Literal(line, 0, source.ReadBytes(size_t(width) * size_t(out.bytes)), width);
        if (mirrored)
            MirrorRow(line, width, out.trueColour);
    }
    DropEmptyAlpha(bmp);
}
