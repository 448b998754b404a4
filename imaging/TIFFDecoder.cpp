#include "TIFFDecoder.h"

#include "ColourManager.h"

#include "Bmp.h"
#include "DataSource.h"
#include "LabConverter.h"
#include "OrientedRows.h"
#include "SampleConverter.h"

#include <tiffio.h>

#include <algorithm>
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <functional>
#include <limits>
#include <new>
#include <utility>
#include <vector>

namespace
{
/// One decode's client record ("MemSource" towards libtiff) and the text of
/// the most recent libtiff error. libtiff's handlers get it as their user
/// data and its callbacks as their client data, so nothing is process-wide.
struct TiffJob
{
    const uint8_t* data = nullptr;
    uint64_t size = 0;
    uint64_t offset = 0;
    char lastError[1024] = {};
};

TiffJob& JobOf(TIFF* tif)
{
    return *static_cast<TiffJob*>(TIFFClientdata(tif));
}

// The handlers only record; nothing may be thrown through libtiff's frames.
int OnTiffError(TIFF*, void* user, const char*, const char* format, va_list args)
{
    auto* job = static_cast<TiffJob*>(user);
    std::vsnprintf(job->lastError, sizeof job->lastError, format, args);
    return 1; // handled: the process-wide handler stays quiet
}

int OnTiffWarning(TIFF*, void*, const char*, const char* format, va_list args)
{
    try
    {
        if (CPicDecoder::IsTraced(2))
        {
            char text[1024];
            std::vsnprintf(text, sizeof text, format, args);
            CPicDecoder::TraceF(2, "Warning in LIBTIFF: %s\n", text);
        }
    }
    catch (...)
    {
        // A trace that cannot be written is dropped.
    }
    return 1;
}

tmsize_t OnRead(thandle_t handle, void* buffer, tmsize_t n)
{
    auto* job = static_cast<TiffJob*>(handle);
    if (n <= 0 || job->offset >= job->size)
        return 0;
    const uint64_t count =
        uint64_t(n) < job->size - job->offset ? uint64_t(n) : job->size - job->offset;
    std::memcpy(buffer, job->data + job->offset, size_t(count));
    job->offset += count;
    return tmsize_t(count);
}

tmsize_t OnWrite(thandle_t handle, void*, tmsize_t)
{
    auto* job = static_cast<TiffJob*>(handle);
    std::snprintf(job->lastError, sizeof job->lastError, "Function disabled.");
    return 0;
}

toff_t OnSeek(thandle_t handle, toff_t offset, int whence)
{
    auto* job = static_cast<TiffJob*>(handle);
    int64_t base = 0;
    if (whence == SEEK_CUR)
        base = int64_t(job->offset);
    else if (whence == SEEK_END)
        base = int64_t(job->size);
    int64_t pos = 0;
    // libtiff passes backward moves as wrapped unsigned values.
    if (__builtin_add_overflow(base, int64_t(offset), &pos) || pos < 0)
        return toff_t(-1);
    job->offset = uint64_t(pos);
    return job->offset;
}

// The record lives in DecodeImage's frame; there is nothing to free.
int OnClose(thandle_t)
{
    return 0;
}

toff_t OnSize(thandle_t handle)
{
    return static_cast<TiffJob*>(handle)->size;
}

// The data is already in memory: libtiff reads strips and tiles in place.
// It never writes through the map of a file opened for reading.
int OnMap(thandle_t handle, void** base, toff_t* size)
{
    auto* job = static_cast<TiffJob*>(handle);
    *base = const_cast<uint8_t*>(job->data);
    *size = job->size;
    return 1;
}

void OnUnmap(thandle_t, void*, toff_t) {}

struct TiffCloser
{
    TIFF* tif;
    ~TiffCloser() { TIFFClose(tif); }
};

struct RgbaImageEnder
{
    TIFFRGBAImage* img;
    ~RgbaImageEnder() { TIFFRGBAImageEnd(img); }
};

int CheckedDimension(uint32_t v)
{
    if (v > uint32_t(INT_MAX))
        CPicDecoder::RaiseError(10, CPicDecoder::Format("TIFF image too large: %u.", unsigned(v)));
    return int(v);
}

/// What the sample path reads: the first page's geometry and sample layout.
struct Layout
{
    uint32_t width = 0;
    uint32_t height = 0;
    uint16_t bits = 1;
    uint16_t spp = 1;
    uint16_t photometric = 0;
    CSampleConverter::Format format = CSampleConverter::kUnsigned;
    bool separate = false; // one plane per sample
    int colours = 1;       // 1 gray or palette, 3 RGB or Lab, 4 CMYK
    bool cmyk = false;
    bool keepInks = false; // CMYK samples stay inks for the file's CMYK profile
    uint16_t lab = 0; // PHOTOMETRIC_CIELAB or PHOTOMETRIC_ICCLAB
    int alpha = -1;        // index of the alpha sample
    bool associated = false;
    int orientation = 1; // as stored; 1 when it is not applied
};

/// Reads the layout; false when the sample path can't read the picture and
/// the RGBA interface must (YCbCr, LogLuv, planar CMYK and Lab, other inks,
/// no photometric).
bool ReadLayout(TIFF* tif, Layout& l)
{
    uint16_t format = SAMPLEFORMAT_UINT, planar = PLANARCONFIG_CONTIG;
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &l.width);
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &l.height);
    TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &l.bits);
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &l.spp);
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLEFORMAT, &format);
    TIFFGetFieldDefaulted(tif, TIFFTAG_PLANARCONFIG, &planar);
    if (!TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &l.photometric))
        return false;
    l.separate = planar == PLANARCONFIG_SEPARATE && l.spp > 1;
    if (format == SAMPLEFORMAT_UINT)
        l.format = CSampleConverter::kUnsigned;
    else if (format == SAMPLEFORMAT_INT)
        l.format = CSampleConverter::kSigned;
    else if (format == SAMPLEFORMAT_IEEEFP)
        l.format = CSampleConverter::kFloat;
    else
        return false;
    if (!CSampleConverter::Supports(l.bits, l.format))
        return false;
    switch (l.photometric)
    {
    case PHOTOMETRIC_MINISWHITE:
    case PHOTOMETRIC_MINISBLACK:
        l.colours = 1;
        break;
    case PHOTOMETRIC_RGB:
        l.colours = 3;
        break;
    case PHOTOMETRIC_SEPARATED:
    {
        uint16_t inkSet = INKSET_CMYK;
        TIFFGetFieldDefaulted(tif, TIFFTAG_INKSET, &inkSet);
        if (inkSet != INKSET_CMYK || (l.bits != 8 && l.bits != 16) ||
            l.format != CSampleConverter::kUnsigned || l.separate)
            return false;
        l.colours = 4;
        l.cmyk = true;
        break;
    }
    case PHOTOMETRIC_CIELAB:
    case PHOTOMETRIC_ICCLAB:
        if ((l.bits != 8 && l.bits != 16) || l.format != CSampleConverter::kUnsigned || l.separate)
            return false;
        l.colours = 3;
        l.lab = l.photometric;
        break;
    case PHOTOMETRIC_PALETTE:
        // Indices: the colour map has 2^bits entries.
        if (l.format != CSampleConverter::kUnsigned || l.bits > 16 || l.separate)
            return false;
        l.colours = 1;
        break;
    default:
        return false;
    }
    if (l.spp < l.colours)
        return false;

    // Extra samples follow the colours; the first may be alpha. Four RGB
    // samples without the tag are taken as associated alpha, as libtiff's
    // RGBA interface takes them.
    uint16_t extras = 0;
    const uint16_t* types = nullptr;
    if (TIFFGetField(tif, TIFFTAG_EXTRASAMPLES, &extras, &types) && extras > 0 && types &&
        extras <= l.spp - l.colours &&
        (types[0] == EXTRASAMPLE_ASSOCALPHA || types[0] == EXTRASAMPLE_UNASSALPHA))
    {
        l.alpha = l.spp - extras;
        l.associated = types[0] == EXTRASAMPLE_ASSOCALPHA;
    }
    else if (extras == 0 && l.photometric == PHOTOMETRIC_RGB && l.spp == 4)
    {
        l.alpha = 3;
        l.associated = true;
    }
    return true;
}

