#pragma once
#include "PicDecoder.h"

#include <functional>
#include <memory>

/// Decodes JPEG files through libjpeg; keeps its decompression context for
/// every decode. EXIF orientation is applied while the rows are written.
class CJPEGDecoder : public CPicDecoder
{
public:
    CJPEGDecoder();
    ~CJPEGDecoder() override;

    /// Later decodes scale by libjpeg's DCT scaling (1/8, 2/8 ... 8/8) to the
    /// smallest picture that still covers maxWidth x maxHeight once it is
    /// upright; 0 x 0 decodes at full size.
    void SetMaxSize(int maxWidth, int maxHeight)
    {
        m_nMaxWidth = maxWidth;
        m_nMaxHeight = maxHeight;
    }

    /// Told, on the decoding thread, how many of the picture's rows (in
    /// file order) are in the bitmap after each band of them; empty for none.
    /// The bitmap may be read there, for a look at the picture so far.
    void SetRowListener(std::function<void(int rowsDone)> listener)
    {
        m_rowsDone = std::move(listener);
    }

    /// The upright size of the last picture decoded (or whose decode failed
    /// after its header), before any DCT scaling; 0 x 0 before the first.
    int GetFullWidth() const { return m_nFullWidth; }
    int GetFullHeight() const { return m_nFullHeight; }

protected:
    void DecodeImage(CBmp& bmp, std::unique_ptr<PaletteEntry[]>& pal, int& depth,
                     CDataSource& source) override;

private:
    struct Context; // the libjpeg state, defined where libjpeg is included
    std::unique_ptr<Context> m_pContext;
    bool m_bFast = true;
    int m_nMaxWidth = 0;
    int m_nMaxHeight = 0;
    int m_nFullWidth = 0;
    int m_nFullHeight = 0;
    std::function<void(int)> m_rowsDone;
};
