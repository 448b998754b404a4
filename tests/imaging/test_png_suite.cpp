// PngSuite conformance: every good file decodes to the pixels of libpng's
// simplified API; every x* file fails cleanly with a code.
#include "AnyPicDecoder.h"
#include "TestSupport.h"

#include <zlib.h>

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

uint32_t BE32At(const std::vector<uint8_t>& b, size_t p)
{
    return uint32_t(b[p]) << 24 | uint32_t(b[p + 1]) << 16 | uint32_t(b[p + 2]) << 8 | b[p + 3];
}

/// The file without its colour-space chunks, so that the simplified API
/// applies no gamma conversion (our decoder applies none). 16-bit files get a
/// gAMA equal to the API's sRGB output gamma, since it otherwise takes 16-bit
/// samples as linear.
test::RgbaImage Reference(const std::string& name)
{
    const std::vector<uint8_t> in = test::ReadFile(test::TestData("pngsuite/" + name + ".png"));
    std::vector<uint8_t> out(in.begin(), in.begin() + 8);
    for (size_t p = 8; p + 12 <= in.size();)
    {
        const size_t length = BE32At(in, p);
        const std::string type(in.begin() + long(p) + 4, in.begin() + long(p) + 8);
        if (type != "gAMA" && type != "cHRM" && type != "sRGB" && type != "iCCP")
            out.insert(out.end(), in.begin() + long(p), in.begin() + long(p + 12 + length));
        if (type == "IHDR" && in[p + 16] == 16)
        {
            test::Bytes gama;
            gama.be32(4).raw({'g', 'A', 'M', 'A'}).be32(45455);
            gama.be32(uint32_t(crc32(0, gama.data.data() + 4, 8)));
            out.insert(out.end(), gama.data.begin(), gama.data.end());
        }
        p += 12 + length;
    }
    const std::string path = test::TempDir() + "/" + name + ".png";
    test::WriteFile(path, out);
    return test::LoadPng(path);
}

class PngSuite : public ::testing::TestWithParam<std::string>
{
};

TEST_P(PngSuite, DecodesLikeLibpngOrFailsCleanly)
{
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

    const bool gray = name.find("n0g") != std::string::npos || name.find("i0g") != std::string::npos;
    const bool palette = name.find("3p") != std::string::npos;
    EXPECT_EQ(bmp.GetBitsPerPixel(), gray || palette ? 8 : 32);
    const bool alpha = name.find("4a") != std::string::npos || name.find("6a") != std::string::npos;
    EXPECT_EQ(bmp.HasAlpha(), alpha);

    // The simplified API mis-reads interlaced 16-bit files once given a gAMA;
    // their non-interlaced twins hold the same picture.
    const bool sixteen = name.compare(name.size() - 2, 2, "16") == 0;
    const std::string refName =
        sixteen && name[3] == 'i' ? "basn" + name.substr(4) : name;
    // tRNS is ignored for gray, palette and RGB images: compare alpha only
    // where the bitmap has it. Stripping 16 bits differs from scaling by 1.
    EXPECT_TRUE(test::ImagesMatch(Reference(refName), test::ToRgba(bmp), sixteen ? 1 : 0, alpha));
}

INSTANTIATE_TEST_SUITE_P(Files, PngSuite, ::testing::ValuesIn(SuiteNames()),
                         [](const auto& p) { return p.param; });
} // namespace
