#pragma once
#include <cstdint>

class CWinBmp;

/// Rectangle in the platform's convention: right and bottom are exclusive.
struct CRect
{
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    bool IsEmpty() const { return right <= left || bottom <= top; }
    CRect Intersect(const CRect& o) const
    {
        return {left > o.left ? left : o.left, top > o.top ? top : o.top,
                right < o.right ? right : o.right, bottom < o.bottom ? bottom : o.bottom};
    }
    /// Moved in by dh on the left and right, dv at the top and bottom.
    CRect Inset(int dh, int dv) const { return {left + dh, top + dv, right - dh, bottom - dv}; }
    friend bool operator==(const CRect&, const CRect&) = default;
};

/// Raster operation of a plain copy.
inline constexpr uint32_t SRCCOPY = 0x00CC0020;

/// Where a bitmap draws itself. The codec library knows nothing of the
/// windowing system; the program supplies an implementation over its painter.
class CDeviceContext
{
public:
    virtual ~CDeviceContext() = default;

    /// Draws the source rectangle of the bitmap (top-down coordinates) into
    /// the destination rectangle, scaling when the sizes differ. `smooth`
    /// asks for filtered (dithered) scaling instead of nearest-neighbour.
    virtual void StretchBitmap(const CWinBmp& bmp, const CRect& dst, const CRect& src,
                               uint32_t rop, bool smooth) = 0;
};
