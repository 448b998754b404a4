// Drawing through CDrawDibBmp and CPainterDC onto a QImage: colours, the
// right way up, source parts, clipping, palettes and the cached wrapper.
#include "DrawDibBmp.h"
#include "PainterDC.h"

#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

#include <ostream>
#include <vector>

namespace
{
constexpr QRgb kBackground = 0xFF101010;

// Small pictures whose every pixel is known: 4 x 3 for 8 and 32 bits,
// 11 x 3 at 1 bit (a row crosses a byte).
int WidthFor(int bpp)
{
    return bpp == 1 ? 11 : 4;
}
constexpr int kH = 3;

QRgb Expected(int bpp, int x, int y)
{
    if (bpp == 32)
        return qRgb(40 * x + 10, 60 * y + 20, 200);
    if (bpp == 8)
    {
        const int i = y * 4 + x;
        return qRgb(i * 20, 255 - i * 20, i * 3);
    }
    return (x + 2 * y) % 3 == 0 ? qRgb(255, 255, 0) : qRgb(0, 0, 255);
}

template <class TBmp> void FillPicture(TBmp& bmp, int bpp)
{
    const int w = WidthFor(bpp);
    bmp.Create(w, kH, bpp, false);
    uint8_t** lines = bmp.GetLineArray();
    for (int y = 0; y < kH; y++)
        for (int x = 0; x < w; x++)
        {
            uint8_t* row = lines[y];
            const QRgb c = Expected(bpp, x, y);
            if (bpp == 32)
            {
                row[4 * x] = uint8_t(qBlue(c));
                row[4 * x + 1] = uint8_t(qGreen(c));
                row[4 * x + 2] = uint8_t(qRed(c));
                row[4 * x + 3] = 0xFF; // filler, as the decoders write it
            }
            else if (bpp == 8)
                row[x] = uint8_t(y * 4 + x);
            else if (qRed(c) == 255)
                row[x / 8] |= uint8_t(0x80 >> (x % 8));
        }
    if (bpp == 8)
    {
        // The fourth byte is zero, as in most files: it must not make the
        // picture transparent.
        std::vector<PaletteEntry> pal(256, PaletteEntry{0, 0, 0, 0});
        for (int i = 0; i < 12; i++)
        {
            const QRgb c = qRgb(i * 20, 255 - i * 20, i * 3);
            pal[size_t(i)] =
                PaletteEntry{uint8_t(qBlue(c)), uint8_t(qGreen(c)), uint8_t(qRed(c)), 0};
        }
        bmp.SetPalette(pal.data());
    }
    if (bpp == 1)
    {
        const PaletteEntry pal[2] = {{255, 0, 0, 0}, {0, 255, 255, 0}};
        bmp.SetPalette(pal);
    }
}

QImage Canvas(int w = 30, int h = 12)
{
    QImage img(w, h, QImage::Format_ARGB32_Premultiplied);
    img.fill(kBackground);
    return img;
}

/// Every canvas pixel is `expect(x, y)`, which returns kBackground where the
/// picture must not have drawn.
template <class F> void ExpectCanvas(const QImage& canvas, F expect)
{
    for (int y = 0; y < canvas.height(); y++)
        for (int x = 0; x < canvas.width(); x++)
        {
            const QRgb want = expect(x, y);
            ASSERT_EQ(canvas.pixel(x, y) | 0xFF000000, want) << "at (" << x << ", " << y << ")";
        }
}

struct RenderCase
{
    int bpp;
    bool smooth;
};

void PrintTo(const RenderCase& c, std::ostream* os)
{
    *os << c.bpp << " bit, " << (c.smooth ? "smooth" : "plain");
}

class RenderPaths : public ::testing::TestWithParam<RenderCase>
{
protected:
    void SetUp() override { FillPicture(m_bmp, GetParam().bpp); }
    int W() const { return WidthFor(GetParam().bpp); }
    QRgb At(int x, int y) const { return Expected(GetParam().bpp, x, y); }

