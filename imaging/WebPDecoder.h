#pragma once
#include "PicDecoder.h"

/// Decodes WebP files (lossy, lossless, with or without alpha) through
/// libwebp into 32-bit bitmaps; an animated file gives its first frame.
class CWebPDecoder : public CPicDecoder
{
public:
    /// Raises the error of a libwebp status (VP8StatusCode): code 11 when the
    /// data ended, 10 for memory, 1 for a damaged bitstream, 2 otherwise.
    [[noreturn]] static void RaiseStatus(int status);

protected:
    void DecodeImage(CBmp& bmp, std::unique_ptr<PaletteEntry[]>& pal, int& depth,
                     CDataSource& source) override;
};
