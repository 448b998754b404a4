// EXIF orientation of JPEG files and PNG eXIf chunks, and the Orientation tag
// of TIFF files: all eight values turn a picture of six coloured blocks
// upright; switched off, the stored orientation stays.
#include "AnyPicDecoder.h"
#include "DataSource.h"
#include "FixtureWriters.h"
#include "TestSupport.h"

#include <tiffio.h>
#include <zlib.h>

namespace
{
// Stored picture: 3 x 2 blocks of kBlock pixels, numbered row by row.
constexpr int kBlock = 8;
const uint8_t kColours[6][3] = {{255, 0, 0},   {0, 255, 0},   {0, 0, 255},
                                {255, 255, 0}, {0, 255, 255}, {255, 0, 255}};

/// The upright block layout for each orientation, as EXIF defines them.
struct Upright
{
    int columns;
    std::vector<int> blocks; // row by row
};
const Upright kUpright[9] = {
    {},
    {3, {0, 1, 2, 3, 4, 5}},
    {3, {2, 1, 0, 5, 4, 3}},
    {3, {5, 4, 3, 2, 1, 0}},
    {3, {3, 4, 5, 0, 1, 2}},
    {2, {0, 3, 1, 4, 2, 5}},
    {2, {3, 0, 4, 1, 5, 2}},
    {2, {5, 2, 4, 1, 3, 0}},
    {2, {2, 5, 1, 4, 0, 3}},
};

std::vector<uint8_t> StoredPixels(int components)
{
    std::vector<uint8_t> pixels;
    for (int y = 0; y < 2 * kBlock; y++)
        for (int x = 0; x < 3 * kBlock; x++)
        {
            const uint8_t* c = kColours[(y / kBlock) * 3 + x / kBlock];
            if (components == 1)
                pixels.push_back(uint8_t(40 * ((y / kBlock) * 3 + x / kBlock) + 20));
            else
                pixels.insert(pixels.end(), c, c + 3);
        }
    return pixels;
}

/// Exif data (a TIFF header and one directory) with one Orientation entry,
/// in either byte order.
std::vector<uint8_t> ExifData(int orientation, bool bigEndian)
{
    test::Bytes tiff;
    auto u16 = [&](unsigned v) { bigEndian ? tiff.be16(v) : tiff.le16(v); };
    auto u32 = [&](uint32_t v) { bigEndian ? tiff.be32(v) : tiff.le32(v); };
    tiff.u8(bigEndian ? 'M' : 'I').u8(bigEndian ? 'M' : 'I');
    u16(42);
    u32(8);
    u16(2); // entries: a resolution unit first, then the orientation
    u16(0x128), u16(3), u32(1), u16(2), u16(0);
    u16(0x112), u16(3), u32(1), u16(unsigned(orientation)), u16(0);
    u32(0);
    return tiff.data;
}

/// The JPEG with an APP1 Exif block after its start marker.
std::vector<uint8_t> WithExif(const std::vector<uint8_t>& jpeg, int orientation, bool bigEndian)
{
    const std::vector<uint8_t> tiff = ExifData(orientation, bigEndian);
    test::Bytes app1;
    app1.u8(0xFF).u8(0xE1).be16(unsigned(2 + 6 + tiff.size()));
    app1.raw({'E', 'x', 'i', 'f', 0, 0}).raw(tiff);
    std::vector<uint8_t> out = jpeg;
    out.insert(out.begin() + 2, app1.data.begin(), app1.data.end());
    return out;
}

/// The PNG with an eXIf chunk after its header, or just before IEND.
std::vector<uint8_t> WithExifChunk(const std::vector<uint8_t>& png, int orientation,
                                   bool bigEndian, bool afterImageData)
{
    const std::vector<uint8_t> tiff = ExifData(orientation, bigEndian);
    test::Bytes chunk;
    chunk.be32(uint32_t(tiff.size())).raw({'e', 'X', 'I', 'f'}).raw(tiff);
    chunk.be32(uint32_t(crc32(0, chunk.data.data() + 4, uInt(chunk.size() - 4))));
    std::vector<uint8_t> out = png;
    const long at = afterImageData ? long(png.size()) - 12 : 33; // IEND; after IHDR
    out.insert(out.begin() + at, chunk.data.begin(), chunk.data.end());
    return out;
}

/// Every block's centre shows its colour where the orientation puts it.
void ExpectUpright(const CBmp& bmp, int orientation, int components)
{
    const Upright& u = kUpright[orientation];
    const int rows = 6 / u.columns;
    ASSERT_EQ(bmp.GetWidth(), u.columns * kBlock);
    ASSERT_EQ(bmp.GetHeight(), rows * kBlock);
    const test::RgbaImage got = test::ToRgba(bmp);
    for (int i = 0; i < 6; i++)
    {
        const int block = u.blocks[size_t(i)];
        const uint8_t* p =
            got.At((i % u.columns) * kBlock + kBlock / 2, (i / u.columns) * kBlock + kBlock / 2);
        for (int c = 0; c < 3; c++)
        {
            const int want = components == 1 ? 40 * block + 20 : kColours[block][c];
            EXPECT_NEAR(p[c], want, 8) << "block " << block << " at " << i;
        }
    }
}

/// Upright at both depths; switched off, the stored picture comes back.
void ExpectTurnedUpright(const std::vector<uint8_t>& file, int orientation, int components)
{
    for (int depth : {0, 32})
    {
        CDIBSection bmp;
        test::DecodeBytes(file, bmp, depth);
        ExpectUpright(bmp, orientation, components);
    }
    CAnyPicDecoder decoder;
    decoder.SetApplyOrientation(false);
    CDataSource source;
    source.Open("stored", file.data(), file.size());
    CDIBSection stored;
    decoder.DecodeSource(source, stored);
    ExpectUpright(stored, 1, components);
}

std::vector<uint8_t> Jpeg(int components)
{
    test::JpegFixture f;
    f.width = 3 * kBlock;
    f.height = 2 * kBlock;
    f.components = components;
    f.quality = 100;
    f.subsample = false;
    f.pixels = StoredPixels(components);
    return test::WriteJpeg(f);
}
} // namespace

