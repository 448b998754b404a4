// Generated JPEG files: gray and colour, baseline and progressive, compared
// with libjpeg's own decode at the same settings; CMYK/YCCK, truncation,
// embedded data, size limits, scan limits, context reuse and DCT scaling.
#include "AnyPicDecoder.h"
#include "DataSource.h"
#include "FixtureWriters.h"
#include "JPEGDecoder.h"
#include "TestSupport.h"

#include <algorithm>
#include <cstdlib>

namespace
{
test::JpegFixture Picture(int width, int height, int components)
{
    test::JpegFixture s;
    s.width = width;
    s.height = height;
    s.components = components;
    for (int y = 0; y < height; y++)
        for (int x = 0; x < width; x++)
        {
            const bool block = ((x / 8) ^ (y / 6)) & 1; // sharp edges as well as ramps
            const uint8_t v[4] = {uint8_t(x * 255 / width), uint8_t(y * 255 / height),
                                  uint8_t(block ? 220 : 30), uint8_t((x + y) & 0x3F)};
            s.pixels.insert(s.pixels.end(), v, v + components);
        }
    return s;
}

struct ColourCase
{
    int components;
    bool progressive;
    bool subsample;
    int depth;
};

class JpegFormats : public ::testing::TestWithParam<ColourCase>
{
};

TEST_P(JpegFormats, RowsAreLibjpegsOwn)
{
    const ColourCase& c = GetParam();
    test::JpegFixture fixture = Picture(37, 23, c.components);
    fixture.progressive = c.progressive;
    fixture.subsample = c.subsample;
    const std::vector<uint8_t> jpeg = test::WriteJpeg(fixture);

    CDIBSection bmp;
    test::DecodeBytes(jpeg, bmp, c.depth);
    const bool eightBit = c.components == 1 && c.depth == 0;
    ASSERT_EQ(bmp.GetBitsPerPixel(), eightBit ? 8 : 32);
    EXPECT_FALSE(bmp.HasAlpha());
    if (eightBit)
        for (int i = 0; i < 256; i++)
            ASSERT_EQ(bmp.GetPaletteTable()[i],
                      (PaletteEntry{uint8_t(i), uint8_t(i), uint8_t(i), 255}));
    else
        for (int y = 0; y < bmp.GetHeight(); y++)
            for (int x = 0; x < bmp.GetWidth(); x++)
                ASSERT_EQ(bmp.GetLineArray()[y][4 * x + 3], 0xFF) << "filler at " << x << "," << y;
    EXPECT_TRUE(test::ImagesMatch(test::DecodeJpegReference(jpeg), test::ToRgba(bmp)));
}

INSTANTIATE_TEST_SUITE_P(
    Generated, JpegFormats,
    ::testing::Values(ColourCase{1, false, false, 0}, ColourCase{1, true, false, 0},
                      ColourCase{1, false, false, 32}, ColourCase{1, true, false, 32},
                      ColourCase{3, false, true, 0}, ColourCase{3, true, true, 0},
                      ColourCase{3, false, false, 0}, ColourCase{3, true, false, 32}),
    [](const auto& p)
    {
        return std::string(p.param.components == 1 ? "gray" : "colour") +
               (p.param.progressive ? "_progressive" : "_baseline") +
               (p.param.subsample ? "_420" : "") + "_depth" + std::to_string(p.param.depth);
    });

struct CmykCase
{
    bool adobe;
    bool ycck;
};

class JpegCmyk : public ::testing::TestWithParam<CmykCase>
{
};

// Four flat patches with known ink; Adobe files store 255 - ink.
TEST_P(JpegCmyk, ShowsTheInkColours)
{
    const uint8_t inks[4][4] = {
        {255, 0, 0, 0}, {0, 200, 255, 0}, {0, 0, 0, 128}, {60, 120, 30, 40}};
    test::JpegFixture fixture;
    fixture.width = 64;
    fixture.height = 16;
    fixture.components = 4;
    fixture.adobeMarker = GetParam().adobe;
    fixture.ycck = GetParam().ycck;
    fixture.quality = 100;
    for (int y = 0; y < 16; y++)
        for (int x = 0; x < 64; x++)
            for (int c = 0; c < 4; c++)
                fixture.pixels.push_back(
                    uint8_t(fixture.adobeMarker ? 255 - inks[x / 16][c] : inks[x / 16][c]));

    CDIBSection bmp;
    test::DecodeBytes(test::WriteJpeg(fixture), bmp);
    ASSERT_EQ(bmp.GetBitsPerPixel(), 32);
    for (int patch = 0; patch < 4; patch++)
    {
        const uint8_t* ink = inks[patch];
        const uint8_t* p = bmp.GetLineArray()[8] + 4 * (patch * 16 + 8);
        const int k = 255 - ink[3];
        EXPECT_NEAR(p[2], (255 - ink[0]) * k / 255, 3) << "red of patch " << patch;
        EXPECT_NEAR(p[1], (255 - ink[1]) * k / 255, 3) << "green of patch " << patch;
        EXPECT_NEAR(p[0], (255 - ink[2]) * k / 255, 3) << "blue of patch " << patch;
        EXPECT_EQ(p[3], 0xFF);
    }
}

INSTANTIATE_TEST_SUITE_P(Generated, JpegCmyk,
                         ::testing::Values(CmykCase{true, false}, CmykCase{false, false},
                                           CmykCase{true, true}),
                         [](const auto& p) {
                             return std::string(p.param.ycck ? "ycck" : "cmyk") +
                                    (p.param.adobe ? "_adobe" : "_plain");
                         });

TEST(JpegDecoder, TruncatedFileDecodesAsFarAsItsData)
{
    const std::vector<uint8_t> full = test::WriteJpeg(Picture(64, 64, 3));
    const test::RgbaImage whole = test::DecodeJpegReference(full);
    for (size_t keep : {full.size() * 6 / 10, size_t(700), full.size() - 2})
    {
        const std::vector<uint8_t> part(full.begin(), full.begin() + long(keep));
        CDIBSection bmp;
        ASSERT_NO_THROW(test::DecodeBytes(part, bmp)) << keep;
        ASSERT_EQ(bmp.GetWidth(), 64);
        ASSERT_EQ(bmp.GetHeight(), 64);
        if (keep > full.size() / 2)
        {
            // The first MCU row (16 lines at 4:2:0) came from complete data.
            test::RgbaImage top = test::ToRgba(bmp), ref = whole;
            top.height = ref.height = 16;
            top.rgba.resize(64 * 16 * 4);
            ref.rgba.resize(64 * 16 * 4);
            EXPECT_TRUE(test::ImagesMatch(ref, top)) << keep;
        }
    }
}

TEST(JpegDecoder, DecodesFromTheSourcePositionToTheEnd)
{
    // As inside a PICT: the JPEG data follows other bytes.
    const std::vector<uint8_t> jpeg = test::WriteJpeg(Picture(20, 10, 3));
    std::vector<uint8_t> framed(300, 0x11);
    framed.insert(framed.end(), jpeg.begin(), jpeg.end());
    CDataSource source;
    source.Open("embedded", framed.data(), framed.size());
    source.SetPos(300);
    CJPEGDecoder decoder;
    CDIBSection bmp;
    decoder.DecodeSource(source, bmp);
    EXPECT_TRUE(test::ImagesMatch(test::DecodeJpegReference(jpeg), test::ToRgba(bmp)));
}

TEST(JpegDecoder, ContextServesTheNextDecodeAfterAFailure)
{
    const std::vector<uint8_t> good = test::WriteJpeg(Picture(16, 16, 3));
    std::vector<uint8_t> bad = good;
    bad.resize(40); // into the quantisation tables
    bad.push_back(0xFF);
    bad.push_back(0xC3); // a lossless frame, which libjpeg refuses
    bad.resize(200, 0);

    // A header that claims more pixels than a bitmap may take.
    std::vector<uint8_t> huge = good;
    const std::vector<uint8_t> sofMarker = {0xFF, 0xC0};
    const auto sof = std::search(huge.begin(), huge.end(), sofMarker.begin(), sofMarker.end());
    ASSERT_NE(sof, huge.end());
    sof[5] = sof[6] = sof[7] = sof[8] = 0xF0; // 61680 x 61680

    const size_t saved = CBmp::GetMaxPixelBytes();
    CBmp::SetMaxPixelBytes(size_t(64) << 20);
    CJPEGDecoder decoder;
    CDataSource source;
    CDIBSection bmp;
    source.Open("bad", bad.data(), bad.size());
    EXPECT_DECODE_ERROR(decoder.DecodeSource(source, bmp), 6, nullptr);
    source.Open("huge", huge.data(), huge.size());
    EXPECT_DECODE_ERROR(decoder.DecodeSource(source, bmp), 10, nullptr);
    CBmp::SetMaxPixelBytes(saved);

    source.Open("good", good.data(), good.size());
    ASSERT_NO_THROW(decoder.DecodeSource(source, bmp));
    EXPECT_TRUE(test::ImagesMatch(test::DecodeJpegReference(good), test::ToRgba(bmp)));
}

TEST(JpegDecoder, FatalErrorsCarryLibjpegsMessage)
{
    std::vector<uint8_t> jpeg = {0xFF, 0xD8, 0xFF, 0xD9};
    CDIBSection bmp;
    EXPECT_DECODE_ERROR(test::DecodeBytes(jpeg, bmp), 6,
                        "Decoder error: JPEG datastream contains no image\n\n");
}

TEST(JpegDecoder, EndlessScansAreCutOff)
{
    // A progressive file whose last scan is repeated a thousand times: each
    // repetition costs a pass over the image, so the decoder stops counting.
    test::JpegFixture fixture = Picture(32, 32, 1);
    fixture.progressive = true;
    const std::vector<uint8_t> jpeg = test::WriteJpeg(fixture);
    const std::vector<uint8_t> sosMarker = {0xFF, 0xDA};
    auto last = jpeg.end();
    for (auto it = jpeg.begin();
         (it = std::search(it, jpeg.end(), sosMarker.begin(), sosMarker.end())) != jpeg.end(); ++it)
        last = it;
    ASSERT_NE(last, jpeg.end());
    const std::vector<uint8_t> scan(last, jpeg.end() - 2);
    std::vector<uint8_t> many(jpeg.begin(), jpeg.end() - 2);
    for (int i = 0; i < 1000; i++)
        many.insert(many.end(), scan.begin(), scan.end());
    many.push_back(0xFF);
    many.push_back(0xD9);

    CDIBSection bmp;
    EXPECT_DECODE_ERROR(test::DecodeBytes(many, bmp), 6,
                        "Decoder error: Too many scans (more than 500)\n\n");
}
} // namespace

