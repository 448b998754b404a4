// Hand-built PICT files for what the sample suite lacks: every raster
// opcode, the row encodings, opcode skipping and malformed input.
#include "PicDecoder.h"
#include "PictTestFiles.h"
#include "TestSupport.h"

using pict::Rgb;
using test::Bytes;

namespace
{
const std::vector<Rgb> kColours = {{0, 0, 0}, {255, 0, 0}, {0, 255, 0}, {0, 0, 255}};

// PackBitsRect (0x98) or BitsRect (0x90) with a pixel map of indices.
Bytes IndexedPixMap(unsigned opcode, int w, int h, int pixelSize, unsigned rowBytes,
                    const std::vector<Rgb>& colours, const Bytes& rows)
{
    Bytes b;
    b.be16(opcode).be16(0x8000 | rowBytes);
    pict::Rect(b, 0, 0, h, w);
    pict::PixMapHeader(b, 0, pixelSize, 1, pixelSize);
    pict::ColorTable(b, colours);
    pict::SrcDstMode(b, 0, 0, h, w);
    b.raw(rows.data);
    return b;
}

// A 1-bit bitmap opcode (row size without the pixel-map flag).
Bytes Bitmap(bool v1, unsigned opcode, int w, int h, unsigned rowBytes, const Bytes& rows)
{
    Bytes b;
    if (v1)
        b.u8(opcode);
    else
        b.be16(opcode);
    b.be16(rowBytes);
    pict::Rect(b, 0, 0, h, w);
    pict::SrcDstMode(b, 0, 0, h, w);
    b.raw(rows.data);
    return b;
}

// DirectBitsRect (0x9A) or DirectBitsRgn (0x9B) header up to the rows.
Bytes Direct(unsigned opcode, int w, int h, int pixelSize, int cmpCount, unsigned rowBytes)
{
    Bytes b;
    b.be16(opcode).be32(0xFF).be16(0x8000 | rowBytes);
    pict::Rect(b, 0, 0, h, w);
    pict::PixMapHeader(b, pixelSize == 32 ? 4 : 3, pixelSize, cmpCount, pixelSize == 32 ? 8 : 5);
    pict::SrcDstMode(b, 0, 0, h, w);
    if (opcode == 0x9B)
        b.be16(10).be16(0).be16(0).be16(unsigned(h)).be16(unsigned(w));
    return b;
}

std::vector<uint8_t> Indices(const CBmp& bmp, int y)
{
    const uint8_t* line = bmp.GetLineArray()[y];
    return std::vector<uint8_t>(line, line + bmp.GetWidth());
}

PaletteEntry Pixel(const CBmp& bmp, int x, int y)
{
    return reinterpret_cast<const PaletteEntry*>(bmp.GetLineArray()[y])[x];
}

// 10 x 2 indices of a 4-colour table, PackBits rows with 1-byte counts.
Bytes EightBitBody()
{
    Bytes rows;
    pict::PackedRow(rows, {0, 1, 2, 3, 0, 1, 2, 3, 0, 1}, false);
    pict::PackedRow(rows, {3, 3, 2, 2, 1, 1, 0, 0, 3, 2}, false);
    return IndexedPixMap(0x98, 10, 2, 8, 10, kColours, rows);
}

// Every proper prefix of the file fails with a clean error.
void ExpectPrefixesFailCleanly(const std::vector<uint8_t>& bytes)
{
    for (size_t n = 0; n < bytes.size(); n++)
    {
        const std::vector<uint8_t> part(bytes.begin(), bytes.begin() + long(n));
        CDIBSection bmp;
        try
        {
            pict::Decode(part, bmp);
            ADD_FAILURE() << "prefix of " << n << " bytes decoded";
        }
        catch (const CTextException& e)
        {
            EXPECT_EQ(e.GetCode(), 11) << n << ": " << e.GetText();
        }
    }
}
} // namespace

