#include "DIBSection.h"
#include "PicDecoder.h"
#include "TestSupport.h"
#include "WinBmp.h"

#include <cstring>

namespace
{
void FillPattern(CBmp& bmp)
{
    for (int y = 0; y < bmp.GetHeight(); y++)
        for (int i = 0; i < bmp.GetLineSize(); i++)
            bmp.GetLineArray()[y][i] = uint8_t(y * 31 + i * 7);
}

PaletteEntry Pixel32(const CBmp& bmp, int x, int y)
{
    PaletteEntry c;
    std::memcpy(&c, bmp.GetLineArray()[y] + 4 * x, 4);
    return c;
}

template <class T> class BitmapClasses : public ::testing::Test
{
};
using BitmapTypes = ::testing::Types<CWinBmp, CDIBSection>;
TYPED_TEST_SUITE(BitmapClasses, BitmapTypes);
} // namespace

TYPED_TEST(BitmapClasses, FreshBitmapIsSixteenSquareGrayRamp)
{
    TypeParam bmp;
    EXPECT_EQ(bmp.GetWidth(), 16);
    EXPECT_EQ(bmp.GetHeight(), 16);
    EXPECT_EQ(bmp.GetBitsPerPixel(), 8);
    EXPECT_FALSE(bmp.HasAlpha());
    ASSERT_NE(bmp.GetPaletteTable(), nullptr);
    for (int i = 0; i < 256; i++)
        EXPECT_EQ(bmp.GetPaletteTable()[i],
                  (PaletteEntry{uint8_t(i), uint8_t(i), uint8_t(i), 255}));
}

TYPED_TEST(BitmapClasses, GeometryAndStorageLayout)
{
    TypeParam bmp;
    bmp.Create(9, 3, 1, false);
    EXPECT_EQ(bmp.GetLineSize(), 4);
    ASSERT_NE(bmp.GetPaletteTable(), nullptr);
    EXPECT_EQ(bmp.GetPaletteTable()[0], (PaletteEntry{0, 0, 0, 255}));
    EXPECT_EQ(bmp.GetPaletteTable()[1], (PaletteEntry{255, 255, 255, 255}));

    bmp.Create(1, 2, 8, false);
    EXPECT_EQ(bmp.GetLineSize(), 4);

    bmp.Create(3, 5, 32, true);
    EXPECT_EQ(bmp.GetLineSize(), 12);
    EXPECT_EQ(bmp.GetPaletteTable(), nullptr);
    EXPECT_TRUE(bmp.HasAlpha());
    // Bottom-up storage: row 0 (the top) is the last row in memory.
    EXPECT_EQ(bmp.GetLineArray()[0], bmp.GetBits() + 4 * 12);
    EXPECT_EQ(bmp.GetLineArray()[4], bmp.GetBits());
    // Fresh pixels are defined (zero), not heap garbage.
    for (int y = 0; y < 5; y++)
        for (int i = 0; i < 12; i++)
            ASSERT_EQ(bmp.GetLineArray()[y][i], 0);
    EXPECT_EQ(bmp.GetMemoryUse(), 12u * 5 + 40 + sizeof(CWinBmp));
}

