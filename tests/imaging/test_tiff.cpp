// TIFF decoder on files written with libtiff: bilevel and gray scan lines,
// palettes with 8-bit and 16-bit maps, RGB and 16-bit samples through the
// RGBA path, tiles, several pages, the EPS preview, and damaged data.
#include "AnyPicDecoder.h"
#include "FixtureWriters.h"
#include "TestSupport.h"

#include <tiffio.h>

#include <cmath>
#include <cstring>
#include <functional>

namespace
{
constexpr uint32_t kWidth = 21; // not a multiple of 8, 4 or 2: rows end mid-byte
constexpr uint32_t kHeight = 5;

/// Packs one sample per pixel of `bits` bits, most significant first.
std::vector<uint8_t> PackRows(int bits, uint32_t width, uint32_t height,
                              const std::function<unsigned(uint32_t, uint32_t)>& sample)
{
    const size_t rowBytes = (size_t(width) * bits + 7) / 8;
    std::vector<uint8_t> rows(rowBytes * height);
    for (uint32_t y = 0; y < height; y++)
        for (uint32_t x = 0; x < width; x++)
        {
            const unsigned v = sample(x, y) & ((1u << bits) - 1);
            for (int b = 0; b < bits; b++) // a sample may straddle two bytes
                if (v >> (bits - 1 - b) & 1)
                {
                    const size_t bit = size_t(x) * bits + size_t(b);
                    rows[y * rowBytes + bit / 8] |= uint8_t(0x80 >> (bit % 8));
                }
        }
    return rows;
}

unsigned Pattern(uint32_t x, uint32_t y)
{
    return x * 7 + y * 3;
}

/// RGB 8-bit rows with distinct channels, for the RGBA path.
std::vector<uint8_t> RgbRows(uint32_t width, uint32_t height, int samples)
{
    std::vector<uint8_t> rows;
    for (uint32_t y = 0; y < height; y++)
        for (uint32_t x = 0; x < width; x++)
        {
            rows.push_back(uint8_t(x * 11));
            rows.push_back(uint8_t(y * 40 + 1));
            rows.push_back(uint8_t(255 - x * 5));
            if (samples == 4)
                rows.push_back(uint8_t(x * 12));
        }
    return rows;
}

test::TiffFixture Fixture(uint32_t width, uint32_t height, uint16_t bits, uint16_t samples,
                          uint16_t photometric, std::vector<uint8_t> rows)
{
    test::TiffFixture f;
    f.width = width;
    f.height = height;
    f.bitsPerSample = bits;
    f.samplesPerPixel = samples;
    f.photometric = photometric;
    f.rows = std::move(rows);
    return f;
}

void Decode(const test::TiffFixture& f, CBmp& bmp, int depth = 0)
{
    test::DecodeBytes(test::WriteTiff(f, test::TempDir()), bmp, depth);
}

/// Every pixel gray with the value `expected` gives; stops at the first miss.
void ExpectGrayImage(const CBmp& bmp, uint32_t width, uint32_t height,
                     const std::function<unsigned(uint32_t, uint32_t)>& expected)
{
    const test::RgbaImage got = test::ToRgba(bmp);
    ASSERT_EQ(got.width, int(width));
    ASSERT_EQ(got.height, int(height));
    for (uint32_t y = 0; y < height; y++)
        for (uint32_t x = 0; x < width; x++)
        {
            const uint8_t* p = got.At(int(x), int(y));
            const unsigned v = expected(x, y);
            ASSERT_TRUE(p[0] == v && p[1] == v && p[2] == v)
                << x << "," << y << ": " << int(p[0]) << " " << int(p[1]) << " " << int(p[2])
                << ", expected " << v;
        }
}

void ExpectRgbRows(const test::RgbaImage& got, uint32_t width, uint32_t height, bool alpha)
{
    ASSERT_EQ(got.width, int(width));
    ASSERT_EQ(got.height, int(height));
    for (uint32_t y = 0; y < height; y++)
        for (uint32_t x = 0; x < width; x++)
        {
            const uint8_t* p = got.At(int(x), int(y));
            const int a = alpha ? uint8_t(x * 12) : 255;
            ASSERT_EQ(p[3], a) << x << "," << y;
            // Colours come back unmultiplied; the rounding of the multiplied
            // form costs at most 255 / (2 a) per channel.
            const int slack = a == 255 ? 0 : a == 0 ? 255 : 255 / (2 * a) + 1;
            ASSERT_NEAR(p[0], uint8_t(x * 11), slack) << x << "," << y;
            ASSERT_NEAR(p[1], uint8_t(y * 40 + 1), slack) << x << "," << y;
            ASSERT_NEAR(p[2], uint8_t(255 - x * 5), slack) << x << "," << y;
        }
}
} // namespace

