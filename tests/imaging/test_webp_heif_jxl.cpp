// WebP, HEIC, AVIF and JPEG XL files made with cwebp, heif-enc, avifenc and
// cjxl from tests/data/formats/base.png and alpha.png: pixels against the
// source, the container's orientation, damaged data and the budget.
#include "Animation.h"
#include "AnyPicDecoder.h"
#include "DataSource.h"
#include "TestSupport.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>

namespace
{
std::string Sample(const std::string& name)
{
    return test::TestData("formats/" + name);
}

/// The mean and the largest difference of colour (and alpha) samples.
struct Difference
{
    double mean = 0;
    int max = 0;
};

Difference Compare(const test::RgbaImage& expected, const test::RgbaImage& actual, bool alpha)
{
    Difference d;
    size_t n = 0;
    for (size_t i = 0; i < expected.rgba.size(); i++)
    {
        // Encoders may keep any colour where the picture is transparent.
        const bool clear = alpha && expected.rgba[i | 3] == 0 && actual.rgba[i | 3] == 0;
        if ((i % 4 == 3 && !alpha) || (i % 4 != 3 && clear))
            continue;
        const int diff = std::abs(int(expected.rgba[i]) - int(actual.rgba[i]));
        d.mean += diff;
        d.max = std::max(d.max, diff);
        n++;
    }
    d.mean /= double(n);
    return d;
}

/// The source turned as the container says: a quarter anticlockwise, or
/// mirrored top to bottom.
test::RgbaImage Turned(const test::RgbaImage& src, bool quarter)
{
    test::RgbaImage out;
    out.width = quarter ? src.height : src.width;
    out.height = quarter ? src.width : src.height;
    out.rgba.resize(src.rgba.size());
    for (int y = 0; y < out.height; y++)
        for (int x = 0; x < out.width; x++)
        {
            const uint8_t* p = quarter ? src.At(src.width - 1 - y, x) : src.At(x, src.height - 1 - y);
            std::memcpy(&out.rgba[(size_t(y) * size_t(out.width) + size_t(x)) * 4], p, 4);
        }
    return out;
}

class BudgetGuard
{
public:
    explicit BudgetGuard(size_t bytes) : m_Old(CBmp::GetMaxPixelBytes())
    {
        CBmp::SetMaxPixelBytes(bytes);
    }
    ~BudgetGuard() { CBmp::SetMaxPixelBytes(m_Old); }

private:
    size_t m_Old;
};

const char* const kStills[] = {"lossy.webp", "lossless_alpha.webp", "lossy_alpha.webp",
                               "photo.heic", "alpha.heic",          "photo10.heic",
                               "photo8.avif", "photo10.avif",       "photo12.avif",
                               "alpha.avif",  "lossless.jxl",       "alpha.jxl"};
} // namespace

TEST(NewFormats, StillsMatchTheirSource)
{
    struct Case
    {
        const char* file;
        int format;
        const char* source;
        bool alpha;
        double meanTolerance; // 0: lossless, every sample must match
    };
    const Case cases[] = {
        {"lossy.webp", CAnyPicDecoder::kWebP, "base.png", false, 3},
        {"lossless_alpha.webp", CAnyPicDecoder::kWebP, "alpha.png", true, 0},
        {"lossy_alpha.webp", CAnyPicDecoder::kWebP, "alpha.png", true, 3},
        {"photo.heic", CAnyPicDecoder::kHeif, "base.png", false, 4},
        {"alpha.heic", CAnyPicDecoder::kHeif, "alpha.png", true, 4},
        {"photo10.heic", CAnyPicDecoder::kHeif, "base.png", false, 4},
        {"photo8.avif", CAnyPicDecoder::kHeif, "base.png", false, 4},
        {"photo10.avif", CAnyPicDecoder::kHeif, "base.png", false, 4},
        {"photo12.avif", CAnyPicDecoder::kHeif, "base.png", false, 4},
        {"alpha.avif", CAnyPicDecoder::kHeif, "alpha.png", true, 4},
        {"lossless.jxl", CAnyPicDecoder::kJxl, "base.png", false, 0},
        {"alpha.jxl", CAnyPicDecoder::kJxl, "alpha.png", true, 3},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.file);
        const std::vector<uint8_t> bytes = test::ReadFile(Sample(c.file));
        EXPECT_EQ(CAnyPicDecoder::DetectFormat(bytes.data(), bytes.size()), c.format);
        for (int depth : {0, 32})
        {
            CDIBSection bmp;
            CAnyPicDecoder().DecodeFile(Sample(c.file), bmp, depth);
            EXPECT_EQ(bmp.GetBitsPerPixel(), 32);
            EXPECT_EQ(bmp.HasAlpha(), c.alpha);
            const test::RgbaImage expected = test::LoadPng(Sample(c.source));
            const test::RgbaImage actual = test::ToRgba(bmp);
            ASSERT_EQ(actual.width, expected.width);
            ASSERT_EQ(actual.height, expected.height);
            const Difference d = Compare(expected, actual, c.alpha);
            // Lossy coders smear the sharp edges of the yellow square: the
            // mean tells a wrong decode (channels swapped, rows flipped) apart.
            EXPECT_LE(d.mean, c.meanTolerance);
            if (c.meanTolerance == 0)
            {
                EXPECT_EQ(d.max, 0);
            }
        }
    }
}