TEST(PictBuilt, PackBitsRectEightBitWithColourTable)
{
    CDIBSection bmp;
    pict::Decode(pict::V2(EightBitBody()), bmp);
    ASSERT_EQ(bmp.GetBitsPerPixel(), 8);
    ASSERT_EQ(bmp.GetWidth(), 10);
    ASSERT_EQ(bmp.GetHeight(), 2);
    EXPECT_EQ(Indices(bmp, 0), (std::vector<uint8_t>{0, 1, 2, 3, 0, 1, 2, 3, 0, 1}));
    EXPECT_EQ(Indices(bmp, 1), (std::vector<uint8_t>{3, 3, 2, 2, 1, 1, 0, 0, 3, 2}));
    EXPECT_EQ(bmp.GetPaletteTable()[1], (PaletteEntry{0, 0, 255, 255}));
    EXPECT_EQ(bmp.GetPaletteTable()[3], (PaletteEntry{255, 0, 0, 255}));

    CDIBSection rgb;
    pict::Decode(pict::V2(EightBitBody()), rgb, 32);
    ASSERT_EQ(rgb.GetBitsPerPixel(), 32);
    EXPECT_EQ(Pixel(rgb, 2, 0), (PaletteEntry{0, 255, 0, 255}));
    EXPECT_EQ(Pixel(rgb, 0, 1), (PaletteEntry{255, 0, 0, 255}));
}

TEST(PictBuilt, VersionOneBitmapSetBitsAreBlack)
{
    Bytes rows;
    pict::PackedRow(rows, {0x80, 0, 0, 0, 0, 0, 0, 0x01}, false);
    pict::PackedRow(rows, {0xFF, 0, 0, 0, 0, 0, 0, 0}, false);
    const auto file = pict::V1(Bitmap(true, 0x98, 64, 2, 8, rows));
    CDIBSection bmp;
    pict::Decode(file, bmp);
    ASSERT_EQ(bmp.GetBitsPerPixel(), 8);
    ASSERT_EQ(bmp.GetWidth(), 64);
    const test::RgbaImage img = test::ToRgba(bmp);
    EXPECT_EQ(img.At(0, 0)[0], 0);
    EXPECT_EQ(img.At(1, 0)[0], 255);
    EXPECT_EQ(img.At(63, 0)[0], 0);
    EXPECT_EQ(img.At(7, 1)[0], 0);
    EXPECT_EQ(img.At(8, 1)[0], 255);

    CDIBSection rgb;
    pict::Decode(file, rgb, 32);
    EXPECT_TRUE(test::ImagesMatch(img, test::ToRgba(rgb)));
}

// BitsRect rows are stored as they are, even when 8 bytes or longer.
TEST(PictBuilt, BitsRectRowsAreUncompressed)
{
    Bytes rows;
    rows.raw({0xF0, 0, 0, 0, 0, 0, 0, 0x0F});
    for (bool v1 : {true, false})
    {
        SCOPED_TRACE(v1 ? "v1" : "v2");
        const Bytes body = Bitmap(v1, 0x90, 64, 1, 8, rows);
        CDIBSection bmp;
        pict::Decode(v1 ? pict::V1(body) : pict::V2(body), bmp);
        const std::vector<uint8_t> row = Indices(bmp, 0);
        EXPECT_EQ(std::count(row.begin(), row.end(), 1), 8);
        EXPECT_EQ(row[0], 1);
        EXPECT_EQ(row[4], 0);
        EXPECT_EQ(row[63], 1);
    }

    // An 8-bit BitsRgn: a mask region after the rectangles, then raw rows.
    Bytes b;
    b.be16(0x91).be16(0x8000 | 4);
    pict::Rect(b, 0, 0, 1, 4);
    pict::PixMapHeader(b, 0, 8, 1, 8);
    pict::ColorTable(b, kColours);
    pict::SrcDstMode(b, 0, 0, 1, 4);
    b.be16(10).be16(0).be16(0).be16(1).be16(4);
    b.raw({3, 2, 1, 0});
    CDIBSection bmp;
    pict::Decode(pict::V2(b), bmp);
    EXPECT_EQ(Indices(bmp, 0), (std::vector<uint8_t>{3, 2, 1, 0}));
}

TEST(PictBuilt, RowSizeSevenIsUncompressed)
{
    Bytes rows;
    rows.raw({0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x81});
    rows.raw({0x01, 0, 0, 0, 0, 0, 0});
    CDIBSection bmp;
    pict::Decode(pict::V1(Bitmap(true, 0x98, 56, 2, 7, rows)), bmp);
    const std::vector<uint8_t> top = Indices(bmp, 0);
    EXPECT_EQ(std::count(top.begin(), top.end(), 1), 8);
    EXPECT_EQ(top[55], 1);
    EXPECT_EQ(Indices(bmp, 1)[7], 1);
}

