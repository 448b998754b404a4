// The clipboard copy: a BMP file (header, palette, rows) and a plain image.
#include "DrawDibBmp.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>

#include <gtest/gtest.h>

#include <cstring>

namespace
{
QGuiApplication& App()
{
    static int argc = 1;
    static char name[] = "vistrel-render-tests";
    static char* argv[] = {name, nullptr};
    static QGuiApplication app(argc, argv);
    return app;
}

uint32_t LE32(const QByteArray& b, int at)
{
    uint32_t v = 0;
    for (int i = 3; i >= 0; i--)
        v = (v << 8) | uint8_t(b[at + i]);
    return v;
}

TEST(Clipboard, NoClipboardWithoutAnApplication)
{
    if (QCoreApplication::instance())
        GTEST_SKIP() << "another test of this process created the application";
    CDrawDibBmp bmp;
    EXPECT_FALSE(bmp.CopyToClipboard());
}

TEST(Clipboard, HoldsFileHeaderPaletteAndRowsThenAPlainImage)
{
    App();
    for (int bpp : {8, 32})
    {
        SCOPED_TRACE(bpp);
        CDrawDibBmp bmp;
        bmp.Create(5, 3, bpp, false);
        // Top row red, the rest black: the plain image must show it on top.
        if (bpp == 8)
        {
            bmp.GetPaletteTable()[7] = PaletteEntry{0, 0, 255, 0};
            std::memset(bmp.GetLineArray()[0], 7, 5);
        }
        else
        {
            for (int x = 0; x < 5; x++)
                reinterpret_cast<PaletteEntry*>(bmp.GetLineArray()[0])[x] =
                    PaletteEntry{0, 0, 255, 0xFF};
        }
        ASSERT_TRUE(bmp.CopyToClipboard());

        const QMimeData* data = QGuiApplication::clipboard()->mimeData();
        ASSERT_NE(data, nullptr);
        const QByteArray file = data->data("image/bmp");
        const std::vector<uint8_t> dib = bmp.CreateDibHandle();
        const size_t palBytes = bpp == 8 ? 1024 : 0;
        ASSERT_EQ(dib.size(), 40 + palBytes + size_t(bmp.GetLineSize()) * 3);
        ASSERT_EQ(size_t(file.size()), 14 + dib.size());
        EXPECT_EQ(file.left(2), QByteArray("BM"));
        EXPECT_EQ(LE32(file, 2), uint32_t(file.size()));
        EXPECT_EQ(LE32(file, 6), 0u);
        EXPECT_EQ(LE32(file, 10), uint32_t(54 + palBytes));
        EXPECT_EQ(std::memcmp(file.constData() + 14, dib.data(), dib.size()), 0);
        // Header, palette, then the rows bottom-up: the red row comes last.
        EXPECT_EQ(LE32(file, 14), 40u);
        EXPECT_EQ(uint8_t(file[qsizetype(file.size()) - bmp.GetLineSize()]), bpp == 8 ? 7 : 0);

        ASSERT_TRUE(data->hasImage());
        const QImage image = qvariant_cast<QImage>(data->imageData());
        ASSERT_EQ(image.size(), QSize(5, 3));
        EXPECT_EQ(image.pixel(0, 0), qRgb(255, 0, 0));
        EXPECT_EQ(image.pixel(4, 2), qRgb(0, 0, 0));
    }
}
} // namespace
