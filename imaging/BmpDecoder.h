#pragma once
#include "PicDecoder.h"

/// Decodes Windows bitmap files ("BM") with OS/2 1.x and 2.x, Windows and
/// V2 to V5 headers: 1, 2, 4, 8, 16, 24 and 32 bits, colour masks, RLE4, RLE8.
class CBmpDecoder : public CPicDecoder
{
protected:
    void DecodeImage(CBmp& bmp, std::unique_ptr<PaletteEntry[]>& pal, int& depth,
                     CDataSource& source) override;
};
