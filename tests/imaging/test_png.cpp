// Generated PNG files: every colour type and bit depth, interlaced or not, at
// automatic and true-colour depth; palettes, alpha, truncation and sizes.
#include "FixtureWriters.h"
#include "PNGDecoder.h"
#include "TestSupport.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>

namespace
{
const int kChannels[] = {1, 0, 3, 1, 2, 0, 4};

/// Sample c of pixel (x, y) at the given bit depth: a pattern that reaches
/// every value of small depths and varies both bytes of 16-bit samples.
unsigned Sample(int x, int y, int c, int bitDepth)
{
    const unsigned v = unsigned(x * 7 + y * 13 + c * 29);
    return bitDepth == 16 ? (v * 997u) & 0xFFFF : v % (1u << bitDepth);
}

/// Palette entry i: red, green, blue.
std::vector<uint8_t> TestPalette(int entries)
{
    std::vector<uint8_t> rgb;
    for (int i = 0; i < entries; i++)
    {
        rgb.push_back(uint8_t(i * 37 + 5));
        rgb.push_back(uint8_t(255 - i * 11));
        rgb.push_back(uint8_t(i * 101));
    }
    return rgb;
}

test::PngFixture MakeSpec(int colorType, int bitDepth, bool interlace, int width = 13, int height = 11)
{
    test::PngFixture s;
    s.width = width;
    s.height = height;
    s.colorType = colorType;
    s.bitDepth = bitDepth;
    s.interlace = interlace;
    const int channels = kChannels[colorType];
    for (int y = 0; y < height; y++)
    {
        std::vector<uint8_t> row((size_t(width) * size_t(channels) * size_t(bitDepth) + 7) / 8);
        size_t bit = 0;
        for (int x = 0; x < width; x++)
            for (int c = 0; c < channels; c++)
            {
                const unsigned v = Sample(x, y, c, bitDepth);
                if (bitDepth == 16)
                {
                    row[bit / 8] = uint8_t(v >> 8);
                    row[bit / 8 + 1] = uint8_t(v);
                }
                else
                    row[bit / 8] |= uint8_t(v << (8 - bitDepth - bit % 8));
                bit += size_t(bitDepth);
            }
        s.rows.insert(s.rows.end(), row.begin(), row.end());
    }
    if (colorType == 3)
        s.paletteRgb = TestPalette(1 << bitDepth);
    return s;
}

/// What the picture looks like, from the PNG's own definition of its samples.
test::RgbaImage Expected(const test::PngFixture& s)
{
    test::RgbaImage img;
    img.width = s.width;
    img.height = s.height;
    img.rgba.resize(size_t(s.width) * size_t(s.height) * 4);
    auto to8 = [&](unsigned v) {
        if (s.bitDepth == 16)
            return uint8_t(v >> 8);
        return uint8_t(v * 255 / ((1u << s.bitDepth) - 1));
    };
    for (int y = 0; y < s.height; y++)
        for (int x = 0; x < s.width; x++)
        {
            uint8_t* d = &img.rgba[(size_t(y) * size_t(s.width) + size_t(x)) * 4];
            d[3] = 255;
            switch (s.colorType)
            {
            case 0:
            case 4:
                d[0] = d[1] = d[2] = to8(Sample(x, y, 0, s.bitDepth));
                if (s.colorType == 4)
                    d[3] = to8(Sample(x, y, 1, s.bitDepth));
                break;
            case 3:
            {
                const unsigned i = Sample(x, y, 0, s.bitDepth);
                for (int c = 0; c < 3; c++)
                    d[c] = s.paletteRgb[3 * i + unsigned(c)];
                break;
            }
            default:
                for (int c = 0; c < kChannels[s.colorType]; c++)
                    d[c] = to8(Sample(x, y, c, s.bitDepth));
            }
        }
    return img;
}

struct PngCase
{
    int colorType;
    int bitDepth;
    bool interlace;
    int depth; // requested
};

std::vector<PngCase> AllCases()
{
    const std::vector<std::pair<int, std::vector<int>>> types = {
        {0, {1, 2, 4, 8, 16}}, {2, {8, 16}}, {3, {1, 2, 4, 8}}, {4, {8, 16}}, {6, {8, 16}}};
    std::vector<PngCase> cases;
    for (const auto& [type, depths] : types)
        for (int bits : depths)
            for (bool interlace : {false, true})
                for (int depth : {0, 32})
                    cases.push_back({type, bits, interlace, depth});
    return cases;
}

class PngFormats : public ::testing::TestWithParam<PngCase>
{
};

TEST_P(PngFormats, DecodeToTheSamplesPixels)
{
    const PngCase& c = GetParam();
    const test::PngFixture fixture = MakeSpec(c.colorType, c.bitDepth, c.interlace);
    CDIBSection bmp;
    test::DecodeBytes(test::WritePng(fixture), bmp, c.depth);

    const bool lowColour = c.colorType == 0 || c.colorType == 3;
    EXPECT_EQ(bmp.GetBitsPerPixel(), lowColour && c.depth == 0 ? 8 : 32);
    const bool alpha = c.colorType == 4 || c.colorType == 6;
    EXPECT_EQ(bmp.HasAlpha(), alpha);
    EXPECT_TRUE(test::ImagesMatch(Expected(fixture), test::ToRgba(bmp), 0, true));
    if (bmp.GetBitsPerPixel() == 32 && !alpha)
    {
        for (int y = 0; y < bmp.GetHeight(); y++)
            for (int x = 0; x < bmp.GetWidth(); x++)
            {
                ASSERT_EQ(bmp.GetLineArray()[y][4 * x + 3], 0xFF) << x << "," << y;
            }
    }
}

INSTANTIATE_TEST_SUITE_P(Generated, PngFormats, ::testing::ValuesIn(AllCases()), [](const auto& p) {
    return "type" + std::to_string(p.param.colorType) + "_bits" +
           std::to_string(p.param.bitDepth) + (p.param.interlace ? "_interlaced" : "") +
           "_depth" + std::to_string(p.param.depth);
});

TEST(PngDecoder, GrayPalettesAreRampsOfTheBitDepth)
{
    CDIBSection bmp;
    test::DecodeBytes(test::WritePng(MakeSpec(0, 2, false)), bmp);
    const PaletteEntry* pal = bmp.GetPaletteTable();
    EXPECT_EQ(pal[0], (PaletteEntry{0, 0, 0, 255}));
    EXPECT_EQ(pal[1], (PaletteEntry{85, 85, 85, 255}));
    EXPECT_EQ(pal[2], (PaletteEntry{170, 170, 170, 255}));
    EXPECT_EQ(pal[3], (PaletteEntry{255, 255, 255, 255}));

    test::DecodeBytes(test::WritePng(MakeSpec(0, 16, false)), bmp);
    ASSERT_EQ(bmp.GetBitsPerPixel(), 8);
    for (int i = 0; i < 256; i++)
        ASSERT_EQ(bmp.GetPaletteTable()[i], (PaletteEntry{uint8_t(i), uint8_t(i), uint8_t(i), 255}));
}

// A palette's tRNS chunk gives each entry its opacity (entries beyond it
// stay opaque): in the colour table at 8 bits, in the pixels at 32, through
// libdeflate (non-interlaced) and libpng (interlaced) alike. A tRNS chunk of
// opaque entries leaves the picture without alpha.
TEST(PngDecoder, PaletteTransparencyFromTrns)
{
    const std::vector<uint8_t> trns = {0, 64, 128, 255, 7};
    for (bool interlace : {false, true})
    {
        SCOPED_TRACE(interlace ? "interlaced" : "progressive");
        test::PngFixture fixture = MakeSpec(3, 4, interlace);
        fixture.trns = trns;
        test::RgbaImage expected = Expected(fixture);
        for (int y = 0; y < fixture.height; y++)
            for (int x = 0; x < fixture.width; x++)
            {
                const unsigned i = Sample(x, y, 0, 4);
                expected.rgba[(size_t(y) * size_t(fixture.width) + size_t(x)) * 4 + 3] =
                    i < trns.size() ? trns[i] : 255;
            }

        CDIBSection bmp;
        test::DecodeBytes(test::WritePng(fixture), bmp);
        ASSERT_EQ(bmp.GetBitsPerPixel(), 8);
        EXPECT_TRUE(bmp.HasAlpha());
        for (int i = 0; i < 16; i++)
            EXPECT_EQ(bmp.GetPaletteTable()[i],
                      (PaletteEntry{fixture.paletteRgb[3 * i + 2], fixture.paletteRgb[3 * i + 1],
                                    fixture.paletteRgb[3 * i],
                                    size_t(i) < trns.size() ? trns[size_t(i)] : uint8_t(255)}));
        EXPECT_TRUE(test::ImagesMatch(expected, test::ToRgba(bmp)));

        test::DecodeBytes(test::WritePng(fixture), bmp, 32);
        ASSERT_EQ(bmp.GetBitsPerPixel(), 32);
        EXPECT_TRUE(bmp.HasAlpha());
        EXPECT_TRUE(test::ImagesMatch(expected, test::ToRgba(bmp)));

        fixture.trns = std::vector<uint8_t>(16, 255);
        test::DecodeBytes(test::WritePng(fixture), bmp, 32);
        EXPECT_FALSE(bmp.HasAlpha());
        EXPECT_EQ(bmp.GetLineArray()[0][3], 0xFF);
        EXPECT_TRUE(test::ImagesMatch(Expected(fixture), test::ToRgba(bmp)));
    }
}

TEST(PngDecoder, TruncatedFilesEndWithCode11AtEveryLength)
{
    const std::vector<uint8_t> full = test::WritePng(MakeSpec(2, 8, true, 40, 30));
    for (size_t length = 4; length < full.size(); length += 7)
    {
        const std::vector<uint8_t> part(full.begin(), full.begin() + long(length));
        CDIBSection bmp;
        EXPECT_DECODE_ERROR(test::DecodeBytes(part, bmp), 11, kEndOfFileText);
    }
}

TEST(PngDecoder, DeclaredSizeIsCheckedBeforeRowsAreRead)
{
    // A valid header claiming 60000 x 60000 RGBA pixels, followed by the
    // image data of a tiny picture.
    std::vector<uint8_t> png = test::WritePng(MakeSpec(6, 8, false, 2, 2));
    const uint32_t side = 60000;
    for (int i = 0; i < 4; i++)
    {
        png[16 + i] = uint8_t(side >> (24 - 8 * i));
        png[20 + i] = uint8_t(side >> (24 - 8 * i));
    }
    const uint32_t crc = uint32_t(crc32(0, png.data() + 12, 17));
    for (int i = 0; i < 4; i++)
        png[29 + i] = uint8_t(crc >> (24 - 8 * i));

    const size_t saved = CBmp::GetMaxPixelBytes();
    CBmp::SetMaxPixelBytes(size_t(64) << 20);
    CDIBSection bmp;
    EXPECT_DECODE_ERROR(test::DecodeBytes(png, bmp), 10, nullptr);
    CBmp::SetMaxPixelBytes(saved);
}

TEST(PngDecoder, LibpngErrorsCarryItsMessage)
{
    std::vector<uint8_t> png = test::WritePng(MakeSpec(0, 8, false));
    const std::string chunk = "IDAT";
    const auto idat = std::search(png.begin(), png.end(), chunk.begin(), chunk.end());
    ASSERT_NE(idat, png.end());
    const size_t length = size_t(idat[-4]) << 24 | size_t(idat[-3]) << 16 |
                          size_t(idat[-2]) << 8 | size_t(idat[-1]);
    idat[long(4 + length)] ^= 0x55; // the chunk's CRC
    CDIBSection bmp;
    EXPECT_DECODE_ERROR(test::DecodeBytes(png, bmp), 2, "Decoder error: IDAT: CRC error\n");
}
} // namespace

