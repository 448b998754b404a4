// Hand-built Windows bitmaps for what the suites lack: each header variant,
// bit count and mask layout, RLE escapes and clipping, the pixel-data
// offset, top-down files, header checks.
#include "AnyPicDecoder.h"
#include "BmpDecoder.h"
#include "TestSupport.h"

#include "PicDecoder.h"
#include "TextException.h"

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace
{
struct BmpSpec
{
    int width = 1;
    int height = 1;
    int bits = 8;
    uint32_t compression = 0;
    uint32_t headerSize = 40;          // 12 writes an OS/2 1.x header with 3-byte palette entries
    std::vector<uint32_t> masks;       // after a 40-byte header, inside longer ones
    std::vector<PaletteEntry> palette; // written as the colour table
    int64_t clrUsed = -1;              // -1: the palette's length
    std::vector<uint8_t> gap;          // bytes between colour table and pixels
    int64_t offBits = -1;              // -1: where the pixels start
    int64_t fileSize = -1;             // -1: the real size
    std::vector<uint8_t> pixels;
};

std::vector<uint8_t> MakeBmp(const BmpSpec& s)
{
    test::Bytes head;
    if (s.headerSize == 12)
        head.le32(12)
            .le16(unsigned(s.width))
            .le16(unsigned(s.height))
            .le16(1)
            .le16(unsigned(s.bits));
    else
    {
        head.le32(s.headerSize).le32(uint32_t(s.width)).le32(uint32_t(s.height)).le16(1);
        head.le16(unsigned(s.bits)).le32(s.compression).le32(0).le32(0).le32(0);
        head.le32(s.clrUsed < 0 ? uint32_t(s.palette.size()) : uint32_t(s.clrUsed)).le32(0);
        if (s.headerSize > 40)
            for (uint32_t m : s.masks)
                head.le32(m);
        head.fill(s.headerSize - std::min<size_t>(s.headerSize, head.size()));
        head.data.resize(s.headerSize);
        if (s.headerSize == 40)
            for (uint32_t m : s.masks)
                head.le32(m);
    }
    for (const PaletteEntry& e : s.palette)
    {
        head.u8(e.b).u8(e.g).u8(e.r); // the reserved byte is not alpha
        if (s.headerSize != 12)
            head.u8(0x77);
    }
    const size_t pixelStart = 14 + head.size() + s.gap.size();
    const size_t size = pixelStart + s.pixels.size();
    test::Bytes b;
    b.u8('B').u8('M').le32(s.fileSize < 0 ? uint32_t(size) : uint32_t(s.fileSize));
    b.le16(0).le16(0).le32(s.offBits < 0 ? uint32_t(pixelStart) : uint32_t(s.offBits));
    b.raw(head.data).raw(s.gap).raw(s.pixels);
    return b.data;
}

/// A palette whose entry i is (i, 2i, 3i) in blue, green, red.
std::vector<PaletteEntry> Ramp(int n)
{
    std::vector<PaletteEntry> pal;
    for (int i = 0; i < n; i++)
        pal.push_back(PaletteEntry{uint8_t(i), uint8_t(2 * i), uint8_t(3 * i), 255});
    return pal;
}

std::vector<uint8_t> Row(const CBmp& bmp, int y)
{
    const uint8_t* p = bmp.GetLineArray()[y];
    return std::vector<uint8_t>(p, p + bmp.GetWidth());
}

PaletteEntry Px(const CBmp& bmp, int x, int y)
{
    return reinterpret_cast<const PaletteEntry*>(bmp.GetLineArray()[y])[x];
}

/// An RLE bitmap of width x height with `codes` as its pixel data.
BmpSpec Rle(int bits, int width, int height, std::vector<uint8_t> codes)
{
    BmpSpec s;
    s.width = width;
    s.height = height;
    s.bits = bits;
    s.compression = bits == 8 ? 1 : 2;
    s.palette = Ramp(bits == 8 ? 256 : 16);
    s.pixels = std::move(codes);
    return s;
}

std::string Err(const std::string& text)
{
    return "Decoder error: " + text + "\n";
}
} // namespace