/// The most bytes one byte of the compression's data decodes to, or 0 when
/// there is no useful bound. Fax codings need at least one bit a row.
/// Uncompressed data may miss up to 15/16 of its bytes, so that a truncated
/// file still shows what it has.
double MaxExpansion(uint16_t compression, uint64_t rowBytes)
{
    switch (compression)
    {
    case COMPRESSION_NONE:
        return 16;
    case COMPRESSION_PACKBITS:
        return 64; // 128 bytes from a 2-byte run
    case COMPRESSION_LZW:
        return 4096; // a 12-bit code for a string of up to 4096 bytes
    case COMPRESSION_DEFLATE:
    case COMPRESSION_ADOBE_DEFLATE:
        return 1100; // deflate: at most 258 bytes in 2 bits
    case COMPRESSION_JPEG:
    case COMPRESSION_OJPEG:
        return 1024; // at least one bit for every 8 x 8 block of samples
    case COMPRESSION_CCITTRLE:
    case COMPRESSION_CCITTRLEW:
    case COMPRESSION_CCITTFAX3:
    case COMPRESSION_CCITTFAX4:
        return 8 * double(rowBytes);
    case COMPRESSION_WEBP:
    case COMPRESSION_JBIG:
    case COMPRESSION_LERC:
        return 0;
    default:
        return 65536;
    }
}

