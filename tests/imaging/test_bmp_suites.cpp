// Conformance of the Windows bitmap decoder on bmpsuite and image-rs's BMP
// tests: every header variant (OS/2 1.x and 2.x, Windows, V2 to V5), 1 to 32
// bits, colour masks, RLE4/RLE8 with delta codes decode to the suites'
// reference pixels; embedded JPEG/PNG, Huffman, RLE24, 64-bit pixels and the
// corrupt files fail cleanly with their code.
#include "BmpTgaSupport.h"

#include "TextException.h"

using bmptga::Bad;
using bmptga::DecoderError;
using bmptga::Decodes;
using bmptga::Good;
using bmptga::GoodAtDepths;
using bmptga::SuiteCase;

namespace
{
const std::string kWrongHeader = DecoderError("Bitmap decoder: BITMAPINFOHEADER has wrong size.");
const std::string kIllegalBpp = DecoderError("Decoding bmp: Illegal bpp value.");
const std::string kEof = kEndOfFileText;

std::string Html(const std::string& name)
{
    return "bmpsuite/html/" + name + ".png";
}

std::vector<SuiteCase> BmpSuiteCases()
{
    const std::string g = "bmpsuite/g/", q = "bmpsuite/q/", b = "bmpsuite/b/";
    return {
        // Good files.
        Good(g + "pal1.bmp", Html("pal1")),
        Good(g + "pal1bg.bmp", Html("pal1bg")),
        Good(g + "pal1wb.bmp", Html("pal1")),
        Good(g + "pal4.bmp", Html("pal4")),
        Good(g + "pal4gs.bmp", Html("pal4gs")),
        Good(g + "pal4rle.bmp", Html("pal4")),
        Good(g + "pal8-0.bmp", Html("pal8")),
        Good(g + "pal8.bmp", Html("pal8")),
        Good(g + "pal8gs.bmp", Html("pal8gs")),
        Good(g + "pal8nonsquare.bmp", Html("pal8nonsquare-e")),
        Good(g + "pal8os2.bmp", Html("pal8")),
        Good(g + "pal8rle.bmp", Html("pal8")),
        Good(g + "pal8topdown.bmp", Html("pal8")),
        Good(g + "pal8v4.bmp", Html("pal8")),
        Good(g + "pal8v5.bmp", Html("pal8")),
        Good(g + "pal8w124.bmp", Html("pal8w124")),
        Good(g + "pal8w125.bmp", Html("pal8w125")),
        Good(g + "pal8w126.bmp", Html("pal8w126")),
        Good(g + "rgb16-565.bmp", Html("rgb16-565")),
        Good(g + "rgb16-565pal.bmp", Html("rgb16-565")),
        Good(g + "rgb16.bmp", Html("rgb16")),
        Good(g + "rgb16bfdef.bmp", Html("rgb16")),
        Good(g + "rgb24.bmp", Html("rgb24")),
        Good(g + "rgb24pal.bmp", Html("rgb24")),
        Good(g + "rgb32.bmp", Html("rgb24")),
        Good(g + "rgb32bf.bmp", Html("rgb24")),
        Good(g + "rgb32bfdef.bmp", Html("rgb24")),
        // Questionable files with a well-defined reading: OS/2 headers of
        // every size, colour profiles, 2-bit pixels, masks of any width and
        // order, alpha masks, delta-coded RLE (skipped pixels take colour 0
        // at 8 bits and are transparent at 32).
        Good(q + "pal1p1.bmp", Html("pal1p1")),
        Good(q + "pal2.bmp", Html("pal2")),
        Good(q + "pal2color.bmp", Html("pal2color")),
        GoodAtDepths(q + "pal4rlecut.bmp", Html("pal4rlecut-0"), Html("pal4rlecut")),
        GoodAtDepths(q + "pal4rletrns.bmp", Html("pal4rletrns-0"), Html("pal4rletrns")),
        Good(q + "pal8offs.bmp", Html("pal8")),
        Good(q + "pal8os2-hs.bmp", Html("pal8")),
        Good(q + "pal8os2-sz.bmp", Html("pal8")),
        Good(q + "pal8os2sp.bmp", Html("pal8")),
        Good(q + "pal8os2v2-16.bmp", Html("pal8")),
        Good(q + "pal8os2v2-40sz.bmp", Html("pal8")),
        Good(q + "pal8os2v2-sz.bmp", Html("pal8")),
        Good(q + "pal8os2v2.bmp", Html("pal8")),
        GoodAtDepths(q + "pal8rlecut.bmp", Html("pal8rlecut-0"), Html("pal8rlecut")),
        GoodAtDepths(q + "pal8rletrns.bmp", Html("pal8rletrns-0"), Html("pal8rletrns")),
        Good(q + "rgb16-231.bmp", Html("rgb16-231")),
        Good(q + "rgb16-3103.bmp", Html("rgb16-3103")),
        // The unused top bit of 5-5-5 pixels is no alpha (its reference shows it as one).
        Good(q + "rgb16faketrns.bmp", Html("rgb16")),
        Good(q + "rgb24largepal.bmp", Html("rgb24")),
        Good(q + "rgb24lprof.bmp", Html("rgb24")),
        Good(q + "rgb24prof.bmp", Html("rgb24")),
        Good(q + "rgb32-111110.bmp", Html("rgb24"), 1),
        Good(q + "rgb32-7187.bmp", Html("rgb32-7187")),
        Good(q + "rgb32-xbgr.bmp", Html("rgb24")),
        Good(q + "rgb32fakealpha.bmp", Html("rgb24")),
        Good(q + "rgb32h52.bmp", Html("rgb24")),
        Good(q + "rgba16-1924.bmp", Html("rgba16-1924")),
        Good(q + "rgba16-4444.bmp", Html("rgba16-4444")),
        Good(q + "rgba16-5551.bmp", Html("rgba16-5551")),
        Good(q + "rgba32-1.bmp", Html("rgba32")),
        Good(q + "rgba32-1010102.bmp", Html("rgba32-1010102")),
        Good(q + "rgba32-2.bmp", Html("rgba32")),
        Good(q + "rgba32-61754.bmp", Html("rgba32-61754")),
        Good(q + "rgba32-81284.bmp", Html("rgba32-81284")),
        Good(q + "rgba32abf.bmp", Html("rgba32")),
        Good(q + "rgba32h56.bmp", Html("rgba32")),
        // Compressions that are not decoded, and 64-bit pixels.
        Bad(q + "pal1huffmsb.bmp", 2, DecoderError("Decoding bmp: Unsupported compression 3.")),
        Bad(q + "rgb24jpeg.bmp", 2, DecoderError("Decoding bmp: Unsupported compression 4.")),
        Bad(q + "rgb24png.bmp", 2, DecoderError("Decoding bmp: Unsupported compression 5.")),
        Bad(q + "rgb24rle24.bmp", 2, DecoderError("Decoding bmp: Unsupported compression 4.")),
        Bad(q + "rgba64.bmp", 2, kIllegalBpp),
        Bad(q + "pal8oversizepal.bmp", 2,
            DecoderError("Bitmap decoder: Palette of 300 entries; at most 256 allowed.")),
        // Corrupt fields the decoder has no use for: planes, image size,
        // resolution; a zero-bit blue channel.
        Good(b + "badplanes.bmp", Html("pal1")),
        Good(b + "badbitssize.bmp", Html("pal1")),
        Good(b + "baddens1.bmp", Html("pal1")),
        Good(b + "baddens2.bmp", Html("pal1")),
        Good(b + "rgb16-880.bmp", Html("rgb16-880")),
        // The colours of this file are meant to be seen through its embedded
        // profile, which the decoder skips.
        Decodes(q + "rgb24prof2.bmp"),
        // RLE streams built to run past their lines: clipped, they decode.
        Decodes(b + "badrle.bmp"),
        Decodes(b + "badrle4.bmp"),
        Decodes(b + "badrle4bis.bmp"),
        Decodes(b + "badrle4ter.bmp"),
        Decodes(b + "badrlebis.bmp"),
        Decodes(b + "badrleter.bmp"),
        // Corrupt files.
        Bad(b + "badbitcount.bmp", 2, kIllegalBpp),
        Bad(b + "badfilesize.bmp", 11, kEof),
        Bad(b + "badheadersize.bmp", 2, kWrongHeader),
        Bad(b + "badpalettesize.bmp", 2,
            DecoderError("Bitmap decoder: Palette of 305402420 entries; at most 256 allowed.")),
        Bad(b + "badwidth.bmp", 2, DecoderError("Bitmap decoder: Illegal image size -127 x 64.")),
        Bad(b + "reallybig.bmp", 11, kEof),
        Bad(b + "rletopdown.bmp", 2,
            DecoderError("Bitmap decoder: A compressed bitmap can't be top-down.")),
        Bad(b + "shortfile.bmp", 11, kEof),
        // Not a Windows bitmap: an OS/2 bitmap array.
        Bad("bmpsuite/x/ba-bm.bmp", 8, DecoderError("Unknown file type.")),
    };
}

std::string Ref(const std::string& name)
{
    return "image-rs-bmp/reference/" + name + ".png";
}

std::vector<SuiteCase> ImageRsBmpCases()
{
    const std::string i = "image-rs-bmp/images/", bad = "image-rs-bmp/bad/";
    std::vector<SuiteCase> cases;
    for (const char* name : {"Info_1_Bit.bmp", "Info_1_Bit_Top_Down.bmp", "Info_4_Bit.bmp",
                             "Info_4_Bit_Top_Down.bmp", "Info_8_Bit.bmp", "Info_8_Bit_Top_Down.bmp",
                             "Info_R8_G8_B8.bmp", "Info_R8_G8_B8_Top_Down.bmp"})
        cases.push_back(Good(i + name, Ref(name)));
    // 32 bits without bit fields: the fourth byte is no alpha.
    for (const char* name : {"Info_A8_R8_G8_B8.bmp", "Info_A8_R8_G8_B8_Top_Down.bmp"})
        cases.push_back(Good(i + name, Ref(name), 0, false));
    // Every header variant and mask layout; a V5 header's alpha mask gives
    // uncompressed 32-bit pixels their alpha.
    for (const char* name :
         {"Core_1_Bit.bmp", "Core_4_Bit.bmp", "Core_8_Bit.bmp", "Info_X1_R5_G5_B5.bmp",
          "Info_X1_R5_G5_B5_Top_Down.bmp", "V3_R5_G6_B5.bmp", "V3_R5_G6_B5_Top_Down.bmp",
          "V3_X4_R4_G4_B4.bmp", "V3_X4_R4_G4_B4_Top_Down.bmp", "V3_X8_R8_G8_B8.bmp",
          "V3_X8_R8_G8_B8_Top_Down.bmp", "V4_A8_R8_G8_B8.bmp", "V4_R5_G6_B5.bmp",
          "V5_A1_R5_G5_B5.bmp", "V5_A8_R8_G8_B8_Rgb.bmp", "pal8v4.bmp", "rgba16-1924.bmp"})
        cases.push_back(Good(i + name, Ref(name)));
    // Alpha masks whose alpha is zero everywhere: the pictures are opaque,
    // not invisible as the references show them.
    for (const char* name : {"V3_A1_R5_G5_B5.bmp", "V3_A1_R5_G5_B5_Top_Down.bmp",
                             "V3_A4_R4_G4_B4.bmp", "V3_A4_R4_G4_B4_Top_Down.bmp"})
        cases.push_back(Good(i + name, Ref(name), 0, false));
    // RLE8 runs past the lines of a V5 file, and an alpha mask of one bit.
    cases.push_back(Decodes(i + "imagemagick_invalid_run_length_issue_2321.bmp"));
    cases.push_back(Decodes(i + "lenient/V5_A8_R8_G8_B8_Rgb_BadMask.bmp"));
    cases.push_back(Bad(bad + "Bad_clrsUsed.bmp", 2,
                        DecoderError("Bitmap decoder: Palette of 4278190086 entries; at most "
                                     "256 allowed.")));
    cases.push_back(Bad(bad + "Bad_height.bmp", 10));
    cases.push_back(Bad(bad + "Bad_width.bmp", 10));
    cases.push_back(Bad(bad + "Bad_unusual_extend_buffer_usage.bmp", 11, kEof));
    return cases;
}

class BmpSuite : public ::testing::TestWithParam<SuiteCase>
{
};
class ImageRsBmp : public ::testing::TestWithParam<SuiteCase>
{
};
} // namespace