TEST(TiffDecoder, BilevelHonoursBothPhotometrics)
{
    const auto rows = PackRows(1, kWidth, kHeight, Pattern);
    for (uint16_t photometric : {PHOTOMETRIC_MINISBLACK, PHOTOMETRIC_MINISWHITE})
    {
        SCOPED_TRACE(photometric);
        CDIBSection bmp;
        Decode(Fixture(kWidth, kHeight, 1, 1, photometric, rows), bmp);
        ASSERT_EQ(bmp.GetBitsPerPixel(), 1);
        ExpectGrayImage(bmp, kWidth, kHeight,
                        [&](uint32_t x, uint32_t y)
                        {
                            const bool set = Pattern(x, y) & 1;
                            return (photometric == PHOTOMETRIC_MINISBLACK ? set : !set) ? 255u : 0u;
                        });
    }
}

TEST(TiffDecoder, GraySamplesOfTwoFourAndEightBitsBecomeRampedPalettes)
{
    for (uint16_t bits : {2, 4, 8})
    {
        SCOPED_TRACE(bits);
        const unsigned levels = 1u << bits;
        CDIBSection bmp;
        Decode(Fixture(kWidth, kHeight, bits, 1, PHOTOMETRIC_MINISBLACK,
                       PackRows(bits, kWidth, kHeight, Pattern)),
               bmp);
        ASSERT_EQ(bmp.GetBitsPerPixel(), 8);
        ExpectGrayImage(bmp, kWidth, kHeight,
                        [&](uint32_t x, uint32_t y)
                        { return (Pattern(x, y) % levels) * (255 / (levels - 1)); });
    }
}

TEST(TiffDecoder, GraySamplesOfOddSizesAreScaledToEightBits)
{
    // Samples of 3, 5, 6 and 7 bits straddle bytes: they take the general
    // sample path, never the palette one, whose unpacking is for 1, 2, 4, 8.
    for (uint16_t bits : {3, 5, 6, 7})
    {
        SCOPED_TRACE(bits);
        const unsigned max = (1u << bits) - 1;
        CDIBSection bmp;
        Decode(Fixture(kWidth, kHeight, bits, 1, PHOTOMETRIC_MINISBLACK,
                       PackRows(bits, kWidth, kHeight, Pattern)),
               bmp);
        const test::RgbaImage got = test::ToRgba(bmp);
        ASSERT_EQ(got.width, int(kWidth));
        ASSERT_EQ(got.height, int(kHeight));
        for (uint32_t y = 0; y < kHeight; y++)
            for (uint32_t x = 0; x < kWidth; x++)
                ASSERT_NEAR(got.At(int(x), int(y))[0], (Pattern(x, y) & max) * 255.0 / max, 1.0)
                    << x << "," << y;
    }
}