TEST(BmpDecoder, HeaderChecks)
{
    CDIBSection bmp;
    // 13 bytes: the file header itself is cut short.
    EXPECT_DECODE_ERROR(test::DecodeBytes({'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, bmp), 11,
                        kEndOfFileText);

    BmpSpec s;
    s.palette = Ramp(2);
    s.pixels = {0, 0, 0, 0};
    s.width = 0;
    EXPECT_DECODE_ERROR(test::DecodeBytes(MakeBmp(s), bmp), 2,
                        Err("Bitmap decoder: Illegal image size 0 x 1.").c_str());
    s.width = 1;
    s.height = 0;
    EXPECT_DECODE_ERROR(test::DecodeBytes(MakeBmp(s), bmp), 2,
                        Err("Bitmap decoder: Illegal image size 1 x 0.").c_str());
    s.height = int(0x80000000u);
    EXPECT_DECODE_ERROR(test::DecodeBytes(MakeBmp(s), bmp), 2, nullptr);
    s.height = 1;
    s.clrUsed = 257;
    EXPECT_DECODE_ERROR(
        test::DecodeBytes(MakeBmp(s), bmp), 2,
        Err("Bitmap decoder: Palette of 257 entries; at most 256 allowed.").c_str());
    s.clrUsed = -1;

    // The data must hold the declared file size less two bytes.
    const size_t size = MakeBmp(s).size();
    s.fileSize = int64_t(size) + 2;
    EXPECT_NO_THROW(test::DecodeBytes(MakeBmp(s), bmp));
    s.fileSize = int64_t(size) + 3;
    EXPECT_DECODE_ERROR(test::DecodeBytes(MakeBmp(s), bmp), 11, kEndOfFileText);

    // Huge dimensions fail before anything is allocated for them.
    BmpSpec big;
    big.width = 1 << 30;
    big.height = 1 << 30;
    big.bits = 24;
    big.fileSize = 0;
    EXPECT_DECODE_ERROR(test::DecodeBytes(MakeBmp(big), bmp), 10, nullptr);
}

TEST(BmpDecoder, UncompressedLayouts)
{
    CDIBSection bmp;
    // 24 bits, width 1: 3 pixel bytes and 1 pad byte per row; the first file
    // row is the bottom line.
    BmpSpec rgb;
    rgb.bits = 24;
    rgb.height = 2;
    rgb.pixels = {1, 2, 3, 0xEE, 4, 5, 6, 0xEE};
    test::DecodeBytes(MakeBmp(rgb), bmp);
    ASSERT_EQ(bmp.GetBitsPerPixel(), 32);
    EXPECT_FALSE(bmp.HasAlpha());
    EXPECT_EQ(Px(bmp, 0, 1), (PaletteEntry{1, 2, 3, 255}));
    EXPECT_EQ(Px(bmp, 0, 0), (PaletteEntry{4, 5, 6, 255}));

    // 32 bits: the four bytes as stored, bottom-up.
    BmpSpec argb;
    argb.bits = 32;
    argb.width = 2;
    argb.height = 2;
    argb.pixels = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    test::DecodeBytes(MakeBmp(argb), bmp);
    EXPECT_EQ(Px(bmp, 0, 1), (PaletteEntry{1, 2, 3, 4}));
    EXPECT_EQ(Px(bmp, 1, 0), (PaletteEntry{13, 14, 15, 16}));

    // 4 bits, width 3: two pixels from the first byte, the high nibble of the second.
    BmpSpec pal4;
    pal4.bits = 4;
    pal4.width = 3;
    pal4.palette = Ramp(16);
    pal4.pixels = {0x12, 0x3F, 0xFF, 0xFF};
    test::DecodeBytes(MakeBmp(pal4), bmp);
    EXPECT_EQ(Row(bmp, 0), (std::vector<uint8_t>{1, 2, 3}));
    test::DecodeBytes(MakeBmp(pal4), bmp, 32);
    EXPECT_EQ(Px(bmp, 2, 0), (PaletteEntry{3, 6, 9, 255}));
}

TEST(BmpDecoder, OneBitUsesTheFilePalette)
{
    BmpSpec s;
    s.bits = 1;
    s.width = 10;
    s.palette = {PaletteEntry{200, 0, 0, 255}, PaletteEntry{0, 0, 200, 255}};
    s.pixels = {0xA5, 0x80, 0, 0};
    CDIBSection bmp;
    test::DecodeBytes(MakeBmp(s), bmp);
    ASSERT_EQ(bmp.GetBitsPerPixel(), 8);
    EXPECT_EQ(Row(bmp, 0), (std::vector<uint8_t>{1, 0, 1, 0, 0, 1, 0, 1, 1, 0}));
    EXPECT_EQ(bmp.GetPaletteTable()[0], (PaletteEntry{200, 0, 0, 255}));
    EXPECT_EQ(bmp.GetPaletteTable()[1], (PaletteEntry{0, 0, 200, 255}));
    // At 32 bits the pixels take the same two colours, not black and white.
    test::DecodeBytes(MakeBmp(s), bmp, 32);
    EXPECT_EQ(Px(bmp, 0, 0), (PaletteEntry{0, 0, 200, 255}));
    EXPECT_EQ(Px(bmp, 1, 0), (PaletteEntry{200, 0, 0, 255}));
}

TEST(BmpDecoder, TopDownFiles)
{
    BmpSpec s;
    s.height = -2;
    s.palette = Ramp(4);
    s.pixels = {1, 0, 0, 0, 2, 0, 0, 0};
    CDIBSection bmp;
    test::DecodeBytes(MakeBmp(s), bmp);
    EXPECT_EQ(bmp.GetHeight(), 2);
    EXPECT_EQ(Row(bmp, 0), (std::vector<uint8_t>{1}));
    EXPECT_EQ(Row(bmp, 1), (std::vector<uint8_t>{2}));

    // Run-length data has no top-down form.
    BmpSpec rle = Rle(8, 1, 1, {1, 5, 0, 1});
    rle.height = -1;
    EXPECT_DECODE_ERROR(test::DecodeBytes(MakeBmp(rle), bmp), 2,
                        Err("Bitmap decoder: A compressed bitmap can't be top-down.").c_str());
}

TEST(BmpDecoder, PixelDataOffset)
{
    BmpSpec s;
    s.palette = Ramp(4);
    s.gap = {9, 9, 9, 9};
    s.pixels = {3, 0, 0, 0};
    CDIBSection bmp;
    // Pointing past a gap after the colour table: the pixels are read there.
    test::DecodeBytes(MakeBmp(s), bmp);
    EXPECT_EQ(Row(bmp, 0), (std::vector<uint8_t>{3}));
    // Pointing into the colour table or past the data: right after the table.
    for (int64_t off : {int64_t(60), int64_t(100000), int64_t(0xFFFFFFFF)})
    {
        s.offBits = off;
        test::DecodeBytes(MakeBmp(s), bmp);
        EXPECT_EQ(Row(bmp, 0), (std::vector<uint8_t>{9})) << off;
    }
}

/// One hand-built layout: the top row it must decode to (red, green, blue,
/// alpha per pixel) and whether the bitmap has alpha, or the error it fails with.
struct LayoutCase
{
    const char* name;
    BmpSpec layout;
    std::vector<uint8_t> rgba;
    bool alpha = false;
    const char* error = nullptr; // code 2
};

BmpSpec Layout(int bits, int width, uint32_t compression, std::vector<uint32_t> masks,
               std::vector<uint8_t> pixels, uint32_t headerSize = 40)
{
    BmpSpec s;
    s.bits = bits;
    s.width = width;
    s.compression = compression;
    s.masks = std::move(masks);
    s.headerSize = headerSize;
    s.pixels = std::move(pixels);
    if (bits <= 8)
        s.palette = Ramp(1 << bits);
    return s;
}

TEST(BmpDecoder, HeaderVariantsBitCountsAndMasks)
{
    const uint32_t rgb = 0, bitFields = 3, alphaBitFields = 6;
    const std::vector<LayoutCase> cases = {
        // 5-5-5 without masks; the top bit is unused.
        {"rgb555",
         Layout(16, 2, rgb, {}, {0xFF, 0xFF, 0x1F, 0x00}),
         {255, 255, 255, 255, 0, 0, 255, 255}},
        {"rgb565",
         Layout(16, 2, bitFields, {0xF800, 0x07E0, 0x001F}, {0xE0, 0x07, 0x00, 0xF8, 0, 0}),
         {0, 255, 0, 255, 255, 0, 0, 255}},
        // Masks in red-green-blue byte order rather than the stored blue-green-red.
        {"rgb32 reversed",
         Layout(32, 1, bitFields, {0xFF, 0xFF00, 0xFF0000}, {1, 2, 3, 4}),
         {1, 2, 3, 255}},
        {"alpha bit fields",
         Layout(32, 1, alphaBitFields, {0xFF0000, 0xFF00, 0xFF, 0xFF000000}, {1, 2, 3, 4}),
         {3, 2, 1, 4},
         true},
        // Alpha left at zero by the writer: opaque.
        {"zero alpha",
         Layout(32, 1, alphaBitFields, {0xFF0000, 0xFF00, 0xFF, 0xFF000000}, {1, 2, 3, 0}),
         {3, 2, 1, 255}},
        // 10-10-10-2 in a V4 header: channels scaled to 8 bits with rounding.
        {"v4 1010102",
         Layout(32, 1, bitFields, {0x3FF00000, 0x000FFC00, 0x000003FF, 0xC0000000},
                test::Bytes().le32(0xFFF00200).data, 108),
         {255, 0, 128, 255},
         true},
        // A V5 header's alpha mask also applies to uncompressed pixels.
        {"v5 rgb alpha",
         Layout(32, 1, rgb, {0xFF0000, 0xFF00, 0xFF, 0xFF000000}, {1, 2, 3, 4}, 124),
         {3, 2, 1, 4},
         true},
        {"os2 1.x", Layout(8, 2, rgb, {}, {5, 9, 0, 0}, 12), {15, 10, 5, 255, 27, 18, 9, 255}},
        {"os2 2.x short", Layout(8, 1, rgb, {}, {7, 0, 0, 0}, 16), {21, 14, 7, 255}},
        {"2 bits",
         Layout(2, 5, rgb, {}, {0x1B, 0x80, 0, 0}),
         {0, 0, 0, 255, 3, 2, 1, 255, 6, 4, 2, 255, 9, 6, 3, 255, 6, 4, 2, 255}},
        {"mask with a gap",
         Layout(16, 1, bitFields, {0xF00F, 0x0F00, 0x00F0}, {0, 0, 0, 0}),
         {},
         false,
         "Decoding bmp: Unsupported bit field layout."},
        {"embedded jpeg",
         Layout(24, 1, 4, {}, {0, 0, 0, 0}),
         {},
         false,
         "Decoding bmp: Unsupported compression 4."},
    };
    for (const LayoutCase& c : cases)
    {
        SCOPED_TRACE(c.name);
        CDIBSection bmp;
        if (c.error)
        {
            EXPECT_DECODE_ERROR(test::DecodeBytes(MakeBmp(c.layout), bmp), 2, Err(c.error).c_str());
            continue;
        }
        for (int depth : {0, 32})
        {
            ASSERT_NO_THROW(test::DecodeBytes(MakeBmp(c.layout), bmp, depth));
            const test::RgbaImage got = test::ToRgba(bmp);
            EXPECT_EQ(
                std::vector<uint8_t>(got.rgba.begin(), got.rgba.begin() + long(c.rgba.size())),
                c.rgba);
            EXPECT_EQ(bmp.HasAlpha(), c.alpha);
        }
    }
}

TEST(BmpDecoder, Rle8Codes)
{
    CDIBSection bmp;
    // Line 1 (bottom): run of 2, absolute run of 3 with its pad byte, early
    // end of line. Line 0: end of bitmap at once.
    test::DecodeBytes(MakeBmp(Rle(8, 6, 2, {2, 7, 0, 3, 4, 5, 6, 0xEE, 0, 0, 0, 1})), bmp);
    EXPECT_EQ(Row(bmp, 1), (std::vector<uint8_t>{7, 7, 4, 5, 6, 0}));
    EXPECT_EQ(Row(bmp, 0), (std::vector<uint8_t>(6, 0)));
    // At 32 bits the indices become their colours.
    test::DecodeBytes(MakeBmp(Rle(8, 6, 2, {2, 7, 0, 1})), bmp, 32);
    EXPECT_EQ(Px(bmp, 1, 1), (PaletteEntry{7, 14, 21, 255}));

    // Runs and absolute runs longer than the line are clipped to it; codes
    // after the top line's end are never reached.
    test::DecodeBytes(MakeBmp(Rle(8, 3, 2, {200, 1, 0, 0, 0, 5, 2, 3, 4, 5, 6, 0xEE, 0, 0, 9, 9})),
                      bmp);
    EXPECT_EQ(Row(bmp, 1), (std::vector<uint8_t>{1, 1, 1}));
    EXPECT_EQ(Row(bmp, 0), (std::vector<uint8_t>{2, 3, 4}));

    // A delta moves right and up; the pixels it skips keep colour 0, and at
    // 32 bits are transparent. One that leaves the picture ends it.
    test::DecodeBytes(MakeBmp(Rle(8, 4, 3, {2, 7, 0, 2, 1, 1, 1, 9, 0, 1})), bmp);
    EXPECT_EQ(Row(bmp, 2), (std::vector<uint8_t>{7, 7, 0, 0}));
    EXPECT_EQ(Row(bmp, 1), (std::vector<uint8_t>{0, 0, 0, 9}));
    EXPECT_EQ(Row(bmp, 0), (std::vector<uint8_t>{0, 0, 0, 0}));
    test::DecodeBytes(MakeBmp(Rle(8, 4, 3, {2, 7, 0, 2, 1, 1, 1, 9, 0, 1})), bmp, 32);
    EXPECT_TRUE(bmp.HasAlpha());
    EXPECT_EQ(Px(bmp, 0, 1), (PaletteEntry{0, 0, 0, 0}));
    EXPECT_EQ(Px(bmp, 3, 1), (PaletteEntry{9, 18, 27, 255}));
    // Codes that reach every pixel leave no transparency.
    test::DecodeBytes(MakeBmp(Rle(8, 2, 2, {2, 7, 0, 0, 2, 8, 0, 1})), bmp, 32);
    EXPECT_FALSE(bmp.HasAlpha());
    EXPECT_NO_THROW(test::DecodeBytes(MakeBmp(Rle(8, 4, 3, {1, 1, 0, 2, 200, 5})), bmp));
    // Codes that end without an end-of-bitmap code run off the data.
    EXPECT_DECODE_ERROR(test::DecodeBytes(MakeBmp(Rle(8, 4, 4, {4, 1, 0, 0})), bmp), 11,
                        kEndOfFileText);
}

TEST(BmpDecoder, Rle4Codes)
{
    CDIBSection bmp;
    // Run (5, 0x12): 1 2 1 2 1. Absolute (0, 3) over 0x12 0x30: 1 2 3, no pad.
    test::DecodeBytes(MakeBmp(Rle(4, 8, 2, {5, 0x12, 0, 3, 0x12, 0x30, 0, 0, 0, 1})), bmp);
    EXPECT_EQ(Row(bmp, 1), (std::vector<uint8_t>{1, 2, 1, 2, 1, 1, 2, 3}));
    // Absolute (0, 5) over 0x12 0x34 0x50 is followed by one pad byte.
    test::DecodeBytes(MakeBmp(Rle(4, 6, 1, {0, 5, 0x12, 0x34, 0x50, 0xEE, 1, 0xF0, 0, 1})), bmp);
    EXPECT_EQ(Row(bmp, 0), (std::vector<uint8_t>{1, 2, 3, 4, 5, 15}));
    test::DecodeBytes(MakeBmp(Rle(4, 6, 1, {0, 5, 0x12, 0x34, 0x50, 0xEE, 1, 0xF0, 0, 1})), bmp,
                      32);
    EXPECT_EQ(Px(bmp, 5, 0), (PaletteEntry{15, 30, 45, 255}));
    // Clipped to the line.
    test::DecodeBytes(MakeBmp(Rle(4, 3, 1, {9, 0x45, 0, 7, 0x12, 0x34, 0x56, 0x70, 0, 1})), bmp);
    EXPECT_EQ(Row(bmp, 0), (std::vector<uint8_t>{4, 5, 4}));

    // A delta to the third pixel of the line above.
    test::DecodeBytes(MakeBmp(Rle(4, 4, 2, {0, 2, 2, 1, 2, 0x12, 0, 1})), bmp);
    EXPECT_EQ(Row(bmp, 0), (std::vector<uint8_t>{0, 0, 1, 2}));
    EXPECT_EQ(Row(bmp, 1), (std::vector<uint8_t>{0, 0, 0, 0}));
}

TEST(BmpDecoder, TraceLines)
{
    namespace fs = std::filesystem;
    const std::string trace = (fs::path(test::TempDir()) / "trace.txt").string();
    BmpSpec s;
    s.palette = Ramp(2);
    s.pixels = {1, 0, 0, 0};
    const std::string path = (fs::path(test::TempDir()) / "one.bmp").string();
    test::WriteFile(path, MakeBmp(s));
    auto traced = [&](int level)
    {
        CPicDecoder::SetTraceConfig(level, trace.c_str());
        CAnyPicDecoder decoder;
        CDIBSection bmp;
        decoder.DecodeFile(path, bmp);
        CPicDecoder::SetTraceConfig(0, nullptr);
        std::ifstream in(trace);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    };
    EXPECT_EQ(traced(3), "--- Decoding file " + path +
                             ". ---\nWindows bitmap recognized.\nBitmap file signature found\n"
                             "Bitmap header is ok.\nReading palette.\n"
                             "Decoding uncompressed 8 bit per pixel bitmap.\nDecoding finished.\n");
    EXPECT_EQ(traced(2), "--- Decoding file " + path +
                             ". ---\nWindows bitmap recognized.\nBitmap file signature found\n"
                             "Bitmap header is ok.\n"
                             "Decoding uncompressed 8 bit per pixel bitmap.\n");
}

TEST(BmpDecoder, PackedDibWithoutFileHeaderDecodesAsItsFile)
{
    BmpSpec pal8;
    pal8.width = 3;
    pal8.palette = Ramp(256);
    pal8.pixels = {7, 8, 9, 0};
    BmpSpec rgb = pal8;
    rgb.bits = 24;
    rgb.palette.clear();
    rgb.pixels = {1, 2, 3, 4, 5, 6, 7, 8, 9, 0, 0, 0};
    BmpSpec masked = rgb; // 5-6-5 masks after a 40-byte header
    masked.bits = 16;
    masked.compression = 3;
    masked.masks = {0xF800, 0x07E0, 0x001F};
    masked.pixels = {0xFF, 0xFF, 0x00, 0xF8, 0x1F, 0x00, 0, 0};
    BmpSpec v5 = rgb;
    v5.headerSize = 124;
    BmpSpec os2 = pal8;
    os2.headerSize = 12;
    for (const BmpSpec* s : {&pal8, &rgb, &masked, &v5, &os2})
    {
        SCOPED_TRACE(s->bits * 1000 + int(s->headerSize));
        const std::vector<uint8_t> file = MakeBmp(*s);
        const std::vector<uint8_t> dib(file.begin() + 14, file.end());
        EXPECT_EQ(CAnyPicDecoder::DetectFormat(dib.data(), dib.size()), CAnyPicDecoder::kBmp);
        CDIBSection fromFile, fromDib;
        test::DecodeBytes(file, fromFile);
        ASSERT_NO_THROW(test::DecodeBytes(dib, fromDib));
        ASSERT_EQ(fromDib.GetBitsPerPixel(), fromFile.GetBitsPerPixel());
        for (int y = 0; y < fromFile.GetHeight(); y++)
            EXPECT_EQ(std::memcmp(fromDib.GetLineArray()[y], fromFile.GetLineArray()[y],
                                  size_t(fromFile.GetLineSize())),
                      0);
    }

    // Not a header: two planes, an unknown size, a zero width.
    for (const auto& [offset, value] :
         std::vector<std::pair<size_t, uint8_t>>{{12, 2}, {0, 41}, {4, 0}})
    {
        std::vector<uint8_t> dib = MakeBmp(rgb);
        dib.erase(dib.begin(), dib.begin() + 14);
        dib[offset] = value;
        EXPECT_FALSE(CBmpDecoder::IsPackedDib(dib.data(), dib.size())) << offset;
    }
}
