// The Mac PICT samples of the shared test data: raster files decode at their
// size and depth, vector-only and non-JPEG QuickTime files fail cleanly.
#include "AnyPicDecoder.h"
#include "PictTestFiles.h"
#include "TestSupport.h"

#include <algorithm>
#include <optional>

namespace
{
const char* const kQuickTime = "Decoder error: PICT file contains unrecognized quicktime data.\n\n";

struct SuiteCase
{
    const char* file;
    int width;  // 0: expect an error
    int height;
    int bpp;
    int code;
    const char* text;
};

void PrintTo(const SuiteCase& c, std::ostream* os)
{
    *os << c.file;
}

std::string Path(const char* file)
{
    return test::TestData(std::string("pict-twelvemonkeys/") + file);
}

class PictSuite : public ::testing::TestWithParam<SuiteCase>
{
};

TEST_P(PictSuite, DecodesOrFailsCleanly)
{
    const SuiteCase& c = GetParam();
    CAnyPicDecoder decoder;
    CDIBSection bmp;
    if (c.width == 0)
    {
        EXPECT_DECODE_ERROR(decoder.DecodeFile(Path(c.file), bmp), c.code, c.text);
        return;
    }
    decoder.DecodeFile(Path(c.file), bmp);
    EXPECT_EQ(bmp.GetWidth(), c.width);
    EXPECT_EQ(bmp.GetHeight(), c.height);
    EXPECT_EQ(bmp.GetBitsPerPixel(), c.bpp);
}

// Banded pictures (1, 2, 9, P564B1400) decode their first band. The
// DirectBitsRgn files and the two 269 x 269 files are cropped to their source
// rectangle, which is narrower than the stored rows. Pictures that draw
// (4, 6, 7, 8, carte, cow, oom, and demo with its map behind text and lines)
// are rendered at their frame.
INSTANTIATE_TEST_SUITE_P(
    TwelveMonkeys, PictSuite,
    ::testing::Values(SuiteCase{"test.pct", 300, 200, 32, 0, nullptr},
                      SuiteCase{"food.pct", 146, 194, 32, 0, nullptr},
                      SuiteCase{"FLAG_B24.PCT", 124, 124, 32, 0, nullptr},
                      SuiteCase{"FC10.PCT", 2265, 2593, 8, 0, nullptr},
                      SuiteCase{"P564B1400.pict", 598, 88, 32, 0, nullptr},
                      SuiteCase{"CatDV==2.0=1=.pict", 375, 165, 32, 0, nullptr},
                      SuiteCase{"Picture14.pict", 404, 136, 32, 0, nullptr},
                      SuiteCase{"1.pict", 622, 10, 8, 0, nullptr},
                      SuiteCase{"2.pict", 622, 35, 8, 0, nullptr},
                      SuiteCase{"9.pict", 622, 85, 8, 0, nullptr},
                      SuiteCase{"VENUS.PCT", 300, 150, 8, 0, nullptr},
                      SuiteCase{"demo.pict", 435, 264, 32, 0, nullptr},
                      SuiteCase{"16bit.pict", 269, 269, 32, 0, nullptr},
                      SuiteCase{"32bit.pict", 269, 269, 32, 0, nullptr},
                      SuiteCase{"mire16.pict", 64, 64, 32, 0, nullptr},
                      SuiteCase{"mire32.pict", 64, 64, 32, 0, nullptr},
                      SuiteCase{"TRU256.PCT", 256, 64, 32, 0, nullptr},
                      SuiteCase{"4.pict", 515, 315, 32, 0, nullptr},
                      SuiteCase{"6.pict", 335, 300, 32, 0, nullptr},
                      SuiteCase{"7.pict", 500, 300, 32, 0, nullptr},
                      SuiteCase{"8.pict", 300, 300, 32, 0, nullptr},
                      SuiteCase{"carte.pict", 782, 598, 32, 0, nullptr},
                      SuiteCase{"cow.pict", 787, 548, 32, 0, nullptr},
                      SuiteCase{"oom.pict", 1713, 1263, 32, 0, nullptr},
                      SuiteCase{"foo.pict", 0, 0, 0, 6, kQuickTime},
                      SuiteCase{"u2.pict", 0, 0, 0, 6, kQuickTime}),
    [](const ::testing::TestParamInfo<SuiteCase>& param)
    {
        std::string name = param.param.file;
        std::replace_if(name.begin(), name.end(), [](char ch) { return !std::isalnum(ch); }, '_');
        return name;
    });

TEST(PictSuite, SolidColourFiles)
{
    const struct
    {
        const char* file;
        uint8_t r, g, b;
    } cases[] = {{"BLK.PCT", 0, 0, 0},     {"BLU.PCT", 0, 0, 255},   {"GRN.PCT", 0, 255, 0},
                 {"RED.PCT", 255, 0, 0},   {"WHT.PCT", 255, 255, 255}, {"YEL.PCT", 255, 255, 0}};
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.file);
        CAnyPicDecoder decoder;
        CDIBSection bmp;
        decoder.DecodeFile(Path(c.file), bmp);
        // Scanned patches: noisy at the edges, so compare the mean colour.
        const test::RgbaImage img = test::ToRgba(bmp);
        double sum[3] = {};
        for (size_t i = 0; i < img.rgba.size(); i += 4)
            for (int k = 0; k < 3; k++)
                sum[k] += img.rgba[i + size_t(k)];
        const double n = double(img.rgba.size() / 4);
        EXPECT_NEAR(sum[0] / n, c.r, 16);
        EXPECT_NEAR(sum[1] / n, c.g, 16);
        EXPECT_NEAR(sum[2] / n, c.b, 16);
    }
}

