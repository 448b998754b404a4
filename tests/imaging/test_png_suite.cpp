// PngSuite conformance: every good file decodes to the pixels of libpng's
// simplified API; every x* file fails cleanly with a code.
#include "AnyPicDecoder.h"
#include "TestSupport.h"

#include <algorithm>
#include <filesystem>

namespace
{
/// Suite file names without their extension.
std::vector<std::string> SuiteNames()
{
    std::vector<std::string> names = test::SuiteFiles("pngsuite", ".png");
    for (std::string& name : names)
        name.resize(name.size() - 4);
    return names;
}

test::RgbaImage Reference(const std::string& name)
{
    return test::LoadPng(test::TestData("pngsuite/" + name + ".png"));
}

class PngSuite : public ::testing::TestWithParam<std::string>
{
};

TEST_P(PngSuite, DecodesLikeLibpngOrFailsCleanly)
{
    // The references are read without gamma conversion (the suite's gAMA
    // files are converted in the colour tests).
    const test::ColourManagementOff plain;
    const std::string& name = GetParam();
    CAnyPicDecoder decoder;
    CDIBSection bmp;
    const std::string path = test::TestData("pngsuite/" + name + ".png");
    if (name[0] == 'x')
    {
        // A damaged signature is not recognised as PNG at all.
        const bool badSignature = name == "xs1n0g01" || name == "xs2n0g01" || name == "xs4n0g01";
        EXPECT_DECODE_ERROR(decoder.DecodeFile(path, bmp), badSignature ? 8 : 2, nullptr);
        return;
    }
    ASSERT_NO_THROW(decoder.DecodeFile(path, bmp));

    const bool gray =
        name.find("n0g") != std::string::npos || name.find("i0g") != std::string::npos;
    const bool palette = name.find("3p") != std::string::npos;
    EXPECT_EQ(bmp.GetBitsPerPixel(), gray || palette ? 8 : 32);
    const bool alpha = name.find("4a") != std::string::npos || name.find("6a") != std::string::npos;

    // The simplified API mis-reads interlaced 16-bit files once given a gAMA;
    // their non-interlaced twins hold the same picture.
    const bool sixteen = name.compare(name.size() - 2, 2, "16") == 0;
    const std::string refName = sixteen && name[3] == 'i' ? "basn" + name.substr(4) : name;
    const test::RgbaImage reference = Reference(refName);
    bool transparent = false;
    for (size_t i = 3; i < reference.rgba.size(); i += 4)
        transparent |= reference.rgba[i] != 255;
    // A palette's tRNS gives its colour table alpha.
    EXPECT_EQ(bmp.HasAlpha(), alpha || (palette && transparent));
    // tRNS is ignored for gray and RGB images: compare alpha only where the
    // bitmap has it. Stripping 16 bits differs from scaling by 1.
    EXPECT_TRUE(test::ImagesMatch(reference, test::ToRgba(bmp), sixteen ? 1 : 0, bmp.HasAlpha()));
}

INSTANTIATE_TEST_SUITE_P(Files, PngSuite, ::testing::ValuesIn(SuiteNames()),
                         [](const auto& p) { return p.param; });
} // namespace