TEST(PictBuilt, RowSizeAbove250HasWordCounts)
{
    std::vector<uint8_t> row(251);
    for (size_t i = 0; i < row.size(); i++)
        row[i] = uint8_t(i % 4);
    Bytes rows;
    pict::PackedRow(rows, row, true);
    pict::PackedRow(rows, std::vector<uint8_t>(251, 2), true);
    CDIBSection bmp;
    pict::Decode(pict::V2(IndexedPixMap(0x98, 251, 2, 8, 251, kColours, rows)), bmp);
    EXPECT_EQ(Indices(bmp, 0), row);
    EXPECT_EQ(Indices(bmp, 1), std::vector<uint8_t>(251, 2));
}

// 0x80 is a no-op, FE 05 repeats 3 times, 02 copies 3 bytes; a run past the
// row's end is clipped and the next row starts at its own byte count.
TEST(PictBuilt, PackBitsPacketsAndClipping)
{
    Bytes rows;
    rows.u8(10).raw({0x80, 0xFE, 0x05, 0x02, 0x01, 0x02, 0x03, 0xFD, 0x09, 0x80});
    rows.u8(3).raw({0x81, 0x07, 0x80}); // 128 repeats into an 8-pixel row
    CDIBSection bmp;
    pict::Decode(pict::V2(IndexedPixMap(0x98, 8, 2, 8, 8, kColours, rows)), bmp);
    EXPECT_EQ(Indices(bmp, 0), (std::vector<uint8_t>{5, 5, 5, 1, 2, 3, 9, 9}));
    EXPECT_EQ(Indices(bmp, 1), std::vector<uint8_t>(8, 7));
}

TEST(PictBuilt, FourBitPixMap)
{
    Bytes rows;
    pict::PackedRow(rows, {0x01, 0x23, 0x30, 0x21, 0x00, 0x00, 0x00, 0x00}, false);
    CDIBSection bmp;
    pict::Decode(pict::V2(IndexedPixMap(0x98, 7, 1, 4, 8, kColours, rows)), bmp);
    EXPECT_EQ(Indices(bmp, 0), (std::vector<uint8_t>{0, 1, 2, 3, 3, 0, 2}));
}

TEST(PictBuilt, DirectBits32ThreeAndFourComponents)
{
    // Planes: red, green, blue (and alpha first with four components).
    Bytes three = Direct(0x9A, 3, 1, 32, 3, 12);
    pict::PackedRow(three, {10, 20, 30, 40, 50, 60, 70, 80, 90}, false);
    CDIBSection rgb;
    pict::Decode(pict::V2(three), rgb);
    ASSERT_EQ(rgb.GetBitsPerPixel(), 32);
    EXPECT_FALSE(rgb.HasAlpha());
    EXPECT_EQ(Pixel(rgb, 0, 0), (PaletteEntry{70, 40, 10, 255}));
    EXPECT_EQ(Pixel(rgb, 2, 0), (PaletteEntry{90, 60, 30, 255}));

    Bytes four = Direct(0x9A, 3, 1, 32, 4, 12);
    pict::PackedRow(four, {0, 128, 255, 10, 20, 30, 40, 50, 60, 70, 80, 90}, false);
    CDIBSection argb;
    pict::Decode(pict::V2(four), argb);
    EXPECT_TRUE(argb.HasAlpha());
    EXPECT_EQ(Pixel(argb, 0, 0), (PaletteEntry{70, 40, 10, 0}));
    EXPECT_EQ(Pixel(argb, 1, 0), (PaletteEntry{80, 50, 20, 128}));
    EXPECT_EQ(Pixel(argb, 2, 0), (PaletteEntry{90, 60, 30, 255}));
}

// Byte counts follow the stored row size (256 bytes here), not the planes' 192.
TEST(PictBuilt, DirectBitsWordCountsFromRowSize)
{
    Bytes b = Direct(0x9A, 64, 1, 32, 3, 256);
    std::vector<uint8_t> planes(192, 0);
    std::fill(planes.begin() + 64, planes.begin() + 128, 200); // green
    pict::PackedRow(b, planes, true);
    CDIBSection bmp;
    pict::Decode(pict::V2(b), bmp);
    EXPECT_EQ(Pixel(bmp, 63, 0), (PaletteEntry{0, 200, 0, 255}));
}

