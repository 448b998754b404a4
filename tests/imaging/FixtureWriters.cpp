#include "FixtureWriters.h"

#include <gif_lib.h>
#include <png.h>
#include <tiffio.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
// jpeglib.h needs size_t and FILE declared first.
#include <jpeglib.h>

namespace test
{
namespace
{
void PNGCBAPI AppendPngBytes(png_structp png, png_bytep data, size_t n)
{
    auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + n);
}

void PNGCBAPI FlushNothing(png_structp) {}

size_t PngRowBytes(const PngFixture& s)
{
    const int channels[] = {1, 0, 3, 1, 2, 0, 4};
    return (size_t(s.width) * size_t(channels[s.colorType]) * size_t(s.bitDepth) + 7) / 8;
}
} // namespace

std::vector<uint8_t> WritePng(const PngFixture& fixture)
{
    std::vector<uint8_t> out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png)))
    {
        png_destroy_write_struct(&png, &info);
        throw std::runtime_error("libpng could not write the fixture");
    }
    png_set_write_fn(png, &out, AppendPngBytes, FlushNothing);
    png_set_IHDR(png, info, png_uint_32(fixture.width), png_uint_32(fixture.height),
                 fixture.bitDepth, fixture.colorType,
                 fixture.interlace ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    std::vector<png_color> palette;
    for (size_t i = 0; i + 2 < fixture.paletteRgb.size(); i += 3)
        palette.push_back(
            png_color{fixture.paletteRgb[i], fixture.paletteRgb[i + 1], fixture.paletteRgb[i + 2]});
    if (!palette.empty())
        png_set_PLTE(png, info, palette.data(), int(palette.size()));
    if (!fixture.trns.empty())
    {
        if (fixture.colorType == PNG_COLOR_TYPE_PALETTE)
            png_set_tRNS(png, info, fixture.trns.data(), int(fixture.trns.size()), nullptr);
        else
        {
            png_color_16 value{};
            value.gray = png_uint_16(fixture.trns[0] << 8 | fixture.trns[1]);
            if (fixture.trns.size() >= 6)
            {
                value.red = value.gray;
                value.green = png_uint_16(fixture.trns[2] << 8 | fixture.trns[3]);
                value.blue = png_uint_16(fixture.trns[4] << 8 | fixture.trns[5]);
            }
            png_set_tRNS(png, info, nullptr, 0, &value);
        }
    }
    png_write_info(png, info);
    const size_t rowBytes = PngRowBytes(fixture);
    if (fixture.rows.size() < rowBytes * size_t(fixture.height))
        throw std::runtime_error("PNG fixture rows too short");
    std::vector<png_bytep> rows(size_t(fixture.height));
    for (int y = 0; y < fixture.height; y++)
        rows[size_t(y)] = const_cast<png_bytep>(fixture.rows.data() + size_t(y) * rowBytes);
    png_write_image(png, rows.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

std::vector<uint8_t> WriteJpeg(const JpegFixture& fixture)
{
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr err{};
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = JDIMENSION(fixture.width);
    cinfo.image_height = JDIMENSION(fixture.height);
    cinfo.input_components = fixture.components;
    cinfo.in_color_space = fixture.components == 1   ? JCS_GRAYSCALE
                           : fixture.components == 4 ? JCS_CMYK
                                                     : JCS_RGB;
    jpeg_set_defaults(&cinfo);
    if (fixture.components == 4)
    {
        jpeg_set_colorspace(&cinfo, fixture.ycck ? JCS_YCCK : JCS_CMYK);
        cinfo.write_Adobe_marker = fixture.adobeMarker ? TRUE : FALSE;
    }
    if (!fixture.subsample)
        for (int c = 0; c < cinfo.num_components; c++)
            cinfo.comp_info[c].h_samp_factor = cinfo.comp_info[c].v_samp_factor = 1;
    jpeg_set_quality(&cinfo, fixture.quality, TRUE);
    if (fixture.progressive)
        jpeg_simple_progression(&cinfo);
    jpeg_start_compress(&cinfo, TRUE);
    if (!fixture.icc.empty())
        jpeg_write_icc_profile(&cinfo, fixture.icc.data(), unsigned(fixture.icc.size()));
    const size_t stride = size_t(fixture.width) * size_t(fixture.components);
    while (cinfo.next_scanline < cinfo.image_height)
    {
        JSAMPROW row = const_cast<JSAMPROW>(fixture.pixels.data() + cinfo.next_scanline * stride);
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    std::vector<uint8_t> out(buffer, buffer + size);
    jpeg_destroy_compress(&cinfo);
    std::free(buffer);
    return out;
}

std::vector<uint8_t> WriteTiff(const TiffFixture& fixture, const std::string& dir)
{
    const std::string path = dir + "/fixture.tif";
    const std::string mode = std::string("w") + (fixture.bigTiff ? "8" : "") +
                             (fixture.bigEndian ? "b" : "l");
    TIFF* tif = TIFFOpen(path.c_str(), mode.c_str());
    if (!tif)
        throw std::runtime_error("cannot create " + path);
    const size_t rowBytes =
        (size_t(fixture.width) * fixture.samplesPerPixel * fixture.bitsPerSample + 7) / 8;
    if (fixture.rows.size() < rowBytes * fixture.height)
        throw std::runtime_error("TIFF fixture rows too short");
    for (int page = 0; page < fixture.pages; page++)
    {
        std::vector<uint8_t> rows = fixture.rows;
        if (page > 0)
            for (uint8_t& b : rows)
                b = uint8_t(~b);
        TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, fixture.width);
        TIFFSetField(tif, TIFFTAG_IMAGELENGTH, fixture.height);
        TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, fixture.bitsPerSample);
        TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, fixture.samplesPerPixel);
        TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, fixture.photometric);
        TIFFSetField(tif, TIFFTAG_COMPRESSION, fixture.compression);
        TIFFSetField(tif, TIFFTAG_SAMPLEFORMAT, fixture.sampleFormat);
        TIFFSetField(tif, TIFFTAG_ORIENTATION, fixture.orientation);
        if (!fixture.icc.empty())
            TIFFSetField(tif, TIFFTAG_ICCPROFILE, uint32_t(fixture.icc.size()), fixture.icc.data());
        TIFFSetField(tif, TIFFTAG_PLANARCONFIG,
                     fixture.planar ? PLANARCONFIG_SEPARATE : PLANARCONFIG_CONTIG);
        if (fixture.alpha)
        {
            const uint16_t extra[] = {fixture.associated ? uint16_t(EXTRASAMPLE_ASSOCALPHA)
                                                         : uint16_t(EXTRASAMPLE_UNASSALPHA)};
            TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, 1, extra);
        }
        if (fixture.whitePoint.size() == 2)
            TIFFSetField(tif, TIFFTAG_WHITEPOINT, fixture.whitePoint.data());
        if (!fixture.colorMap.empty())
        {
            const size_t n = size_t(1) << fixture.bitsPerSample;
            TIFFSetField(tif, TIFFTAG_COLORMAP, fixture.colorMap.data(),
                         fixture.colorMap.data() + n, fixture.colorMap.data() + 2 * n);
        }
        if (fixture.planar)
        {
            if (fixture.bitsPerSample % 8 != 0 || fixture.tileSize != 0)
                throw std::runtime_error("planar fixtures need whole-byte samples in strips");
            const size_t sampleBytes = fixture.bitsPerSample / 8u;
            const size_t pixelBytes = sampleBytes * fixture.samplesPerPixel;
            std::vector<uint8_t> plane(sampleBytes * fixture.width);
            TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, 8u);
            for (uint16_t sample = 0; sample < fixture.samplesPerPixel; sample++)
                for (uint32_t y = 0; y < fixture.height; y++)
                {
                    for (uint32_t x = 0; x < fixture.width; x++)
                        std::memcpy(&plane[x * sampleBytes],
                                    &rows[y * rowBytes + x * pixelBytes + sample * sampleBytes],
                                    sampleBytes);
                    if (TIFFWriteScanline(tif, plane.data(), y, sample) < 0)
                        throw std::runtime_error("TIFFWriteScanline failed");
                }
        }
        else if (fixture.tileSize == 0)
        {
            TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, 8u);
            for (uint32_t y = 0; y < fixture.height; y++)
                if (TIFFWriteScanline(tif, rows.data() + y * rowBytes, y, 0) < 0)
                    throw std::runtime_error("TIFFWriteScanline failed");
        }
        else
        {
            if (fixture.bitsPerSample % 8 != 0)
                throw std::runtime_error("tiled fixtures need whole-byte samples");
            const uint32_t t = fixture.tileSize;
            const size_t pixelBytes = size_t(fixture.samplesPerPixel) * fixture.bitsPerSample / 8;
            TIFFSetField(tif, TIFFTAG_TILEWIDTH, t);
            TIFFSetField(tif, TIFFTAG_TILELENGTH, t);
            std::vector<uint8_t> tile(size_t(t) * t * pixelBytes);
            for (uint32_t ty = 0; ty < fixture.height; ty += t)
                for (uint32_t tx = 0; tx < fixture.width; tx += t)
                {
                    std::fill(tile.begin(), tile.end(), 0);
                    for (uint32_t y = 0; y < t && ty + y < fixture.height; y++)
                        for (uint32_t x = 0; x < t && tx + x < fixture.width; x++)
                            std::memcpy(&tile[(size_t(y) * t + x) * pixelBytes],
                                        &rows[(ty + y) * rowBytes + (tx + x) * pixelBytes],
                                        pixelBytes);
                    if (TIFFWriteTile(tif, tile.data(), tx, ty, 0, 0) < 0)
                        throw std::runtime_error("TIFFWriteTile failed");
                }
        }
        TIFFWriteDirectory(tif);
    }
    TIFFClose(tif);
    return ReadFile(path);
}