TEST(NewFormats, HeifRotationAndMirroringLikeExif)
{
    const test::RgbaImage base = test::LoadPng(Sample("base.png"));
    for (bool quarter : {true, false})
    {
        const std::string file = quarter ? "irot90.avif" : "imir.avif";
        SCOPED_TRACE(file);
        CAnyPicDecoder decoder;
        CDIBSection bmp;
        decoder.DecodeFile(Sample(file), bmp);
        const test::RgbaImage turned = Turned(base, quarter);
        ASSERT_EQ(bmp.GetWidth(), turned.width);
        ASSERT_EQ(bmp.GetHeight(), turned.height);
        EXPECT_LE(Compare(turned, test::ToRgba(bmp), false).mean, 4);
        // Off, the picture comes as stored.
        decoder.SetApplyOrientation(false);
        decoder.DecodeFile(Sample(file), bmp);
        ASSERT_EQ(bmp.GetWidth(), base.width);
        EXPECT_LE(Compare(base, test::ToRgba(bmp), false).mean, 4);
    }
}

TEST(NewFormats, DamagedAndTruncatedFilesFailCleanly)
{
    for (const char* file : kStills)
    {
        SCOPED_TRACE(file);
        const std::vector<uint8_t> bytes = test::ReadFile(Sample(file));
        // Cut at several places, and with bytes of the middle overwritten.
        for (size_t keep : {size_t(20), bytes.size() / 3, bytes.size() / 2, bytes.size() - 1})
        {
            std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + std::ptrdiff_t(keep));
            CDIBSection bmp;
            try
            {
                test::DecodeBytes(cut, bmp);
                ADD_FAILURE() << "a file cut to " << keep << " bytes decoded";
            }
            catch (const CTextException& e)
            {
                EXPECT_TRUE(e.GetCode() == 1 || e.GetCode() == 2 || e.GetCode() == 6 ||
                            e.GetCode() == 11)
                    << keep << ": " << e.GetCode() << " " << e.GetText();
            }
        }
        std::vector<uint8_t> damaged = bytes;
        for (size_t i = damaged.size() / 2; i < damaged.size() / 2 + 16 && i < damaged.size(); i++)
            damaged[i] ^= 0x5A;
        CDIBSection bmp;
        try
        {
            test::DecodeBytes(damaged, bmp); // a lossy coder may decode noise
        }
        catch (const CTextException& e)
        {
            EXPECT_NE(e.GetCode(), 8) << e.GetText();
        }
    }
}

TEST(NewFormats, BudgetRefusesBeforeDecoding)
{
    // Each sample's bitmap takes 12 KB.
    BudgetGuard budget(8 * 1024);
    for (const char* file : kStills)
    {
        SCOPED_TRACE(file);
        CDIBSection bmp;
        EXPECT_DECODE_ERROR(CAnyPicDecoder().DecodeFile(Sample(file), bmp), 10, nullptr);
    }
}

TEST(NewFormats, HeifDeclaringAHugeImageIsRefused)
{
    // The image's spatial extent (ispe) says 100000 x 100000 pixels.
    std::vector<uint8_t> bytes = test::ReadFile(Sample("photo.heic"));
    const uint8_t ispe[] = {'i', 's', 'p', 'e'};
    auto at = std::search(bytes.begin(), bytes.end(), std::begin(ispe), std::end(ispe));
    ASSERT_NE(at, bytes.end());
    const size_t pos = size_t(at - bytes.begin()) + 8; // past the version and flags
    for (size_t i : {pos, pos + 4})
    {
        bytes[i] = 0x00;
        bytes[i + 1] = 0x01;
        bytes[i + 2] = 0x86;
        bytes[i + 3] = 0xA0;
    }
    CDIBSection bmp;
    EXPECT_DECODE_ERROR(test::DecodeBytes(bytes, bmp), 10, nullptr);
}

TEST(NewFormats, WebPAnimationDeclaringAHugeCanvasIsRefused)
{
    // The VP8X chunk's canvas: 32 x 16,449,304 and 16385 x 24 (the frames stay 32 x 24 at most).
    for (const auto& [width, height] : {std::pair{32, 16449304}, std::pair{16385, 24}})
    {
        SCOPED_TRACE(height);
        std::vector<uint8_t> bytes = test::ReadFile(Sample("disposal.webp"));
        ASSERT_EQ(std::string(bytes.begin() + 12, bytes.begin() + 16), "VP8X");
        for (int i = 0; i < 3; i++)
        {
            bytes[size_t(24 + i)] = uint8_t((width - 1) >> (8 * i));
            bytes[size_t(27 + i)] = uint8_t((height - 1) >> (8 * i));
        }
        CDIBSection bmp;
        EXPECT_DECODE_ERROR(test::DecodeBytes(bytes, bmp), 10, nullptr);
        CDataSource source;
        source.Open("huge", bytes.data(), bytes.size());
        EXPECT_DECODE_ERROR(CAnyPicDecoder().OpenAnimation(source), 10, nullptr);
    }
}