TEST(PictBuilt, DirectBits16WithWordUnits)
{
    Bytes b = Direct(0x9A, 4, 1, 16, 3, 8);
    // A copy of two units, then a 2-unit repeat of white.
    b.u8(8).raw({0x01, 0x7C, 0x00, 0x00, 0x1F, 0xFF, 0x7F, 0xFF});
    CDIBSection bmp;
    pict::Decode(pict::V2(b), bmp);
    EXPECT_EQ(Pixel(bmp, 0, 0), (PaletteEntry{0, 0, 255, 255}));
    EXPECT_EQ(Pixel(bmp, 1, 0), (PaletteEntry{255, 0, 0, 255}));
    EXPECT_EQ(Pixel(bmp, 2, 0), (PaletteEntry{255, 255, 255, 255}));
    EXPECT_EQ(Pixel(bmp, 3, 0), (PaletteEntry{255, 255, 255, 255}));

    EXPECT_DECODE_ERROR(pict::Decode(pict::V2(b), bmp, 8), 2,
                        "Decoder error: Bad bits per pixel in expandBuf8.\n");
}

TEST(PictBuilt, DirectBitsRgnCropsToSourceRect)
{
    // Stored rows are 4 pixels wide; the source rectangle keeps the middle two.
    Bytes b;
    b.be16(0x9B).be32(0xFF).be16(0x8000 | 16);
    pict::Rect(b, 0, 0, 2, 4);
    pict::PixMapHeader(b, 4, 32, 3, 8);
    pict::SrcDstMode(b, 1, 1, 2, 3);
    b.be16(10).be16(0).be16(0).be16(2).be16(4);
    pict::PackedRow(b, std::vector<uint8_t>(12, 1), false);
    pict::PackedRow(b, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}, false);
    CDIBSection bmp;
    pict::Decode(pict::V2(b), bmp);
    ASSERT_EQ(bmp.GetWidth(), 2);
    ASSERT_EQ(bmp.GetHeight(), 1);
    EXPECT_EQ(Pixel(bmp, 0, 0), (PaletteEntry{10, 6, 2, 255}));
    EXPECT_EQ(Pixel(bmp, 1, 0), (PaletteEntry{11, 7, 3, 255}));
}

TEST(PictBuilt, DirectBitsOtherPixelSizesFail)
{
    for (int size : {1, 8, 24})
    {
        Bytes b = Direct(0x9A, 8, 1, size, 1, 8);
        b.u8(1).u8(0);
        const std::string text = CPicDecoder::Format(
            "Decoder error: Illegal bpp value in unpackbits: %d\n\n", size);
        CDIBSection bmp;
        EXPECT_DECODE_ERROR(pict::Decode(pict::V2(b), bmp), 2, text.c_str());
    }
}

// A picture of state opcodes and comments, with neither raster nor
// drawing, still fails: nothing in it shows.
TEST(PictBuilt, PicturesThatDrawNothing)
{
    Bytes v2;
    v2.be16(0x0001).be16(10); // Clip
    pict::Rect(v2, 0, 0, 10, 10);
    v2.be16(0x001A).fill(6);                   // RGBFgCol
    v2.be16(0x0012).be16(2).fill(14);          // BkPixPat, dither type
    v2.be16(0x00A1).be16(100).be16(4).fill(4); // LongComment
    v2.be16(0x0007).be16(2).be16(2);           // PnSize
    const char* text = "Decoder error: PICT contained only vector data!\n\n";
    CDIBSection bmp;
    EXPECT_DECODE_ERROR(pict::Decode(pict::V2(v2), bmp), 6, text);

    Bytes v1;
    v1.u8(0x01).be16(10).fill(8);
    v1.u8(0x04).u8(1);
    v1.u8(0xA0).be16(5);
    EXPECT_DECODE_ERROR(pict::Decode(pict::V1(v1), bmp), 6, text);
}

