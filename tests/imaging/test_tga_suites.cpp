// Conformance of the Targa decoder on the TrueVision/image-rs samples and
// Pillow's Targa tests: every image type, both origins, right-to-left
// images, colour maps with an offset, packets across rows; and hand-built
// files for the alpha rules.
#include "BmpTgaSupport.h"

#include "TextException.h"

using bmptga::Bad;
using bmptga::Good;
using bmptga::SuiteCase;

namespace
{
// 5-bit channels are widened by bit replication; references may round.
constexpr int k5BitTolerance = 1;

std::vector<SuiteCase> ImageRsTgaCases()
{
    const std::string t = "image-rs-tga/testsuite/";
    std::vector<SuiteCase> cases;
    auto add = [&](const std::string& name, int tolerance = 0, bool alpha = true)
    {
        cases.push_back(
            Good(t + name, "image-rs-tga/reference/testsuite/" + name + ".png", tolerance, alpha));
    };
    add("b5-cmap.tga", k5BitTolerance); // 16-bit colour map
    for (const char* name :
         {"cbw8.tga", "cmap_offset.tga", "ctc24.tga", "ubw8.tga", "utc24.tga", "bottom_left.tga",
          "bottom_right.tga", "top_left.tga", "top_right.tga"})
        add(name);
    // Alpha zero everywhere: opaque, where the reference is invisible.
    add("utc32.tga", 0, false);
    // 16-bit pixels: the attribute bit becomes alpha 0x80 or 0, not opacity.
    for (const char* name : {"b5-attrib.tga", "b5-noattrib.tga", "b5-unused-cmap.tga"})
        add(name, k5BitTolerance, false);
    return cases;
}

std::vector<SuiteCase> PillowTgaCases()
{
    const std::string c = "pillow-tga/common/";
    std::vector<SuiteCase> cases;
    for (const char* size : {"1x1", "200x32"})
        for (const char* mode : {"l", "la", "p", "rgb", "rgba"})
            for (const char* origin : {"bl", "tl"})
                for (const char* packing : {"raw", "rle"})
                {
                    const std::string base = std::string(size) + "_" + mode;
                    const std::string file = c + base + "_" + origin + "_" + packing + ".tga";
                    if (std::string(size) == "1x1" && std::string(mode) != "l")
                        continue;
                    cases.push_back(Good(file, c + base + ".png"));
                }
    cases.push_back(Good("pillow-tga/200x32_p_bl_raw_origin.tga", c + "200x32_p.png"));
    cases.push_back(Good("pillow-tga/cross_scan_line.tga", "pillow-tga/cross_scan_line.png"));
    cases.push_back(Good("pillow-tga/p_16.tga", "pillow-tga/p_16.png", k5BitTolerance));
    cases.push_back(Bad("pillow-tga/cross_scan_line_truncated.tga", 11, kEndOfFileText));
    // A header whose colour map is missing.
    cases.push_back(Bad("pillow-tga/p_8.tga", 11, kEndOfFileText));
    return cases;
}

class ImageRsTga : public ::testing::TestWithParam<SuiteCase>
{
};
class PillowTga : public ::testing::TestWithParam<SuiteCase>
{
};

test::RgbaImage DecodeToRgba(const std::string& file, int depth = 0)
{
    CDIBSection bmp;
    bmptga::DecodeTestFile(file, bmp, depth);
    return test::ToRgba(bmp);
}
} // namespace

TEST_P(ImageRsTga, DecodesOrFailsCleanly)
{
    bmptga::CheckSuiteCase(GetParam());
}

TEST_P(ImageRsTga, ConvertsThroughTheCommandLine)
{
    bmptga::CheckSuiteCaseThroughCommandLine(GetParam());
}
INSTANTIATE_TEST_SUITE_P(Files, ImageRsTga, ::testing::ValuesIn(ImageRsTgaCases()),
                         bmptga::CaseName);

TEST_P(PillowTga, DecodesOrFailsCleanly)
{
    bmptga::CheckSuiteCase(GetParam());
}

TEST_P(PillowTga, ConvertsThroughTheCommandLine)
{
    bmptga::CheckSuiteCaseThroughCommandLine(GetParam());
}
INSTANTIATE_TEST_SUITE_P(Files, PillowTga, ::testing::ValuesIn(PillowTgaCases()), bmptga::CaseName);

TEST(TgaSuites, EveryFileHasACase)
{
    EXPECT_EQ(bmptga::FilesWithoutCase("image-rs-tga", ".tga", ImageRsTgaCases(),
                                       {"image-rs-tga/testsuite/ccm8.tga",
                                        "image-rs-tga/testsuite/ucm8.tga",
                                        "image-rs-tga/testsuite/utc16.tga"}),
              std::vector<std::string>{});
    EXPECT_EQ(bmptga::FilesWithoutCase(
                  "pillow-tga", ".tga", PillowTgaCases(),
                  {"pillow-tga/rgba16.tga", "pillow-tga/la.tga", "pillow-tga/rgb32rle.tga",
                   "pillow-tga/rgb32rle_bottom_right.tga", "pillow-tga/rgb32rle_top_right.tga",
                   "pillow-tga/tga_id_field.tga"}),
              std::vector<std::string>{});
}