namespace
{
/// Four flat quadrants: red, green, blue, white.
test::JpegFixture Quadrants(int width, int height)
{
    test::JpegFixture f;
    f.width = width;
    f.height = height;
    f.components = 3;
    f.quality = 95;
    static const uint8_t kQuad[4][3] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}};
    for (int y = 0; y < height; y++)
        for (int x = 0; x < width; x++)
        {
            const uint8_t* c = kQuad[(y * 2 / height) * 2 + x * 2 / width];
            f.pixels.insert(f.pixels.end(), c, c + 3);
        }
    return f;
}

void ExpectQuadrants(const CBmp& bmp)
{
    const test::RgbaImage got = test::ToRgba(bmp);
    const int w = got.width, h = got.height;
    auto near = [](const uint8_t* p, int r, int g, int b)
    { return std::abs(p[0] - r) < 24 && std::abs(p[1] - g) < 24 && std::abs(p[2] - b) < 24; };
    EXPECT_TRUE(near(got.At(w / 4, h / 4), 255, 0, 0));
    EXPECT_TRUE(near(got.At(3 * w / 4, h / 4), 0, 255, 0));
    EXPECT_TRUE(near(got.At(w / 4, 3 * h / 4), 0, 0, 255));
    EXPECT_TRUE(near(got.At(3 * w / 4, 3 * h / 4), 255, 255, 255));
}
} // namespace

