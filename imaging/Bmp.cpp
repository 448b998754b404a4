#include "Bmp.h"

#include "PicDecoder.h"
#include "TextException.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <limits>
#include <new>

#include <sys/mman.h>
#include <system_error>

namespace
{
std::atomic<size_t> g_maxPixelBytes{0}; // 0: not yet computed

size_t HalfPhysicalMemory()
{
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long pageSize = sysconf(_SC_PAGESIZE);
    if (pages <= 0 || pageSize <= 0)
        return size_t(1) << 31;
    return size_t(pages) / 2 * size_t(pageSize);
}

void PutLE16(uint8_t* p, uint32_t v)
{
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}

void PutLE32(uint8_t* p, uint32_t v)
{
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
    p[2] = uint8_t(v >> 16);
    p[3] = uint8_t(v >> 24);
}

void WriteOrThrow(std::FILE* file, const void* data, size_t n)
{
    if (n != 0 && std::fwrite(data, 1, n, file) != n)
        throw std::system_error(errno ? errno : EIO, std::generic_category(), "Writing bitmap");
}

// The pixel at x of a row of 8 bits (through the palette, or gray without
// one) or of 32 bits.
inline PaletteEntry PixelAt(const uint8_t* row, int x, int bpp, const PaletteEntry* pal)
{
    if (bpp == 8)
        return pal ? pal[row[x]] : PaletteEntry{row[x], row[x], row[x], 255};
    PaletteEntry c;
    std::memcpy(&c, row + 4 * size_t(x), 4);
    return c;
}
} // namespace

size_t CBmp::LineSizeFor(int width, int bpp)
{
    return ((size_t(width) * size_t(bpp) + 31) / 32) * 4;
}

void CBmp::AdviseLargePages(void* block, size_t bytes)
{
    constexpr uintptr_t kHuge = uintptr_t(2) << 20;
    const auto start = reinterpret_cast<uintptr_t>(block);
    const uintptr_t first = (start + kHuge - 1) & ~(kHuge - 1);
    const uintptr_t last = (start + bytes) & ~(kHuge - 1);
    if (bytes >= 2 * kHuge && last > first)
        madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
}

size_t CBmp::GetMaxPixelBytes()
{
    size_t limit = g_maxPixelBytes.load(std::memory_order_relaxed);
    if (limit == 0)
    {
        limit = HalfPhysicalMemory();
        g_maxPixelBytes.store(limit, std::memory_order_relaxed);
    }
    return limit;
}

void CBmp::SetMaxPixelBytes(size_t bytes)
{
    g_maxPixelBytes.store(bytes, std::memory_order_relaxed);
}

size_t CBmp::CheckSize(int width, int height, int bpp)
{
    if (width <= 0 || height <= 0)
        CPicDecoder::RaiseError(2,
                                CPicDecoder::Format("Illegal image size %d x %d.", width, height));
    if (bpp != 1 && bpp != 2 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32)
        CPicDecoder::RaiseError(2, CPicDecoder::Format("Illegal bitmap depth %d.", bpp));
    // width * bpp cannot overflow size_t (both below 2^31 and 2^6); each row
    // costs its pixels and its line-array pointer.
    const size_t rowBytes = LineSizeFor(width, bpp) + sizeof(uint8_t*);
    const size_t fixed = 40 + PaletteBytesFor(bpp);
    const size_t limit = GetMaxPixelBytes();
    if (rowBytes > (limit - std::min(limit, fixed)) / size_t(height))
        CPicDecoder::RaiseError(
            10, CPicDecoder::Format("Image too large to load: %d x %d pixels at %d bits.", width,
                                    height, bpp));
    return fixed + rowBytes * size_t(height);
}

size_t CBmp::GetStorageBytes() const
{
    return 40 + PaletteBytesFor(m_bpp) +
           (LineSizeFor(m_Width, m_bpp) + sizeof(uint8_t*)) * size_t(m_Height);
}