TEST(PictBuilt, OddOffsetOpcodeIsAligned)
{
    Bytes b;
    b.be16(0x0004).u8(0x01).u8(0xEE); // TxFace: one data byte, then a pad byte
    b.raw(EightBitBody().data);
    CDIBSection bmp;
    pict::Decode(pict::V2(b), bmp);
    EXPECT_EQ(Indices(bmp, 1)[0], 3);
}

TEST(PictBuilt, ReservedOpcodesSkipTheirData)
{
    Bytes b;
    b.be16(0x0100).raw({0x00, 0x98});             // 2 data bytes
    b.be16(0x00B5);                               // none
    b.be16(0x00D0).be32(3).raw({0x00, 0x98, 0}); // 4-byte length
    b.u8(0);
    b.be16(0x00A2).be16(2).raw({0x00, 0xFF});     // 2-byte length
    b.be16(0x8000);                               // none
    b.be16(0x0092).be16(2).raw({0x00, 0xFF});     // table row with a length word
    b.raw(EightBitBody().data);
    CDIBSection bmp;
    pict::Decode(pict::V2(b), bmp);
    EXPECT_EQ(Indices(bmp, 0)[1], 1);
}

TEST(PictBuilt, PixelPatternsAreSkipped)
{
    Bytes b;
    b.be16(0x0013).be16(1).fill(8); // PnPixPat, full pixel pattern
    b.be16(0x8000 | 8);
    pict::Rect(b, 0, 0, 2, 8);
    pict::PixMapHeader(b, 0, 8, 1, 8);
    pict::ColorTable(b, kColours);
    pict::PackedRow(b, {0, 1, 2, 3, 0, 1, 2, 3}, false);
    pict::PackedRow(b, {0, 1, 2, 3, 0, 1, 2, 3}, false);
    b.raw(EightBitBody().data);
    CDIBSection bmp;
    pict::Decode(pict::V2(b), bmp);
    EXPECT_EQ(bmp.GetWidth(), 10);

    Bytes bad;
    bad.be16(0x0012).be16(3).fill(20);
    EXPECT_DECODE_ERROR(pict::Decode(pict::V2(bad), bmp), 2,
                        "Decoder error: Unknown pattern type in pixPat.\n");
}

TEST(PictBuilt, HeaderErrors)
{
    CDIBSection bmp;
    Bytes noVersion;
    noVersion.fill(512).be16(0).fill(8).raw({0, 0, 0x12, 0x01}).fill(40);
    EXPECT_DECODE_ERROR(pict::Decode(noVersion.data, bmp), 1,
                        "Decoder error: Error decoding pict: Version number missing.\n");
    for (std::vector<uint8_t> v : {std::vector<uint8_t>{0x11, 0x03}, {0x00, 0x11, 0x02, 0xFE}})
    {
        Bytes bad;
        bad.fill(512).be16(0).fill(8).raw(v).fill(40);
        EXPECT_DECODE_ERROR(pict::Decode(bad.data, bmp), 1,
                            "Decoder error: Illegal version number.\n");
    }
}

TEST(PictBuilt, ColourTableIndexBeyondItsSize)
{
    Bytes b;
    b.be16(0x98).be16(0x8000 | 8);
    pict::Rect(b, 0, 0, 1, 8);
    pict::PixMapHeader(b, 0, 8, 1, 8);
    b.be32(0).be16(0).be16(1); // two entries
    b.be16(0).fill(6).be16(2).fill(6);
    pict::SrcDstMode(b, 0, 0, 1, 8);
    pict::PackedRow(b, std::vector<uint8_t>(8, 1), false);
    CDIBSection bmp;
    EXPECT_DECODE_ERROR(pict::Decode(pict::V2(b), bmp), 2,
                        "Decoder error: pixel value greater than colour table size.\n");
}

TEST(PictBuilt, EmptyOrHugeRectanglesFailCleanly)
{
    CDIBSection bmp;
    Bytes reversed = IndexedPixMap(0x98, 0, 2, 8, 10, kColours, Bytes{});
    EXPECT_DECODE_ERROR(pict::Decode(pict::V2(reversed), bmp), 2, nullptr);
    Bytes bitmap = Bitmap(false, 0x90, -5, 1, 8, Bytes{});
    EXPECT_DECODE_ERROR(pict::Decode(pict::V2(bitmap), bmp), 2, nullptr);
    // 32000 x 32000 with a few bytes of rows: the data runs out before any
    // storage is allocated.
    Bytes huge = IndexedPixMap(0x98, 32000, 32000, 8, 0x3FFE, kColours, Bytes{}.fill(16));
    EXPECT_DECODE_ERROR(pict::Decode(pict::V2(huge), bmp), 11, nullptr);
}

