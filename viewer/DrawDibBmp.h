#pragma once
#include "DIBSection.h"
#include "DibImage.h"
#include "Palette.h"

#include <memory>

class QPainter;

/// The bitmap an image document holds: draws itself through the smooth
/// ("DrawDib", dithered) path or the plain stretching path, and keeps a
/// logical palette built on first use.
class CDrawDibBmp : public CDIBSection
{
public:
    CDrawDibBmp();
    ~CDrawDibBmp() override;

    /// The one drawing routine. Rectangles are (left, top, right, bottom) in
    /// painter coordinates; null means the whole picture (source) or the
    /// source rectangle (destination). Returns 1 on the smooth path when
    /// something was drawn, 0 on the plain path and when nothing was drawn.
    int Render(QPainter& dc, const CRect* pDst, const CRect* pSrc, bool bUseDrawDib,
               const CPalette* pPal, bool bForeground);

    /// The whole picture at 1:1 at (x, y), smooth path.
    void Draw(CDeviceContext& dc, int x, int y, uint32_t rop = SRCCOPY) override;
    /// width x factor by height x factor at (x, y), each truncated; smooth path.
    void StretchDraw(CDeviceContext& dc, int x, int y, double factor,
                     uint32_t rop = SRCCOPY) override;
    /// The source rectangle's pixels at (x, y), smooth path.
    void DrawPart(CDeviceContext& dc, int x, int y, const CRect& src) override;

    /// The logical palette, built on first use.
    const CPalette& GetPalette();
    /// Colour table -> 2^bpp palette entries; true colour -> the halftone palette.
    bool BuildPalette(CPalette& palette) const;
    bool RebuildPalette();

    /// A copy of the picture (sRGB) converted to the display's colour
    /// profile, or null when the display has none (or colour management is
    /// off, or the conversion cannot be made): the picture is drawn as it is.
    static std::unique_ptr<CDrawDibBmp> ForDisplay(const CBmp& bmp);

    /// The rows wrapped for drawing (set up on the first Render).
    const CDibImage& GetDrawDib() const { return m_hDrawDib; }

protected:
    void FreeStorage() override;

private:
    /// Renders on a painter context; any other context stretches smoothly itself.
    void DrawOn(CDeviceContext& dc, const CRect& dst, const CRect& src);

    CDibImage m_hDrawDib; // the rows wrapped for Qt, set up once per storage
    CPalette m_palette;
};
