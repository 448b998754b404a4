#pragma once
#include "PicDecoder.h"

/// Decodes Windows bitmap files (BM, 40-byte header): 1/4/8/24/32 bits, RLE4, RLE8.
class CBmpDecoder : public CPicDecoder
{
protected:
    void DecodeImage(CBmp& bmp, std::unique_ptr<PaletteEntry[]>& pal, int& depth,
                     CDataSource& source) override;
};
