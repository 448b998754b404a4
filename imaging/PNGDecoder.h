#pragma once
#include "PicDecoder.h"

/// Decodes PNG files through libpng, rows straight into the bitmap lines.
class CPNGDecoder : public CPicDecoder
{
protected:
    void DecodeImage(CBmp& bmp, std::unique_ptr<PaletteEntry[]>& pal, int& depth,
                     CDataSource& source) override;
};