/// Refuses a picture its strips or tiles can't hold, before anything is
/// allocated for it: the bytes they have within the data (each counted once)
/// times the most their compression expands must reach the decoded size.
void CheckDataHoldsImage(TIFF* tif, const Layout& l, uint64_t dataSize)
{
    uint16_t compression = COMPRESSION_NONE;
    TIFFGetFieldDefaulted(tif, TIFFTAG_COMPRESSION, &compression);
    const uint64_t rowBytes = TIFFScanlineSize64(tif);
    const uint32_t count = TIFFIsTiled(tif) ? TIFFNumberOfTiles(tif) : TIFFNumberOfStrips(tif);
    const double decoded =
        TIFFIsTiled(tif) ? double(TIFFTileSize64(tif)) * count
                         : double(rowBytes) * l.height * (l.separate ? l.spp : 1);
    const double ratio = MaxExpansion(compression, rowBytes);
    if (ratio == 0)
        return;

    std::vector<std::pair<uint64_t, uint64_t>> ranges;
    try
    {
        ranges.reserve(count);
        for (uint32_t i = 0; i < count; i++)
        {
            const uint64_t offset = TIFFGetStrileOffset(tif, i);
            const uint64_t bytes = TIFFGetStrileByteCount(tif, i);
            if (offset < dataSize && bytes > 0)
                ranges.emplace_back(offset, offset + std::min(bytes, dataSize - offset));
        }
    }
    catch (const std::bad_alloc&)
    {
        CPicDecoder::RaiseError(10, "Out of memory allocating TIFF buffer.");
    }
    std::sort(ranges.begin(), ranges.end());
    uint64_t held = 0, end = 0;
    for (const auto& [first, last] : ranges)
    {
        const uint64_t from = std::max(first, end);
        if (last > from)
            held += last - from;
        end = std::max(end, last);
    }
    if (decoded > double(held) * ratio)
        CDataSource::ThrowEndOfFile();
}

/// Calls `row` for every stored row, or part of one, of one plane (all
/// samples when they are interleaved): plane, row, first column, pixel
/// count, packed samples. A strip or tile that can't be read is passed over
/// whole, its rows left as created: no row past the end of the data is
/// visited one by one.
using RowSink = std::function<void(int plane, uint32_t y, uint32_t x, uint32_t n, const uint8_t*)>;

