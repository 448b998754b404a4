#pragma once
#include "Bmp.h"
#include "DeviceContext.h"

#include <cstdint>
#include <vector>

/// The 40-byte BITMAPINFOHEADER, little-endian as in the file format.
struct BitmapInfoHeader
{
    uint32_t biSize;
    int32_t biWidth;
    int32_t biHeight;
    uint16_t biPlanes;
    uint16_t biBitCount;
    uint32_t biCompression;
    uint32_t biSizeImage;
    int32_t biXPelsPerMeter;
    int32_t biYPelsPerMeter;
    uint32_t biClrUsed;
    uint32_t biClrImportant;
};
static_assert(sizeof(BitmapInfoHeader) == 40, "BITMAPINFOHEADER is 40 bytes");

/// Bitmap that keeps header, palette and pixels in one packed-DIB block.
class CWinBmp : public CBmp
{
public:
    /// A fresh bitmap is always valid: 16 x 16 at 8 bits, gray palette.
    CWinBmp();
    ~CWinBmp() override;

    size_t GetMemoryUse() const override;
    int GetLineSize() const override;

    /// Re-creates the bitmap from bitmap resource id (resource type 2).
    /// Throws CTextException 4 when there is no such resource.
    virtual void CreateFromBitmapResource(int id);
    virtual void Draw(CDeviceContext& dc, int x, int y, uint32_t rop = SRCCOPY);
    virtual void StretchDraw(CDeviceContext& dc, int x, int y, double factor,
                             uint32_t rop = SRCCOPY);
    virtual void DrawPart(CDeviceContext& dc, int x, int y, const CRect& src);
    /// Re-creates the bitmap from a packed DIB (header, palette, rows) of
    /// `size` bytes. Throws CTextException 2 or 11 when the block is not one.
    virtual void CreateFromPackedDib(const uint8_t* pDib, size_t size);
    /// A packed DIB copy: 40-byte header, palette, line size x height bytes.
    virtual std::vector<uint8_t> CreateDibHandle() const;

    /// Puts the packed DIB on the desktop clipboard. Implemented by the
    /// program's platform layer; false when the clipboard is unavailable.
    bool CopyToClipboard() const;

    /// Header followed by the palette (the BITMAPINFO of the platform).
    const BitmapInfoHeader* GetBitmapInfo() const
    {
        return reinterpret_cast<const BitmapInfoHeader*>(m_pBMI);
    }
    /// Bytes of the colour table that follow the header.
    size_t GetPaletteBytes() const { return PaletteBytesFor(m_bpp); }

protected:
    void AllocateStorage(int width, int height, int bpp, bool alpha) override;
    void FreeStorage() override;
    void BuildLineArray() override;
    /// Points the palette (and, for this class, the bits) into the header block.
    virtual void SetPointers(int bpp);
    /// Fills the header fields of the model: size 40, positive height, no compression.
    void FillHeader(int width, int height, int bpp);

    uint8_t* m_pBMI = nullptr;
};