namespace
{
/// The PNG with its zlib header declaring a 16 KiB window: the same picture,
/// which the whole-stream path leaves to libpng.
std::vector<uint8_t> WithSmallWindow(std::vector<uint8_t> png)
{
    const std::string chunk = "IDAT";
    const auto idat = std::search(png.begin(), png.end(), chunk.begin(), chunk.end());
    const size_t length = size_t(idat[-4]) << 24 | size_t(idat[-3]) << 16 |
                          size_t(idat[-2]) << 8 | size_t(idat[-1]);
    uint8_t* data = &idat[4];
    data[0] = 0x68; // deflate, 2^14 bytes
    data[1] = uint8_t(data[1] & 0xE0);
    data[1] = uint8_t(data[1] + (31 - (data[0] * 256 + data[1]) % 31) % 31);
    const uint32_t crc = uint32_t(crc32(0, &idat[0], uInt(length + 4)));
    for (int i = 0; i < 4; i++)
        data[length + size_t(i)] = uint8_t(crc >> (24 - 8 * i));
    return png;
}
} // namespace

TEST(PngDecoder, WholeStreamPathGivesLibpngsRowsAndErrors)
{
    for (const PngCase& c : AllCases())
    {
        if (c.interlace)
            continue;
        SCOPED_TRACE("type " + std::to_string(c.colorType) + ", bits " +
                     std::to_string(c.bitDepth) + ", depth " + std::to_string(c.depth));
        const std::vector<uint8_t> png = test::WritePng(MakeSpec(c.colorType, c.bitDepth, false, 61, 37));
        CDIBSection fast, libpng;
        test::DecodeBytes(png, fast, c.depth);
        test::DecodeBytes(WithSmallWindow(png), libpng, c.depth);
        ASSERT_EQ(fast.GetBitsPerPixel(), libpng.GetBitsPerPixel());
        ASSERT_EQ(fast.HasAlpha(), libpng.HasAlpha());
        for (int y = 0; y < fast.GetHeight(); y++)
            ASSERT_EQ(std::memcmp(fast.GetLineArray()[y], libpng.GetLineArray()[y],
                                  size_t(fast.GetLineSize())),
                      0)
                << "row " << y;
    }

    // Cut anywhere, a non-interlaced file ends as libpng ends it.
    const std::vector<uint8_t> full = test::WritePng(MakeSpec(6, 8, false, 40, 30));
    for (size_t length = 4; length < full.size(); length += 5)
    {
        const std::vector<uint8_t> part(full.begin(), full.begin() + long(length));
        CDIBSection bmp;
        EXPECT_DECODE_ERROR(test::DecodeBytes(part, bmp), 11, kEndOfFileText);
    }
}