TEST(PictBuilt, BadPixelSizeAndComponentCount)
{
    CDIBSection bmp;
    Bytes three = IndexedPixMap(0x98, 8, 1, 3, 8, kColours, Bytes{}.fill(8));
    EXPECT_DECODE_ERROR(pict::Decode(pict::V2(three), bmp), 2,
                        "Decoder error: Illegal bpp value in unpackbits: 3\n\n");
    Bytes b = Direct(0x9A, 3, 1, 32, 2, 12);
    pict::PackedRow(b, std::vector<uint8_t>(6), false);
    EXPECT_DECODE_ERROR(pict::Decode(pict::V2(b), bmp), 2, nullptr);
}

TEST(PictBuilt, TruncatedFilesEndWithCode11)
{
    ExpectPrefixesFailCleanly(pict::V2(EightBitBody(), false));
    Bytes direct = Direct(0x9A, 3, 2, 32, 4, 12);
    pict::PackedRow(direct, std::vector<uint8_t>(12, 9), false);
    pict::PackedRow(direct, std::vector<uint8_t>(12, 9), false);
    ExpectPrefixesFailCleanly(pict::V2(direct, false));
}

namespace
{
// A QuickTime opcode: length, an image description without FF D8 FF, the stream.
std::vector<uint8_t> QuickTimePict(const std::vector<uint8_t>& stream, uint32_t length = 0)
{
    Bytes b;
    b.be16(0x8200).be32(length ? length : uint32_t(154 + stream.size()));
    b.fill(154, 0xFF);
    b.raw(stream);
    return pict::V2(b);
}

std::vector<uint8_t> GrayRamp(int w, int h)
{
    std::vector<uint8_t> px(size_t(w) * size_t(h));
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++)
            px[size_t(y * w + x)] = uint8_t(x * 255 / (w - 1));
    return px;
}
} // namespace

// The embedded stream reaches the JPEG decoder: its outcome, success or
// error, is the outcome of the picture.
TEST(PictBuilt, EmbeddedJpegGoesToTheJpegDecoder)
{
    const std::vector<uint8_t> jpeg = pict::EncodeJpeg(16, 8, true, GrayRamp(16, 8));
    CDIBSection direct, embedded;
    if (const auto error = pict::DecodeJpegStream(jpeg, direct))
    {
        EXPECT_DECODE_ERROR(pict::Decode(QuickTimePict(jpeg), embedded), error->GetCode(),
                            error->GetText().c_str());
        GTEST_SKIP() << "no JPEG decoder in this build: " << error->GetText();
    }
    pict::Decode(QuickTimePict(jpeg), embedded);
    EXPECT_EQ(embedded.GetBitsPerPixel(), 8); // gray stays 8-bit
    ASSERT_EQ(embedded.GetWidth(), 16);
    ASSERT_EQ(embedded.GetHeight(), 8);
    test::RgbaImage expected{16, 8, {}};
    for (uint8_t g : GrayRamp(16, 8))
        expected.rgba.insert(expected.rgba.end(), {g, g, g, 255});
    EXPECT_TRUE(test::ImagesMatch(expected, test::ToRgba(embedded), 8));
}

TEST(PictBuilt, QuickTimeWithoutJpeg)
{
    CDIBSection bmp;
    const std::vector<uint8_t> stream = {0xFF, 0xD8, 0xFF, 0xE0, 0, 0};
    // The JPEG start lies beyond the declared length.
    EXPECT_DECODE_ERROR(pict::Decode(QuickTimePict(stream, 100), bmp), 6,
                        "Decoder error: PICT file contains unrecognized quicktime data.\n\n");
    // The data ends before the declared length does.
    Bytes b;
    b.be16(0x8200).be32(1000).fill(20, 0xFF);
    EXPECT_DECODE_ERROR(pict::Decode(pict::V2(b, false), bmp), 11, nullptr);
}