TEST(TiffDecoder, PaletteMapsOfSixteenAndEightBitValues)
{
    const uint16_t bits = 4;
    const size_t n = 16;
    const auto rows = PackRows(bits, kWidth, kHeight, Pattern);
    // A proper map scales 0..65535; some writers put 0..255 in it.
    for (const bool eightBitValues : {false, true})
    {
        SCOPED_TRACE(eightBitValues);
        test::TiffFixture f = Fixture(kWidth, kHeight, bits, 1, PHOTOMETRIC_PALETTE, rows);
        f.colorMap.resize(3 * n);
        for (size_t i = 0; i < n; i++)
        {
            const unsigned r = unsigned(i * 16), g = unsigned(255 - i * 3), b = unsigned(i * 7);
            const unsigned scale = eightBitValues ? 1 : 257;
            f.colorMap[i] = uint16_t(r * scale);
            f.colorMap[n + i] = uint16_t(g * scale);
            f.colorMap[2 * n + i] = uint16_t(b * scale);
        }
        CDIBSection bmp;
        Decode(f, bmp);
        ASSERT_EQ(bmp.GetBitsPerPixel(), 8);
        const test::RgbaImage got = test::ToRgba(bmp);
        for (uint32_t y = 0; y < kHeight; y++)
            for (uint32_t x = 0; x < kWidth; x++)
            {
                const size_t i = Pattern(x, y) % n;
                const uint8_t* p = got.At(int(x), int(y));
                ASSERT_EQ(p[0], i * 16) << x << "," << y;
                ASSERT_EQ(p[1], 255 - i * 3) << x << "," << y;
                ASSERT_EQ(p[2], i * 7) << x << "," << y;
            }
    }
}

TEST(TiffDecoder, RgbAndRgbaGoThroughTheRgbaPath)
{
    for (const bool alpha : {false, true})
    {
        SCOPED_TRACE(alpha);
        test::TiffFixture f = Fixture(kWidth, kHeight, 8, alpha ? 4 : 3, PHOTOMETRIC_RGB,
                                      RgbRows(kWidth, kHeight, alpha ? 4 : 3));
        f.alpha = alpha;
        CDIBSection bmp;
        Decode(f, bmp);
        ASSERT_EQ(bmp.GetBitsPerPixel(), 32);
        EXPECT_EQ(bmp.HasAlpha(), alpha);
        ExpectRgbRows(test::ToRgba(bmp), kWidth, kHeight, alpha);
    }
}

TEST(TiffDecoder, LzwAndSixteenBitSamplesDecode)
{
    test::TiffFixture lzw =
        Fixture(kWidth, kHeight, 8, 3, PHOTOMETRIC_RGB, RgbRows(kWidth, kHeight, 3));
    lzw.compression = COMPRESSION_LZW;
    CDIBSection bmp;
    Decode(lzw, bmp);
    ExpectRgbRows(test::ToRgba(bmp), kWidth, kHeight, false);

    // 16-bit samples keep their high byte.
    std::vector<uint8_t> rows;
    for (uint8_t v : RgbRows(kWidth, kHeight, 3))
    {
        const uint16_t wide = uint16_t(v * 257);
        rows.insert(rows.end(), reinterpret_cast<const uint8_t*>(&wide),
                    reinterpret_cast<const uint8_t*>(&wide) + 2);
    }
    CDIBSection wide;
    Decode(Fixture(kWidth, kHeight, 16, 3, PHOTOMETRIC_RGB, rows), wide);
    ASSERT_EQ(wide.GetBitsPerPixel(), 32);
    ExpectRgbRows(test::ToRgba(wide), kWidth, kHeight, false);
}

TEST(TiffDecoder, TiledFilesAreReadWhole)
{
    // 40 x 37 in 16 x 16 tiles: partial tiles on the right and at the bottom.
    const uint32_t w = 40, h = 37;
    test::TiffFixture rgb = Fixture(w, h, 8, 3, PHOTOMETRIC_RGB, RgbRows(w, h, 3));
    rgb.tileSize = 16;
    CDIBSection bmp;
    Decode(rgb, bmp);
    ExpectRgbRows(test::ToRgba(bmp), w, h, false);

    // Tiled gray samples become an 8-bit bitmap as striped ones do.
    test::TiffFixture gray =
        Fixture(w, h, 8, 1, PHOTOMETRIC_MINISBLACK, PackRows(8, w, h, Pattern));
    gray.tileSize = 16;
    CDIBSection grayBmp;
    Decode(gray, grayBmp);
    ASSERT_EQ(grayBmp.GetBitsPerPixel(), 8);
    ExpectGrayImage(grayBmp, w, h, [](uint32_t x, uint32_t y) { return Pattern(x, y) & 0xFF; });
}

