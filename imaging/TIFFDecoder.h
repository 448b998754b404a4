#pragma once
#include "PicDecoder.h"

/// Decodes TIFF files (and EPS TIFF previews) through libtiff over memory.
class CTIFFDecoder : public CPicDecoder
{
protected:
    void DecodeImage(CBmp& bmp, std::unique_ptr<PaletteEntry[]>& pal, int& depth,
                     CDataSource& source) override;
};