TEST(Orientation, JpegExifTurnsEveryOrientationUpright)
{
    for (int components : {1, 3})
        for (int o = 1; o <= 8; o++)
        {
            SCOPED_TRACE("orientation " + std::to_string(o) + ", components " +
                         std::to_string(components));
            ExpectTurnedUpright(WithExif(Jpeg(components), o, o % 2 == 0), o, components);
        }
}

TEST(Orientation, DamagedExifBlocksAreIgnored)
{
    const std::vector<uint8_t> good = WithExif(Jpeg(3), 6, false);
    // The block cut short at every length, and a directory offset past its end.
    for (size_t cut = 4; cut < 40; cut += 3)
    {
        std::vector<uint8_t> jpeg = good;
        const size_t length = 2 + cut;
        jpeg[4] = uint8_t(length >> 8);
        jpeg[5] = uint8_t(length);
        jpeg.erase(jpeg.begin() + 6 + long(cut), jpeg.begin() + 6 + 6 + 38);
        CDIBSection bmp;
        ASSERT_NO_THROW(test::DecodeBytes(jpeg, bmp)) << cut;
    }
    std::vector<uint8_t> far = good;
    far[6 + 6 + 5] = 0xFF; // the directory offset
    CDIBSection bmp;
    test::DecodeBytes(far, bmp);
    ExpectUpright(bmp, 1, 3);
}

TEST(Orientation, CommandLineKeepsTheStoredOrientationOnRequest)
{
    const std::string path = test::TempDir() + "/turned.jpg";
    test::WriteFile(path, WithExif(Jpeg(3), 6, false));
    auto sizeLine = [&](const std::string& options)
    {
        const std::string command = std::string(VISTREL_DECODE_EXE) + options + " '" + path + "'";
        std::FILE* out = popen(command.c_str(), "r");
        char line[128] = {};
        const bool read = out && std::fgets(line, sizeof line, out);
        if (out)
            pclose(out);
        return read ? std::string(line) : std::string();
    };
    EXPECT_EQ(sizeLine(""), " 16 x 24; 32 bpp; 1 kb\n");
    EXPECT_EQ(sizeLine(" --no-orient"), " 24 x 16; 32 bpp; 1 kb\n");
}

TEST(Orientation, TiffTagTurnsEveryOrientationUpright)
{
    // The sample path into 8 and 32 bits, and the RGBA interface (CMYK).
    struct Kind
    {
        const char* name;
        uint16_t photometric;
        int samples;
    };
    for (const Kind& kind :
         {Kind{"gray", PHOTOMETRIC_MINISBLACK, 1}, Kind{"rgb", PHOTOMETRIC_RGB, 3},
          Kind{"cmyk", PHOTOMETRIC_SEPARATED, 4}})
        for (uint16_t o = 1; o <= 8; o++)
        {
            SCOPED_TRACE(std::string(kind.name) + ", orientation " + std::to_string(o));
            test::TiffFixture f;
            f.width = 3 * kBlock;
            f.height = 2 * kBlock;
            f.samplesPerPixel = uint16_t(kind.samples);
            f.photometric = kind.photometric;
            f.orientation = o;
            const std::vector<uint8_t> stored = StoredPixels(kind.samples == 1 ? 1 : 3);
            if (kind.samples == 4)
                for (size_t i = 0; i < stored.size(); i += 3)
                    f.rows.insert(f.rows.end(),
                                  {uint8_t(255 - stored[i]), uint8_t(255 - stored[i + 1]),
                                   uint8_t(255 - stored[i + 2]), 0});
            else
                f.rows = stored;
            ExpectTurnedUpright(test::WriteTiff(f, test::TempDir()), o, kind.samples == 1 ? 1 : 3);
        }
}

TEST(Orientation, PngExifChunkTurnsEveryOrientationUpright)
{
    // Before or after the image data; the whole-stream path and libpng's
    // (interlaced files).
    for (const bool interlace : {false, true})
        for (const bool after : {false, true})
            for (int components : {1, 3})
                for (int o = 1; o <= 8; o++)
                {
                    SCOPED_TRACE("orientation " + std::to_string(o) + ", components " +
                                 std::to_string(components) + (interlace ? ", interlaced" : "") +
                                 (after ? ", after IDAT" : ""));
                    test::PngFixture f;
                    f.width = 3 * kBlock;
                    f.height = 2 * kBlock;
                    f.colorType = components == 1 ? 0 : 2;
                    f.interlace = interlace;
                    f.rows = StoredPixels(components);
                    ExpectTurnedUpright(WithExifChunk(test::WritePng(f), o, o % 2 == 0, after), o,
                                        components);
                }
}