    CDrawDibBmp m_bmp;
};

TEST_P(RenderPaths, OneToOneIsRightWayUpAtTheDestination)
{
    QImage canvas = Canvas();
    QPainter p(&canvas);
    const CRect dst{2, 1, 2 + W(), 1 + kH};
    m_bmp.Render(p, &dst, nullptr, GetParam().smooth, nullptr, false);
    p.end();
    ExpectCanvas(canvas,
                 [&](int x, int y)
                 {
                     const bool inside = x >= 2 && x < 2 + W() && y >= 1 && y < 1 + kH;
                     return inside ? At(x - 2, y - 1) : kBackground;
                 });
}

TEST_P(RenderPaths, ScrolledViewShowsTheScrolledPart)
{
    QImage canvas = Canvas();
    QPainter p(&canvas);
    p.translate(-3, -1);
    m_bmp.Render(p, nullptr, nullptr, GetParam().smooth, nullptr, false);
    p.end();
    ExpectCanvas(canvas, [&](int x, int y)
                 { return x < W() - 3 && y < kH - 1 ? At(x + 3, y + 1) : kBackground; });
}

TEST_P(RenderPaths, ClipLimitsWhatIsDrawn)
{
    QImage canvas = Canvas();
    QPainter p(&canvas);
    p.setClipRect(QRect(1, 1, 2, 1));
    m_bmp.Render(p, nullptr, nullptr, GetParam().smooth, nullptr, false);
    p.end();
    ExpectCanvas(canvas,
                 [&](int x, int y) { return x >= 1 && x < 3 && y == 1 ? At(x, y) : kBackground; });
}

TEST_P(RenderPaths, SourceRectangleLandsAtTheDestination)
{
    // Source partly outside the picture: only its inside part is drawn,
    // where it would have landed.
    QImage canvas = Canvas();
    QPainter p(&canvas);
    const CRect src{-2, -1, 2, 2};
    const CRect dst{6, 5, 10, 8};
    m_bmp.Render(p, &dst, &src, GetParam().smooth, nullptr, false);
    p.end();
    ExpectCanvas(canvas, [&](int x, int y)
                 { return x >= 8 && x < 10 && y >= 6 && y < 8 ? At(x - 8, y - 6) : kBackground; });
}

TEST_P(RenderPaths, ReturnsOneOnlyWhenTheSmoothPathDrew)
{
    QImage canvas = Canvas();
    QPainter p(&canvas);
    const CRect empty{5, 5, 5, 9};
    EXPECT_EQ(m_bmp.Render(p, nullptr, nullptr, GetParam().smooth, nullptr, false),
              GetParam().smooth ? 1 : 0);
    EXPECT_EQ(m_bmp.Render(p, &empty, nullptr, GetParam().smooth, nullptr, false), 0);
}

INSTANTIATE_TEST_SUITE_P(Depths, RenderPaths,
                         ::testing::Values(RenderCase{1, false}, RenderCase{1, true},
                                           RenderCase{8, false}, RenderCase{8, true},
                                           RenderCase{32, false}, RenderCase{32, true}),
                         [](const auto& param) {
                             return std::to_string(param.param.bpp) + "bit" +
                                    (param.param.smooth ? "Smooth" : "Plain");
                         });

TEST(Render, PlainScalingRepeatsPixelsTheRightWayUp)
{
    for (int bpp : {1, 8, 32})
    {
        SCOPED_TRACE(bpp);
        CDrawDibBmp bmp;
        FillPicture(bmp, bpp);
        const int w = WidthFor(bpp);

        // Scaled by the painter, as when printing.
        QImage canvas = Canvas();
        QPainter p(&canvas);
        p.scale(2, 2);
        bmp.Render(p, nullptr, nullptr, false, nullptr, false);
        p.end();
        ExpectCanvas(canvas,
                     [&](int x, int y) {
                         return x < 2 * w && y < 2 * kH ? Expected(bpp, x / 2, y / 2) : kBackground;
                     });

        // Scaled by the destination, as in fit mode.
        canvas = Canvas();
        p.begin(&canvas);
        const CRect dst{0, 0, 2 * w, 3 * kH};
        bmp.Render(p, &dst, nullptr, false, nullptr, false);
        p.end();
        ExpectCanvas(canvas,
                     [&](int x, int y) {
                         return x < 2 * w && y < 3 * kH ? Expected(bpp, x / 2, y / 3) : kBackground;
                     });
    }
}

TEST(Render, SmoothScalingKeepsTheTopBandAtTheTop)
{
    for (int bpp : {8, 32})
    {
        SCOPED_TRACE(bpp);
        CDrawDibBmp bmp;
        bmp.Create(4, 4, bpp, false);
        const PaletteEntry red{0, 0, 255, 255};
        const PaletteEntry blue{255, 0, 0, 255};
        for (int y = 0; y < 4; y++)
            for (int x = 0; x < 4; x++)
            {
                if (bpp == 8)
                    bmp.GetLineArray()[y][x] = y < 2 ? 1 : 2;
                else
                    reinterpret_cast<PaletteEntry*>(bmp.GetLineArray()[y])[x] = y < 2 ? red : blue;
            }
        if (bpp == 8)
        {
            bmp.GetPaletteTable()[1] = red;
            bmp.GetPaletteTable()[2] = blue;
        }
        QImage canvas = Canvas(8, 8);
        QPainter p(&canvas);
        const CRect dst{0, 0, 8, 8};
        bmp.Render(p, &dst, nullptr, true, nullptr, false);
        p.end();
        for (int x = 0; x < 8; x++)
        {
            EXPECT_EQ(canvas.pixel(x, 0), qRgb(255, 0, 0));
            EXPECT_EQ(canvas.pixel(x, 7), qRgb(0, 0, 255));
        }
    }
}

TEST(Render, AlphaFlagMakesStoredAlphaOpacity)
{
    CDrawDibBmp bmp;
    bmp.Create(2, 1, 32, true);
    auto* px = reinterpret_cast<PaletteEntry*>(bmp.GetLineArray()[0]);
    px[0] = PaletteEntry{0, 0, 255, 0};   // fully transparent red
    px[1] = PaletteEntry{0, 255, 0, 255}; // opaque green
    QImage canvas = Canvas(2, 1);
    QPainter p(&canvas);
    bmp.Render(p, nullptr, nullptr, false, nullptr, false);
    p.end();
    EXPECT_EQ(canvas.pixel(0, 0), kBackground);
    EXPECT_EQ(canvas.pixel(1, 0), qRgb(0, 255, 0));
}

TEST(Render, WrapperIsSetUpOncePerStorageAndFollowsThePalette)
{
    CDrawDibBmp bmp;
    FillPicture(bmp, 8);
    QImage canvas = Canvas();
    QPainter p(&canvas);
    bmp.Render(p, nullptr, nullptr, true, nullptr, false);
    bmp.Render(p, nullptr, nullptr, false, nullptr, false);
    EXPECT_EQ(bmp.GetDrawDib().GetSetupCount(), 1);
    EXPECT_EQ(bmp.GetDrawDib().GetImage().constBits(), bmp.GetBits());

    // A new palette shows on the next paint without a new wrapper.
    bmp.GetPaletteTable()[0] = PaletteEntry{0, 128, 0, 0};
    bmp.Render(p, nullptr, nullptr, false, nullptr, false);
    EXPECT_EQ(canvas.pixel(0, 0), qRgb(0, 128, 0));
    EXPECT_EQ(bmp.GetDrawDib().GetSetupCount(), 1);

    // New storage gets a new wrapper over the new rows.
    bmp.Create(5, 5, 32, false);
    bmp.Render(p, nullptr, nullptr, true, nullptr, false);
    p.end();
    EXPECT_EQ(bmp.GetDrawDib().GetSetupCount(), 2);
    EXPECT_EQ(bmp.GetDrawDib().GetImage().constBits(), bmp.GetBits());
}

TEST(Render, StretchDrawTruncatesTheScaledSize)
{
    CDrawDibBmp bmp;
    bmp.Create(101, 51, 8, false);
    bmp.GetPaletteTable()[0] = PaletteEntry{0, 0, 255, 255};
    QImage canvas = Canvas(100, 100);
    QPainter p(&canvas);
    CPainterDC dc(p);
    bmp.StretchDraw(dc, 10, 20, 0.5);
    p.end();
    ExpectCanvas(canvas,
                 [](int x, int y) {
                     return x >= 10 && x < 60 && y >= 20 && y < 45 ? qRgb(255, 0, 0) : kBackground;
                 });
}

TEST(Render, DrawAndDrawPartPlaceThePictureAtXY)
{
    for (int bpp : {1, 8, 32})
    {
        SCOPED_TRACE(bpp);
        CDrawDibBmp bmp;
        FillPicture(bmp, bpp);
        QImage canvas = Canvas();
        QPainter p(&canvas);
        CPainterDC dc(p);
        bmp.Draw(dc, 3, 2);
        p.end();
        ExpectCanvas(canvas,
                     [&](int x, int y)
                     {
                         return x >= 3 && x < 3 + WidthFor(bpp) && y >= 2 && y < 2 + kH
                                    ? Expected(bpp, x - 3, y - 2)
                                    : kBackground;
                     });

        canvas = Canvas();
        p.begin(&canvas);
        bmp.DrawPart(dc, 5, 4, CRect{1, 1, 3, 3});
        p.end();
        ExpectCanvas(canvas,
                     [&](int x, int y) {
                         return x >= 5 && x < 7 && y >= 4 && y < 6 ? Expected(bpp, x - 4, y - 3)
                                                                   : kBackground;
                     });
    }
}

TEST(PainterDC, BitmapClassesDrawThemselvesOnAPainter)
{
    for (int bpp : {1, 8, 32})
    {
        SCOPED_TRACE(bpp);
        CWinBmp winBmp;
        FillPicture(winBmp, bpp);
        CDIBSection section;
        FillPicture(section, bpp);
        QImage canvas = Canvas();
        QPainter p(&canvas);
        CPainterDC dc(p);
        winBmp.Draw(dc, 0, 0);
        section.DrawPart(dc, 20, 6, CRect{1, 0, 3, 2});
        p.end();
        ExpectCanvas(canvas,
                     [&](int x, int y)
                     {
                         if (x < WidthFor(bpp) && y < kH)
                             return Expected(bpp, x, y);
                         if (x >= 20 && x < 22 && y >= 6 && y < 8)
                             return Expected(bpp, x - 19, y - 6);
                         return kBackground;
                     });
    }
}

TEST(Render, WidePaletteRowsScrolledToAnOddColumn)
{
    // 1-bit rows read from a bit offset inside a byte, 8-bit from any column.
    for (int bpp : {1, 8})
    {
        SCOPED_TRACE(bpp);
        CDrawDibBmp bmp;
        bmp.Create(300, 40, bpp, false);
        for (int y = 0; y < 40; y++)
            for (int x = 0; x < 300; x++)
            {
                const bool on = (x * 7 + y) % 5 == 0;
                if (bpp == 8)
                    bmp.GetLineArray()[y][x] = on ? 255 : 0;
                else if (on)
                    bmp.GetLineArray()[y][x / 8] |= uint8_t(0x80 >> (x % 8));
            }
        QImage canvas = Canvas(50, 20);
        QPainter p(&canvas);
        p.translate(-133, -13);
        bmp.Render(p, nullptr, nullptr, false, nullptr, false);
        p.end();
        ExpectCanvas(
            canvas, [](int x, int y)
            { return ((x + 133) * 7 + y + 13) % 5 == 0 ? qRgb(255, 255, 255) : qRgb(0, 0, 0); });
    }
}

TEST(Palette, ColourTableBecomesPaletteHalftoneOtherwise)
{
    CDrawDibBmp bmp8;
    FillPicture(bmp8, 8);
    const QList<QRgb>& pal8 = bmp8.GetPalette().GetEntries();
    ASSERT_EQ(pal8.size(), 256);
    for (int i = 0; i < 12; i++)
    {
        const QRgb want = Expected(8, i % 4, i / 4);
        EXPECT_EQ(qRed(pal8[i]), qRed(want));
        EXPECT_EQ(qGreen(pal8[i]), qGreen(want));
        EXPECT_EQ(qBlue(pal8[i]), qBlue(want));
    }

    CDrawDibBmp bmp1;
    FillPicture(bmp1, 1);
    ASSERT_EQ(bmp1.GetPalette().GetEntries().size(), 2);
    EXPECT_EQ(qRed(bmp1.GetPalette().GetEntries()[0]), 0);
    EXPECT_EQ(qBlue(bmp1.GetPalette().GetEntries()[0]), 255);

    CDrawDibBmp bmp32;
    bmp32.Create(2, 2, 32, false);
    EXPECT_TRUE(bmp32.GetPalette().IsHalftone());

    // Kept until rebuilt.
    bmp1.GetPaletteTable()[0] = PaletteEntry{0, 0, 9, 0};
    EXPECT_EQ(qRed(bmp1.GetPalette().GetEntries()[0]), 0);
    EXPECT_TRUE(bmp1.RebuildPalette());
    EXPECT_EQ(qRed(bmp1.GetPalette().GetEntries()[0]), 9);
}
} // namespace