void ForEachRow(TIFF* tif, const CBmp& bmp, const Layout& l, const RowSink& row)
{
    const int planes = l.separate ? l.spp : 1;
    const int samples = l.separate ? 1 : l.spp;
    if (TIFFIsTiled(tif))
    {
        uint32_t tw = 0, th = 0;
        TIFFGetField(tif, TIFFTAG_TILEWIDTH, &tw);
        TIFFGetField(tif, TIFFTAG_TILELENGTH, &th);
        const tmsize_t tileSize = TIFFTileSize(tif);
        if (tw == 0 || th == 0 || tileSize <= 0)
            CPicDecoder::RaiseError(1, JobOf(tif).lastError);
        const auto tile = CPicDecoder::AllocateBuffer(bmp, size_t(tileSize),
                                                      "Out of memory allocating TIFF buffer.");
        const size_t tileRow = (size_t(tw) * samples * l.bits + 7) / 8;
        for (int p = 0; p < planes; p++)
            for (uint32_t ty = 0; ty < l.height; ty += th)
                for (uint32_t tx = 0; tx < l.width; tx += tw)
                {
                    const uint32_t index = TIFFComputeTile(tif, tx, ty, 0, uint16_t(p));
                    if (TIFFReadEncodedTile(tif, index, tile.get(), tileSize) < 0)
                        continue; // left as created
                    const uint32_t n = std::min(tw, l.width - tx);
                    for (uint32_t y = 0; y < th && ty + y < l.height; y++)
                        row(p, ty + y, tx, n, tile.get() + y * tileRow);
                }
        return;
    }
    const tmsize_t lineSize = TIFFScanlineSize(tif);
    if (lineSize <= 0)
        CPicDecoder::RaiseError(1, JobOf(tif).lastError);
    const auto line =
        CPicDecoder::AllocateBuffer(bmp, size_t(lineSize), "Out of memory allocating TIFF buffer.");
    uint32_t rowsPerStrip = l.height;
    TIFFGetFieldDefaulted(tif, TIFFTAG_ROWSPERSTRIP, &rowsPerStrip);
    rowsPerStrip = std::clamp<uint32_t>(rowsPerStrip, 1, l.height);

    // Whole strips are decoded in one call when the budget holds one: libtiff
    // then inflates Deflate strips with libdeflate, not line by line with
    // zlib. A strip that fails is read again line by line, so that the rows
    // before its fault still show.
    const uint64_t stripBytes = TIFFStripSize64(tif);
    const size_t limit = CBmp::GetMaxPixelBytes();
    const size_t used = bmp.GetStorageBytes() + size_t(lineSize);
    std::unique_ptr<uint8_t[]> strip;
    if (stripBytes > 0 && used < limit && stripBytes <= limit - used &&
        stripBytes >= uint64_t(lineSize) * rowsPerStrip)
    {
        strip.reset(new (std::nothrow) uint8_t[size_t(stripBytes)]);
        if (strip)
            CBmp::AdviseLargePages(strip.get(), size_t(stripBytes));
    }
    // Planes one after the other, so that compressed strips are read in order.
    for (int p = 0; p < planes; p++)
        for (uint32_t first = 0; first < l.height; first += rowsPerStrip)
        {
            const uint32_t rows = std::min(rowsPerStrip, l.height - first);
            if (strip && TIFFReadEncodedStrip(tif, TIFFComputeStrip(tif, first, uint16_t(p)),
                                              strip.get(), tmsize_t(stripBytes)) >=
                             tmsize_t(uint64_t(lineSize) * rows))
            {
                for (uint32_t y = 0; y < rows; y++)
                    row(p, first + y, 0, l.width, strip.get() + size_t(y) * size_t(lineSize));
                continue;
            }
            for (uint32_t y = first; y < first + rows; y++)
            {
                if (TIFFReadScanline(tif, line.get(), y, uint16_t(p)) < 0)
                    break; // the rest of this strip can't be read either
                row(p, y, 0, l.width, line.get());
            }
        }
}

/// Colour map entries as 8-bit colours: maps that hold only 8-bit values are
/// taken as they are, others scale from 0..65535.
std::vector<PaletteEntry> ColourMap(TIFF* tif, int bits)
{
    const size_t n = size_t(1) << bits;
    std::vector<PaletteEntry> pal(n, PaletteEntry{0, 0, 0, 255});
    uint16_t *red = nullptr, *green = nullptr, *blue = nullptr;
    if (!TIFFGetField(tif, TIFFTAG_COLORMAP, &red, &green, &blue) || !red || !green || !blue)
    {
        CPicDecoder::Trace(2, "TIFF palette image without a colour map.\n");
        return pal;
    }
    bool eightBit = true;
    for (size_t i = 0; i < n && eightBit; i++)
        eightBit = red[i] < 256 && green[i] < 256 && blue[i] < 256;
    for (size_t i = 0; i < n; i++)
        pal[i] = eightBit
                     ? PaletteEntry{uint8_t(blue[i]), uint8_t(green[i]), uint8_t(red[i]), 255}
                     : PaletteEntry{uint8_t(blue[i] * 255 / 65535), uint8_t(green[i] * 255 / 65535),
                                    uint8_t(red[i] * 255 / 65535), 255};
    return pal;
}

