// jpeg-decoder suite: reftest files decode close to their reference PNGs;
// crashtest files decode or fail cleanly.
#include "AnyPicDecoder.h"
#include "TestSupport.h"

#include <algorithm>
#include <cmath>
#include <filesystem>

namespace
{
namespace fs = std::filesystem;

std::string CaseName(const std::string& file)
{
    std::string name = file.substr(0, file.size() - 4);
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c)))
            c = '_';
    return name;
}

/// Components of the first frame header, 0 when none is found.
int FrameComponents(const std::vector<uint8_t>& jpeg)
{
    for (size_t i = 2; i + 9 < jpeg.size(); i++)
        if (jpeg[i] == 0xFF && jpeg[i + 1] >= 0xC0 && jpeg[i + 1] <= 0xC2)
            return jpeg[i + 9];
    return 0;
}

double Luma(const uint8_t* p)
{
    return 0.299 * p[0] + 0.587 * p[1] + 0.114 * p[2];
}

class JpegReftest : public ::testing::TestWithParam<std::string>
{
};

// The references were made with the integer DCT and fancy upsampling; ours
// uses the float DCT and replicates chroma, so colour differs near sharp
// chroma edges of subsampled images. Luma is full resolution and must agree
// closely; the channels only on average.
TEST_P(JpegReftest, DecodesCloseToTheReference)
{
    const std::string path = test::TestData("jpeg-decoder/reftest/" + GetParam());
    CAnyPicDecoder decoder;
    CDIBSection bmp;
    ASSERT_NO_THROW(decoder.DecodeFile(path, bmp));
    EXPECT_EQ(bmp.GetBitsPerPixel(), FrameComponents(test::ReadFile(path)) == 1 ? 8 : 32);

    // The suite itself does not compare these (one reference is a copy of the JPEG).
    for (const char* skipped : {"jpg-size-3x3", "jpg-size-4x4", "jpg-size-6x6"})
        if (GetParam().find(skipped) != std::string::npos)
            return;
    const test::RgbaImage ref = test::LoadPng(path.substr(0, path.size() - 4) + ".png");
    const test::RgbaImage got = test::ToRgba(bmp);
    ASSERT_EQ(got.width, ref.width);
    ASSERT_EQ(got.height, ref.height);

    const size_t pixels = size_t(ref.width) * size_t(ref.height);
    double lumaSum = 0, channelSum = 0;
    std::vector<double> luma;
    for (size_t i = 0; i < pixels; i++)
    {
        const double d = std::fabs(Luma(&ref.rgba[4 * i]) - Luma(&got.rgba[4 * i]));
        luma.push_back(d);
        lumaSum += d;
        for (int c = 0; c < 3; c++)
            channelSum +=
                std::abs(int(ref.rgba[4 * i + size_t(c)]) - int(got.rgba[4 * i + size_t(c)]));
    }
    std::sort(luma.begin(), luma.end());
    EXPECT_LE(lumaSum / double(pixels), 1.0);
    // jpg-cmyk-2 has subsampled ink channels with sharp edges around its text.
    const double lumaBound = GetParam() == "mozilla/jpg-cmyk-2.jpg" ? 12.0 : 4.0;
    EXPECT_LE(luma[pixels * 98 / 100], lumaBound);
    EXPECT_LE(channelSum / double(3 * pixels), 16.0);
}

INSTANTIATE_TEST_SUITE_P(Files, JpegReftest,
                         ::testing::ValuesIn(test::SuiteFiles("jpeg-decoder/reftest", ".jpg")),
                         [](const auto& p) { return CaseName(p.param); });

class JpegCrashtest : public ::testing::TestWithParam<std::string>
{
};

TEST_P(JpegCrashtest, DecodesOrFailsCleanly)
{
    const std::string path = test::TestData("jpeg-decoder/crashtest/" + GetParam());
    CAnyPicDecoder decoder;
    CDIBSection bmp;
    try
    {
        decoder.DecodeFile(path, bmp);
        EXPECT_GT(bmp.GetWidth(), 0);
    }
    catch (const CTextException& e)
    {
        // 5: the empty file cannot be mapped; 8: the signature is damaged;
        // 6: libjpeg refused the data.
        // 11: far less data than the declared picture needs.
        EXPECT_TRUE(e.GetCode() == 5 || e.GetCode() == 6 || e.GetCode() == 8 || e.GetCode() == 11)
            << e.GetCode();
        EXPECT_FALSE(e.GetText().empty());
    }
}

INSTANTIATE_TEST_SUITE_P(Files, JpegCrashtest,
                         ::testing::ValuesIn(test::SuiteFiles("jpeg-decoder/crashtest", ".jpg")),
                         [](const auto& p) { return CaseName(p.param); });
} // namespace
