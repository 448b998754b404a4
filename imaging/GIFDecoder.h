#pragma once
#include "PicDecoder.h"

/// Decodes the first frame of GIF files ("GIF87a", "GIF89a") through giflib,
/// placed on its logical screen (grown to hold the frame when it is smaller).
///
/// A frame that covers the screen without a transparent colour becomes an
/// 8-bit palette bitmap at automatic depth; otherwise the bitmap has 32 bits
/// with alpha, transparent where the frame's transparent colour is and where
/// the frame does not reach.
class CGIFDecoder : public CPicDecoder
{
protected:
    void DecodeImage(CBmp& bmp, std::unique_ptr<PaletteEntry[]>& pal, int& depth,
                     CDataSource& source) override;
};