/// L*, a*, b* of sample i (its three samples from index i) as stored in 8 or
/// 16 bits: L* scaled to the largest value; a* and b* signed (CIELab) or
/// offset by half the range (ICCLab), 1/256 of a unit at 16 bits.
PaletteEntry LabPixel(const CLabConverter& lab, const CSampleConverter& raw, const uint8_t* src,
                      size_t i, int bits, bool offset)
{
    const double max = bits == 8 ? 255 : 65535, unit = bits == 8 ? 1 : 256;
    const uint32_t l = raw.Raw(src, i), a = raw.Raw(src, i + 1), b = raw.Raw(src, i + 2);
    auto chroma = [&](uint32_t v)
    {
        if (offset)
            return double(v) / unit - 128;
        return bits == 8 ? double(int8_t(v)) : double(int16_t(v)) / unit;
    };
    return lab.ToPixel(l * 100.0 / max, chroma(a), chroma(b));
}

/// Cyan, magenta, yellow and black inks as the colour they leave on white.
PaletteEntry CmykPixel(const uint8_t* v)
{
    const unsigned white = 255 - v[3];
    auto ink = [white](uint8_t c) { return uint8_t(((255 - c) * white + 127) / 255); };
    return PaletteEntry{ink(v[2]), ink(v[1]), ink(v[0]), 255};
}

/// Colours multiplied by alpha back to their own values.
void Unmultiply(PaletteEntry& p)
{
    const unsigned a = p.a;
    if (a == 0 || a == 255)
        return;
    p.b = uint8_t(std::min(255u, (p.b * 255 + a / 2) / a));
    p.g = uint8_t(std::min(255u, (p.g * 255 + a / 2) / a));
    p.r = uint8_t(std::min(255u, (p.r * 255 + a / 2) / a));
}

/// The Orientation tag's partner that differs only by a vertical flip; asked
/// for it, libtiff's RGBA interface flips the rows and nothing else.
uint16_t VerticalPartner(int orientation)
{
    static const uint16_t kPartner[9] = {
        ORIENTATION_BOTLEFT,  ORIENTATION_BOTLEFT,  ORIENTATION_BOTRIGHT,
        ORIENTATION_TOPRIGHT, ORIENTATION_TOPLEFT,  ORIENTATION_BOTLEFT,
        ORIENTATION_BOTRIGHT, ORIENTATION_TOPRIGHT, ORIENTATION_TOPLEFT};
    return kPartner[COrientedRows::Normalised(orientation)];
}
/// Single gray or palette samples of up to 8 bits into a 1- or 8-bit palette bitmap.
void DoLoColor(TIFF* pTif, CBmp& bmp, int& depth, const Layout& l)
{
    const int bits = l.bits;
    const int bmpDepth = bits == 1 ? 1 : 8;
    if (depth == 0)
        depth = bmpDepth;
    const int w = int(l.width), h = int(l.height);
    bmp.Create(COrientedRows::UprightWidth(w, h, l.orientation),
               COrientedRows::UprightHeight(w, h, l.orientation), bmpDepth, false);

    // The palette goes straight into the bitmap's table, which has room for
    // 2^bmpDepth >= 2^bits entries.
    const int n = 1 << bits;
    const int step = 255 / (n - 1);
    PaletteEntry* pal = bmp.GetPaletteTable();
    if (l.photometric == PHOTOMETRIC_PALETTE)
    {
        const std::vector<PaletteEntry> map = ColourMap(pTif, bits);
        std::copy(map.begin(), map.end(), pal);
    }
    else
        for (int i = 0; i < n; i++)
        {
            const uint8_t v = uint8_t(i * step);
            pal[l.photometric == PHOTOMETRIC_MINISBLACK ? i : n - 1 - i] =
                PaletteEntry{v, v, v, 255};
        }

    // 1- and 8-bit rows are copied as they are; 2- and 4-bit samples become
    // one byte each.
    COrientedRows rows(bmp, w, h, l.orientation);
    const auto indices =
        CPicDecoder::AllocateBuffer(bmp, size_t(w), "Out of memory allocating TIFF buffer.");
    ForEachRow(pTif, bmp, l,
               [&](int, uint32_t y, uint32_t x, uint32_t count, const uint8_t* src)
               {
                   if (bits == 1 || bits == 8)
                   {
                       rows.Put(int(y), int(x), int(count), src);
                       return;
                   }
                   for (uint32_t i = 0; i < count; i++)
                   {
                       const size_t bit = size_t(i) * bits;
                       indices[i] = uint8_t((src[bit >> 3] >> (8 - bits - (bit & 7))) & (n - 1));
                   }
                   rows.Put(int(y), int(x), int(count), indices.get());
               });
}