TEST(JpegDecoder, DctScalingStopsAtTheWantedSize)
{
    // 800 x 600 for 100 x 100: an eighth is 100 x 75; for 300 x 300 three
    // eighths (300 x 225) still cover it.
    const std::vector<uint8_t> jpeg = test::WriteJpeg(Quadrants(800, 600));
    struct Case
    {
        int maxWidth, maxHeight, width, height;
    };
    for (const Case& c : {Case{100, 100, 100, 75}, Case{300, 300, 300, 225},
                          Case{2000, 2000, 800, 600}, Case{0, 0, 800, 600}})
    {
        CJPEGDecoder decoder;
        decoder.SetMaxSize(c.maxWidth, c.maxHeight);
        CDataSource source;
        source.Open("quadrants", jpeg.data(), jpeg.size());
        CDIBSection bmp;
        decoder.DecodeSource(source, bmp);
        EXPECT_EQ(bmp.GetWidth(), c.width) << c.maxWidth;
        EXPECT_EQ(bmp.GetHeight(), c.height) << c.maxWidth;
        // The size of the whole picture, for showing the scaled one in its place.
        EXPECT_EQ(decoder.GetFullWidth(), 800);
        EXPECT_EQ(decoder.GetFullHeight(), 600);
        ExpectQuadrants(bmp);
    }
}