TEST(TiffDecoder, MultiPageFilesShowTheFirstPage)
{
    test::TiffFixture f =
        Fixture(kWidth, kHeight, 8, 3, PHOTOMETRIC_RGB, RgbRows(kWidth, kHeight, 3));
    f.pages = 3;
    CDIBSection bmp;
    Decode(f, bmp);
    ExpectRgbRows(test::ToRgba(bmp), kWidth, kHeight, false);
}

TEST(TiffDecoder, ThirtyTwoBitRequestTakesGrayThroughTheRgbaPath)
{
    CDIBSection bmp;
    Decode(Fixture(kWidth, kHeight, 8, 1, PHOTOMETRIC_MINISBLACK,
                   PackRows(8, kWidth, kHeight, Pattern)),
           bmp, 32);
    ASSERT_EQ(bmp.GetBitsPerPixel(), 32);
    ExpectGrayImage(bmp, kWidth, kHeight, Pattern);
}

TEST(TiffDecoder, DamagedFilesFailWithCodeOne)
{
    const std::vector<uint8_t> good = test::WriteTiff(
        Fixture(kWidth, kHeight, 8, 3, PHOTOMETRIC_RGB, RgbRows(kWidth, kHeight, 3)),
        test::TempDir());
    CDIBSection bmp;
    // A header alone, and a first directory offset past the end.
    EXPECT_DECODE_ERROR(test::DecodeBytes({0x49, 0x49, 0x2A, 0x00}, bmp), 1, nullptr);
    std::vector<uint8_t> farIfd = good;
    farIfd[4] = farIfd[5] = farIfd[6] = 0xFF;
    farIfd[7] = 0x7F;
    EXPECT_DECODE_ERROR(test::DecodeBytes(farIfd, bmp), 1, nullptr);
    // Every truncation either decodes (missing strips stay as they are) or
    // fails with libtiff's message; none reads past the data.
    for (size_t n = 8; n < good.size(); n += 7)
    {
        std::vector<uint8_t> cut(good.begin(), good.begin() + long(n));
        try
        {
            test::DecodeBytes(cut, bmp);
        }
        catch (const CTextException& e)
        {
            EXPECT_EQ(e.GetCode(), 1) << n << ": " << e.GetText();
            EXPECT_GT(e.GetText().size(), std::string("Decoder error: \n").size()) << n;
        }
    }
}

TEST(EpsPreview, DecodesLikeThePlainTiffAndChecksTheOffset)
{
    const std::vector<uint8_t> tiff = test::WriteTiff(
        Fixture(kWidth, kHeight, 8, 3, PHOTOMETRIC_RGB, RgbRows(kWidth, kHeight, 3)),
        test::TempDir());
    CDIBSection bmp;
    test::DecodeBytes(test::WrapEps(tiff), bmp);
    ExpectRgbRows(test::ToRgba(bmp), kWidth, kHeight, false);

    // The preview sits further in, after a gap.
    std::vector<uint8_t> gap = test::WrapEps(tiff, 30);
    gap.insert(gap.begin() + 30, 100, uint8_t(0));
    gap[20] = 130;
    test::DecodeBytes(gap, bmp);
    ExpectRgbRows(test::ToRgba(bmp), kWidth, kHeight, false);

    std::vector<uint8_t> past = test::WrapEps(tiff);
    const uint32_t beyond = uint32_t(past.size() + 1);
    std::memcpy(&past[20], &beyond, 4);
    EXPECT_DECODE_ERROR(test::DecodeBytes(past, bmp), 11, nullptr);
}

