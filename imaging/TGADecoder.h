#pragma once
#include "PicDecoder.h"

/// Decodes Targa files: types 1, 2, 3 and their run-length twins 9, 10, 11.
class CTGADecoder : public CPicDecoder
{
protected:
    void DecodeImage(CBmp& bmp, std::unique_ptr<PaletteEntry[]>& pal, int& depth,
                     CDataSource& source) override;
};
