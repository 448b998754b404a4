#include "BmpPyramid.h"

#include "Bmp.h"

#include <algorithm>
#include <array>

namespace
{
uint32_t Premultiplied(const PaletteEntry& c, bool alpha)
{
    if (!alpha || c.a == 255)
        return uint32_t(c.b) | uint32_t(c.g) << 8 | uint32_t(c.r) << 16 | 0xFF000000u;
    auto mul = [a = unsigned(c.a)](unsigned v) { return (v * a + 127) / 255; };
    return mul(c.b) | mul(c.g) << 8 | mul(c.r) << 16 | uint32_t(c.a) << 24;
}

int SideAt(int side, int shift)
{
    return int((int64_t(side) + (int64_t(1) << shift) - 1) >> shift);
}

/// Sums of the four bytes of premultiplied pixels, per target column.
struct Sums
{
    std::vector<uint32_t> v;
    explicit Sums(int width) : v(4 * size_t(width)) {}
    void Clear() { std::fill(v.begin(), v.end(), 0u); }
    void Add(int x, uint32_t p)
    {
        uint32_t* t = &v[4 * size_t(x)];
        t[0] += p & 0xFF;
        t[1] += p >> 8 & 0xFF;
        t[2] += p >> 16 & 0xFF;
        t[3] += p >> 24;
    }
    uint32_t Average(int x, uint32_t n) const
    {
        const uint32_t* t = &v[4 * size_t(x)];
        auto avg = [n](uint32_t s) { return (s + n / 2) / n; };
        return avg(t[0]) | avg(t[1]) << 8 | avg(t[2]) << 16 | avg(t[3]) << 24;
    }
};
} // namespace

void CBmpPyramid::Clear()
{
    m_levels.clear();
    m_nWidth = m_nHeight = 0;
    m_bOpaque = true;
}

void CBmpPyramid::Build(const CBmp& src)
{
    Clear();
    const int bpp = src.GetBitsPerPixel();
    m_nWidth = src.GetWidth();
    m_nHeight = src.GetHeight();
    if ((bpp != 1 && bpp != 8 && bpp != 32) || m_nWidth <= 0 || m_nHeight <= 0 ||
        (bpp < 16 && !src.GetPaletteTable()))
        return;
    if (src.HasAlpha())
    {
        m_bOpaque = true;
        if (bpp == 32)
            for (int y = 0; y < m_nHeight && m_bOpaque; y++)
            {
                const auto* row = reinterpret_cast<const PaletteEntry*>(src.GetLineArray()[y]);
                m_bOpaque = std::all_of(row, row + m_nWidth, [](PaletteEntry c) { return c.a == 255; });
            }
        else
            m_bOpaque = std::all_of(src.GetPaletteTable(), src.GetPaletteTable() + src.GetPaletteSize(),
                                    [](PaletteEntry c) { return c.a == 255; });
    }

    // Levels down to 1/32, or to one pixel.
    int count = 0;
    while (count < kMaxLevel && (SideAt(m_nWidth, count) > 1 || SideAt(m_nHeight, count) > 1))
        count++;
    // The first level kept: the largest whose levels fit the budget together.
    const double budget = kBudget * double(src.GetStorageBytes());
    int first = count + 1;
    double bytes = 0;
    for (int k = count; k >= 1; k--)
    {
        bytes += 4.0 * SideAt(m_nWidth, k) * SideAt(m_nHeight, k);
        if (bytes > budget)
            break;
        first = k;
    }
    m_levels.resize(size_t(count));
    if (first > count)
        return;
    ReduceSource(src, first, m_levels[size_t(first - 1)]);
    for (int k = first + 1; k <= count; k++)
        Halve(m_levels[size_t(k - 2)], m_levels[size_t(k - 1)]);
}