TEST(EpsPreview, PillowFilesShowTheirTiffPreview)
{
    for (const char* name : {"1.eps", "1_boundingbox_after_imagedata.eps", "1_second_imagedata.eps",
                             "binary_preview_map.eps", "illu10_preview.eps", "illuCS6_preview.eps",
                             "timeout-d675703545fee17acab56e5fec644c19979175de.eps"})
    {
        SCOPED_TRACE(name);
        const std::string path = test::TestData(std::string("eps-pillow/") + name);
        const std::vector<uint8_t> eps = test::ReadFile(path);
        ASSERT_GE(eps.size(), 30u);
        uint32_t offset = 0, length = 0;
        std::memcpy(&offset, &eps[20], 4);
        std::memcpy(&length, &eps[24], 4);
        ASSERT_LE(uint64_t(offset) + length, eps.size());
        const std::string preview = test::TempDir() + "/preview.tif";
        test::WriteFile(preview,
                        std::vector<uint8_t>(eps.begin() + offset, eps.begin() + offset + length));
        CAnyPicDecoder decoder;
        CDIBSection bmp;
        ASSERT_NO_THROW(decoder.DecodeFile(path, bmp));
        EXPECT_TRUE(test::ImagesMatch(test::LoadTiffRgba(preview), test::ToRgba(bmp), 0, false));
    }
    // Files without a TIFF preview are not pictures to us.
    for (const char* name : {"illu10_no_preview.eps", "illuCS6_no_preview.eps"})
    {
        CAnyPicDecoder decoder;
        CDIBSection bmp;
        EXPECT_DECODE_ERROR(
            decoder.DecodeFile(test::TestData(std::string("eps-pillow/") + name), bmp), 8,
            "Decoder error: Unknown file type.\n");
    }
}

namespace
{
/// Stored samples with known 8-bit readings.
struct SampleValue
{
    uint64_t raw; // the stored bits
    uint8_t expected;
};

uint64_t FloatBits(float f)
{
    uint32_t v;
    std::memcpy(&v, &f, 4);
    return v;
}

uint64_t DoubleBits(double d)
{
    uint64_t v;
    std::memcpy(&v, &d, 8);
    return v;
}

std::vector<SampleValue> UnsignedValues(int bits)
{
    const uint64_t max = (uint64_t(1) << bits) - 1; // divisible by 3 for even bits
    return {{0, 0}, {max / 3, 85}, {max / 3 * 2, 170}, {max, 255}};
}

/// Rows of width x height pixels of `samples` samples each; sample c of
/// pixel (x, y) is values[(x + 2y + c) % n], packed as TIFF stores it.
std::vector<uint8_t> SampleRows(int bits, int samples, uint32_t width, uint32_t height,
                                const std::vector<SampleValue>& values)
{
    const size_t rowBytes = (size_t(width) * samples * bits + 7) / 8;
    std::vector<uint8_t> rows(rowBytes * height);
    for (uint32_t y = 0; y < height; y++)
        for (uint32_t x = 0; x < width; x++)
            for (int c = 0; c < samples; c++)
            {
                const uint64_t v = values[(x + 2 * y + unsigned(c)) % values.size()].raw;
                const size_t index = size_t(x) * samples + size_t(c);
                uint8_t* row = &rows[y * rowBytes];
                if (bits % 8 == 0)
                    std::memcpy(row + index * (bits / 8), &v, size_t(bits / 8)); // little-endian
                else
                    for (int b = 0; b < bits; b++)
                        if ((v >> (bits - 1 - b)) & 1)
                        {
                            const size_t bit = index * bits + size_t(b);
                            row[bit / 8] |= uint8_t(0x80 >> (bit % 8));
                        }
            }
    return rows;
}

struct SampleCase
{
    const char* name;
    int bits;
    uint16_t format;
    uint16_t photometric;
    int samples;
    std::vector<SampleValue> values;
    bool planar = false;
    bool alpha = false;
    uint32_t tileSize = 0;
    bool bigTiff = false;
    uint16_t compression = COMPRESSION_NONE;
};
} // namespace

