#pragma once
#include "PicDecoder.h"

#include <cstddef>
#include <cstdint>

/// Decodes Windows bitmap files ("BM") with OS/2 1.x and 2.x, Windows and
/// V2 to V5 headers: 1, 2, 4, 8, 16, 24 and 32 bits, colour masks, RLE4, RLE8;
/// also packed DIBs, the information header without the file header (as the
/// clipboard and ".dib" files hold them).
class CBmpDecoder : public CPicDecoder
{
public:
    /// True when the data starts with a plausible information header of a
    /// packed DIB: a known size, a positive width, one plane, a valid bit
    /// count and compression.
    static bool IsPackedDib(const uint8_t* data, size_t size);

protected:
    void DecodeImage(CBmp& bmp, std::unique_ptr<PaletteEntry[]>& pal, int& depth,
                     CDataSource& source) override;
};
