// GIF files written with giflib's encoder: the first frame on its logical
// screen, palettes, transparency, interlacing, damaged and truncated data.
#include "AnyPicDecoder.h"
#include "FixtureWriters.h"
#include "TestSupport.h"

namespace
{
/// Entry i is (16 i, 255 - 16 i, 7 i) in red, green, blue.
std::vector<uint8_t> Palette(int n)
{
    std::vector<uint8_t> rgb;
    for (int i = 0; i < n; i++)
        rgb.insert(rgb.end(), {uint8_t(16 * i), uint8_t(255 - 16 * i), uint8_t(7 * i)});
    return rgb;
}

test::GifFixture Frame(int width, int height)
{
    test::GifFixture f;
    f.screenWidth = width;
    f.screenHeight = height;
    f.width = width;
    f.height = height;
    f.paletteRgb = Palette(16);
    for (int y = 0; y < height; y++)
        for (int x = 0; x < width; x++)
            f.pixels.push_back(uint8_t((x * 3 + y * 5) % 16));
    return f;
}

/// Where the frame lies its pixels' colours (alpha 0 for the transparent
/// index), elsewhere transparent.
test::RgbaImage Expected(const test::GifFixture& f, int width, int height)
{
    test::RgbaImage img;
    img.width = width;
    img.height = height;
    img.rgba.assign(size_t(width) * size_t(height) * 4, 0);
    for (int y = 0; y < f.height; y++)
        for (int x = 0; x < f.width; x++)
        {
            const int i = f.pixels[size_t(y) * size_t(f.width) + size_t(x)];
            uint8_t* p = &img.rgba[(size_t(f.top + y) * size_t(width) + size_t(f.left + x)) * 4];
            std::copy_n(&f.paletteRgb[3 * size_t(i)], 3, p);
            p[3] = i == f.transparent ? 0 : 255;
        }
    return img;
}
} // namespace

TEST(GifDecoder, FirstFrameOnItsScreen)
{
    struct Case
    {
        const char* name;
        test::GifFixture fixture;
        int width; // of the decoded picture
        int height;
        int bpp; // at automatic depth
    };
    std::vector<Case> cases;
    cases.push_back({"full frame", Frame(13, 9), 13, 9, 8});
    test::GifFixture local = Frame(13, 9);
    local.localMap = true;
    cases.push_back({"local colour map", local, 13, 9, 8});
    test::GifFixture interlaced = Frame(7, 23);
    interlaced.interlace = true;
    cases.push_back({"interlaced", interlaced, 7, 23, 8});
    test::GifFixture keyed = Frame(13, 9);
    keyed.transparent = 4;
    cases.push_back({"transparent colour", keyed, 13, 9, 32});
    test::GifFixture placed = Frame(5, 4);
    placed.screenWidth = 12;
    placed.screenHeight = 10;
    placed.left = 6;
    placed.top = 3;
    cases.push_back({"frame inside the screen", placed, 12, 10, 32});
    test::GifFixture beyond = Frame(5, 4);
    beyond.screenWidth = 3;
    beyond.screenHeight = 3;
    beyond.left = 2;
    cases.push_back({"frame beyond the screen", beyond, 7, 4, 32});
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        const std::vector<uint8_t> gif = test::WriteGif(c.fixture);
        for (int depth : {0, 32})
        {
            CDIBSection bmp;
            test::DecodeBytes(gif, bmp, depth);
            EXPECT_EQ(bmp.GetBitsPerPixel(), depth ? 32 : c.bpp);
            EXPECT_EQ(bmp.HasAlpha(), c.bpp == 32);
            EXPECT_TRUE(
                test::ImagesMatch(Expected(c.fixture, c.width, c.height), test::ToRgba(bmp)));
        }
    }
}

TEST(GifDecoder, DamagedFilesFailCleanly)
{
    const std::vector<uint8_t> gif = test::WriteGif(Frame(13, 9));
    CDIBSection bmp;
    // Cut anywhere up to the end of the first frame's data: the data ended.
    for (size_t n = 6; n + 40 < gif.size() / 2; n += 3)
    {
        const std::vector<uint8_t> cut(gif.begin(), gif.begin() + long(n));
        EXPECT_DECODE_ERROR(test::DecodeBytes(cut, bmp), 11, nullptr);
    }
    // A screen and a trailer, nothing between.
    std::vector<uint8_t> empty(gif.begin(), gif.begin() + 13 + 3 * 16);
    empty.push_back(';');
    EXPECT_DECODE_ERROR(test::DecodeBytes(empty, bmp), 2,
                        "Decoder error: Decoding gif: The file holds no image.\n");
    // A frame of no pixels.
    std::vector<uint8_t> zero = gif;
    const size_t desc = 13 + 3 * 16 + 8; // after the graphics control block
    ASSERT_EQ(zero[desc], ',');
    zero[desc + 5] = zero[desc + 6] = 0;
    EXPECT_DECODE_ERROR(test::DecodeBytes(zero, bmp), 2, nullptr);
}
