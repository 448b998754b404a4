#pragma once
#include "PicDecoder.h"

/// Decodes TIFF files (and EPS TIFF previews) through libtiff over memory,
/// first page only, BigTIFF included.
///
/// Gray, RGB and palette images of any integer sample size from 1 to 32 bits
/// and floating-point samples of 16, 32 and 64 bits, in strips or tiles,
/// interleaved or in planes, are read sample by sample: single samples of up
/// to 8 bits into 1-bit (bilevel) or 8-bit palette bitmaps, everything else
/// into 32-bit bitmaps. The rest (YCbCr, CMYK, Lab, LogLuv) goes through
/// libtiff's RGBA interface. The Orientation tag is applied unless switched
/// off.
class CTIFFDecoder : public CPicDecoder
{
protected:
    void DecodeImage(CBmp& bmp, std::unique_ptr<PaletteEntry[]>& pal, int& depth,
                     CDataSource& source) override;
};