/// Interleaved red, green, blue of 8 or 16 bits into opaque pixels, the
/// common case, in loops of their own; false for other sample sizes.
bool ComposeRgb(const CSampleConverter& converter, const uint8_t* src, uint32_t n,
                PaletteEntry* out)
{
    if (converter.IsIdentity())
    {
        for (uint32_t i = 0; i < n; i++, src += 3)
            out[i] = PaletteEntry{src[2], src[1], src[0], 255};
        return true;
    }
    const uint8_t* to8 = converter.Table16();
    if (!to8)
        return false;
    for (uint32_t i = 0; i < n; i++, src += 6)
    {
        uint16_t c[3];
        std::memcpy(c, src, 6);
        out[i] = PaletteEntry{to8[c[2]], to8[c[1]], to8[c[0]], 255};
    }
    return true;
}

/// Gray, RGB and palette samples of any size, and CMYK and Lab samples of 8
/// and 16 bits, into a 32-bit bitmap.
void DoSamples(TIFF* pTif, CBmp& bmp, int& depth, const Layout& l)
{
    depth = 32;
    const int w = int(l.width), h = int(l.height);
    bmp.Create(COrientedRows::UprightWidth(w, h, l.orientation),
               COrientedRows::UprightHeight(w, h, l.orientation), 32, l.alpha >= 0);
    COrientedRows rows(bmp, w, h, l.orientation);
    const CSampleConverter converter(l.bits, l.format);
    const bool palette = l.photometric == PHOTOMETRIC_PALETTE;
    const bool white = l.photometric == PHOTOMETRIC_MINISWHITE;
    const std::vector<PaletteEntry> map =
        palette ? ColourMap(pTif, l.bits) : std::vector<PaletteEntry>();
    float* whitePoint = nullptr; // the reference white's chromaticity, D50 by default
    TIFFGetFieldDefaulted(pTif, TIFFTAG_WHITEPOINT, &whitePoint);
    const CLabConverter lab(whitePoint ? whitePoint[0] : 0, whitePoint ? whitePoint[1] : 0);
    const size_t samples = l.separate ? 1 : l.spp;
    const auto values = CPicDecoder::AllocateBuffer(bmp, size_t(w) * samples,
                                                    "Out of memory allocating TIFF buffer.");
    const auto pixels =
        CPicDecoder::AllocateBuffer(bmp, 4 * size_t(w), "Out of memory allocating TIFF buffer.");
    ForEachRow(pTif, bmp, l,
               [&](int plane, uint32_t y, uint32_t x, uint32_t n, const uint8_t* src)
               {
                   uint8_t* direct = rows.DirectLine(int(y));
                   auto* out = reinterpret_cast<PaletteEntry*>(direct ? direct + 4 * size_t(x)
                                                                      : pixels.get());
                   if (!l.separate && l.photometric == PHOTOMETRIC_RGB && l.alpha < 0 &&
                       samples == 3 && ComposeRgb(converter, src, n, out))
                   {
                       if (!direct)
                           rows.Put(int(y), int(x), int(n), pixels.get());
                       return;
                   }
                   uint8_t* v = values.get();
                   if (converter.IsIdentity() && !white)
                       v = const_cast<uint8_t*>(src); // read only below
                   else
                       converter.To8(src, n * samples, v);
                   if (l.separate)
                   {
                       // One channel of every pixel: alpha, the gray level, or red,
                       // green or blue (bytes 2, 1, 0).
                       unsigned mask = 0;
                       if (plane == l.alpha)
                           mask = 8;
                       else if (l.colours == 1 && plane == 0)
                           mask = 7;
                       else if (l.colours == 3 && plane < 3)
                           mask = 1u << (2 - plane);
                       if (white && mask == 7)
                           for (uint32_t i = 0; i < n; i++)
                               v[i] = uint8_t(255 - v[i]);
                       if (mask)
                           rows.PutChannels(int(y), int(x), int(n), v, mask);
                       return;
                   }
                   for (uint32_t i = 0; i < n; i++, v += samples)
                   {
                       PaletteEntry p;
                       if (palette)
                           p = map[converter.Raw(src, i * samples)];
                       else if (l.lab)
                           p = LabPixel(lab, converter, src, i * samples, l.bits,
                                        l.lab == PHOTOMETRIC_ICCLAB);
                       else if (l.cmyk && l.keepInks)
                           p = PaletteEntry{v[0], v[1], v[2], v[3]};
                       else if (l.cmyk)
                           p = CmykPixel(v);
                       else if (l.colours == 1)
                       {
                           const uint8_t g = white ? uint8_t(255 - v[0]) : v[0];
                           p = PaletteEntry{g, g, g, 255};
                       }
                       else
                           p = PaletteEntry{v[2], v[1], v[0], 255};
                       if (l.alpha >= 0)
                       {
                           p.a = v[l.alpha];
                           if (l.associated)
                               Unmultiply(p);
                       }
                       out[i] = p;
                   }
                   if (!direct)
                       rows.Put(int(y), int(x), int(n), pixels.get());
               });
    if (l.separate && l.associated)
        for (int y = 0; y < bmp.GetHeight(); y++)
        {
            auto* line = reinterpret_cast<PaletteEntry*>(bmp.GetLineArray()[y]);
            for (int x = 0; x < bmp.GetWidth(); x++)
                Unmultiply(line[x]);
        }
}