TYPED_TEST(BitmapClasses, PackedDibHoldsHeaderPaletteRowsInOrder)
{
    TypeParam bmp;
    bmp.Create(5, 3, 8, false);
    FillPattern(bmp);
    bmp.GetPaletteTable()[7] = PaletteEntry{1, 2, 3, 255};
    const std::vector<uint8_t> dib = bmp.CreateDibHandle();
    ASSERT_EQ(dib.size(), 40u + 1024 + 8 * 3);
    BitmapInfoHeader h;
    std::memcpy(&h, dib.data(), 40);
    EXPECT_EQ(h.biSize, 40u);
    EXPECT_EQ(h.biWidth, 5);
    EXPECT_EQ(h.biHeight, 3);
    EXPECT_EQ(h.biPlanes, 1);
    EXPECT_EQ(h.biBitCount, 8);
    EXPECT_EQ(h.biCompression, 0u);
    EXPECT_EQ(0, std::memcmp(dib.data() + 40 + 4 * 7, "\x01\x02\x03\xFF", 4));
    // Rows bottom-up after the palette.
    EXPECT_EQ(0, std::memcmp(dib.data() + 40 + 1024, bmp.GetLineArray()[2], 8));
    EXPECT_EQ(0, std::memcmp(dib.data() + 40 + 1024 + 16, bmp.GetLineArray()[0], 8));

    TypeParam copy;
    copy.CreateFromPackedDib(dib.data(), dib.size());
    EXPECT_EQ(copy.GetWidth(), 5);
    EXPECT_EQ(copy.GetBitsPerPixel(), 8);
    EXPECT_EQ(copy.GetPaletteTable()[7], (PaletteEntry{1, 2, 3, 255}));
    EXPECT_EQ(0, std::memcmp(copy.GetLineArray()[1], bmp.GetLineArray()[1], 8));

    EXPECT_DECODE_ERROR(copy.CreateFromPackedDib(dib.data(), dib.size() - 1), 11, nullptr);
    EXPECT_DECODE_ERROR(copy.CreateFromPackedDib(dib.data(), 20), 11, nullptr);
}

TEST(Bitmap, CreateRefusesImpossibleSizes)
{
    CDIBSection bmp;
    EXPECT_DECODE_ERROR(bmp.Create(0, 10, 8, false), 2, nullptr);
    EXPECT_DECODE_ERROR(bmp.Create(10, -1, 32, false), 2, nullptr);
    EXPECT_DECODE_ERROR(bmp.Create(0x7FFFFFFF, 0x7FFFFFFF, 32, false), 10, nullptr);
    EXPECT_DECODE_ERROR(bmp.Create(1 << 30, 1 << 20, 32, false), 10, nullptr);
    // A failed Create leaves the old bitmap intact and usable.
    EXPECT_EQ(bmp.GetWidth(), 16);
    EXPECT_EQ(bmp.GetHeight(), 16);

    const size_t saved = CBmp::GetMaxPixelBytes();
    CBmp::SetMaxPixelBytes(1000);
    EXPECT_DECODE_ERROR(bmp.Create(100, 100, 8, false), 10, nullptr);
    CBmp::SetMaxPixelBytes(saved);
}

TEST(Bitmap, LargePanoramaOpens)
{
    if (CBmp::GetMaxPixelBytes() < size_t(20000) * 15000 * 4)
        GTEST_SKIP() << "machine has too little memory";
    CDIBSection bmp;
    bmp.Create(20000, 15000, 32, false);
    EXPECT_EQ(bmp.GetLineArray()[14999], bmp.GetBits());
    bmp.GetLineArray()[0][4 * 19999] = 1; // the last byte of the top row is writable
}

TEST(Bitmap, ConvertFromSameDepthIsExactCopy)
{
    CDIBSection src;
    src.Create(7, 4, 8, false);
    FillPattern(src);
    src.GetPaletteTable()[3] = PaletteEntry{9, 8, 7, 6};
    CWinBmp dst;
    dst.ConvertFrom(src, 0);
    EXPECT_EQ(dst.GetBitsPerPixel(), 8);
    EXPECT_EQ(dst.GetPaletteTable()[3], (PaletteEntry{9, 8, 7, 6}));
    for (int y = 0; y < 4; y++)
        EXPECT_EQ(0, std::memcmp(dst.GetLineArray()[y], src.GetLineArray()[y], 8));

    const std::vector<uint8_t> before = src.CreateDibHandle();
    src.ConvertFrom(src, 8);
    EXPECT_EQ(src.CreateDibHandle(), before);
}

