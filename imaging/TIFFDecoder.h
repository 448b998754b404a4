#pragma once
#include "PicDecoder.h"

struct tiff; // libtiff's handle (TIFF), declared where libtiff is included

/// Decodes TIFF files (and EPS TIFF previews) through libtiff over memory.
///
/// Single-channel images of 1, 2, 4 or 8 bits in strips become 1-bit
/// (bilevel) or 8-bit palette bitmaps; everything else goes through libtiff's
/// RGBA interface into a 32-bit bitmap. Only the first page is decoded.
class CTIFFDecoder : public CPicDecoder
{
protected:
    void DecodeImage(CBmp& bmp, std::unique_ptr<PaletteEntry[]>& pal, int& depth,
                     CDataSource& source) override;

private:
    /// Scan-line path into a 1- or 8-bit bitmap.
    void DoLoColor(tiff* pTif, CBmp& bmp, int& depth);
    /// RGBA path into a 32-bit bitmap.
    void DoRGBA(tiff* pTif, CBmp& bmp, int& depth);
};
