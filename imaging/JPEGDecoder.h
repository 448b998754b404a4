#pragma once
#include "PicDecoder.h"

#include <memory>

/// Decodes JPEG files through libjpeg; keeps its decompression context for
/// every decode.
class CJPEGDecoder : public CPicDecoder
{
public:
    CJPEGDecoder();
    ~CJPEGDecoder() override;

protected:
    void DecodeImage(CBmp& bmp, std::unique_ptr<PaletteEntry[]>& pal, int& depth,
                     CDataSource& source) override;

private:
    struct Context; // the libjpeg state, defined where libjpeg is included
    std::unique_ptr<Context> m_pContext;
    bool m_bFast = true;
};
