#include "PngImageData.h"

#include "Bmp.h"
#include "DataSource.h"
#include "OrientedRows.h"

#include <libdeflate.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

namespace
{
struct Chunk
{
    const uint8_t* type;
    const uint8_t* data;
    uint32_t length;
};

/// Walks the chunks after the signature; stops at the end of the data or at
/// the first chunk the data does not hold whole.
class ChunkWalk
{
public:
    ChunkWalk(const uint8_t* png, size_t size) : m_pData(png), m_nSize(size), m_nPos(8) {}

    bool Next(Chunk& c)
    {
        if (m_nPos > m_nSize || m_nSize - m_nPos < 12)
            return false;
        const uint32_t length = CDataSource::BE32At(m_pData + m_nPos);
        if (length > m_nSize - m_nPos - 12)
            return false;
        c = Chunk{m_pData + m_nPos + 4, m_pData + m_nPos + 8, length};
        m_nPos += 12 + size_t(length);
        return true;
    }

private:
    const uint8_t* m_pData;
    size_t m_nSize;
    size_t m_nPos;
};

bool CrcMatches(const Chunk& c)
{
    return libdeflate_crc32(0, c.type, size_t(c.length) + 4) == CDataSource::BE32At(c.data + c.length);
}

bool IsType(const Chunk& c, const char* type)
{
    return std::memcmp(c.type, type, 4) == 0;
}

struct FreeDecompressor
{
    void operator()(libdeflate_decompressor* d) const { libdeflate_free_decompressor(d); }
};

/// Buffers the fast path takes beyond the bitmap, refused (not raised) when
/// the budget can't hold them.
std::unique_ptr<uint8_t[]> Buffer(size_t& used, size_t n)
{
    const size_t limit = CBmp::GetMaxPixelBytes();
    if (used > limit || n > limit - used)
        return nullptr;
    used += n;
    std::unique_ptr<uint8_t[]> buffer(new (std::nothrow) uint8_t[n]);
    if (buffer)
        CBmp::AdviseLargePages(buffer.get(), n);
    return buffer;
}

template <int Bpp>
void Unfilter(int filter, uint8_t* row, const uint8_t* prior, size_t n)
{
    switch (filter)
    {
    case 1:
        for (size_t i = Bpp; i < n; i++)
            row[i] = uint8_t(row[i] + row[i - Bpp]);
        break;
    case 2:
        for (size_t i = 0; i < n; i++)
            row[i] = uint8_t(row[i] + prior[i]);
        break;
    case 3:
        for (size_t i = 0; i < Bpp && i < n; i++)
            row[i] = uint8_t(row[i] + (prior[i] >> 1));
        for (size_t i = Bpp; i < n; i++)
            row[i] = uint8_t(row[i] + ((row[i - Bpp] + prior[i]) >> 1));
        break;
    case 4:
        for (size_t i = 0; i < Bpp && i < n; i++)
            row[i] = uint8_t(row[i] + prior[i]);
        for (size_t i = Bpp; i < n; i++)
        {
            const int a = row[i - Bpp], b = prior[i], c = prior[i - Bpp];
            const int pa = std::abs(b - c), pb = std::abs(a - c), pc = std::abs(a + b - 2 * c);
            const int pred = (pa <= pb && pa <= pc) ? a : (pb <= pc ? b : c);
            row[i] = uint8_t(row[i] + pred);
        }
        break;
    default:
        break;
    }
}

void UnfilterRow(int bpp, int filter, uint8_t* row, const uint8_t* prior, size_t n)
{
    switch (bpp)
    {
    case 1: Unfilter<1>(filter, row, prior, n); break;
    case 2: Unfilter<2>(filter, row, prior, n); break;
    case 3: Unfilter<3>(filter, row, prior, n); break;
    case 4: Unfilter<4>(filter, row, prior, n); break;
    case 6: Unfilter<6>(filter, row, prior, n); break;
    default: Unfilter<8>(filter, row, prior, n); break;
    }
}

/// Samples of 1, 2 or 4 bits, one a byte; scaled to 0..255 for gray.
void Unpack(const uint8_t* src, uint8_t* out, uint32_t width, int bits, bool scale)
{
    const unsigned mask = (1u << bits) - 1, factor = scale ? 255 / mask : 1;
    const int perByte = 8 / bits;
    uint32_t x = 0;
    for (; x + uint32_t(perByte) <= width; x += uint32_t(perByte), src++)
        for (int k = 0; k < perByte; k++)
            out[x + uint32_t(k)] = uint8_t(((*src >> (8 - bits * (k + 1))) & mask) * factor);
    for (int k = 0; x < width; x++, k++)
        out[x] = uint8_t(((*src >> (8 - bits * (k + 1))) & mask) * factor);
}

/// RGB or RGBA samples of Step bytes (the high byte first) into pixels; a
/// loop of its own for each layout, so that the compiler can widen it.
template <int Step, bool Alpha>
void ExpandColour(const uint8_t* src, PaletteEntry* out, uint32_t width)
{
    constexpr int kPixel = Step * (Alpha ? 4 : 3);
    for (uint32_t x = 0; x < width; x++, src += kPixel)
        out[x] =
            PaletteEntry{src[2 * Step], src[Step], src[0], Alpha ? src[3 * Step] : uint8_t(255)};
}

/// One unfiltered row into the bitmap's pixel layout.
void Expand(const CPngImageData::Format& f, const uint8_t* src, uint8_t* line, uint8_t* scratch)
{
    const uint32_t w = f.width;
    const int step = f.bitDepth == 16 ? 2 : 1; // the high byte of a 16-bit sample
    auto* out = reinterpret_cast<PaletteEntry*>(line);
    if (f.depth == 8)
    {
        if (f.bitDepth == 8)
            std::memcpy(line, src, w);
        else if (f.bitDepth == 16)
            for (uint32_t x = 0; x < w; x++)
                line[x] = src[2 * x];
        else
            Unpack(src, line, w, f.bitDepth, false);
        return;
    }
    switch (f.colorType)
    {
    case 0: // gray
    {
        const uint8_t* g = src;
        if (f.bitDepth < 8)
        {
            Unpack(src, scratch, w, f.bitDepth, true);
            g = scratch;
        }
        for (uint32_t x = 0; x < w; x++)
        {
            const uint8_t v = g[x * uint32_t(f.bitDepth < 8 ? 1 : step)];
            out[x] = PaletteEntry{v, v, v, 255};
        }
        break;
    }
    case 2: // RGB
        if (step == 1)
            ExpandColour<1, false>(src, out, w);
        else
            ExpandColour<2, false>(src, out, w);
        break;
    case 3: // palette
    {
        const uint8_t* idx = src;
        if (f.bitDepth < 8)
        {
            Unpack(src, scratch, w, f.bitDepth, false);
            idx = scratch;
        }
        for (uint32_t x = 0; x < w; x++)
            out[x] = f.palette[idx[x]];
        break;
    }
    case 4: // gray and alpha
        for (uint32_t x = 0; x < w; x++, src += 2 * step)
            out[x] = PaletteEntry{src[0], src[0], src[0], src[step]};
        break;
    default: // RGB and alpha
        if (step == 1)
            ExpandColour<1, true>(src, out, w);
        else
            ExpandColour<2, true>(src, out, w);
        break;
    }
}
} // namespace