namespace
{
int AppendGifBytes(GifFileType* gif, const GifByteType* data, int n)
{
    auto* out = static_cast<std::vector<uint8_t>*>(gif->UserData);
    out->insert(out->end(), data, data + n);
    return n;
}
} // namespace

std::vector<uint8_t> WriteGif(const GifFixture& f)
{
    std::vector<uint8_t> out;
    int error = 0;
    GifFileType* gif = EGifOpen(&out, AppendGifBytes, &error);
    if (!gif)
        throw std::runtime_error("EGifOpen failed");
    const int count = int(f.paletteRgb.size() / 3);
    ColorMapObject* map = GifMakeMapObject(count, nullptr);
    for (int i = 0; i < count; i++)
        map->Colors[i] = GifColorType{f.paletteRgb[3 * size_t(i)], f.paletteRgb[3 * size_t(i) + 1],
                                      f.paletteRgb[3 * size_t(i) + 2]};
    EGifSetGifVersion(gif, true);
    bool ok = EGifPutScreenDesc(gif, f.screenWidth, f.screenHeight, 8, 0,
                                f.localMap ? nullptr : map) == GIF_OK;
    // Each frame with its graphics control block: the transparent colour.
    GraphicsControlBlock gcb{DISPOSAL_UNSPECIFIED, false, 10, f.transparent};
    GifByteType ext[4];
    EGifGCBToExtension(&gcb, ext);
    static const int kStart[4] = {0, 4, 2, 1}, kStep[4] = {8, 8, 4, 2};
    std::vector<GifPixelType> row(size_t(f.width));
    for (int frame = 0; frame < 2 && ok; frame++)
    {
        ok = EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, ext) == GIF_OK &&
             EGifPutImageDesc(gif, f.left, f.top, f.width, f.height, f.interlace,
                              f.localMap ? map : nullptr) == GIF_OK;
        for (int pass = 0; pass < (f.interlace ? 4 : 1) && ok; pass++)
            for (int y = f.interlace ? kStart[pass] : 0; y < f.height && ok;
                 y += f.interlace ? kStep[pass] : 1)
            {
                // The second frame shows other colours: it must not be shown.
                for (int x = 0; x < f.width; x++)
                    row[size_t(x)] = GifPixelType(
                        (f.pixels[size_t(y) * size_t(f.width) + size_t(x)] + frame) % count);
                ok = EGifPutLine(gif, row.data(), f.width) == GIF_OK;
            }
    }
    GifFreeMapObject(map);
    if (EGifCloseFile(gif, &error) != GIF_OK || !ok)
        throw std::runtime_error("writing the GIF failed");
    return out;
}