TEST(Bitmap, ConvertDepths)
{
    CDIBSection pal8;
    pal8.Create(3, 1, 8, false);
    pal8.GetPaletteTable()[5] = PaletteEntry{10, 20, 30, 40};
    pal8.GetLineArray()[0][0] = 5;
    CDIBSection rgb;
    rgb.ConvertFrom(pal8, 32);
    EXPECT_EQ(Pixel32(rgb, 0, 0), (PaletteEntry{10, 20, 30, 40}));
    EXPECT_EQ(Pixel32(rgb, 1, 0), (PaletteEntry{0, 0, 0, 255}));

    CDIBSection mono;
    mono.Create(10, 1, 1, false);
    mono.GetPaletteTable()[0] = PaletteEntry{1, 1, 1, 7};
    mono.GetPaletteTable()[1] = PaletteEntry{2, 2, 2, 7};
    mono.GetLineArray()[0][0] = 0x80; // first pixel set, MSB first
    mono.GetLineArray()[0][1] = 0x40; // pixel 9 set
    CDIBSection idx;
    idx.ConvertFrom(mono, 8);
    EXPECT_EQ(idx.GetLineArray()[0][0], 1);
    EXPECT_EQ(idx.GetLineArray()[0][1], 0);
    EXPECT_EQ(idx.GetLineArray()[0][9], 1);
    EXPECT_EQ(idx.GetPaletteTable()[1], (PaletteEntry{2, 2, 2, 255}));
    rgb.ConvertFrom(mono, 32);
    EXPECT_EQ(Pixel32(rgb, 0, 0), (PaletteEntry{2, 2, 2, 7}));
    EXPECT_EQ(Pixel32(rgb, 8, 0), (PaletteEntry{1, 1, 1, 7}));

    // Threshold: every channel below 128 is black (bit 1).
    CDIBSection grays;
    grays.Create(2, 1, 32, false);
    std::memcpy(grays.GetLineArray()[0], "\x80\x80\x80\xFF\x7F\x7F\x7F\xFF", 8);
    CDIBSection bw;
    bw.ConvertFrom(grays, 1);
    EXPECT_EQ(bw.GetLineArray()[0][0], 0x40);
    EXPECT_EQ(bw.GetPaletteTable()[0], (PaletteEntry{255, 255, 255, 255}));
    EXPECT_EQ(bw.GetPaletteTable()[1], (PaletteEntry{0, 0, 0, 255}));
}

TEST(Bitmap, BlendAndAlpha)
{
    CDIBSection target;
    target.Create(4, 4, 32, false);
    for (int y = 0; y < 4; y++)
        for (int x = 0; x < 4; x++)
            std::memcpy(target.GetLineArray()[y] + 4 * x, "\x00\x00\xC8\x11", 4);

    CDIBSection src;
    src.Create(3, 3, 32, true);
    for (int y = 0; y < 3; y++)
        for (int x = 0; x < 3; x++)
            std::memcpy(src.GetLineArray()[y] + 4 * x, "\xFF\x00\x00\x80", 4);
    // Placed at (2, -1): only the part inside the target is touched.
    target.BlendFrom(src, 2, -1);
    const PaletteEntry blended = Pixel32(target, 2, 0);
    EXPECT_EQ(blended.b, (128 * 255) >> 8);
    EXPECT_EQ(blended.r, (127 * 200) >> 8);
    EXPECT_EQ(blended.a, 0x11); // the target's alpha is left alone
    EXPECT_EQ(Pixel32(target, 1, 0), (PaletteEntry{0, 0, 200, 0x11}));
    EXPECT_EQ(Pixel32(target, 3, 1), blended);
    EXPECT_EQ(Pixel32(target, 3, 2), (PaletteEntry{0, 0, 200, 0x11}));

    CDIBSection mask;
    mask.Create(4, 4, 8, false);
    mask.GetLineArray()[1][2] = 77;
    target.SetAlphaFromBitmap(mask);
    EXPECT_TRUE(target.HasAlpha());
    EXPECT_EQ(Pixel32(target, 2, 1).a, 77);
    EXPECT_EQ(Pixel32(target, 0, 0).a, 0);
}

