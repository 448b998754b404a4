#pragma once
#include "DeviceContext.h"

class QPainter;

/// A device context over a QPainter, so that the bitmap classes' own Draw,
/// StretchDraw and DrawPart paint on Qt surfaces.
class CPainterDC : public CDeviceContext
{
public:
    explicit CPainterDC(QPainter& painter) : m_painter(painter) {}

    QPainter& GetPainter() const { return m_painter; }

    /// Wraps the bitmap's rows for this one call (no pixel copy) and draws
    /// them. Only the plain copy is used by the program; every raster
    /// operation draws as one.
    void StretchBitmap(const CWinBmp& bmp, const CRect& dst, const CRect& src, uint32_t rop,
                       bool smooth) override;

private:
    QPainter& m_painter;
};