void CBmp::Create(int width, int height, int bpp, bool alpha)
{
    CheckSize(width, height, bpp);
    FreeStorage();
    try
    {
        AllocateStorage(width, height, bpp, alpha);
        return;
    }
    catch (const std::bad_alloc&)
    {
    }
    // Back to the valid 16 x 16 bitmap of a fresh object, then report.
    FreeStorage();
    AllocateStorage(16, 16, 8, false);
    CPicDecoder::RaiseError(
        10, CPicDecoder::Format("Out of memory for a %d x %d bitmap.", width, height));
}

void CBmp::InitLocals(int width, int height, int bpp, bool alpha)
{
    m_Width = width;
    m_Height = height;
    m_bpp = uint16_t(bpp);
    m_bAlphaChannel = alpha;
    BuildLineArray();
    if (bpp < 16)
        SetGrayPalette();
}

void CBmp::SetPalette(const PaletteEntry* pPal)
{
    if (m_pClrTab && pPal)
        std::memcpy(m_pClrTab, pPal, sizeof(PaletteEntry) * size_t(GetPaletteSize()));
}

void CBmp::SetGrayPalette()
{
    if (!m_pClrTab)
        return;
    const int n = GetPaletteSize();
    const int step = n > 1 ? 255 / (n - 1) : 255;
    for (int i = 0; i < n; i++)
    {
        const uint8_t v = uint8_t(i * step);
        m_pClrTab[i] = PaletteEntry{v, v, v, 255};
    }
}

void CBmp::ConvertFrom(const CBmp& src, int bpp)
{
    if (bpp == 0 || bpp == src.GetBitsPerPixel())
    {
        if (&src == this)
            return;
        Create(src.GetWidth(), src.GetHeight(), src.GetBitsPerPixel(), src.HasAlpha());
        const size_t lineSize = size_t(GetLineSize());
        for (int y = 0; y < m_Height; y++)
            std::memcpy(m_pLineArray[size_t(y)], src.GetLineArray()[y], lineSize);
        if (m_bpp <= 8)
            SetPalette(src.GetPaletteTable());
        return;
    }
    if (&src == this)
        return; // a depth change needs a second buffer; no caller converts in place

    const int srcBpp = src.GetBitsPerPixel();
    Create(src.GetWidth(), src.GetHeight(), bpp, src.HasAlpha() && bpp != 1);
    const PaletteEntry* srcPal = src.GetPaletteTable();
    uint8_t** srcLines = src.GetLineArray();
    const int w = m_Width;

    if (bpp == 32 && srcBpp == 8)
    {
        for (int y = 0; y < m_Height; y++)
        {
            const uint8_t* s = srcLines[y];
            auto* d = reinterpret_cast<PaletteEntry*>(m_pLineArray[size_t(y)]);
            for (int x = 0; x < w; x++)
                d[x] = srcPal ? srcPal[s[x]] : PaletteEntry{s[x], s[x], s[x], 255};
        }
    }
    else if (bpp == 32 && srcBpp == 1)
    {
        const PaletteEntry c0 = srcPal ? srcPal[0] : PaletteEntry{255, 255, 255, 255};
        const PaletteEntry c1 = srcPal ? srcPal[1] : PaletteEntry{0, 0, 0, 255};
        for (int y = 0; y < m_Height; y++)
        {
            const uint8_t* s = srcLines[y];
            auto* d = reinterpret_cast<PaletteEntry*>(m_pLineArray[size_t(y)]);
            for (int x = 0; x < w; x++)
                d[x] = (s[x >> 3] & (0x80 >> (x & 7))) ? c1 : c0;
        }
    }
    else if (bpp == 8 && srcBpp == 1)
    {
        PaletteEntry pal[2] = {{255, 255, 255, 255}, {0, 0, 0, 255}};
        if (srcPal)
        {
            pal[0] = srcPal[0];
            pal[1] = srcPal[1];
            pal[0].a = pal[1].a = 255;
        }
        m_pClrTab[0] = pal[0];
        m_pClrTab[1] = pal[1];
        for (int y = 0; y < m_Height; y++)
        {
            const uint8_t* s = srcLines[y];
            uint8_t* d = m_pLineArray[size_t(y)];
            for (int x = 0; x < w; x++)
                d[x] = (s[x >> 3] >> (7 - (x & 7))) & 1;
        }
    }
    else if (bpp == 1 && (srcBpp == 8 || srcBpp == 32))
    {
        m_pClrTab[0] = PaletteEntry{255, 255, 255, 255};
        m_pClrTab[1] = PaletteEntry{0, 0, 0, 255};
        const size_t lineSize = size_t(GetLineSize());
        for (int y = 0; y < m_Height; y++)
        {
            const uint8_t* s = srcLines[y];
            uint8_t* d = m_pLineArray[size_t(y)];
            std::memset(d, 0, lineSize);
            for (int x = 0; x < w; x++)
            {
                const PaletteEntry c = PixelAt(s, x, srcBpp, srcPal);
                if (c.b < 128 && c.g < 128 && c.r < 128)
                    d[x >> 3] |= uint8_t(0x80 >> (x & 7));
            }
        }
    }
    // Other combinations (32 -> 8 colour reduction among them) leave the
    // created bitmap with its default contents.
}