/// libtiff's RGBA interface into a 32-bit bitmap, for what the sample path
/// does not read. orientation: the file's when it is applied, else 0.
void DoRGBA(TIFF* pTif, CBmp& bmp, int& depth, int orientation)
{
    TiffJob& job = JobOf(pTif);
    depth = 32;
    TIFFRGBAImage img;
    char emsg[1024] = "";
    if (!TIFFRGBAImageBegin(&img, pTif, 0, emsg))
    {
        // The reason is only in emsg; it becomes the most recent error.
        std::snprintf(job.lastError, sizeof job.lastError, "%s", emsg);
        CPicDecoder::RaiseError(1, job.lastError);
    }
    RgbaImageEnder ender{&img};

    const int width = CheckedDimension(img.width);
    const int height = CheckedDimension(img.height);
    // Asked for the bottom-left origin, libtiff turns orientations 1 to 4
    // upright itself; asked for the stored orientation's vertical partner, it
    // only flips the rows, and the raster holds the stored picture.
    const int o = orientation ? COrientedRows::Normalised(orientation) : 1;
    const bool transposed = COrientedRows::SwapsAxes(o);
    if (!orientation || transposed)
        img.req_orientation = VerticalPartner(img.orientation);
    bmp.Create(COrientedRows::UprightWidth(width, height, o),
               COrientedRows::UprightHeight(width, height, o), 32, img.alpha != 0);

    // A 32-bit bitmap's storage is one bottom-up block of width x height
    // pixels, exactly the raster libtiff fills (bottom row first), so the
    // raster is the bitmap itself unless rows must become columns.
    std::unique_ptr<uint8_t[]> turned;
    if (transposed)
        turned = CPicDecoder::AllocateBuffer(bmp, 4 * size_t(width) * size_t(height),
                                             "Out of memory allocating TIFF buffer.");
    auto* raster = reinterpret_cast<uint32_t*>(transposed ? turned.get() : bmp.GetBits());
    if (!TIFFRGBAImageGet(&img, raster, img.width, img.height))
        CPicDecoder::RaiseError(1, job.lastError);

    // Raster pixels are red, green, blue, alpha in memory; the bitmap wants
    // blue, green, red, alpha. libtiff hands out colours multiplied by alpha
    // (it multiplies unassociated alpha itself); the bitmap, like the PNG
    // decoder's, holds them unmultiplied.
    const size_t count = size_t(width) * size_t(height);
    for (size_t i = 0; i < count; i++)
    {
        const uint32_t v = raster[i];
        PaletteEntry p{uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v), uint8_t(v >> 24)};
        if (img.alpha != 0)
            Unmultiply(p);
        std::memcpy(&raster[i], &p, 4);
    }
    if (transposed)
    {
        COrientedRows rows(bmp, width, height, o);
        for (int y = 0; y < height; y++)
            rows.Put(
                y, 0, width,
                reinterpret_cast<const uint8_t*>(raster + size_t(height - 1 - y) * size_t(width)));
    }
}
} // namespace