TEST(JpegDecoder, RowListenerIsToldOfEachBandOnceItIsInTheBitmap)
{
    const std::vector<uint8_t> jpeg = test::WriteJpeg(Quadrants(800, 600));
    CJPEGDecoder decoder;
    decoder.SetMaxSize(400, 300);
    CDIBSection bmp;
    std::vector<int> told;
    std::vector<std::vector<uint8_t>> lastDone, firstToCome; // rows at each call
    decoder.SetRowListener(
        [&](int rows)
        {
            told.push_back(rows);
            const size_t bytes = size_t(bmp.GetLineSize());
            lastDone.emplace_back(bmp.GetLineArray()[rows - 1],
                                  bmp.GetLineArray()[rows - 1] + bytes);
            if (rows < bmp.GetHeight())
                firstToCome.emplace_back(bmp.GetLineArray()[rows],
                                         bmp.GetLineArray()[rows] + bytes);
        });
    CDataSource source;
    source.Open("quadrants", jpeg.data(), jpeg.size());
    decoder.DecodeSource(source, bmp);
    ASSERT_EQ(bmp.GetHeight(), 300);
    ASSERT_GT(told.size(), 2u);
    EXPECT_TRUE(std::is_sorted(told.begin(), told.end()));
    EXPECT_EQ(told.back(), 300);
    // At each call the last row told of is as it ends, and the next is unwritten.
    for (size_t i = 0; i < told.size(); i++)
    {
        const uint8_t* row = bmp.GetLineArray()[told[i] - 1];
        EXPECT_TRUE(std::equal(lastDone[i].begin(), lastDone[i].end(), row)) << told[i];
        if (i < firstToCome.size())
        {
            EXPECT_TRUE(std::all_of(firstToCome[i].begin(), firstToCome[i].end(),
                                    [](uint8_t b) { return b == 0; }))
                << told[i];
        }
    }
}

TEST(AnyPicDecoder, ScaledDecodeFitsTheBoxKeepingTheAspect)
{
    const std::string dir = test::TempDir();
    test::WriteFile(dir + "/big.jpg", test::WriteJpeg(Quadrants(800, 600)));
    test::PngFixture png;
    png.width = 40;
    png.height = 30;
    png.colorType = 0;
    png.rows.assign(40 * 30, 0x80);
    test::WriteFile(dir + "/gray.png", test::WritePng(png));
    struct Case
    {
        const char* file;
        int maxWidth, maxHeight, width, height, bpp;
    };
    for (const Case& c :
         {Case{"big.jpg", 70, 70, 70, 53, 32}, Case{"big.jpg", 1000, 90, 120, 90, 32},
          Case{"gray.png", 20, 20, 20, 15, 32}, Case{"gray.png", 50, 50, 40, 30, 8}})
    {
        SCOPED_TRACE(std::string(c.file) + " in " + std::to_string(c.maxWidth) + " x " +
                     std::to_string(c.maxHeight));
        CAnyPicDecoder decoder;
        CDIBSection bmp;
        decoder.DecodeFileScaled(dir + "/" + c.file, bmp, c.maxWidth, c.maxHeight);
        EXPECT_EQ(bmp.GetWidth(), c.width);
        EXPECT_EQ(bmp.GetHeight(), c.height);
        EXPECT_EQ(bmp.GetBitsPerPixel(), c.bpp);
        if (c.file[0] == 'b')
            ExpectQuadrants(bmp);
        // The decoder is at full size again afterwards.
        CDIBSection full;
        decoder.DecodeFile(dir + "/" + c.file, full);
        EXPECT_EQ(full.GetWidth(), c.file[0] == 'b' ? 800 : 40);
    }
}

TEST(JpegDecoder, MultiPictureFileShowsItsFirstImage)
{
    // A gain-map JPEG as phones write it: an MPF segment (APP2) in the first
    // image indexes a second, complete JPEG that follows its end marker.
    for (const bool progressive : {false, true})
    {
        SCOPED_TRACE(progressive);
        test::JpegFixture primary = Picture(48, 32, 3);
        primary.progressive = progressive;
        const std::vector<uint8_t> first = test::WriteJpeg(primary);
        const std::vector<uint8_t> gainMap = test::WriteJpeg(Picture(96, 64, 1));
        test::Bytes mpf;
        mpf.raw({'M', 'P', 'F', 0, 'I', 'I', 0x2A, 0}).le32(8).le16(3);
        mpf.le16(0xB000).le16(7).le32(4).raw({'0', '1', '0', '0'});
        mpf.le16(0xB001).le16(4).le32(1).le32(2);
        mpf.le16(0xB002).le16(7).le32(32).le32(50).le32(0);
        mpf.le32(0x030000).le32(0).le32(0).le16(0).le16(0); // primary: offset and size 0
        mpf.le32(0).le32(uint32_t(gainMap.size())).le32(0).le16(0).le16(0);
        test::Bytes file;
        file.raw({0xFF, 0xD8, 0xFF, 0xE2}).be16(unsigned(mpf.size() + 2)).raw(mpf.data);
        file.raw(std::vector<uint8_t>(first.begin() + 2, first.end())).raw(gainMap);

        CDIBSection bmp;
        ASSERT_NO_THROW(test::DecodeBytes(file.data, bmp));
        EXPECT_EQ(bmp.GetWidth(), 48);
        EXPECT_EQ(bmp.GetHeight(), 32);
        EXPECT_TRUE(test::ImagesMatch(test::DecodeJpegReference(first), test::ToRgba(bmp)));
    }
}
