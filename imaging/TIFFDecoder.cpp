#include "TIFFDecoder.h"

#include "Bmp.h"
#include "DataSource.h"

#include <tiffio.h>

#include <algorithm>
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <limits>
#include <new>

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
    // No single libtiff allocation may exceed what one bitmap may take.
    const size_t maxBytes = CBmp::GetMaxPixelBytes();
    const auto maxAlloc = std::numeric_limits<tmsize_t>::max();
    TIFFOpenOptionsSetMaxSingleMemAlloc(opts, maxBytes < size_t(maxAlloc) ? tmsize_t(maxBytes)
                                                                          : maxAlloc);
    TIFF* tif = TIFFClientOpenExt("MemSource", "r", &job, OnRead, OnWrite, OnSeek, OnClose, OnSize,
                                  OnMap, OnUnmap, opts);
    TIFFOpenOptionsFree(opts); // the handle keeps its own copy of the handlers
    if (!tif)
        RaiseError(1, job.lastError);
    TiffCloser closer{tif};

    uint16_t bitsPerSample = 1, samplesPerPixel = 1, photometric = 0;
    TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &bitsPerSample);
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &samplesPerPixel);
    const bool hasPhotometric = TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &photometric) != 0;
    TraceF(2, "TIFF header: %d bits per sample, %d samples per pixel, photometric %d.\n",
           int(bitsPerSample), int(samplesPerPixel), int(photometric));

    // The scan-line path reads strips of 1, 2, 4 or 8-bit gray or palette
    // pixels; tiles, other sample sizes and other photometrics go through the
    // RGBA interface, which handles them or says why not.
    const bool loColor =
        samplesPerPixel == 1 && depth < 32 && !TIFFIsTiled(tif) &&
        (bitsPerSample == 1 || bitsPerSample == 2 || bitsPerSample == 4 || bitsPerSample == 8) &&
        hasPhotometric &&
        (photometric == PHOTOMETRIC_MINISWHITE || photometric == PHOTOMETRIC_MINISBLACK ||
         photometric == PHOTOMETRIC_PALETTE);
    if (loColor)
        DoLoColor(tif, bmp, depth);
    else
        DoRGBA(tif, bmp, depth);
    Trace(3, "Decoding finished.\n");
}

