#include "PictureRenderer.h"

#include "BmpPyramid.h"
#include "DrawDibBmp.h"

#include <QImage>
#include <QPainter>
#include <QPixmap>

#include <algorithm>

namespace
{
constexpr int kSquare = 8; // checkerboard square side, device pixels

const QPixmap& CheckerTile()
{
    static const QPixmap tile = []
    {
        QImage img(2 * kSquare, 2 * kSquare, QImage::Format_RGB32);
        img.fill(QColor(0xCC, 0xCC, 0xCC));
        QPainter p(&img);
        p.fillRect(0, 0, kSquare, kSquare, QColor(0x99, 0x99, 0x99));
        p.fillRect(kSquare, kSquare, kSquare, kSquare, QColor(0x99, 0x99, 0x99));
        return QPixmap::fromImage(img);
    }();
    return tile;
}

bool PaletteHasAlpha(const CDrawDibBmp& bmp)
{
    if (!bmp.HasAlpha())
        return false;
    if (!bmp.GetPaletteTable())
        return true;
    const PaletteEntry* pal = bmp.GetPaletteTable();
    return std::any_of(pal, pal + bmp.GetPaletteSize(), [](PaletteEntry c) { return c.a != 255; });
}
} // namespace

void CPictureRenderer::FillCheckerboard(QPainter& dc, const QRect& rect, QPoint origin)
{
    dc.save();
    dc.setBrushOrigin(origin);
    dc.fillRect(rect, QBrush(CheckerTile()));
    dc.restore();
}

bool CPictureRenderer::HasTransparency() const
{
    if (m_pFull)
        return m_pPyramid ? !m_pPyramid->IsOpaque() : PaletteHasAlpha(*m_pFull);
    return m_pFirstPass && PaletteHasAlpha(*m_pFirstPass);
}

void CPictureRenderer::Draw(QPainter& dc, const QRect& dst, bool bSmooth,
                            const Backdrop& backdrop) const
{
    CDrawDibBmp* pBmp = m_pFull ? m_pFull : m_pFirstPass;
    if (!pBmp || dst.isEmpty())
        return;
    if (HasTransparency())
    {
        // Only the part of the picture that is on screen.
        const QRect visible = dc.hasClipping()
                                  ? dst & dc.clipBoundingRect().toAlignedRect()
                                  : dst & QRect(QPoint(0, 0), QSize(dc.device()->width(), dc.device()->height()));
        if (backdrop.bCheckerboard)
            FillCheckerboard(dc, visible, dst.topLeft());
        else
            dc.fillRect(visible, backdrop.color);
    }
    const int w = pBmp->GetWidth(), h = pBmp->GetHeight();
    const CRect src{0, 0, w, h};
    const CRect target{dst.left(), dst.top(), dst.left() + dst.width(), dst.top() + dst.height()};
    if (!m_pFull)
    {
        // A first pass is a stand-in: always smooth, whatever its scale.
        pBmp->Render(dc, &target, &src, true, nullptr, false);
        return;
    }
    const double zoom = std::max(double(dst.width()) / w, double(dst.height()) / h);
    const int k = m_pPyramid ? m_pPyramid->ChooseLevel(zoom) : 0;
    if (const CBmpPyramid::Level* level = m_pPyramid ? m_pPyramid->GetLevel(k) : nullptr)
    {
        // The level's rows, top-down and premultiplied, wrapped without copying.
        const QImage image(reinterpret_cast<const uchar*>(level->pixels.data()), level->width,
                           level->height, qsizetype(level->width) * 4,
                           QImage::Format_ARGB32_Premultiplied);
        dc.save();
        dc.setRenderHint(QPainter::SmoothPixmapTransform, bSmooth);
        dc.drawImage(QRectF(dst), image);
        dc.restore();
        return;
    }
    pBmp->Render(dc, &target, &src, bSmooth && zoom <= kSquarePixelsAbove, nullptr, false);
}
