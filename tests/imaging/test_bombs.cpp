// Small files that declare huge pictures. At the program's own limit each
// fails with a clean error; with a limit that could hold the picture, the
// check of the data against the header refuses it before the bitmap is
// created.
#include "AnyPicDecoder.h"
#include "FixtureWriters.h"
#include "TestSupport.h"

#include "TextException.h"

#include <zlib.h>

#include <algorithm>

namespace
{
struct LimitScope
{
    size_t saved = CBmp::GetMaxPixelBytes();
    explicit LimitScope(size_t bytes) { CBmp::SetMaxPixelBytes(bytes); }
    ~LimitScope() { CBmp::SetMaxPixelBytes(saved); }
};

void PutBE32(std::vector<uint8_t>& b, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; i++)
        b[at + size_t(i)] = uint8_t(v >> (24 - 8 * i));
}

void PutLE32(std::vector<uint8_t>& b, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; i++)
        b[at + size_t(i)] = uint8_t(v >> (8 * i));
}

/// The committed bomb with its declared height replaced.
std::vector<uint8_t> WithHeight(const std::string& name, uint32_t height)
{
    std::vector<uint8_t> b = test::ReadFile(test::TestData("bombs/" + name));
    if (name.ends_with(".bmp"))
        PutLE32(b, 22, height);
    else if (name.ends_with(".png"))
    {
        PutBE32(b, 20, height);
        PutBE32(b, 29, uint32_t(crc32(0, b.data() + 12, 17)));
    }
    else
    {
        // ImageLength and RowsPerStrip, the second and eighth entries.
        PutLE32(b, 10 + 12 * 1 + 8, height);
        PutLE32(b, 10 + 12 * 7 + 8, height);
    }
    return b;
}
} // namespace

TEST(Bombs, FailCleanlyAtTheProgramsLimit)
{
    for (const char* name : {"bmp_1x2e9.bmp", "png_1x2e9.png", "tiff_2e9_rows.tif"})
    {
        SCOPED_TRACE(name);
        CAnyPicDecoder decoder;
        CDIBSection bmp;
        try
        {
            decoder.DecodeFile(test::TestData(std::string("bombs/") + name), bmp);
            ADD_FAILURE() << "decoded";
        }
        catch (const CTextException& e)
        {
            // Too large for this machine, or found short of data.
            EXPECT_TRUE(e.GetCode() == 10 || e.GetCode() == 11 || e.GetCode() == 2)
                << e.GetCode() << " " << e.GetText();
        }
    }
}

TEST(Bombs, DataIsCheckedBeforeTheBitmapIsCreated)
{
    // The pictures fit the limit: only the data check stands in the way.
    const LimitScope limit(size_t(16) << 30);
    struct Case
    {
        std::vector<uint8_t> bytes;
        int code;
    };
    test::Bytes tga; // 24-bit, 65535 x 1000, 9 bytes of pixels
    tga.u8(0).u8(0).u8(2).le16(0).le16(0).u8(0).le16(0).le16(0).le16(65535).le16(1000);
    tga.u8(24).u8(0).fill(9);
    test::Bytes rle = tga; // the same run-length encoded: 128 pixels a packet at most
    rle.data[2] = 10;
    // A JPEG of 4000 x 4000 with the header of a small one and a few bytes of
    // its scan: a bit at least for each of the 250,000 blocks is missing.
    test::JpegFixture small;
    small.width = small.height = 16;
    small.components = 1;
    small.pixels.assign(256, 128);
    std::vector<uint8_t> jpeg = test::WriteJpeg(small);
    const std::vector<uint8_t> sof = {0xFF, 0xC0}, sos = {0xFF, 0xDA};
    const auto frame = std::search(jpeg.begin(), jpeg.end(), sof.begin(), sof.end());
    const auto scan = std::search(jpeg.begin(), jpeg.end(), sos.begin(), sos.end());
    ASSERT_TRUE(frame != jpeg.end() && scan != jpeg.end());
    frame[5] = frame[7] = 4000 >> 8;
    frame[6] = frame[8] = 4000 & 0xFF;
    jpeg.resize(size_t(scan - jpeg.begin()) + 2 + 8 + 20);
    const std::vector<Case> cases = {
        {WithHeight("bmp_1x2e9.bmp", 20000000), 11},
        {WithHeight("png_1x2e9.png", 20000000), 2},
        {WithHeight("tiff_2e9_rows.tif", 20000000), 11},
        {tga.data, 11},
        {rle.data, 11},
        {jpeg, 11},
        // 1 x 413,522,086, beyond the format's level 5.
        {test::ReadFile(test::TestData("bombs/jxl_1x413m.jxl")), 10},
    };
    for (size_t i = 0; i < cases.size(); i++)
    {
        SCOPED_TRACE(i);
        CDIBSection bmp;
        EXPECT_DECODE_ERROR(test::DecodeBytes(cases[i].bytes, bmp), cases[i].code, nullptr);
        EXPECT_EQ(bmp.GetHeight(), 16); // never created
    }
}
