#include "OrientedRows.h"

#include "Bmp.h"

#include <algorithm>
#include <cstring>

COrientedRows::COrientedRows(CBmp& bmp, int width, int height, int orientation)
    : m_pLines(bmp.GetLineArray()), m_nBpp(bmp.GetBitsPerPixel()), m_nWidth(width),
      m_nHeight(height), m_nOrientation(Normalised(orientation))
{
}

void COrientedRows::Turn(const CBmp& src, CBmp& dst, int orientation)
{
    const int w = src.GetWidth(), h = src.GetHeight();
    dst.Create(UprightWidth(w, h, orientation), UprightHeight(w, h, orientation),
               src.GetBitsPerPixel(), src.HasAlpha());
    if (src.GetPaletteTable())
        dst.SetPalette(src.GetPaletteTable());
    COrientedRows rows(dst, w, h, orientation);
    for (int y = 0; y < h; y++)
        rows.Put(y, 0, w, src.GetLineArray()[y]);
}

uint8_t* COrientedRows::DirectLine(int y) const
{
    if (m_nOrientation == 1)
        return m_pLines[y];
    if (m_nOrientation == 4)
        return m_pLines[m_nHeight - 1 - y];
    return nullptr;
}

void COrientedRows::Map(int x, int y, int& ux, int& uy) const
{
    const int w = m_nWidth, h = m_nHeight;
    switch (m_nOrientation)
    {
    case 2:
        ux = w - 1 - x, uy = y;
        break;
    case 3:
        ux = w - 1 - x, uy = h - 1 - y;
        break;
    case 4:
        ux = x, uy = h - 1 - y;
        break;
    case 5:
        ux = y, uy = x;
        break;
    case 6:
        ux = h - 1 - y, uy = x;
        break;
    case 7:
        ux = h - 1 - y, uy = w - 1 - x;
        break;
    case 8:
        ux = y, uy = w - 1 - x;
        break;
    default:
        ux = x, uy = y;
        break;
    }
}

void COrientedRows::Put(int y, int x, int n, const uint8_t* pixels)
{
    if (n <= 0)
        return;
    int ux, uy;
    Map(x, y, ux, uy);
    if (m_nBpp == 1)
    {
        // Whole bytes where they line up, the rest bit by bit.
        int i = 0;
        if ((m_nOrientation == 1 || m_nOrientation == 4) && x % 8 == 0)
        {
            i = n / 8 * 8;
            std::memcpy(m_pLines[uy] + x / 8, pixels, size_t(n / 8));
        }
        for (; i < n; i++)
        {
            Map(x + i, y, ux, uy);
            const bool set = (pixels[i >> 3] >> (7 - (i & 7))) & 1;
            uint8_t& byte = m_pLines[uy][ux >> 3];
            const uint8_t bit = uint8_t(0x80 >> (ux & 7));
            byte = set ? uint8_t(byte | bit) : uint8_t(byte & ~bit);
        }
        return;
    }
    const size_t size = size_t(m_nBpp / 8);
    if (!SwapsAxes(m_nOrientation))
    {
        uint8_t* line = m_pLines[uy];
        if (m_nOrientation == 1 || m_nOrientation == 4)
        {
            std::memcpy(line + size * size_t(ux), pixels, size * size_t(n));
            return;
        }
        // Mirrored: stored column x lands at ux, the next ones to its left.
        for (int i = 0; i < n; i++)
            std::memcpy(line + size * size_t(ux - i), pixels + size * size_t(i), size);
        return;
    }
    // Rows become columns: one pixel into each line.
    const int step = m_nOrientation == 5 || m_nOrientation == 6 ? 1 : -1;
    for (int i = 0; i < n; i++)
        std::memcpy(m_pLines[uy + step * i] + size * size_t(ux), pixels + size * size_t(i), size);
}

void COrientedRows::PutChannels(int y, int x, int n, const uint8_t* values, unsigned byteMask)
{
    for (int i = 0; i < n; i++)
    {
        int ux, uy;
        Map(x + i, y, ux, uy);
        uint8_t* p = m_pLines[uy] + 4 * size_t(ux);
        for (int k = 0; k < 4; k++)
            if (byteMask & (1u << k))
                p[k] = values[i];
    }
}

namespace
{
uint16_t Exif16(const uint8_t* p, bool big)
{
    return uint16_t(big ? p[0] << 8 | p[1] : p[1] << 8 | p[0]);
}

uint32_t Exif32(const uint8_t* p, bool big)
{
    return big ? uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3]
               : uint32_t(p[3]) << 24 | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
}
} // namespace

int COrientedRows::FromExif(const uint8_t* d, size_t size)
{
    if (size < 8)
        return 1;
    const bool big = d[0] == 'M' && d[1] == 'M';
    if ((!big && (d[0] != 'I' || d[1] != 'I')) || Exif16(d + 2, big) != 42)
        return 1;
    const uint32_t ifd = Exif32(d + 4, big);
    if (ifd > size - 2)
        return 1;
    const unsigned count = Exif16(d + ifd, big);
    for (unsigned i = 0; i < count; i++)
    {
        const size_t entry = size_t(ifd) + 2 + 12 * size_t(i);
        if (entry + 12 > size)
            return 1;
        // A SHORT with one value, held in the entry itself.
        if (Exif16(d + entry, big) == 0x112 && Exif16(d + entry + 2, big) == 3 &&
            Exif32(d + entry + 4, big) == 1)
            return Normalised(Exif16(d + entry + 8, big));
    }
    return 1;
}