TEST(Bitmap, ReduceAveragesWeightedByAlpha)
{
    // 4 x 2 into 2 x 1: each target pixel averages a 2 x 2 box.
    CDIBSection src;
    src.Create(4, 2, 32, true);
    const PaletteEntry opaqueRed{0, 0, 255, 255}, clearBlue{255, 0, 0, 0},
        halfGreen{0, 255, 0, 128};
    for (int y = 0; y < 2; y++)
    {
        std::memcpy(src.GetLineArray()[y], &opaqueRed, 4);
        std::memcpy(src.GetLineArray()[y] + 4, &clearBlue, 4);
        std::memcpy(src.GetLineArray()[y] + 8, &halfGreen, 4);
        std::memcpy(src.GetLineArray()[y] + 12, &halfGreen, 4);
    }
    CDIBSection small;
    small.ReduceFrom(src, 2, 1);
    ASSERT_EQ(small.GetWidth(), 2);
    EXPECT_TRUE(small.HasAlpha());
    // The transparent blue adds no colour, only coverage.
    EXPECT_EQ(Pixel32(small, 0, 0), (PaletteEntry{0, 0, 255, 128}));
    EXPECT_EQ(Pixel32(small, 1, 0), halfGreen);

    // An 8-bit source through its palette, into opaque pixels.
    CDIBSection pal;
    pal.Create(3, 1, 8, false);
    pal.GetLineArray()[0][0] = 0;
    pal.GetLineArray()[0][1] = 255;
    pal.GetLineArray()[0][2] = 255;
    small.ReduceFrom(pal, 1, 1);
    EXPECT_FALSE(small.HasAlpha());
    EXPECT_EQ(Pixel32(small, 0, 0), (PaletteEntry{170, 170, 170, 255}));
}

TEST(Bitmap, SaveAsBmpLayout)
{
    const std::string dir = test::TempDir();
    CDIBSection bmp;
    bmp.Create(5, 2, 32, true);
    for (int x = 0; x < 5; x++)
    {
        std::memcpy(bmp.GetLineArray()[0] + 4 * x, "\x01\x02\x03\x04", 4); // top
        std::memcpy(bmp.GetLineArray()[1] + 4 * x, "\x0A\x0B\x0C\x0D", 4); // bottom
    }
    bmp.SaveAsBmp(dir + "/w5.bmp");
    const std::vector<uint8_t> f = test::ReadFile(dir + "/w5.bmp");
    ASSERT_EQ(f.size(), 54u + 16 * 2);
    EXPECT_EQ(f[0], 'B');
    EXPECT_EQ(f[1], 'M');
    EXPECT_EQ(f[2] | f[3] << 8, 54 + 32);
    EXPECT_EQ(f[10], 54);
    EXPECT_EQ(f[14], 40);
    EXPECT_EQ(f[28], 24);
    // Bottom row first, 15 pixel bytes, then the 0x20 pad byte.
    EXPECT_EQ(0, std::memcmp(f.data() + 54, "\x0A\x0B\x0C\x0A\x0B\x0C", 6));
    EXPECT_EQ(f[54 + 15], 0x20);
    EXPECT_EQ(0, std::memcmp(f.data() + 54 + 16, "\x01\x02\x03", 3));

    bmp.Create(4, 3, 32, false);
    bmp.SaveAsBmp(dir + "/w4.bmp");
    EXPECT_EQ(test::ReadFile(dir + "/w4.bmp").size(), 54u + 12 * 3);

    CDIBSection pal;
    pal.Create(3, 2, 8, false);
    FillPattern(pal);
    pal.SaveAsBmp(dir + "/p8.bmp");
    const std::vector<uint8_t> p = test::ReadFile(dir + "/p8.bmp");
    ASSERT_EQ(p.size(), 54u + 1024 + 4 * 2);
    EXPECT_EQ(p[10] | p[11] << 8, 54 + 1024);
    EXPECT_EQ(0, std::memcmp(p.data() + 54 + 1024, pal.GetBits(), 8));

    EXPECT_THROW(pal.SaveAsBmp(dir + "/no/such/dir/x.bmp"), std::system_error);
}
