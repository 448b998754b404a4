#pragma once
#include "PicDecoder.h"

/// Decodes JPEG XL files (bare codestreams and the boxed container) through
/// libjxl into 32-bit bitmaps, upright by the file's orientation when
/// orientation is applied; an animation gives its first frame.
class CJXLDecoder : public CPicDecoder
{
protected:
    void DecodeImage(CBmp& bmp, std::unique_ptr<PaletteEntry[]>& pal, int& depth,
                     CDataSource& source) override;
};
