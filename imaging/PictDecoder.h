#pragma once
#include "PicDecoder.h"

class CJPEGDecoder;

/// Decodes the first raster image of a Macintosh PICT file (version 1 or 2);
/// embedded JPEG data goes to the JPEG decoder it is given (not owned).
class CPictDecoder : public CPicDecoder
{
public:
    explicit CPictDecoder(CJPEGDecoder* pJPEGDecoder) : m_pJPEGDecoder(pJPEGDecoder) {}

protected:
    void DecodeImage(CBmp& bmp, std::unique_ptr<PaletteEntry[]>& pal, int& depth,
                     CDataSource& source) override;

private:
    CJPEGDecoder* m_pJPEGDecoder;
    int m_Version = 0;
};
