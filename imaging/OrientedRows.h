#pragma once
#include <cstddef>
#include <cstdint>

class CBmp;

/// Writes the stored rows of a picture into a bitmap turned upright by an
/// EXIF or TIFF orientation, so that no second copy of the picture is needed.
///
/// Orientations are the EXIF values: 1 as stored, 2 mirrored left to right,
/// 3 turned by 180 degrees, 4 mirrored top to bottom, 5 transposed, 6 turned
/// a quarter clockwise, 7 transversed, 8 turned a quarter anticlockwise to
/// show upright. Any other value reads as 1.
class COrientedRows
{
public:
    /// bmp must already have the upright size (UprightWidth x UprightHeight);
    /// width and height are the stored size.
    COrientedRows(CBmp& bmp, int width, int height, int orientation);

    static int Normalised(int orientation)
    {
        return orientation >= 1 && orientation <= 8 ? orientation : 1;
    }
    /// The Orientation (tag 0x112) of the first image directory of Exif
    /// data (a TIFF header and its directories, as a JPEG's APP1 block holds
    /// after "Exif\0\0" and a PNG's eXIf chunk holds whole), or 1 when
    /// there is none.
    static int FromExif(const uint8_t* tiff, size_t size);
    /// Orientations 5 to 8 exchange width and height.
    static bool SwapsAxes(int orientation) { return Normalised(orientation) >= 5; }
    static int UprightWidth(int width, int height, int orientation)
    {
        return SwapsAxes(orientation) ? height : width;
    }
    static int UprightHeight(int width, int height, int orientation)
    {
        return SwapsAxes(orientation) ? width : height;
    }

    /// Makes dst a copy of src (same depth, alpha and colour table) turned by
    /// the orientation, as if src were the stored picture.
    static void Turn(const CBmp& src, CBmp& dst, int orientation);

    /// The bitmap line that takes stored row y unchanged (orientations 1 and
    /// 4), or null when the row must go through Put.
    uint8_t* DirectLine(int y) const;

    /// Writes n pixels of stored row y from stored column x, in the bitmap's
    /// pixel format: 4 bytes at 32 bits, 1 byte at 8 bits, packed bits (most
    /// significant first, starting with the first pixel) at 1 bit.
    void Put(int y, int x, int n, const uint8_t* pixels);
    /// 32-bit bitmaps: byte k of each of the n pixels, for every bit k set in
    /// byteMask, becomes the pixel's value.
    void PutChannels(int y, int x, int n, const uint8_t* values, unsigned byteMask);

private:
    /// Upright position of stored pixel (x, y).
    void Map(int x, int y, int& ux, int& uy) const;

    uint8_t** m_pLines;
    int m_nBpp;
    int m_nWidth;
    int m_nHeight;
    int m_nOrientation;
};