int CPngImageData::ExifOrientation(const uint8_t* png, size_t size)
{
    ChunkWalk walk(png, size);
    for (Chunk c; walk.Next(c) && !IsType(c, "IEND");)
        if (IsType(c, "eXIf"))
            return COrientedRows::FromExif(c.data, c.length);
    return 1;
}

bool CPngImageData::Decode(const uint8_t* png, size_t size, const Format& f, const CBmp& bmp,
                           COrientedRows& rows)
{
    static const int kChannels[7] = {1, 0, 3, 1, 2, 0, 4};
    if (f.colorType < 0 || f.colorType > 6 || kChannels[f.colorType] == 0 || f.width == 0)
        return false;
    const int channels = kChannels[f.colorType];
    const size_t rowBytes = (size_t(f.width) * size_t(channels) * size_t(f.bitDepth) + 7) / 8;
    const int bpp = std::max(1, channels * f.bitDepth / 8);

    // The IDAT chunks, one run of them with matching CRCs, then nothing
    // critical but IEND, whole and in place.
    std::vector<Chunk> idat;
    int state = 0; // 0 before the IDAT run, 1 in it, 2 after it
    bool ended = false;
    ChunkWalk walk(png, size);
    for (Chunk c; walk.Next(c);)
    {
        if (IsType(c, "IDAT"))
        {
            if (state == 2 || !CrcMatches(c))
                return false;
            state = 1;
            idat.push_back(c);
            continue;
        }
        if (state == 1)
            state = 2;
        if (IsType(c, "IEND"))
        {
            ended = state == 2 && c.length == 0 && CrcMatches(c);
            break;
        }
        if (state == 2 && (c.type[0] & 0x20) == 0)
            return false; // critical
    }
    if (!ended)
        return false;

    size_t used = bmp.GetStorageBytes();
    size_t compressed = 0;
    for (const Chunk& c : idat)
        compressed += c.length;
    std::unique_ptr<uint8_t[]> joined;
    const uint8_t* stream = idat[0].data;
    if (idat.size() > 1)
    {
        joined = Buffer(used, compressed);
        if (!joined)
            return false;
        size_t at = 0;
        for (const Chunk& c : idat)
        {
            std::memcpy(joined.get() + at, c.data, c.length);
            at += c.length;
        }
        stream = joined.get();
    }
    // libpng inflates with the window the zlib header declares; libdeflate
    // reaches back through all its output. Only the full window agrees.
    if (compressed < 2 || (stream[0] & 0xF0) != 0x70)
        return false;

    if (rowBytes + 1 > SIZE_MAX / f.height)
        return false;
    const size_t filteredBytes = (rowBytes + 1) * f.height;
    const auto filtered = Buffer(used, filteredBytes);
    const auto scratch = Buffer(used, 8 * size_t(f.width) + rowBytes);
    if (!filtered || !scratch)
        return false;
    std::unique_ptr<libdeflate_decompressor, FreeDecompressor> inflater(
        libdeflate_alloc_decompressor());
    if (!inflater)
        return false;
    size_t in = 0, out = 0;
    if (libdeflate_zlib_decompress_ex(inflater.get(), stream, compressed, filtered.get(),
                                      filteredBytes, &in, &out) != LIBDEFLATE_SUCCESS ||
        in != compressed || out != filteredBytes)
        return false;

    // The row above the first is zero; each row is unfiltered in place.
    uint8_t* zero = scratch.get() + 8 * size_t(f.width);
    std::memset(zero, 0, rowBytes);
    const uint8_t* prior = zero;
    for (uint32_t y = 0; y < f.height; y++)
    {
        uint8_t* row = filtered.get() + size_t(y) * (rowBytes + 1);
        const int filter = row[0];
        if (filter > 4)
            return false;
        UnfilterRow(bpp, filter, row + 1, prior, rowBytes);
        prior = row + 1;
        uint8_t* direct = rows.DirectLine(int(y));
        Expand(f, row + 1, direct ? direct : scratch.get() + 4 * size_t(f.width), scratch.get());
        if (!direct)
            rows.Put(int(y), 0, int(f.width), scratch.get() + 4 * size_t(f.width));
    }
    return true;
}