TEST(ImageRsTga, FilesWithoutReferenceMatchTheirTwins)
{
    // The colour-mapped pair differs only in packing; the 16-bit image is the
    // 24-bit one with 5-bit channels.
    const std::string t = "image-rs-tga/testsuite/";
    EXPECT_TRUE(test::ImagesMatch(DecodeToRgba(t + "ucm8.tga"), DecodeToRgba(t + "ccm8.tga")));
    EXPECT_TRUE(test::ImagesMatch(DecodeToRgba(t + "utc24.tga"), DecodeToRgba(t + "utc16.tga"),
                                  k5BitTolerance, false));
}

TEST(PillowTga, RightToLeftOrigins)
{
    // One set of quadrants stored with three origins; Pillow's notes give the
    // colour at (90, 90) after the origin is applied.
    auto at90 = [](const std::string& file)
    {
        const test::RgbaImage img = DecodeToRgba("pillow-tga/" + file);
        const uint8_t* p = img.At(90, 90);
        return std::vector<int>{p[0], p[1], p[2]};
    };
    EXPECT_EQ(at90("rgb32rle.tga"), (std::vector<int>{255, 0, 0}));
    EXPECT_EQ(at90("rgb32rle_top_right.tga"), (std::vector<int>{0, 0, 0}));
    EXPECT_EQ(at90("rgb32rle_bottom_right.tga"), (std::vector<int>{0, 255, 0}));
    const test::RgbaImage id = DecodeToRgba("pillow-tga/tga_id_field.tga");
    EXPECT_EQ(id.width, 100);
    EXPECT_EQ(id.height, 100);
}

TEST(PillowTga, SixteenBitAttributeAndGrayAlpha)
{
    // 2 x 1 A1R5G5B5: 0x541F without the attribute bit, 0x83EA with it.
    CDIBSection bmp;
    bmptga::DecodeTestFile("pillow-tga/rgba16.tga", bmp);
    ASSERT_EQ(bmp.GetBitsPerPixel(), 32);
    EXPECT_TRUE(bmp.HasAlpha());
    const auto* px = reinterpret_cast<const PaletteEntry*>(bmp.GetLineArray()[0]);
    EXPECT_EQ(px[0], (PaletteEntry{255, 0, 173, 0}));
    EXPECT_EQ(px[1], (PaletteEntry{82, 255, 0, 0x80}));

    // Gray with alpha, run-length encoded: gray levels and alpha as stored.
    const test::RgbaImage la = DecodeToRgba("pillow-tga/la.tga");
    ASSERT_EQ(la.width, 64);
    bool translucent = false;
    for (int y = 0; y < la.height; y++)
        for (int x = 0; x < la.width; x++)
        {
            const uint8_t* p = la.At(x, y);
            EXPECT_TRUE(p[0] == p[1] && p[1] == p[2]) << x << "," << y;
            translucent |= p[3] != 255;
        }
    EXPECT_TRUE(translucent);
}

TEST(TgaDecoder, AlphaOnlyWhereTheDescriptorDeclaresItAndSomePixelHasIt)
{
    struct Case
    {
        const char* name;
        int bits;
        uint8_t descriptor;
        std::vector<uint8_t> pixels; // one row
        std::vector<PaletteEntry> expected;
        bool alpha;
    };
    const std::vector<Case> cases = {
        {"32 bits, no alpha bits", 32, 0x00, {1, 2, 3, 0x40}, {{1, 2, 3, 255}}, false},
        {"32 bits with alpha", 32, 0x08, {1, 2, 3, 0x40}, {{1, 2, 3, 0x40}}, true},
        {"32 bits, alpha zero everywhere", 32, 0x08, {1, 2, 3, 0}, {{1, 2, 3, 255}}, false},
        {"16 bits, no alpha bits", 16, 0x00, {0xFF, 0xFF}, {{255, 255, 255, 255}}, false},
        {"15 bits widened by repeating the top bits", 15, 0x00, {0x10, 0x42, 0x21, 0x04},
         {{132, 132, 132, 255}, {8, 8, 8, 255}}, false},
        {"16 bits with the attribute bit",
         16,
         0x01,
         {0xFF, 0x7F, 0xFF, 0xFF},
         {{255, 255, 255, 0}, {255, 255, 255, 0x80}},
         true},
        {"16 bits, attribute clear everywhere",
         16,
         0x01,
         {0xFF, 0x7F},
         {{255, 255, 255, 255}},
         false},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        const unsigned width = unsigned(c.expected.size());
        test::Bytes tga;
        tga.u8(0).u8(0).u8(2).le16(0).le16(0).u8(0).le16(0).le16(0).le16(width).le16(1);
        tga.u8(unsigned(c.bits)).u8(c.descriptor).raw(c.pixels);
        CDIBSection bmp;
        test::DecodeBytes(tga.data, bmp);
        EXPECT_EQ(bmp.HasAlpha(), c.alpha);
        const auto* px = reinterpret_cast<const PaletteEntry*>(bmp.GetLineArray()[0]);
        EXPECT_EQ(std::vector<PaletteEntry>(px, px + width), c.expected);
    }
}
