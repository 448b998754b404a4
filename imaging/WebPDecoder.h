#pragma once
#include "PicDecoder.h"

#include <vector>

/// Decodes WebP files (lossy, lossless, with or without alpha) through
/// libwebp into 32-bit bitmaps; an animated file gives its first frame.
class CWebPDecoder : public CPicDecoder
{
public:
    /// Raises the error of a libwebp status (VP8StatusCode): code 11 when the
    /// data ended, 10 for memory, 1 for a damaged bitstream, 2 otherwise.
    [[noreturn]] static void RaiseStatus(int status);
    /// The ICC profile (ICCP chunk) of the WebP file at data; empty without
    /// one or when colour management is off.
    static std::vector<uint8_t> ColourProfile(const uint8_t* data, size_t size);

protected:
    void DecodeImage(CBmp& bmp, std::unique_ptr<PaletteEntry[]>& pal, int& depth,
                     CDataSource& source) override;
};
