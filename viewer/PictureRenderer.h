#pragma once
#include <QColor>
#include <QRect>

class CBmpPyramid;
class CDrawDibBmp;
class QPainter;

/// Draws an image document's picture at any scale: from the reduced copy
/// that suits the zoom below 100%, smoothly up to 200%, as squares of
/// pixels above; before the full picture has come, its first pass stretched
/// to the same place. Transparent pixels are blended over a checkerboard, or
/// over a plain colour.
class CPictureRenderer
{
public:
    /// Zooms above this show each pixel as a square.
    static constexpr double kSquarePixelsAbove = 2.0;

    /// What stands behind transparent pixels: a checkerboard, or a colour.
    struct Backdrop
    {
        bool bCheckerboard = true;
        QColor color = QColor(0x80, 0x80, 0x80);
    };

    /// The full picture with its reduced copies (may be null), or null with
    /// only the first pass to show.
    CDrawDibBmp* m_pFull = nullptr;
    const CBmpPyramid* m_pPyramid = nullptr;
    CDrawDibBmp* m_pFirstPass = nullptr;

    /// Draws the whole picture into dst (painter coordinates, the picture at
    /// its scale; only what the painter's clip shows is worked on). bSmooth
    /// is the smooth ("Dither") path; the plain path samples nearest pixels,
    /// from a reduced copy below 100%.
    void Draw(QPainter& dc, const QRect& dst, bool bSmooth, const Backdrop& backdrop) const;
    /// Whether some pixel of the picture may be transparent.
    bool HasTransparency() const;

    /// Fills rect with the checkerboard, its squares aligned on origin.
    static void FillCheckerboard(QPainter& dc, const QRect& rect, QPoint origin);
};
