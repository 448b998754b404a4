// The header of a JPEG file: the picture's size, and from its Exif block the
// orientation and the camera's thumbnail, read safely from damaged blocks.
#include "JpegHeader.h"

#include "AnyPicDecoder.h"
#include "FixtureWriters.h"
#include "TestSupport.h"
#include "WinBmp.h"

namespace
{
/// A two-colour JPEG: the left half red, the right half blue.
std::vector<uint8_t> HalvesJpeg(int width, int height)
{
    test::JpegFixture f;
    f.width = width;
    f.height = height;
    f.quality = 100;
    f.subsample = false;
    for (int y = 0; y < height; y++)
        for (int x = 0; x < width; x++)
            f.pixels.insert(f.pixels.end(), {uint8_t(x < width / 2 ? 255 : 0), 0,
                                             uint8_t(x < width / 2 ? 0 : 255)});
    return test::WriteJpeg(f);
}

struct ExifLayout
{
    int orientation = 1;
    bool bigEndian = false;
    int64_t thumbOffsetShift = 0; // added to the thumbnail's true offset
    int64_t thumbLengthShift = 0;
    bool loopBack = false; // the second directory points back at the first
};

/// An APP1 Exif block: the first directory with the orientation, the second
/// with the thumbnail's offset and length, the thumbnail after them.
std::vector<uint8_t> Exif(const std::vector<uint8_t>& thumb, const ExifLayout& l)
{
    test::Bytes tiff;
    auto u16 = [&](unsigned v) { l.bigEndian ? tiff.be16(v) : tiff.le16(v); };
    auto u32 = [&](uint32_t v) { l.bigEndian ? tiff.be32(v) : tiff.le32(v); };
    tiff.u8(l.bigEndian ? 'M' : 'I').u8(l.bigEndian ? 'M' : 'I');
    u16(42);
    u32(8);
    u16(1);
    u16(0x112), u16(3), u32(1), u16(unsigned(l.orientation)), u16(0);
    u32(26); // the second directory
    u16(2);
    u16(0x201), u16(4), u32(1), u32(uint32_t(56 + l.thumbOffsetShift));
    u16(0x202), u16(4), u32(1), u32(uint32_t(int64_t(thumb.size()) + l.thumbLengthShift));
    u32(l.loopBack ? 8 : 0);
    tiff.raw(thumb);
    test::Bytes app1;
    app1.raw({'E', 'x', 'i', 'f', 0, 0}).raw(tiff.data);
    return app1.data;
}

std::vector<uint8_t> WithApp1(const std::vector<uint8_t>& jpeg, const std::vector<uint8_t>& app1)
{
    test::Bytes segment;
    segment.u8(0xFF).u8(0xE1).be16(unsigned(2 + app1.size())).raw(app1);
    std::vector<uint8_t> out = jpeg;
    out.insert(out.begin() + 2, segment.data.begin(), segment.data.end());
    return out;
}
} // namespace

TEST(JpegHeader, ReadsSizeOrientationAndThumbnail)
{
    const std::vector<uint8_t> thumb = HalvesJpeg(24, 16), picture = HalvesJpeg(96, 64);
    struct Case
    {
        const char* what;
        ExifLayout layout;
        bool hasThumb;
        int width, height, thumbWidth, thumbHeight; // upright
    };
    const Case cases[] = {
        {"plain, little-endian", {1, false}, true, 96, 64, 24, 16},
        {"turned a quarter, big-endian", {6, true}, true, 64, 96, 16, 24},
        {"thumbnail offset past the block", {1, false, 4096}, false, 96, 64, 0, 0},
        {"thumbnail length past the block", {1, false, 0, 1}, false, 96, 64, 0, 0},
        {"directories in a loop", {8, false, 0, 0, true}, true, 64, 96, 16, 24},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.what);
        const std::vector<uint8_t> file = WithApp1(picture, Exif(thumb, c.layout));
        CJpegHeader header;
        ASSERT_TRUE(header.Parse(file.data(), file.size()));
        EXPECT_EQ(header.GetOrientation(), c.layout.orientation);
        EXPECT_EQ(header.GetWidth(), c.width);
        EXPECT_EQ(header.GetHeight(), c.height);
        EXPECT_EQ(header.HasThumbnail(), c.hasThumb);
        EXPECT_EQ(header.GetThumbnailWidth(), c.thumbWidth);
        EXPECT_EQ(header.GetThumbnailHeight(), c.thumbHeight);
    }
}

TEST(JpegHeader, ThumbnailDecodesUpright)
{
    // Stored: red left, blue right. Turned a quarter clockwise (6) to show
    // upright, red is on top; mirrored (2), red is on the right.
    const std::vector<uint8_t> thumb = HalvesJpeg(24, 16), picture = HalvesJpeg(96, 64);
    struct Case
    {
        int orientation;
        int width, height;
        int redX, redY; // a pixel that must be red
    };
    for (const Case& c : {Case{1, 24, 16, 2, 8}, Case{6, 16, 24, 8, 2}, Case{2, 24, 16, 21, 8}})
    {
        SCOPED_TRACE(c.orientation);
        const std::vector<uint8_t> file =
            WithApp1(picture, Exif(thumb, ExifLayout{c.orientation}));
        CJpegHeader header;
        ASSERT_TRUE(header.Parse(file.data(), file.size()));
        CAnyPicDecoder decoder;
        CWinBmp bmp;
        header.DecodeThumbnail(decoder, bmp, 32);
        EXPECT_TRUE(decoder.GetApplyOrientation()); // given back as it was
        ASSERT_EQ(bmp.GetWidth(), c.width);
        ASSERT_EQ(bmp.GetHeight(), c.height);
        const test::RgbaImage rgba = test::ToRgba(bmp);
        EXPECT_GT(rgba.At(c.redX, c.redY)[0], 200);
        EXPECT_LT(rgba.At(c.redX, c.redY)[2], 60);
    }
}

TEST(JpegHeader, DamagedDataNeverReadsOutside)
{
    const std::vector<uint8_t> app1 = Exif(HalvesJpeg(24, 16), ExifLayout{6});
    const std::vector<uint8_t> file = WithApp1(HalvesJpeg(96, 64), app1);
    // Every prefix of the file and of the Exif block: a clean answer (the
    // sanitizer build catches a read past the copy).
    CAnyPicDecoder decoder;
    for (size_t cut = 0; cut < app1.size() + 40; cut++)
    {
        const std::vector<uint8_t> part(file.begin(), file.begin() + long(cut));
        CJpegHeader header;
        EXPECT_FALSE(header.Parse(part.data(), part.size())) << cut; // no frame yet
        if (cut > app1.size())
            continue;
        const std::vector<uint8_t> block(app1.begin(), app1.begin() + long(cut));
        EXPECT_EQ(header.ParseExif(block.data(), block.size()), cut >= 14) << cut;
        EXPECT_EQ(header.HasThumbnail(), cut == app1.size()) << cut;
    }
    CJpegHeader whole;
    ASSERT_TRUE(whole.ParseExif(app1.data(), app1.size()));
    EXPECT_TRUE(whole.HasThumbnail());
    const std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', 13, 10, 26, 10};
    CJpegHeader header;
    EXPECT_FALSE(header.Parse(png.data(), png.size()));
    CWinBmp bmp;
    EXPECT_THROW(header.DecodeThumbnail(decoder, bmp), CTextException);
}
