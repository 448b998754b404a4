#pragma once
#include "PicDecoder.h"

#include <cstddef>

class CJPEGDecoder;

/// Decodes the first raster image of a Macintosh PICT file (version 1 or 2);
/// embedded JPEG data goes to the JPEG decoder it is given (not owned).
///
/// The opcode stream is walked from the picture header; drawing opcodes are
/// skipped by their data length. The first BitsRect, BitsRgn, PackBitsRect,
/// PackBitsRgn, DirectBitsRect or DirectBitsRgn is decoded into an 8-bit
/// (indexed) or 32-bit bitmap, cropped to its source rectangle; compressed
/// QuickTime data (opcode 0x8200) holding a JPEG stream is handed to the JPEG
/// decoder. A picture without raster data fails with code 6.
class CPictDecoder : public CPicDecoder
{
public:
    explicit CPictDecoder(CJPEGDecoder* pJPEGDecoder) : m_pJPEGDecoder(pJPEGDecoder) {}

protected:
    void DecodeImage(CBmp& bmp, std::unique_ptr<PaletteEntry[]>& pal, int& depth,
                     CDataSource& source) override;

private:
    void ReadHeader(CDataSource& source);
    int ReadOpcode(CDataSource& source, size_t pictStart) const;
    /// Handles one opcode; true when it decoded the image.
    bool DoOpcode(int opcode, CBmp& bmp, std::unique_ptr<PaletteEntry[]>& pal, int& depth,
                  CDataSource& source);
    bool DoTableOpcode(int opcode, CBmp& bmp, std::unique_ptr<PaletteEntry[]>& pal, int& depth,
                       CDataSource& source);
    void DecodeBits(int opcode, CBmp& bmp, std::unique_ptr<PaletteEntry[]>& pal, int& depth,
                    CDataSource& source);
    void DecodeDirectBits(int opcode, CBmp& bmp, int& depth, CDataSource& source);
    void DecodeJPEG(CBmp& bmp, int& depth, CDataSource& source);
    static int PixMapDepth(int pixelSize, int& depth);

    CJPEGDecoder* m_pJPEGDecoder;
    int m_Version = 0;
};
