#pragma once
#include "DeviceContext.h"

#include <QImage>
#include <QList>
#include <QRgb>

#include <cstdint>

class CWinBmp;
class QPainter;

/// A bitmap's own pixel rows wrapped as a QImage, without copying them.
///
/// The rows are stored bottom-up, so the wrapped image (which starts at the
/// bottom row, positive stride) is upside down. Draw() flips it back with the
/// painter's transform when scaling, and at 1:1 under a plain translation
/// (scrolling) draws the visible rows the right way up, because Qt's flipped
/// blits are several times slower than its plain ones. The wrapper stays valid until the bitmap's
/// storage is freed: call Reset() before that, or Attach() again before each use, which rebuilds it
/// whenever the storage or the format changed.
class CDibImage
{
public:
    /// Wraps the rows of bmp, rebuilding the wrapper only when its storage,
    /// geometry or format changed; the colour table is refreshed every time.
    /// Returns false when the bitmap has no pixels or a depth Qt cannot wrap
    /// (only 1, 8 and 32 bits can).
    bool Attach(const CWinBmp& bmp);
    void Reset();
    bool IsNull() const { return m_image.isNull(); }

    /// How often the wrapper has been built for new storage.
    int GetSetupCount() const { return m_nSetups; }
    /// The wrapper itself: upside down, sharing the bitmap's rows.
    const QImage& GetImage() const { return m_image; }

    /// Draws the source rectangle (top-down bitmap coordinates, clipped to the
    /// bitmap) into the destination rectangle (painter coordinates). `smooth`
    /// asks for bilinear filtering when the picture is scaled; otherwise
    /// pixels are sampled nearest-neighbour. Returns false when there was
    /// nothing to draw.
    bool Draw(QPainter& painter, const CRect& dst, const CRect& src, bool smooth);

    /// A top-down deep copy of the picture.
    QImage ToImage() const;

private:
    /// The 1:1 case under a translation: draws only the visible rows.
    /// False when the painter's transform or device does not allow it.
    bool DrawRows(QPainter& painter, const QRect& target, const CRect& s);
    /// Image row y counted from the top.
    const uint8_t* RowAt(int y) const
    {
        return m_pBits + qsizetype(m_nHeight - 1 - y) * m_image.bytesPerLine();
    }
    /// The colour table as Qt wants it: opaque unless the bitmap has alpha.
    static QList<QRgb> ColorTableOf(const CWinBmp& bmp);

    QImage m_image;
    QImage m_band; // strip buffer of the 1:1 path for palette images
    const uint8_t* m_pBits = nullptr;
    int m_nWidth = 0;
    int m_nHeight = 0;
    int m_nBpp = 0;
    bool m_bAlpha = false;
    int m_nSetups = 0;
};
