#pragma once
#include "PicDecoder.h"
#include "QDRegion.h"

#include <cstddef>

class CJPEGDecoder;
class CPictRenderer;

/// Decodes the first raster image of a Macintosh PICT file (version 1 or 2);
/// embedded JPEG data goes to the JPEG decoder it is given (not owned).
///
/// The opcode stream is walked from the picture header; drawing opcodes are
/// skipped by their data length. The first BitsRect, BitsRgn, PackBitsRect,
/// PackBitsRgn, DirectBitsRect or DirectBitsRgn is decoded into an 8-bit
/// (indexed) or 32-bit bitmap, cropped to its source rectangle; compressed
/// QuickTime data (opcode 0x8200) holding a JPEG stream is handed to the JPEG
/// decoder. A picture without raster data fails with code 6.
///
/// A picture that draws (lines, shapes, text) and holds no QuickTime data is
/// instead rendered: its frame, at the resolution of its header, becomes a
/// white 32-bit bitmap into which every drawing opcode and raster is drawn
/// in order (CPictRenderer).
class CPictDecoder : public CPicDecoder
{
public:
    explicit CPictDecoder(CJPEGDecoder* pJPEGDecoder) : m_pJPEGDecoder(pJPEGDecoder) {}

protected:
    void DecodeImage(CBmp& bmp, std::unique_ptr<PaletteEntry[]>& pal, int& depth,
                     CDataSource& source) override;

private:
    /// What a walk over the opcodes does: decode the first raster, look for
    /// drawing opcodes, or render.
    enum class Pass
    {
        kRaster,
        kScan,
        kRender
    };

    /// Walks the whole picture (up to its damage, if any); true when it
    /// draws and holds no QuickTime data.
    bool HasDrawing(CBmp& bmp, CDataSource& source, size_t pictStart);
    void DecodeFirstRaster(CBmp& bmp, std::unique_ptr<PaletteEntry[]>& pal, int& depth,
                           CDataSource& source, size_t pictStart);
    void Render(CBmp& bmp, int& depth, CDataSource& source, size_t pictStart);
    void ReadHeader(CDataSource& source);
    void ReadVersion2Header(CDataSource& source);
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
    Pass m_Pass = Pass::kRaster;
    CRect m_Frame;      // the picture's frame at 72 dpi
    CRect m_SourceRect; // the extended header's rectangle at its resolution
    bool m_bDrawing = false;
    bool m_bQuickTime = false;
    CPictRenderer* m_pRenderer = nullptr; // while rendering
};
