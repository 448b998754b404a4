#pragma once
#include "DIBSection.h"
#include "Palette.h"

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

    void Draw(CDeviceContext& dc, int x, int y, uint32_t rop = SRCCOPY) override;
    void StretchDraw(CDeviceContext& dc, int x, int y, double factor,
                     uint32_t rop = SRCCOPY) override;
    void DrawPart(CDeviceContext& dc, int x, int y, const CRect& src) override;

    /// The logical palette, built on first use.
    const CPalette& GetPalette();
    bool BuildPalette(CPalette& palette) const;
    bool RebuildPalette();

protected:
    void FreeStorage() override;

private:
    bool m_hDrawDib = false; // the smooth path has been set up for this bitmap
    CPalette m_palette;
};