void CBmp::SetAlphaFromBitmap(const CBmp& alphaBmp)
{
    if (m_bpp != 32 || alphaBmp.GetBitsPerPixel() != 8 || alphaBmp.GetWidth() != m_Width ||
        alphaBmp.GetHeight() != m_Height)
        return;
    for (int y = 0; y < m_Height; y++)
    {
        const uint8_t* s = alphaBmp.GetLineArray()[y];
        uint8_t* d = m_pLineArray[size_t(y)];
        for (int x = 0; x < m_Width; x++)
            d[4 * size_t(x) + 3] = s[x];
    }
    m_bAlphaChannel = true;
}

void CBmp::BlendFrom(const CBmp& src, int x, int y)
{
    const int srcBpp = src.GetBitsPerPixel();
    if (m_bpp != 32 || (srcBpp != 8 && srcBpp != 32))
        return;
    const int y0 = std::max(0, -y);
    const int y1 = std::min(src.GetHeight(), m_Height - y);
    const int x0 = std::max(0, -x);
    const int x1 = std::min(src.GetWidth(), m_Width - x);
    const PaletteEntry* srcPal = src.GetPaletteTable();
    for (int sy = y0; sy < y1; sy++)
    {
        const uint8_t* s = src.GetLineArray()[sy];
        auto* d = reinterpret_cast<PaletteEntry*>(m_pLineArray[size_t(sy + y)]) + x;
        for (int sx = x0; sx < x1; sx++)
        {
            const PaletteEntry c = PixelAt(s, sx, srcBpp, srcPal);
            PaletteEntry& t = d[sx];
            if (src.HasAlpha())
            {
                const unsigned a = c.a;
                t.b = uint8_t((a * c.b + (255 - a) * t.b) >> 8);
                t.g = uint8_t((a * c.g + (255 - a) * t.g) >> 8);
                t.r = uint8_t((a * c.r + (255 - a) * t.r) >> 8);
            }
            else
            {
                t = c;
            }
        }
    }
}

