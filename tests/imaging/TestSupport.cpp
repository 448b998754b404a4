#include "TestSupport.h"

#include "ColourManager.h"

#include "AnyPicDecoder.h"
#include "DataSource.h"

#include <png.h>
#include <zlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace fs = std::filesystem;

namespace test
{
std::string TestData(const std::string& relative)
{
    return (fs::path(VISTREL_TESTDATA) / relative).string();
}

std::vector<std::string> SuiteFiles(const std::string& folder, const std::string& ext)
{
    std::vector<std::string> names;
    const fs::path root = TestData(folder);
    std::error_code error;
    for (fs::recursive_directory_iterator it(root, error), end; !error && it != end;
         it.increment(error))
    {
        const std::string name = it->path().filename().string();
        if (it->is_regular_file() && name.size() >= ext.size() &&
            name.compare(name.size() - ext.size(), ext.size(), ext) == 0)
            names.push_back(fs::relative(it->path(), root).string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string TempDir()
{
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = info ? std::string(info->test_suite_name()) + "." + info->name() : "misc";
    for (char& c : name)
        if (c == '/')
            c = '_';
    const fs::path dir = fs::path(VISTREL_TEST_TMP) / name;
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir.string();
}

std::vector<uint8_t> ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + path);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + path);
}

namespace
{
uint32_t BE32At(const std::vector<uint8_t>& b, size_t p)
{
    return uint32_t(b[p]) << 24 | uint32_t(b[p + 1]) << 16 | uint32_t(b[p + 2]) << 8 | b[p + 3];
}

/// The file without its colour-space chunks, so that the simplified API
/// applies no gamma conversion (our decoders apply none). 16-bit files get a
/// gAMA equal to the API's sRGB output gamma, since it otherwise takes 16-bit
/// samples as linear.
std::vector<uint8_t> WithoutColourSpace(const std::vector<uint8_t>& in)
{
    std::vector<uint8_t> out(in.begin(), in.begin() + long(std::min<size_t>(8, in.size())));
    for (size_t p = 8; p + 12 <= in.size();)
    {
        const size_t length = BE32At(in, p);
        if (length > in.size() - p - 12)
            break;
        const std::string type(in.begin() + long(p) + 4, in.begin() + long(p) + 8);
        if (type != "gAMA" && type != "cHRM" && type != "sRGB" && type != "iCCP")
            out.insert(out.end(), in.begin() + long(p), in.begin() + long(p + 12 + length));
        if (type == "IHDR" && in[p + 16] == 16)
        {
            Bytes gama;
            gama.be32(4).raw({'g', 'A', 'M', 'A'}).be32(45455);
            gama.be32(uint32_t(crc32(0, gama.data.data() + 4, 8)));
            out.insert(out.end(), gama.data.begin(), gama.data.end());
        }
        p += 12 + length;
    }
    return out;
}
} // namespace

RgbaImage LoadPng(const std::string& path)
{
    const std::vector<uint8_t> bytes = WithoutColourSpace(ReadFile(path));
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, bytes.data(), bytes.size()))
        throw std::runtime_error("cannot read reference " + path + ": " + image.message);
    image.format = PNG_FORMAT_RGBA;
    RgbaImage out;
    out.width = int(image.width);
    out.height = int(image.height);
    out.rgba.resize(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, out.rgba.data(), 0, nullptr))
    {
        png_image_free(&image);
        throw std::runtime_error("cannot decode reference " + path + ": " + image.message);
    }
    return out;
}