TEST(TiffDecoder, SampleLayoutsReadIntoEightBits)
{
    const std::vector<SampleValue> signed16 = {
        {uint16_t(-1000), 0}, {0, 0}, {16384, 128}, {32767, 255}};
    const std::vector<SampleValue> floats = {{FloatBits(-1), 0},
                                             {FloatBits(0.5f), 128},
                                             {FloatBits(1), 255},
                                             {FloatBits(2), 255},
                                             {FloatBits(NAN), 0}};
    const std::vector<SampleValue> halves = {
        {0xBC00, 0}, {0x3800, 128}, {0x3C00, 255}, {0x4000, 255}, {0x0000, 0}};
    const std::vector<SampleValue> doubles = {
        {DoubleBits(0.25), 64}, {DoubleBits(0.75), 191}, {DoubleBits(-3), 0}, {DoubleBits(9), 255}};
    const uint16_t gray = PHOTOMETRIC_MINISBLACK, rgb = PHOTOMETRIC_RGB;
    const uint16_t u = SAMPLEFORMAT_UINT, fp = SAMPLEFORMAT_IEEEFP;
    const std::vector<SampleCase> cases = {
        {"gray 10", 10, u, gray, 1, UnsignedValues(10)},
        {"gray 12 lzw", 12, u, gray, 1, UnsignedValues(12), false, false, 0, false,
         COMPRESSION_LZW},
        {"gray 14", 14, u, gray, 1, UnsignedValues(14)},
        {"gray 24", 24, u, gray, 1, UnsignedValues(24)},
        {"gray 32", 32, u, gray, 1, UnsignedValues(32)},
        {"gray signed 16", 16, SAMPLEFORMAT_INT, gray, 1, signed16},
        {"gray float 16", 16, fp, gray, 1, halves},
        {"gray float 32", 32, fp, gray, 1, floats},
        {"gray 16 with alpha", 16, u, gray, 2, UnsignedValues(16), false, true},
        {"rgb 2", 2, u, rgb, 3, UnsignedValues(2)},
        {"rgb 6", 6, u, rgb, 3, UnsignedValues(6)},
        {"rgb 12", 12, u, rgb, 3, UnsignedValues(12)},
        {"rgb 16 tiled", 16, u, rgb, 3, UnsignedValues(16), false, false, 16},
        {"rgb 16 planar with alpha", 16, u, rgb, 4, UnsignedValues(16), true, true},
        {"rgb float 64 planar", 64, fp, rgb, 3, doubles, true},
        {"rgb 8 bigtiff", 8, u, rgb, 3, UnsignedValues(8), false, false, 0, true},
    };
    const uint32_t w = 21, h = 19;
    for (const SampleCase& c : cases)
    {
        SCOPED_TRACE(c.name);
        test::TiffFixture f = Fixture(w, h, uint16_t(c.bits), uint16_t(c.samples), c.photometric,
                                      SampleRows(c.bits, c.samples, w, h, c.values));
        f.sampleFormat = c.format;
        f.planar = c.planar;
        f.alpha = c.alpha;
        f.tileSize = c.tileSize;
        f.bigTiff = c.bigTiff;
        f.compression = c.compression;
        CDIBSection bmp;
        Decode(f, bmp);
        ASSERT_EQ(bmp.GetBitsPerPixel(), 32);
        ASSERT_EQ(bmp.HasAlpha(), c.alpha);
        const test::RgbaImage got = test::ToRgba(bmp);
        ASSERT_EQ(got.width, int(w));
        ASSERT_EQ(got.height, int(h));
        for (uint32_t y = 0; y < h; y++)
            for (uint32_t x = 0; x < w; x++)
            {
                auto expected = [&](int sample)
                { return c.values[(x + 2 * y + unsigned(sample)) % c.values.size()].expected; };
                const uint8_t* p = got.At(int(x), int(y));
                const int colours = c.photometric == rgb ? 3 : 1;
                for (int ch = 0; ch < 3; ch++)
                    ASSERT_EQ(p[ch], expected(colours == 3 ? ch : 0)) << x << "," << y << " " << ch;
                if (c.alpha)
                {
                    ASSERT_EQ(p[3], expected(colours));
                }
            }
    }
}

namespace
{
/// Samples of 8, 16 or 24 bits in the machine's byte order, as the writer takes them.
std::vector<uint8_t> Samples(int bits, std::initializer_list<uint32_t> values)
{
    std::vector<uint8_t> out;
    for (uint32_t v : values)
        for (int k = 0; k < bits / 8; k++)
            out.push_back(uint8_t(v >> (8 * k)));
    return out;
}
} // namespace

