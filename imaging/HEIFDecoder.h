#pragma once
#include "PicDecoder.h"

/// Decodes the primary image of HEIF files (HEIC with HEVC, AVIF with AV1)
/// through libheif into 32-bit bitmaps: 8 to 12 bits per channel reduced to
/// 8, alpha kept, grids put together, and the container's rotation and
/// mirroring (irot, imir) applied when orientation is applied.
class CHEIFDecoder : public CPicDecoder
{
protected:
    void DecodeImage(CBmp& bmp, std::unique_ptr<PaletteEntry[]>& pal, int& depth,
                     CDataSource& source) override;
};