TEST_P(BmpSuite, DecodesOrFailsCleanly)
{
    bmptga::CheckSuiteCase(GetParam());
}

TEST_P(BmpSuite, ConvertsThroughTheCommandLine)
{
    bmptga::CheckSuiteCaseThroughCommandLine(GetParam());
}
INSTANTIATE_TEST_SUITE_P(Files, BmpSuite, ::testing::ValuesIn(BmpSuiteCases()), bmptga::CaseName);

TEST_P(ImageRsBmp, DecodesOrFailsCleanly)
{
    bmptga::CheckSuiteCase(GetParam());
}

TEST_P(ImageRsBmp, ConvertsThroughTheCommandLine)
{
    bmptga::CheckSuiteCaseThroughCommandLine(GetParam());
}
INSTANTIATE_TEST_SUITE_P(Files, ImageRsBmp, ::testing::ValuesIn(ImageRsBmpCases()),
                         bmptga::CaseName);

TEST(BmpSuites, EveryFileHasACase)
{
    EXPECT_EQ(bmptga::FilesWithoutCase("bmpsuite", ".bmp", BmpSuiteCases(),
                                       {"bmpsuite/b/pal8badindex.bmp"}),
              std::vector<std::string>{});
    EXPECT_EQ(bmptga::FilesWithoutCase("image-rs-bmp", ".bmp", ImageRsBmpCases(),
                                       {"image-rs-bmp/images/lenient/rle_overflow.bmp"}),
              std::vector<std::string>{});
}

