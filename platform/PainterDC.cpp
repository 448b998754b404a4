#include "PainterDC.h"

#include "DibImage.h"

void CPainterDC::StretchBitmap(const CWinBmp& bmp, const CRect& dst, const CRect& src, uint32_t,
                               bool smooth)
{
    CDibImage image;
    if (image.Attach(bmp))
        image.Draw(m_painter, dst, src, smooth);
}