void CTIFFDecoder::DecodeImage(CBmp& bmp, std::unique_ptr<PaletteEntry[]>&, int& depth,
                               CDataSource& source)
{
    // The TIFF data runs from the current position (an EPS preview's offset)
    // to the end of the data.
    TiffJob job;
    job.data = source.GetBufferPtr();
    job.size = source.GetRemaining();

    TIFFOpenOptions* opts = TIFFOpenOptionsAlloc();
    if (!opts)
        RaiseError(10, "Out of memory allocating TIFF buffer.");
    TIFFOpenOptionsSetErrorHandlerExtR(opts, OnTiffError, &job);
    TIFFOpenOptionsSetWarningHandlerExtR(opts, OnTiffWarning, &job);
    // libtiff's own arrays and buffers follow from the data it reads, which
    // lies in place in memory: no single one of them needs more than this.
    const uint64_t maxAlloc =
        std::min<uint64_t>({CBmp::GetMaxPixelBytes(), (uint64_t(64) << 20) + 16 * job.size,
                            uint64_t(std::numeric_limits<tmsize_t>::max())});
    TIFFOpenOptionsSetMaxSingleMemAlloc(opts, tmsize_t(maxAlloc));
    TIFF* tif = TIFFClientOpenExt("MemSource", "r", &job, OnRead, OnWrite, OnSeek, OnClose, OnSize,
                                  OnMap, OnUnmap, opts);
    TIFFOpenOptionsFree(opts); // the handle keeps its own copy of the handlers
    if (!tif)
        RaiseError(1, job.lastError);
    TiffCloser closer{tif};

    Layout l;
    const bool samplePath = ReadLayout(tif, l);
    uint32_t iccSize = 0;
    const uint8_t* icc = nullptr;
    if (!TIFFGetField(tif, TIFFTAG_ICCPROFILE, &iccSize, &icc))
        icc = nullptr;
    // Inks without alpha keep their samples until the CMYK profile converts them.
    l.keepInks = samplePath && l.cmyk && l.alpha < 0 && CColourManager::IsEnabled() &&
                 CColourManager::IsCmykProfile(icc, iccSize);
    TraceF(2, "TIFF header: %d bits per sample, %d samples per pixel, photometric %d.\n",
           int(l.bits), int(l.spp), int(l.photometric));
    uint16_t orientation = ORIENTATION_TOPLEFT;
    TIFFGetFieldDefaulted(tif, TIFFTAG_ORIENTATION, &orientation);

    // Single gray or palette samples of 1, 2, 4 or 8 bits become 1- or 8-bit
    // palette bitmaps (their samples never straddle bytes); everything else
    // 32 bits.
    const bool loColor = samplePath && l.spp == 1 && l.bits <= 8 &&
                         (l.bits & (l.bits - 1)) == 0 &&
                         l.format == CSampleConverter::kUnsigned && depth < 32;
    CheckedDimension(l.width);
    CheckedDimension(l.height);
    if (samplePath)
    {
        l.orientation = GetApplyOrientation() ? COrientedRows::Normalised(orientation) : 1;
        const int w = int(l.width), h = int(l.height);
        CBmp::CheckSize(COrientedRows::UprightWidth(w, h, l.orientation),
                        COrientedRows::UprightHeight(w, h, l.orientation),
                        loColor ? (l.bits == 1 ? 1 : 8) : 32);
        CheckDataHoldsImage(tif, l, job.size);
    }
    if (loColor)
        DoLoColor(tif, bmp, depth, l);
    else if (samplePath)
        DoSamples(tif, bmp, depth, l);
    else
        DoRGBA(tif, bmp, depth, GetApplyOrientation() ? orientation : 0);
    if (l.keepInks)
        CColourManager::CmykToSrgb(bmp, icc, iccSize, false);
    else if (icc)
        CColourManager::ProfileToSrgb(bmp, icc, iccSize);
    Trace(3, "Decoding finished.\n");
}