// The same test card stored with 16-bit and with 32-bit direct pixels.
TEST(PictSuite, SixteenAndThirtyTwoBitCardsAgree)
{
    CAnyPicDecoder decoder;
    CDIBSection b16, b32;
    decoder.DecodeFile(Path("mire16.pict"), b16);
    decoder.DecodeFile(Path("mire32.pict"), b32);
    EXPECT_TRUE(test::ImagesMatch(test::ToRgba(b32), test::ToRgba(b16), 7));
}

TEST(PictSuite, FourComponentPixelsCarryAlpha)
{
    CAnyPicDecoder decoder;
    CDIBSection bmp;
    decoder.DecodeFile(Path("food.pct"), bmp);
    EXPECT_TRUE(bmp.HasAlpha());
    CDIBSection opaque;
    decoder.DecodeFile(Path("test.pct"), opaque);
    EXPECT_FALSE(opaque.HasAlpha());
}

// QuickTime JPEG files decode exactly as the JPEG stream inside them does on
// its own (both fail alike while no JPEG decoder is built in).
TEST(PictSuite, QuickTimeJpegMatchesItsStream)
{
    for (const char* file : {"qt_jpeg.pict", "qt_mire.pict", "J19.pict"})
    {
        SCOPED_TRACE(file);
        const std::vector<uint8_t> bytes = test::ReadFile(Path(file));
        const uint8_t soi[] = {0xFF, 0xD8, 0xFF};
        const auto it = std::search(bytes.begin() + 512, bytes.end(), soi, soi + 3);
        ASSERT_NE(it, bytes.end());
        const std::vector<uint8_t> stream(it, bytes.end());

        CDIBSection a, b;
        const std::optional<CTextException> direct = pict::DecodeJpegStream(stream, a);
        std::optional<CTextException> embedded;
        try
        {
            test::DecodeBytes(bytes, b);
        }
        catch (const CTextException& e)
        {
            embedded = e;
        }
        ASSERT_EQ(direct.has_value(), embedded.has_value());
        if (direct)
        {
            EXPECT_EQ(direct->GetCode(), embedded->GetCode());
            EXPECT_EQ(direct->GetText(), embedded->GetText());
            continue;
        }
        EXPECT_EQ(a.GetBitsPerPixel(), b.GetBitsPerPixel());
        EXPECT_TRUE(test::ImagesMatch(test::ToRgba(a), test::ToRgba(b)));
    }
}

// Every prefix of a few files fails with a clean error or decodes.
TEST(PictSuite, TruncatedFilesFailCleanly)
{
    for (const char* file : {"mire16.pict", "mire32.pict", "BLK.PCT", "6.pict", "qt_mire.pict"})
    {
        SCOPED_TRACE(file);
        const std::vector<uint8_t> bytes = test::ReadFile(Path(file));
        for (size_t n = 0; n < bytes.size(); n += 7)
        {
            const std::vector<uint8_t> part(bytes.begin(), bytes.begin() + long(n));
            CDIBSection bmp;
            try
            {
                pict::Decode(part, bmp);
            }
            catch (const CTextException& e)
            {
                EXPECT_TRUE(e.GetCode() == 11 || e.GetCode() == 6 || e.GetCode() == 2)
                    << n << ": " << e.GetText();
            }
        }
    }
}
} // namespace