void CBmpPyramid::ReduceSource(const CBmp& src, int shift, Level& out)
{
    const int bpp = src.GetBitsPerPixel();
    const bool alpha = src.HasAlpha();
    out.width = SideAt(m_nWidth, shift);
    out.height = SideAt(m_nHeight, shift);
    out.pixels.resize(size_t(out.width) * size_t(out.height)); // every pixel is written below
    std::array<uint32_t, 256> table{};
    if (bpp < 16)
        for (int i = 0; i < src.GetPaletteSize(); i++)
            table[size_t(i)] = Premultiplied(src.GetPaletteTable()[i], alpha);

    Sums sums(out.width);
    const int box = 1 << shift;
    for (int ty = 0; ty < out.height; ty++)
    {
        sums.Clear();
        const int y0 = ty << shift, y1 = std::min(m_nHeight, y0 + box);
        for (int y = y0; y < y1; y++)
        {
            const uint8_t* row = src.GetLineArray()[y];
            if (bpp == 32)
            {
                const auto* p = reinterpret_cast<const PaletteEntry*>(row);
                for (int x = 0; x < m_nWidth; x++)
                    sums.Add(x >> shift, Premultiplied(p[x], alpha));
            }
            else if (bpp == 8)
                for (int x = 0; x < m_nWidth; x++)
                    sums.Add(x >> shift, table[row[x]]);
            else
                for (int x = 0; x < m_nWidth; x++)
                    sums.Add(x >> shift, table[(row[x >> 3] >> (7 - (x & 7))) & 1]);
        }
        uint32_t* d = out.pixels.data() + size_t(ty) * size_t(out.width);
        const uint32_t rows = uint32_t(y1 - y0);
        for (int tx = 0; tx < out.width; tx++)
        {
            const int x0 = tx << shift;
            d[tx] = sums.Average(tx, rows * uint32_t(std::min(box, m_nWidth - x0)));
        }
    }
}

void CBmpPyramid::Halve(const Level& in, Level& out)
{
    out.width = (in.width + 1) / 2;
    out.height = (in.height + 1) / 2;
    out.pixels.resize(size_t(out.width) * size_t(out.height));
    for (int ty = 0; ty < out.height; ty++)
    {
        const uint32_t* a = in.Row(2 * ty);
        const uint32_t* b = 2 * ty + 1 < in.height ? in.Row(2 * ty + 1) : nullptr;
        uint32_t* d = out.pixels.data() + size_t(ty) * size_t(out.width);
        for (int tx = 0; tx < out.width; tx++)
        {
            const int x = 2 * tx;
            const bool right = x + 1 < in.width;
            // Each byte summed on its own: 4 values of at most 255 fit 10 bits.
            uint32_t s[4] = {};
            uint32_t n = 0;
            auto add = [&s, &n](uint32_t p)
            {
                s[0] += p & 0xFF;
                s[1] += p >> 8 & 0xFF;
                s[2] += p >> 16 & 0xFF;
                s[3] += p >> 24;
                n++;
            };
            add(a[x]);
            if (right)
                add(a[x + 1]);
            if (b)
            {
                add(b[x]);
                if (right)
                    add(b[x + 1]);
            }
            auto avg = [n](uint32_t v) { return (v + n / 2) / n; };
            d[tx] = avg(s[0]) | avg(s[1]) << 8 | avg(s[2]) << 16 | avg(s[3]) << 24;
        }
    }
}

const CBmpPyramid::Level* CBmpPyramid::GetLevel(int k) const
{
    if (k < 1 || k > int(m_levels.size()) || m_levels[size_t(k - 1)].pixels.empty())
        return nullptr;
    return &m_levels[size_t(k - 1)];
}

int CBmpPyramid::ChooseLevel(double zoom) const
{
    int best = 0;
    for (int k = 1; k <= int(m_levels.size()); k++)
    {
        const Level* level = GetLevel(k);
        if (!level)
            continue;
        // Level k is no smaller than the picture at zoom on either side.
        if (level->width < zoom * m_nWidth || level->height < zoom * m_nHeight)
            break;
        best = k;
    }
    return best;
}

size_t CBmpPyramid::GetMemoryUse() const
{
    size_t n = 0;
    for (const Level& level : m_levels)
        n += level.pixels.size() * sizeof(uint32_t);
    return n;
}