TEST(TiffDecoder, CmykLabBigEndianAndPremultipliedSamples)
{
    struct Case
    {
        const char* name;
        uint16_t bits;
        uint16_t samples;
        uint16_t photometric;
        std::vector<uint8_t> row;
        std::vector<PaletteEntry> expected; // blue, green, red, alpha
        bool alpha = false;
        bool associated = false;
        bool bigEndian = false;
        std::vector<float> whitePoint = {};
    };
    const uint16_t cmyk = PHOTOMETRIC_SEPARATED, lab = PHOTOMETRIC_CIELAB;
    const PaletteEntry white{255, 255, 255, 255}, black{0, 0, 0, 255}, red{0, 0, 255, 255};
    const std::vector<Case> cases = {
        {"cmyk 8", 8, 4, cmyk, Samples(8, {0, 0, 0, 0, 255, 0, 0, 0, 0, 128, 0, 0, 0, 0, 0, 255}),
         {white, {255, 255, 0, 255}, {255, 127, 255, 255}, black}},
        {"cmyk 16", 16, 4, cmyk,
         Samples(16, {0, 0, 0, 0, 0xFFFF, 0, 0, 0, 0, 0x8000, 0, 0, 0, 0, 0, 0xFFFF}),
         {white, {255, 255, 0, 255}, {255, 127, 255, 255}, black}},
        {"cmyk 16 with alpha", 16, 5, cmyk, Samples(16, {0, 0, 0xFFFF, 0, 0x8080}),
         {{0, 255, 255, 128}}, true},
        {"cmyk 16 big-endian", 16, 4, cmyk, Samples(16, {0, 0, 0, 0xFFFF}), {black}, false, false,
         true},
        // D50 by default: its white, black, and the D50 Lab values of sRGB red.
        {"cielab 8", 8, 3, lab, Samples(8, {255, 0, 0, 0, 0, 0}), {white, black}},
        {"cielab 16", 16, 3, lab,
         Samples(16, {65535, 0, 0, 35580, uint16_t(int16_t(80.81 * 256)),
                      uint16_t(int16_t(69.89 * 256))}),
         {white, red}},
        {"icclab 16 relative to D65", 16, 3, PHOTOMETRIC_ICCLAB,
         Samples(16, {34891, uint32_t((80.09 + 128) * 256), uint32_t((67.20 + 128) * 256),
                      35000, 32768, 32768}),
         {red, {128, 128, 128, 255}}, false, false, false, {0.3127f, 0.3290f}},
        {"gray 24 big-endian", 24, 1, PHOTOMETRIC_MINISBLACK, Samples(24, {0xFFFFFF, 0x808080, 0}),
         {white, {128, 128, 128, 255}, black}, false, false, true},
        {"rgb 24 big-endian", 24, 3, PHOTOMETRIC_RGB, Samples(24, {0xFFFFFF, 0, 0x404040}),
         {{64, 0, 255, 255}}, false, false, true},
        // Colours multiplied by alpha come back to their own values.
        {"rgb 8 premultiplied", 8, 4, PHOTOMETRIC_RGB, Samples(8, {64, 32, 0, 128, 0, 0, 0, 0}),
         {{0, 64, 128, 128}, {0, 0, 0, 0}}, true, true},
        {"rgb 16 premultiplied", 16, 4, PHOTOMETRIC_RGB, Samples(16, {0x4000, 0, 0, 0x8000}),
         {{0, 0, 128, 128}}, true, true},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        const auto width = uint32_t(c.expected.size());
        test::TiffFixture f = Fixture(width, 1, c.bits, c.samples, c.photometric, c.row);
        f.alpha = c.alpha;
        f.associated = c.associated;
        f.bigEndian = c.bigEndian;
        f.whitePoint = c.whitePoint;
        CDIBSection bmp;
        ASSERT_NO_THROW(Decode(f, bmp));
        ASSERT_EQ(bmp.GetBitsPerPixel(), 32);
        EXPECT_EQ(bmp.HasAlpha(), c.alpha);
        const auto* px = reinterpret_cast<const PaletteEntry*>(bmp.GetLineArray()[0]);
        for (uint32_t x = 0; x < width; x++)
        {
            const uint8_t* got = &px[x].b;
            const uint8_t* want = &c.expected[x].b;
            for (int k = 0; k < 4; k++)
                EXPECT_NEAR(got[k], want[k], 1) << "pixel " << x << " byte " << k;
        }
    }
}