std::vector<uint8_t> WrapEps(const std::vector<uint8_t>& tiff, uint32_t previewOffset)
{
    const std::string postScript = "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 1 1\n";
    const uint32_t psOffset = previewOffset + uint32_t(tiff.size());
    Bytes b;
    b.u8(0xC5).u8(0xD0).u8(0xD3).u8(0xC6);
    b.le32(psOffset).le32(uint32_t(postScript.size()));
    b.le32(0).le32(0); // no WMF preview
    b.le32(previewOffset).le32(uint32_t(tiff.size()));
    b.le16(0xFFFF); // no checksum
    if (previewOffset >= b.size())
        b.fill(previewOffset - b.size(), 0);
    b.raw(tiff);
    b.raw(std::vector<uint8_t>(postScript.begin(), postScript.end()));
    return b.data;
}

RgbaImage DecodeJpegReference(const std::vector<uint8_t>& bytes)
{
    jpeg_decompress_struct cinfo{};
    jpeg_error_mgr err{};
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, bytes.data(), static_cast<unsigned long>(bytes.size()));
    jpeg_read_header(&cinfo, TRUE);
    cinfo.dct_method = JDCT_FLOAT;
    cinfo.do_fancy_upsampling = FALSE;
    if (cinfo.jpeg_color_space != JCS_GRAYSCALE)
        cinfo.out_color_space = JCS_RGB;
    jpeg_start_decompress(&cinfo);
    RgbaImage out;
    out.width = int(cinfo.output_width);
    out.height = int(cinfo.output_height);
    out.rgba.resize(size_t(out.width) * size_t(out.height) * 4);
    const int channels = cinfo.output_components;
    std::vector<uint8_t> row(size_t(out.width) * size_t(channels));
    while (cinfo.output_scanline < cinfo.output_height)
    {
        const int y = int(cinfo.output_scanline);
        JSAMPROW p = row.data();
        jpeg_read_scanlines(&cinfo, &p, 1);
        for (int x = 0; x < out.width; x++)
        {
            uint8_t* d = &out.rgba[(size_t(y) * size_t(out.width) + size_t(x)) * 4];
            const uint8_t* s = &row[size_t(x) * size_t(channels)];
            d[0] = s[0];
            d[1] = channels == 1 ? s[0] : s[1];
            d[2] = channels == 1 ? s[0] : s[2];
            d[3] = 255;
        }
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return out;
}