void CBmp::ReduceFrom(const CBmp& src, int width, int height)
{
    const int sw = src.GetWidth(), sh = src.GetHeight(), bpp = src.GetBitsPerPixel();
    if (&src == this || (bpp != 1 && bpp != 8 && bpp != 32))
        return;
    width = std::clamp(width, 1, sw);
    height = std::clamp(height, 1, sh);
    const bool alpha = src.HasAlpha() && bpp == 32;
    Create(width, height, 32, alpha);
    // Source column x adds to target column column[x]; sums of blue, green,
    // red (each multiplied by alpha when there is alpha) and alpha.
    std::vector<int> column(static_cast<size_t>(sw));
    std::vector<int> count(size_t(width), 0);
    for (int x = 0; x < sw; x++)
    {
        column[size_t(x)] = int(int64_t(x) * width / sw);
        count[size_t(column[size_t(x)])]++;
    }
    std::vector<uint64_t> sum(4 * size_t(width));
    const PaletteEntry* pal = src.GetPaletteTable();
    int sy = 0;
    for (int ty = 0; ty < height; ty++)
    {
        std::fill(sum.begin(), sum.end(), 0);
        const int end = int(int64_t(ty + 1) * sh / height);
        const int rows = end - sy;
        for (; sy < end; sy++)
        {
            const uint8_t* s = src.GetLineArray()[sy];
            for (int x = 0; x < sw; x++)
            {
                const PaletteEntry c = bpp == 1 ? pal[(s[x >> 3] >> (7 - (x & 7))) & 1]
                                                : PixelAt(s, x, bpp, pal);
                const unsigned a = alpha ? c.a : 1;
                uint64_t* t = &sum[4 * size_t(column[size_t(x)])];
                t[0] += c.b * a;
                t[1] += c.g * a;
                t[2] += c.r * a;
                t[3] += c.a;
            }
        }
        auto* d = reinterpret_cast<PaletteEntry*>(m_pLineArray[size_t(ty)]);
        for (int tx = 0; tx < width; tx++)
        {
            const uint64_t* t = &sum[4 * size_t(tx)];
            const uint64_t n = uint64_t(count[size_t(tx)]) * uint64_t(rows);
            const uint64_t weight = alpha ? t[3] : n;
            if (weight == 0)
            {
                d[tx] = PaletteEntry{0, 0, 0, 0};
                continue;
            }
            d[tx] = PaletteEntry{uint8_t((t[0] + weight / 2) / weight),
                                 uint8_t((t[1] + weight / 2) / weight),
                                 uint8_t((t[2] + weight / 2) / weight),
                                 alpha ? uint8_t((t[3] + n / 2) / n) : uint8_t(255)};
        }
    }
}

void CBmp::SaveAsBmp(const std::string& path) const
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        throw std::system_error(errno, std::generic_category(), "Creating " + path);
    try
    {
        SaveAsBmp(file);
    }
    catch (...)
    {
        std::fclose(file);
        throw;
    }
    if (std::fclose(file) != 0)
        throw std::system_error(errno, std::generic_category(), "Writing " + path);
}

void CBmp::SaveAsBmp(std::FILE* file) const
{
    const bool palette = m_bpp <= 8;
    const size_t paletteBytes = palette ? 4 * size_t(GetPaletteSize()) : 0;
    const int savedBpp = palette ? m_bpp : 24;
    const size_t rowBytes = palette ? size_t(GetLineSize()) : LineSizeFor(m_Width, 24);
    const size_t fileSize = 54 + paletteBytes + rowBytes * size_t(m_Height);

    uint8_t head[54] = {};
    head[0] = 'B';
    head[1] = 'M';
    PutLE32(head + 2, uint32_t(fileSize));
    PutLE32(head + 10, uint32_t(54 + paletteBytes));
    PutLE32(head + 14, 40);
    PutLE32(head + 18, uint32_t(m_Width));
    PutLE32(head + 22, uint32_t(m_Height));
    PutLE16(head + 26, 1);
    PutLE16(head + 28, uint32_t(savedBpp));
    WriteOrThrow(file, head, sizeof head);

    if (palette)
    {
        WriteOrThrow(file, m_pClrTab, paletteBytes);
        // Rows exactly as stored: bottom-up, 4-byte aligned, one block.
        WriteOrThrow(file, m_pBits, rowBytes * size_t(m_Height));
        return;
    }

    // 32 -> 24 bits: blue, green, red of each pixel, bottom row first; the
    // padding is a 0x20 byte followed by zeros.
    std::vector<uint8_t> row(rowBytes, 0);
    const size_t pad = rowBytes - 3 * size_t(m_Width);
    if (pad)
        row[3 * size_t(m_Width)] = 0x20;
    for (int y = m_Height - 1; y >= 0; y--)
    {
        const uint8_t* s = m_pLineArray[size_t(y)];
        uint8_t* d = row.data();
        for (int x = 0; x < m_Width; x++, s += 4, d += 3)
        {
            d[0] = s[0];
            d[1] = s[1];
            d[2] = s[2];
        }
        WriteOrThrow(file, row.data(), rowBytes);
    }
}