void CTIFFDecoder::DoLoColor(tiff* pTif, CBmp& bmp, int& depth)
{
    uint32_t width = 0, height = 0;
    uint16_t bitsPerSample = 1, photometric = 0;
    TIFFGetField(pTif, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(pTif, TIFFTAG_IMAGELENGTH, &height);
    TIFFGetFieldDefaulted(pTif, TIFFTAG_BITSPERSAMPLE, &bitsPerSample);
    TIFFGetField(pTif, TIFFTAG_PHOTOMETRIC, &photometric);
    const tmsize_t scanlineSize = TIFFScanlineSize(pTif);
    if (scanlineSize <= 0)
        RaiseError(1, JobOf(pTif).lastError);

    const int bits = bitsPerSample;
    const int bmpDepth = bits == 1 ? 1 : 8;
    if (depth == 0)
        depth = bmpDepth;
    bmp.Create(CheckedDimension(width), CheckedDimension(height), bmpDepth, false);

    // The palette goes straight into the bitmap's table, which has room for
    // 2^bmpDepth >= 2^bits entries.
    const int n = 1 << bits;
    const int step = 255 / (n - 1);
    PaletteEntry* pal = bmp.GetPaletteTable();
    if (photometric == PHOTOMETRIC_MINISBLACK || photometric == PHOTOMETRIC_MINISWHITE)
    {
        for (int i = 0; i < n; i++)
        {
            const uint8_t v = uint8_t(i * step);
            pal[photometric == PHOTOMETRIC_MINISBLACK ? i : n - 1 - i] = PaletteEntry{v, v, v, 255};
        }
    }
    else
    {
        uint16_t *red = nullptr, *green = nullptr, *blue = nullptr;
        if (TIFFGetField(pTif, TIFFTAG_COLORMAP, &red, &green, &blue) && red && green && blue)
        {
            // Some writers store 8-bit values in the 16-bit map.
            bool eightBit = true;
            for (int i = 0; i < n && eightBit; i++)
                eightBit = red[i] < 256 && green[i] < 256 && blue[i] < 256;
            for (int i = 0; i < n; i++)
            {
                if (eightBit)
                    pal[i] =
                        PaletteEntry{uint8_t(blue[i]), uint8_t(green[i]), uint8_t(red[i]), 255};
                else
                    pal[i] = PaletteEntry{uint8_t(blue[i] * 255 / 65535),
                                          uint8_t(green[i] * 255 / 65535),
                                          uint8_t(red[i] * 255 / 65535), 255};
            }
        }
        else
            Trace(2, "TIFF palette image without a colour map.\n");
    }

    // 1- and 8-bit scan lines go straight into the bitmap lines when they fit
    // (they always should); otherwise through a buffer, clipped to the line.
    const size_t lineSize = size_t(bmp.GetLineSize());
    const bool direct = (bits == 1 || bits == 8) && size_t(scanlineSize) <= lineSize;
    std::unique_ptr<uint8_t[]> buffer;
    if (!direct)
    {
        buffer.reset(new (std::nothrow) uint8_t[size_t(scanlineSize)]());
        if (!buffer)
            RaiseError(10, "Out of memory allocating TIFF buffer.");
    }

    uint8_t** lines = bmp.GetLineArray();
    const uint32_t pixelsPerByte = uint32_t(8 / bits);
    // Pixels the scan line holds; never more than the bitmap's width.
    const uint64_t held = uint64_t(scanlineSize) * pixelsPerByte;
    const uint32_t unpackWidth = held < width ? uint32_t(held) : width;
    for (uint32_t row = 0; row < height; row++)
    {
        uint8_t* line = lines[row];
        // A line that cannot be read is reported to the error handler only;
        // it keeps what the buffer held and decoding goes on.
        if (direct)
        {
            TIFFReadScanline(pTif, line, row, 0);
            continue;
        }
        TIFFReadScanline(pTif, buffer.get(), row, 0);
        const uint8_t* src = buffer.get();
        if (bits == 1 || bits == 8)
            std::memcpy(line, src,
                        size_t(scanlineSize) < lineSize ? size_t(scanlineSize) : lineSize);
        else if (bits == 4)
            for (uint32_t x = 0; x < unpackWidth; x++)
                line[x] = uint8_t((x & 1) ? src[x >> 1] & 0x0F : src[x >> 1] >> 4);
        else
            for (uint32_t x = 0; x < unpackWidth; x++)
                line[x] = uint8_t((src[x >> 2] >> (6 - 2 * (x & 3))) & 0x03);
    }
}

void CTIFFDecoder::DoRGBA(tiff* pTif, CBmp& bmp, int& depth)
{
    TiffJob& job = JobOf(pTif);
    depth = 32;
    TIFFRGBAImage img;
    char emsg[1024] = "";
    if (!TIFFRGBAImageBegin(&img, pTif, 0, emsg))
    {
        // The reason is only in emsg; it becomes the most recent error.
        std::snprintf(job.lastError, sizeof job.lastError, "%s", emsg);
        RaiseError(1, job.lastError);
    }
    RgbaImageEnder ender{&img};

    const int width = CheckedDimension(img.width);
    const int height = CheckedDimension(img.height);
    bmp.Create(width, height, 32, img.alpha != 0);

    // A 32-bit bitmap's storage is one bottom-up block of width x height
    // pixels, exactly the raster libtiff fills (bottom row first), so the
    // raster is the bitmap itself and its size was checked by Create.
    auto* raster = reinterpret_cast<uint32_t*>(bmp.GetBits());
    if (!TIFFRGBAImageGet(&img, raster, img.width, img.height))
        RaiseError(1, job.lastError);

    // Raster pixels are red, green, blue, alpha in memory; the bitmap wants
    // blue, green, red, alpha.
    const size_t count = size_t(width) * size_t(height);
    if (img.alpha == 0)
    {
        for (size_t i = 0; i < count; i++)
        {
            const uint32_t v = raster[i];
            raster[i] = (v & 0xFF00FF00u) | ((v >> 16) & 0xFFu) | ((v & 0xFFu) << 16);
        }
        return;
    }
    // libtiff hands out colours multiplied by alpha (it multiplies unassociated
    // alpha itself); the bitmap, like the PNG decoder's, holds them unmultiplied.
    for (size_t i = 0; i < count; i++)
    {
        const uint32_t v = raster[i];
        const uint32_t a = v >> 24;
        uint32_t r = v & 0xFF, g = (v >> 8) & 0xFF, b = (v >> 16) & 0xFF;
        if (a != 0 && a != 255)
        {
            r = std::min(255u, (r * 255 + a / 2) / a);
            g = std::min(255u, (g * 255 + a / 2) / a);
            b = std::min(255u, (b * 255 + a / 2) / a);
        }
        raster[i] = (a << 24) | (r << 16) | (g << 8) | b;
    }
}