TEST(ImageRsBmp, RleRunPastRowIsClipped)
{
    // Width 2 with an absolute run of 3: the third pixel is dropped and the
    // rest of the picture decodes.
    CDIBSection bmp;
    bmptga::DecodeTestFile("image-rs-bmp/images/lenient/rle_overflow.bmp", bmp);
    ASSERT_EQ(bmp.GetWidth(), 2);
    ASSERT_EQ(bmp.GetHeight(), 2);
    const uint8_t* bottom = bmp.GetLineArray()[1];
    const uint8_t* top = bmp.GetLineArray()[0];
    EXPECT_EQ(bottom[0], 0);
    EXPECT_EQ(bottom[1], 1);
    // The end-of-bitmap code leaves the top line as created.
    EXPECT_EQ(top[0], 0);
    EXPECT_EQ(top[1], 0);
    EXPECT_EQ(bmp.GetPaletteTable()[1], (PaletteEntry{0, 0, 255, 255}));
}

TEST(BmpSuite, IndicesPastThePaletteAreBlack)
{
    // 101 palette entries, pixels up to 255: the table beyond the file's
    // entries is opaque black, at both depths.
    CDIBSection bmp8, bmp32;
    bmptga::DecodeTestFile("bmpsuite/b/pal8badindex.bmp", bmp8);
    bmptga::DecodeTestFile("bmpsuite/b/pal8badindex.bmp", bmp32, 32);
    const test::RgbaImage rgba8 = test::ToRgba(bmp8);
    EXPECT_TRUE(test::ImagesMatch(rgba8, test::ToRgba(bmp32)));
    int pastPalette = 0;
    for (int y = 0; y < bmp8.GetHeight(); y++)
        for (int x = 0; x < bmp8.GetWidth(); x++)
            if (bmp8.GetLineArray()[y][x] >= 101)
            {
                pastPalette++;
                EXPECT_EQ(bmp8.GetPaletteTable()[bmp8.GetLineArray()[y][x]],
                          (PaletteEntry{0, 0, 0, 255}));
            }
    EXPECT_GT(pastPalette, 0);
}
