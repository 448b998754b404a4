#pragma once
// Writers for the PNG, JPEG, TIFF, GIF and EPS files the suites lack, made with
// the libraries' own write APIs, and second readers (libjpeg directly, PNM
// companions of the TIFF suite) for differential tests.
#include "TestSupport.h"

#include <cstdint>
#include <string>
#include <vector>

namespace test
{
struct PngFixture
{
    int width = 0;
    int height = 0;
    int colorType = 0; // PNG colour type 0, 2, 3, 4 or 6
    int bitDepth = 8;
    bool interlace = false;
    /// Rows as PNG stores them: packed below 8 bits, big-endian at 16 bits.
    std::vector<uint8_t> rows;
    std::vector<uint8_t> paletteRgb; // colour type 3: 3 bytes per entry
    std::vector<uint8_t> trns;       // tRNS chunk contents, when not empty
};
std::vector<uint8_t> WritePng(const PngFixture& fixture);

struct JpegFixture
{
    int width = 0;
    int height = 0;
    int components = 3; // 1 gray, 3 RGB, 4 CMYK
    bool progressive = false;
    bool adobeMarker = true; // CMYK only: with the marker, values are stored as 255 - ink
    bool ycck = false;       // CMYK only: store as YCCK
    int quality = 90;
    bool subsample = true; // 4:2:0 for colour; false gives 4:4:4
    std::vector<uint8_t> icc; // an ICC profile to embed, or empty
    /// Interleaved samples, top row first.
    std::vector<uint8_t> pixels;
};
std::vector<uint8_t> WriteJpeg(const JpegFixture& fixture);

struct TiffFixture
{
    uint32_t width = 0;
    uint32_t height = 0;
    uint16_t bitsPerSample = 8;
    uint16_t samplesPerPixel = 1;
    uint16_t photometric = 1;
    uint16_t compression = 1;  // none
    bool alpha = false;        // the last sample is unassociated alpha
    bool associated = false;   // with alpha: associated (premultiplied) alpha
    bool bigEndian = false;    // "MM" byte order
    std::vector<float> whitePoint; // x, y of the WhitePoint tag, when not empty
    uint32_t tileSize = 0;     // square tiles of this size; 0 writes strips
    int pages = 1;             // further pages repeat the first with inverted samples
    uint16_t sampleFormat = 1; // 1 unsigned, 2 signed, 3 floating point
    bool planar = false;       // one plane per sample (whole-byte samples)
    uint16_t orientation = 1;
    bool bigTiff = false;
    /// Colour map, 3 x 2^bitsPerSample values (red, then green, then blue).
    std::vector<uint16_t> colorMap;
    std::vector<uint8_t> icc; // an ICC profile to embed, or empty
    /// Packed rows, top first, ceil(width * samples * bits / 8) bytes each;
    /// samples of 16 bits and more in the machine's byte order.
    std::vector<uint8_t> rows;
};
/// Writes the TIFF through a file in dir and returns its bytes.
std::vector<uint8_t> WriteTiff(const TiffFixture& fixture, const std::string& dir);

struct GifFixture
{
    int screenWidth = 0;
    int screenHeight = 0;
    int left = 0; // the first frame on the screen
    int top = 0;
    int width = 0;
    int height = 0;
    bool interlace = false;
    bool localMap = false;           // the colour map belongs to the frame, not the screen
    int transparent = -1;            // index, or -1 for none
    std::vector<uint8_t> paletteRgb; // 3 bytes per entry, 2 to 256 entries (a power of 2)
    std::vector<uint8_t> pixels;     // width x height indices, top row first
};
/// Writes the GIF with giflib's encoder; a second frame follows the first.
std::vector<uint8_t> WriteGif(const GifFixture& fixture);

/// A DOS EPS binary header (30 bytes) whose TIFF preview is at previewOffset;
/// the PostScript section follows the preview.
std::vector<uint8_t> WrapEps(const std::vector<uint8_t>& tiff, uint32_t previewOffset = 30);

/// Decodes with libjpeg itself as RGB or gray: floating-point DCT, no fancy
/// upsampling (the settings of our decoder).
RgbaImage DecodeJpegReference(const std::vector<uint8_t>& bytes);

/// Reads a TIFF's first page with libtiff's own RGBA reader, top row first.
RgbaImage LoadTiffRgba(const std::string& path);

/// Reads a binary PBM (1 = black), PGM or PPM (maxval 255 or 65535, scaled to 8 bits).
RgbaImage LoadPnm(const std::string& path);
} // namespace test