RgbaImage ToRgba(const CBmp& bmp)
{
    RgbaImage out;
    out.width = bmp.GetWidth();
    out.height = bmp.GetHeight();
    out.rgba.resize(size_t(out.width) * size_t(out.height) * 4);
    const int bpp = bmp.GetBitsPerPixel();
    const PaletteEntry* pal = bmp.GetPaletteTable();
    for (int y = 0; y < out.height; y++)
    {
        const uint8_t* line = bmp.GetLineArray()[y];
        for (int x = 0; x < out.width; x++)
        {
            PaletteEntry c{};
            if (bpp == 32)
            {
                c = PaletteEntry{line[4 * x], line[4 * x + 1], line[4 * x + 2], line[4 * x + 3]};
                if (!bmp.HasAlpha())
                    c.a = 255;
            }
            else if (bpp == 8)
                c = pal[line[x]];
            else if (bpp == 1)
                c = pal[(line[x >> 3] >> (7 - (x & 7))) & 1];
            else
                throw std::runtime_error("unexpected depth");
            if (bpp != 32 && !bmp.HasAlpha())
                c.a = 255;
            uint8_t* d = &out.rgba[(size_t(y) * size_t(out.width) + size_t(x)) * 4];
            d[0] = c.r;
            d[1] = c.g;
            d[2] = c.b;
            d[3] = c.a;
        }
    }
    return out;
}

::testing::AssertionResult ImagesMatch(const RgbaImage& expected, const RgbaImage& actual,
                                       int tolerance, bool compareAlpha)
{
    if (expected.width != actual.width || expected.height != actual.height)
        return ::testing::AssertionFailure()
               << "size " << actual.width << "x" << actual.height << ", expected " << expected.width
               << "x" << expected.height;
    int bad = 0;
    std::string first;
    for (int y = 0; y < expected.height; y++)
        for (int x = 0; x < expected.width; x++)
        {
            const uint8_t* e = expected.At(x, y);
            const uint8_t* a = actual.At(x, y);
            // Fully transparent pixels match whatever their colour.
            if (compareAlpha && e[3] == 0 && a[3] == 0)
                continue;
            for (int c = 0; c < (compareAlpha ? 4 : 3); c++)
                if (std::abs(int(e[c]) - int(a[c])) > tolerance)
                {
                    if (bad++ == 0)
                        first = "first at (" + std::to_string(x) + "," + std::to_string(y) +
                                "): got " + std::to_string(a[0]) + "," + std::to_string(a[1]) +
                                "," + std::to_string(a[2]) + "," + std::to_string(a[3]) +
                                " expected " + std::to_string(e[0]) + "," + std::to_string(e[1]) +
                                "," + std::to_string(e[2]) + "," + std::to_string(e[3]);
                    break;
                }
        }
    if (bad)
        return ::testing::AssertionFailure() << bad << " pixels differ; " << first;
    return ::testing::AssertionSuccess();
}

void DecodeBytes(const std::vector<uint8_t>& bytes, CBmp& bmp, int depth)
{
    CAnyPicDecoder decoder;
    CDataSource source;
    source.Open("memory", bytes.data(), bytes.size());
    decoder.DecodeSource(source, bmp, depth);
}

Bytes& Bytes::u8(unsigned v)
{
    data.push_back(uint8_t(v));
    return *this;
}
Bytes& Bytes::le16(unsigned v)
{
    return u8(v & 0xFF).u8((v >> 8) & 0xFF);
}
Bytes& Bytes::le32(uint32_t v)
{
    return le16(v & 0xFFFF).le16(v >> 16);
}
Bytes& Bytes::be16(unsigned v)
{
    return u8((v >> 8) & 0xFF).u8(v & 0xFF);
}
Bytes& Bytes::be32(uint32_t v)
{
    return be16(v >> 16).be16(v & 0xFFFF);
}
Bytes& Bytes::raw(const std::vector<uint8_t>& v)
{
    data.insert(data.end(), v.begin(), v.end());
    return *this;
}
Bytes& Bytes::fill(size_t n, uint8_t v)
{
    data.insert(data.end(), n, v);
    return *this;
}
ColourManagementOff::ColourManagementOff() : m_bWasOn(CColourManager::IsEnabled())
{
    CColourManager::SetEnabled(false);
}

ColourManagementOff::~ColourManagementOff()
{
    CColourManager::SetEnabled(m_bWasOn);
}
} // namespace test
