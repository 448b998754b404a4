#include "DibImage.h"

#include "WinBmp.h"

#include <QPainter>

#include <algorithm>

QList<QRgb> CDibImage::ColorTableOf(const CWinBmp& bmp)
{
    const PaletteEntry* pal = bmp.GetPaletteTable();
    const int n = bmp.GetPaletteSize();
    QList<QRgb> table;
    table.reserve(n);
    // Files often leave the fourth colour-table byte zero; it is opacity only
    // when the bitmap says so.
    for (int i = 0; i < n; i++)
        table.append(qRgba(pal[i].r, pal[i].g, pal[i].b, bmp.HasAlpha() ? pal[i].a : 255));
    return table;
}

bool CDibImage::Attach(const CWinBmp& bmp)
{
    uint8_t* bits = bmp.GetBits();
    const int w = bmp.GetWidth();
    const int h = bmp.GetHeight();
    const int bpp = bmp.GetBitsPerPixel();
    const bool alpha = bmp.HasAlpha();
    if (!bits || w <= 0 || h <= 0 || (bpp != 1 && bpp != 8 && bpp != 32) ||
        (bpp < 16 && !bmp.GetPaletteTable()))
    {
        Reset();
        return false;
    }

    auto wrap = [&]
    {
        // Stored 32-bit alpha is straight, not premultiplied.
        const QImage::Format format = bpp == 1   ? QImage::Format_Mono
                                      : bpp == 8 ? QImage::Format_Indexed8
                                      : alpha    ? QImage::Format_ARGB32
                                                 : QImage::Format_RGB32;
        m_image = QImage(bits, w, h, bmp.GetLineSize(), format);
    };
    if (m_image.isNull() || bits != m_pBits || w != m_nWidth || h != m_nHeight || bpp != m_nBpp ||
        alpha != m_bAlpha)
    {
        wrap();
        m_pBits = bits;
        m_nWidth = w;
        m_nHeight = h;
        m_nBpp = bpp;
        m_bAlpha = alpha;
        m_nSetups++;
    }
    if (bpp < 16)
    {
        // Decoders set the palette after creating the bitmap, so it is
        // compared on every use. setColorTable() deep-copies a shared image,
        // which would leave the wrapper on a private copy: wrap afresh then.
        const QList<QRgb> table = ColorTableOf(bmp);
        if (table != m_image.colorTable())
        {
            if (!m_image.isDetached())
                wrap();
            m_image.setColorTable(table);
        }
    }
    return true;
}

void CDibImage::Reset()
{
    m_image = QImage();
    m_band = QImage();
    m_pBits = nullptr;
    m_nWidth = m_nHeight = m_nBpp = 0;
    m_bAlpha = false;
}

bool CDibImage::Draw(QPainter& painter, const CRect& dst, const CRect& src, bool smooth)
{
    if (m_image.isNull() || src.Width() <= 0 || src.Height() <= 0 || dst.Width() <= 0 ||
        dst.Height() <= 0)
        return false;

    // Clip the source to the picture and shrink the destination with it, so
    // that rows outside the picture never take part in the flip.
    const CRect s{std::max(src.left, 0), std::max(src.top, 0), std::min(src.right, m_nWidth),
                  std::min(src.bottom, m_nHeight)};
    if (s.Width() <= 0 || s.Height() <= 0)
        return false;
    const bool scaled = dst.Width() != src.Width() || dst.Height() != src.Height();
    const double kx = double(dst.Width()) / src.Width();
    const double ky = double(dst.Height()) / src.Height();
    const QRectF target(dst.left + (s.left - src.left) * kx, dst.top + (s.top - src.top) * ky,
                        s.Width() * kx, s.Height() * ky);
    // The same rows in the upside-down wrapper.
    const QRectF source(s.left, m_nHeight - s.bottom, s.Width(), s.Height());

    if (!scaled && DrawRows(painter, target.toRect(), s))
        return true;

    painter.save();
    // At 1:1 filtering changes nothing, and without it Qt takes its fast blits.
    painter.setRenderHint(QPainter::SmoothPixmapTransform, smooth && scaled);
    // Mirror the target rectangle onto itself: y -> 2 * top + height - y.
    painter.translate(0, 2 * target.top() + target.height());
    painter.scale(1, -1);
    painter.drawImage(target, m_image, source);
    painter.restore();
    return true;
}

bool CDibImage::DrawRows(QPainter& painter, const QRect& target, const CRect& s)
{
    // Only for whole device pixels: no scaling, including the screen's.
    const QTransform xform = painter.combinedTransform();
    const QPaintDevice* device = painter.device();
    if (!device || painter.deviceTransform().type() > QTransform::TxTranslate ||
        xform.type() > QTransform::TxTranslate)
        return false;
    QRect visible = xform.inverted().mapRect(QRect(0, 0, device->width(), device->height()));
    if (painter.hasClipping())
        visible &= painter.clipBoundingRect().toAlignedRect();
    visible &= target;
    if (visible.isEmpty())
        return true;

    // Only the visible band is touched. True-colour rows are drawn the right
    // way up one by one, each as a wrapper of its visible part.
    const int sx = s.left + visible.left() - target.left();
    const int sy = s.top + visible.top() - target.top();
    const int vw = visible.width();
    const int vh = visible.height();
    if (m_nBpp == 32)
    {
        for (int i = 0; i < vh; i++)
        {
            const QImage row(RowAt(sy + i) + 4 * sx, vw, 1, m_image.bytesPerLine(),
                             m_image.format());
            painter.drawImage(QPointF(visible.left(), visible.top() + i), row);
        }
        return true;
    }

    // Palette images go through a small strip buffer that stays in the cache.
    constexpr int kStripRows = 32;
    QList<QRgb> table = m_image.colorTable();
    const bool opaque =
        std::all_of(table.begin(), table.end(), [](QRgb c) { return qAlpha(c) == 255; });
    const QImage::Format format =
        opaque ? QImage::Format_RGB32 : QImage::Format_ARGB32_Premultiplied;
    if (m_band.width() < vw || m_band.format() != format)
        m_band = QImage(vw, kStripRows, format);
    for (QRgb& c : table)
        c = qPremultiply(c);
    const QRgb* colors = table.constData();
    for (int top = 0; top < vh; top += kStripRows)
    {
        const int rows = std::min(kStripRows, vh - top);
        for (int i = 0; i < rows; i++)
        {
            const uint8_t* in = RowAt(sy + top + i);
            auto* out = reinterpret_cast<QRgb*>(m_band.scanLine(i));
            if (m_nBpp == 8)
                for (int x = 0; x < vw; x++)
                    out[x] = colors[in[sx + x]];
            else
                for (int x = 0; x < vw; x++)
                {
                    const int bit = sx + x;
                    out[x] = colors[(in[bit >> 3] >> (7 - (bit & 7))) & 1];
                }
        }
        painter.drawImage(QPoint(visible.left(), visible.top() + top), m_band,
                          QRect(0, 0, vw, rows));
    }
    return true;
}

QImage CDibImage::ToImage() const
{
    return m_image.mirrored(false, true);
}
