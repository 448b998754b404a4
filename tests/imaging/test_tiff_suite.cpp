// libtiff's test images: each decodes to the pixels of libtiff's own RGBA
// reader (and of its PNM companion where there is one), or fails cleanly.
#include "AnyPicDecoder.h"
#include "FixtureWriters.h"
#include "TestSupport.h"

namespace
{
struct TiffFile
{
    const char* name;
    int width;
    int height;
    int bpp; // 0: fails with failCode
    bool alpha = false;
    const char* companion = nullptr;
    int failCode = 0;
    bool libtiffReads = true; // its RGBA reader serves as the second reader
};

const TiffFile kFiles[] = {
    // Four samples, the fourth marked unspecified: not alpha, as libtiff reads it.
    {"32bpp-None-jpeg.tiff", 162, 20, 32, false},
    {"32bpp-None.tiff", 162, 20, 32, true},
    {"custom_dir_EXIF_GPS.tiff", 1, 1, 32},
    {"deflate-last-strip-extra-data.tiff", 500, 500, 8},
    {"logluv-3c-16b.tiff", 1, 1, 32},
    {"lzw-single-strip.tiff", 7795, 3122, 1},
    {"minisblack-1c-16b.tiff", 157, 151, 32, false, "minisblack-1c-8b.pgm"},
    {"minisblack-1c-8b.tiff", 157, 151, 8, false, "minisblack-1c-8b.pgm"},
    {"minisblack-2c-8b-alpha.tiff", 64, 64, 32, true},
    {"miniswhite-1c-1b.tiff", 157, 151, 1, false, "miniswhite-1c-1b.pbm"},
    {"ojpeg_chewey_subsamp21_multi_strip.tiff", 392, 575, 32},
    {"ojpeg_single_strip_no_rowsperstrip.tiff", 234, 213, 32},
    {"ojpeg_zackthecat_subsamp22_single_strip.tiff", 234, 213, 32},
    {"palette-1c-1b.tiff", 157, 151, 1},
    {"palette-1c-4b.tiff", 157, 151, 8},
    {"palette-1c-8b.tiff", 157, 151, 8},
    {"quad-lzw-compat.tiff", 512, 384, 32},
    {"quad-tile.jpg.tiff", 512, 384, 32},
    {"rgb-3c-16b.tiff", 157, 151, 32, false, "rgb-3c-16b.ppm"},
    {"rgb-3c-8b.tiff", 157, 151, 32, false, "rgb-3c-8b.ppm"},
    // Floating-point samples, which libtiff's RGBA reader refuses.
    {"test_float64_predictor2_be_lzw.tif", 20, 20, 32, false, nullptr, 0, false},
    {"test_float64_predictor2_le_lzw.tif", 20, 20, 32, false, nullptr, 0, false},
    // IFD chains that loop: the first page is read and the loop never followed.
    {"test_ifd_loop_subifd.tif", 1, 1, 32},
    {"test_ifd_loop_to_first.tif", 1, 1, 8},
    {"test_ifd_loop_to_self.tif", 20, 20, 8},
    {"test_two_ifds.tif", 1, 1, 8},
    {"testfax3_bug54_1dnoEOL.tif", 1728, 2320, 1},
    {"testfax3_bug_513.tiff", 32, 2, 1},
    {"testfax4.tiff", 2453, 3369, 1},
    {"tiff_with_subifd_chain.tif", 1024, 512, 8},
    {"webp_lossless_rgba_alpha_fully_opaque.tif", 20, 20, 32, true},
};

class TiffSuite : public ::testing::TestWithParam<TiffFile>
{
};

TEST_P(TiffSuite, DecodesLikeLibtiffOrFailsCleanly)
{
    const TiffFile& f = GetParam();
    const std::string path = test::TestData(std::string("libtiff/") + f.name);
    CAnyPicDecoder decoder;
    CDIBSection bmp;
    if (f.bpp == 0)
    {
        EXPECT_DECODE_ERROR(decoder.DecodeFile(path, bmp), f.failCode, nullptr);
        return;
    }
    ASSERT_NO_THROW(decoder.DecodeFile(path, bmp));
    EXPECT_EQ(bmp.GetWidth(), f.width);
    EXPECT_EQ(bmp.GetHeight(), f.height);
    EXPECT_EQ(bmp.GetBitsPerPixel(), f.bpp);
    EXPECT_EQ(bmp.HasAlpha(), f.alpha);

    const test::RgbaImage got = test::ToRgba(bmp);
    // libtiff's reader gives colours multiplied by alpha; ours are not.
    test::RgbaImage multiplied = got;
    if (f.alpha)
        for (size_t i = 0; i < multiplied.rgba.size(); i += 4)
            for (size_t c = 0; c < 3; c++)
                multiplied.rgba[i + c] =
                    uint8_t((multiplied.rgba[i + c] * multiplied.rgba[i + 3] + 127) / 255);
    // libtiff scales 16-bit colour maps with rounding; we truncate.
    if (f.libtiffReads)
    {
        EXPECT_TRUE(test::ImagesMatch(test::LoadTiffRgba(path), multiplied, 1, f.alpha));
    }
    if (f.companion)
    {
        const std::string companion = test::TestData(std::string("libtiff/") + f.companion);
        EXPECT_TRUE(test::ImagesMatch(test::LoadPnm(companion), got, 1, false));
    }
}

void PrintTo(const TiffFile& f, std::ostream* os)
{
    *os << f.name;
}

INSTANTIATE_TEST_SUITE_P(Files, TiffSuite, ::testing::ValuesIn(kFiles),
                         [](const auto& p)
                         {
                             std::string name = p.param.name;
                             for (char& c : name)
                                 if (!std::isalnum(static_cast<unsigned char>(c)))
                                     c = '_';
                             return name;
                         });
} // namespace