RgbaImage LoadTiffRgba(const std::string& path)
{
    TIFF* tif = TIFFOpen(path.c_str(), "r");
    if (!tif)
        throw std::runtime_error("libtiff cannot open " + path);
    uint32_t width = 0, height = 0;
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &height);
    std::vector<uint32_t> raster(size_t(width) * height);
    const int ok =
        TIFFReadRGBAImageOriented(tif, width, height, raster.data(), ORIENTATION_TOPLEFT, 0);
    TIFFClose(tif);
    if (!ok)
        throw std::runtime_error("libtiff cannot read " + path);
    RgbaImage out;
    out.width = int(width);
    out.height = int(height);
    out.rgba.resize(raster.size() * 4);
    for (size_t i = 0; i < raster.size(); i++)
    {
        out.rgba[4 * i] = uint8_t(TIFFGetR(raster[i]));
        out.rgba[4 * i + 1] = uint8_t(TIFFGetG(raster[i]));
        out.rgba[4 * i + 2] = uint8_t(TIFFGetB(raster[i]));
        out.rgba[4 * i + 3] = uint8_t(TIFFGetA(raster[i]));
    }
    return out;
}

RgbaImage LoadPnm(const std::string& path)
{
    const std::vector<uint8_t> data = ReadFile(path);
    size_t pos = 0;
    auto token = [&]()
    {
        while (pos < data.size())
        {
            if (data[pos] == '#')
                while (pos < data.size() && data[pos] != '\n')
                    pos++;
            else if (std::isspace(data[pos]))
                pos++;
            else
                break;
        }
        std::string t;
        while (pos < data.size() && !std::isspace(data[pos]))
            t += char(data[pos++]);
        return t;
    };
    const std::string magic = token();
    RgbaImage out;
    out.width = std::stoi(token());
    out.height = std::stoi(token());
    const int maxval = magic == "P4" ? 1 : std::stoi(token());
    pos++; // the single whitespace before the samples
    const int channels = magic == "P6" ? 3 : 1;
    const int sampleBytes = maxval > 255 ? 2 : 1;
    out.rgba.resize(size_t(out.width) * size_t(out.height) * 4);
    const size_t bitRow = (size_t(out.width) + 7) / 8;
    for (int y = 0; y < out.height; y++)
        for (int x = 0; x < out.width; x++)
        {
            uint8_t* d = &out.rgba[(size_t(y) * size_t(out.width) + size_t(x)) * 4];
            d[3] = 255;
            if (magic == "P4")
            {
                const uint8_t byte = data.at(pos + size_t(y) * bitRow + size_t(x) / 8);
                d[0] = d[1] = d[2] = ((byte >> (7 - x % 8)) & 1) ? 0 : 255;
                continue;
            }
            for (int c = 0; c < 3; c++)
            {
                const size_t i =
                    pos + ((size_t(y) * size_t(out.width) + size_t(x)) * size_t(channels) +
                           size_t(channels == 1 ? 0 : c)) *
                              size_t(sampleBytes);
                const int v = sampleBytes == 2 ? data.at(i) << 8 | data.at(i + 1) : data.at(i);
                d[c] = uint8_t((v * 255 + maxval / 2) / maxval);
            }
        }
    if (magic != "P4" && magic != "P5" && magic != "P6")
        throw std::runtime_error("unsupported PNM " + path);
    return out;
}
} // namespace test
