// PNG and JPEG files written with Qt's writers, TIFF files (8 and 16 bits a
// sample) with libtiff.
#include "Cases.h"
#include "Picture.h"

#include <QColorSpace>
#include <QImage>
#include <QImageWriter>

#include <tiffio.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace
{
QImage RgbImage(const Picture& pic, bool withAlpha)
{
    QImage img(pic.width, pic.height, withAlpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    for (int y = 0; y < pic.height; y++)
    {
        auto* line = reinterpret_cast<QRgb*>(img.scanLine(y));
        const size_t row = size_t(y) * size_t(pic.width);
        for (int x = 0; x < pic.width; x++)
        {
            const uint8_t* p = pic.rgb.data() + 3 * (row + size_t(x));
            line[x] = qRgba(p[0], p[1], p[2], withAlpha ? pic.alpha[row + size_t(x)] : 255);
        }
    }
    return img;
}

QImage GrayImage(const Picture& pic)
{
    QImage img(pic.width, pic.height, QImage::Format_Grayscale8);
    for (int y = 0; y < pic.height; y++)
        std::copy_n(pic.gray.data() + size_t(y) * size_t(pic.width), pic.width, img.scanLine(y));
    return img;
}

QImage PaletteImage(const Picture& pic)
{
    QImage img(pic.width, pic.height, QImage::Format_Indexed8);
    QList<QRgb> table;
    for (int i = 0; i < 256; i++)
    {
        uint8_t r, g, b;
        Picture::PaletteColour(i, r, g, b);
        table.append(qRgb(r, g, b));
    }
    img.setColorTable(table);
    const std::vector<uint8_t> indices = pic.Indices();
    for (int y = 0; y < pic.height; y++)
        std::copy_n(indices.data() + size_t(y) * size_t(pic.width), pic.width, img.scanLine(y));
    return img;
}

void Save(const QImage& img, const std::string& path, const char* format, int quality = -1,
          bool progressive = false)
{
    QImageWriter writer(QString::fromStdString(path), format);
    writer.setQuality(quality);
    writer.setProgressiveScanWrite(progressive);
    if (!writer.write(img))
        throw std::runtime_error("cannot write " + path + ": " +
                                 writer.errorString().toStdString());
}

/// RGB of 8 or 16 bits a sample (each 8-bit value repeated in both bytes), in
/// strips of about 8 KiB or of the rows given.
void WriteTiff(const Picture& pic, const std::string& path, uint16_t compression, int bits = 8,
               uint32_t rowsPerStrip = 0)
{
    TIFF* tif = TIFFOpen(path.c_str(), "w");
    if (!tif)
        throw std::runtime_error("cannot create " + path);
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, uint32_t(pic.width));
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, uint32_t(pic.height));
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, bits);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 3);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, compression);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP,
                 rowsPerStrip ? rowsPerStrip : TIFFDefaultStripSize(tif, 0));
    bool ok = true;
    std::vector<uint16_t> wide(size_t(pic.width) * 3);
    for (int y = 0; y < pic.height && ok; y++)
    {
        auto* row = const_cast<uint8_t*>(pic.rgb.data() + size_t(y) * size_t(pic.width) * 3);
        if (bits == 16)
        {
            for (size_t i = 0; i < wide.size(); i++)
                wide[i] = uint16_t(row[i] * 257);
            ok = TIFFWriteScanline(tif, wide.data(), uint32_t(y), 0) == 1;
        }
        else
            ok = TIFFWriteScanline(tif, row, uint32_t(y), 0) == 1;
    }
    TIFFClose(tif);
    if (!ok)
        throw std::runtime_error("cannot write " + path);
}
} // namespace

void AddPngJpegTiffCases(const CaseSetup& setup)
{
    const Picture pic(setup.width, setup.height);
    const std::string& d = setup.dir;
    const QImage rgb = RgbImage(pic, false);

    Save(rgb, d + "/rgb8.png", "png");
    RegisterCase("PNG RGB 8-bit", d + "/rgb8.png");
    Save(RgbImage(pic, true), d + "/rgba8.png", "png");
    RegisterCase("PNG RGBA 8-bit", d + "/rgba8.png");
    Save(PaletteImage(pic), d + "/pal8.png", "png");
    RegisterCase("PNG palette 8-bit", d + "/pal8.png");

    // libjpeg's default sampling for colour is 2 x 2 (4:2:0).
    Save(rgb, d + "/colour420.jpg", "jpeg", 90);
    RegisterCase("JPEG 4:2:0 q90", d + "/colour420.jpg");
    // The same picture with a Display P3 profile: the colour conversion's cost
    // is this case's time over the one before.
    QImage p3 = rgb;
    p3.setColorSpace(QColorSpace(QColorSpace::DisplayP3));
    Save(p3, d + "/colour420_p3.jpg", "jpeg", 90);
    RegisterCase("JPEG 4:2:0 q90 P3", d + "/colour420_p3.jpg");
    Save(GrayImage(pic), d + "/gray.jpg", "jpeg", 90);
    RegisterCase("JPEG gray q90", d + "/gray.jpg");
    Save(rgb, d + "/progressive.jpg", "jpeg", 90, true);
    RegisterCase("JPEG progressive q90", d + "/progressive.jpg");

    WriteTiff(pic, d + "/rgb.tif", COMPRESSION_NONE);
    RegisterCase("TIFF RGB uncompressed", d + "/rgb.tif");
    WriteTiff(pic, d + "/rgb_lzw.tif", COMPRESSION_LZW);
    RegisterCase("TIFF RGB LZW", d + "/rgb_lzw.tif");
    WriteTiff(pic, d + "/rgb_deflate.tif", COMPRESSION_ADOBE_DEFLATE);
    RegisterCase("TIFF RGB Deflate", d + "/rgb_deflate.tif");
    // As photo tools write them: strips of many rows.
    WriteTiff(pic, d + "/rgb_deflate_tall.tif", COMPRESSION_ADOBE_DEFLATE, 8, 256);
    RegisterCase("TIFF RGB Deflate 256-row strips", d + "/rgb_deflate_tall.tif");
    WriteTiff(pic, d + "/rgb_lzw_tall.tif", COMPRESSION_LZW, 8, 256);
    RegisterCase("TIFF RGB LZW 256-row strips", d + "/rgb_lzw_tall.tif");
    WriteTiff(pic, d + "/rgb16.tif", COMPRESSION_NONE, 16);
    RegisterCase("TIFF RGB 16-bit", d + "/rgb16.tif");
    WriteTiff(pic, d + "/rgb16_lzw.tif", COMPRESSION_LZW, 16);
    RegisterCase("TIFF RGB 16-bit LZW", d + "/rgb16_lzw.tif");
}
