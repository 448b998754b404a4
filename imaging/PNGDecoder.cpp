#include "PNGDecoder.h"

#include "ColourManager.h"

#include "Bmp.h"
#include "DataSource.h"
#include "OrientedRows.h"
#include "PngImageData.h"
#include "WinBmp.h"

#include <png.h>

#include <algorithm>
#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace
{
/// Everything libpng's callbacks and the jump-protected steps share. It lives
/// in DecodeImage's frame and is reached through a pointer, so it keeps its
/// values across a longjmp.
struct PngJob
{
    CDataSource* source = nullptr;
    png_structp png = nullptr;
    png_infop info = nullptr;

    int requestedDepth = 0;
    // Filled by ReadHeader.
    png_uint_32 width = 0;
    png_uint_32 height = 0;
    int bitDepth = 0;
    int colorType = 0;
    int interlace = 0;
    int depth = 0; // of the bitmap: 8 or 32
    bool alpha = false;
    // Palette images: the opacity of each entry from the tRNS chunk (255
    // beyond it), and whether any entry is less than opaque.
    uint8_t paletteAlpha[256] = {};
    bool paletteTransparent = false;

    // libpng's own allocations count against the decode budget beside the
    // bitmap (null until it is created).
    const CBmp* bmp = nullptr;
    size_t allocated = 0;

    // Set before libpng jumps back: 2 for a libpng error, 10 when the budget
    // refused an allocation, 11 when the data ended.
    int errorCode = 0;
    char message[256] = {};
};

/// Deflate codes at most 258 bytes in two bits: no stream inflates more.
constexpr double kMaxInflateRatio = 1032;

/// The most bytes a deflate stream of n bytes can inflate to.
double MaxInflated(uint64_t n)
{
    return kMaxInflateRatio * double(n) + 4096;
}

struct IdatScan
{
    uint64_t bytes = 0;     // of every IDAT chunk
    bool truncated = false; // the data ended before IEND
};

/// Walks the chunks after the signature at data.
IdatScan ScanIdat(const uint8_t* data, size_t size)
{
    IdatScan scan;
    size_t p = 8;
    for (;;)
    {
        if (size - std::min(size, p) < 12)
        {
            scan.truncated = true;
            return scan;
        }
        const uint32_t length = CDataSource::BE32At(data + p);
        const uint8_t* type = data + p + 4;
        if (std::memcmp(type, "IEND", 4) == 0)
            return scan;
        const size_t room = size - p - 12;
        if (std::memcmp(type, "IDAT", 4) == 0)
            scan.bytes += std::min<size_t>(length, room);
        if (length > room)
        {
            scan.truncated = true;
            return scan;
        }
        p += 12 + size_t(length);
    }
}

/// Each allocation carries its size in front, so that frees are counted.
constexpr size_t kSizeHeader = 16;

png_voidp PNGCBAPI OnMalloc(png_structp png, png_alloc_size_t n)
{
    auto* job = static_cast<PngJob*>(png_get_mem_ptr(png));
    const size_t limit = CBmp::GetMaxPixelBytes();
    const size_t used = job->allocated + (job->bmp ? job->bmp->GetStorageBytes() : 0);
    if (used > limit || n > limit - used || n > SIZE_MAX - kSizeHeader)
    {
        job->errorCode = 10;
        return nullptr; // libpng reports "Out of memory" through OnError
    }
    auto* block = static_cast<uint8_t*>(std::malloc(n + kSizeHeader));
    if (!block)
    {
        job->errorCode = 10;
        return nullptr;
    }
    std::memcpy(block, &n, sizeof n);
    job->allocated += n;
    return block + kSizeHeader;
}

void PNGCBAPI OnFree(png_structp png, png_voidp p)
{
    if (!p)
        return;
    auto* job = static_cast<PngJob*>(png_get_mem_ptr(png));
    uint8_t* block = static_cast<uint8_t*>(p) - kSizeHeader;
    size_t n;
    std::memcpy(&n, block, sizeof n);
    job->allocated -= n;
    std::free(block);
}

/// Destroys the read and info structures on every path out of DecodeImage.
struct PngStructs
{
    PngJob& job;
    ~PngStructs() { Destroy(); }
    void Destroy()
    {
        if (job.png)
            png_destroy_read_struct(&job.png, job.info ? &job.info : nullptr, nullptr);
        job.png = nullptr;
        job.info = nullptr;
    }
};

// A longjmp here returns to the setjmp of ReadHeader or ReadRows.
[[noreturn]] void PNGCBAPI OnError(png_structp png, png_const_charp msg)
{
    auto* job = static_cast<PngJob*>(png_get_error_ptr(png));
    if (job->errorCode != 10)
        job->errorCode = 2;
    std::snprintf(job->message, sizeof job->message, "%s", msg ? msg : "");
    png_longjmp(png, 1);
}

void PNGCBAPI OnWarning(png_structp, png_const_charp) {}

// Never throws: running off the data is recorded and reported once libpng
// has handed control back.
void PNGCBAPI OnRead(png_structp png, png_bytep data, size_t n)
{
    auto* job = static_cast<PngJob*>(png_get_io_ptr(png));
    if (n > job->source->GetRemaining())
    {
        job->errorCode = 11;
        png_longjmp(png, 1);
    }
    std::memcpy(data, job->source->ReadBytes(n), n);
}

/// Chooses the bitmap depth and the transformations that make libpng deliver
/// rows in the bitmap's layout. Called only from a jump-protected step.
void SetTransformations(PngJob* job)
{
    png_structp png = job->png;
    const int type = job->colorType;
    // Gray and palette images become 8-bit unless true colour is requested.
    const bool trueColour = job->requestedDepth == 32 ||
                            (type != PNG_COLOR_TYPE_GRAY && type != PNG_COLOR_TYPE_PALETTE);
    job->depth = trueColour ? 32 : 8;
    job->alpha = (type & PNG_COLOR_MASK_ALPHA) != 0;
    std::memset(job->paletteAlpha, 255, sizeof job->paletteAlpha);
    png_bytep trans = nullptr;
    int count = 0;
    if (type == PNG_COLOR_TYPE_PALETTE &&
        png_get_tRNS(png, job->info, &trans, &count, nullptr) != 0 && trans)
        for (int i = 0; i < std::min(count, 256); i++)
        {
            job->paletteAlpha[i] = trans[i];
            job->paletteTransparent |= trans[i] != 255;
        }
    // A palette's transparency gives the bitmap alpha: in the colour table
    // at 8 bits, in the pixels at 32.
    job->alpha |= job->paletteTransparent;

    if (job->bitDepth == 16)
        png_set_strip_16(png);
    if (job->depth == 32)
    {
        if (type == PNG_COLOR_TYPE_PALETTE || type == PNG_COLOR_TYPE_GRAY)
        {
            // Expansion turns a tRNS chunk into an alpha channel; gray
            // bitmaps (and opaque palettes) have none, and their filler byte
            // stays 0xFF.
            png_set_expand(png);
            if (!job->paletteTransparent)
                png_set_strip_alpha(png);
        }
        if ((type & PNG_COLOR_MASK_COLOR) == 0)
            png_set_gray_to_rgb(png);
        png_set_bgr(png);
        if (!job->alpha)
            png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
    }
    else if (job->bitDepth < 8)
        png_set_packing(png); // one pixel per byte
    png_set_interlace_handling(png);
}

// setjmp sits in these two small functions; they own nothing that needs a
// destructor, and all state lives in *job.
bool ReadHeader(PngJob* job)
{
    if (setjmp(png_jmpbuf(job->png)))
        return false;
    png_read_info(job->png, job->info);
    png_get_IHDR(job->png, job->info, &job->width, &job->height, &job->bitDepth, &job->colorType,
                 &job->interlace, nullptr, nullptr);
    SetTransformations(job);
    return true;
}

bool ReadRows(PngJob* job, png_bytepp rows)
{
    if (setjmp(png_jmpbuf(job->png)))
        return false;
    png_read_image(job->png, rows);
    png_read_end(job->png, nullptr);
    return true;
}

/// Copies the PLTE chunk into the bitmap's colour table (blue, green, red and
/// the tRNS chunk's opacity). png_get_PLTE only reads the info structure.
void CopyPalette(const PngJob& job, CBmp& bmp)
{
    png_colorp plte = nullptr;
    int count = 0;
    if (png_get_PLTE(job.png, job.info, &plte, &count) == 0)
        return;
    PaletteEntry* table = bmp.GetPaletteTable();
    if (count > bmp.GetPaletteSize())
        count = bmp.GetPaletteSize();
    for (int i = 0; i < count; i++)
        table[i] = PaletteEntry{plte[i].blue, plte[i].green, plte[i].red, job.paletteAlpha[i]};
}

/// The PLTE chunk as 256 pixels with the tRNS chunk's opacity; indices
/// beyond it are opaque black, as libpng expands them.
std::vector<PaletteEntry> ExpandedPalette(const PngJob& job)
{
    std::vector<PaletteEntry> table(256, PaletteEntry{0, 0, 0, 255});
    png_colorp plte = nullptr;
    int count = 0;
    if (png_get_PLTE(job.png, job.info, &plte, &count) != 0)
        for (int i = 0; i < std::min(count, 256); i++)
            table[size_t(i)] =
                PaletteEntry{plte[i].blue, plte[i].green, plte[i].red, job.paletteAlpha[i]};
    return table;
}

/// Converts the picture to sRGB by its iCCP chunk, else by gAMA and cHRM;
/// an sRGB chunk says it is already. png_get_* only read the info structure.
void ConvertColours(const PngJob& job, CBmp& bmp)
{
    if (png_get_valid(job.png, job.info, PNG_INFO_sRGB))
        return;
    png_charp name = nullptr;
    int compression = 0;
    png_bytep profile = nullptr;
    png_uint_32 length = 0;
    if (png_get_iCCP(job.png, job.info, &name, &compression, &profile, &length))
    {
        CColourManager::ProfileToSrgb(bmp, profile, length);
        return;
    }
    double gamma = 0, c[8];
    if (png_get_gAMA(job.png, job.info, &gamma))
    {
        const bool chrm = png_get_cHRM(job.png, job.info, &c[0], &c[1], &c[2], &c[3], &c[4],
                                       &c[5], &c[6], &c[7]) != 0;
        CColourManager::GammaToSrgb(bmp, gamma, chrm ? c : nullptr);
    }
}

/// Raises what libpng reported, after the structures are gone.
[[noreturn]] void RaiseFailure(PngJob& job, PngStructs& structs)
{
    structs.Destroy();
    if (job.errorCode == 11)
        CDataSource::ThrowEndOfFile();
    CPicDecoder::RaiseError(job.errorCode == 10 ? 10 : 2, job.message);
}
} // namespace

void CPNGDecoder::DecodeImage(CBmp& bmp, std::unique_ptr<PaletteEntry[]>&, int& depth,
                              CDataSource& source)
{
    PngJob job;
    job.source = &source;
    job.requestedDepth = depth;
    PngStructs structs{job};

    const size_t start = source.GetPos();
    job.png = png_create_read_struct_2(PNG_LIBPNG_VER_STRING, &job, OnError, OnWarning, &job,
                                       OnMalloc, OnFree);
    if (!job.png)
        RaiseError(2, job.message[0] ? job.message : "Cannot create the PNG read structure.");
    job.info = png_create_info_struct(job.png);
    if (!job.info)
        RaiseError(10, "Out of memory creating the PNG info structure.");
    png_set_read_fn(job.png, &job, OnRead);
    // libpng's size limits admit whatever the budget can hold: rows of at
    // least one byte a pixel, each with its 4-byte padded line and pointer.
    // Its chunk limits stay at their defaults.
    const size_t limit = CBmp::GetMaxPixelBytes();
    png_set_user_limits(job.png, png_uint_32(std::min<size_t>(PNG_UINT_31_MAX, limit)),
                        png_uint_32(std::min<size_t>(PNG_UINT_31_MAX, limit / 12)));

    // A picture beyond the budget is refused as too large before libpng's
    // own limits would call its header invalid.
    const uint8_t* ihdr = source.GetBufferPtr();
    if (source.GetRemaining() >= 24 && std::memcmp(ihdr + 12, "IHDR", 4) == 0)
    {
        const uint32_t w = CDataSource::BE32At(ihdr + 16), h = CDataSource::BE32At(ihdr + 20);
        if (w > 0 && h > 0 && w <= PNG_UINT_31_MAX && h <= PNG_UINT_31_MAX)
            CBmp::CheckSize(int(w), int(h), 8);
    }
    if (!ReadHeader(&job))
        RaiseFailure(job, structs);
    TraceF(2, "PNG header: %u x %u, bit depth %d, colour type %d.\n", unsigned(job.width),
           unsigned(job.height), job.bitDepth, job.colorType);

    // Refuse what the budget can't hold, then what the image data can't:
    // every row has its filter byte and every pixel its bits.
    depth = job.depth;
    CBmp::CheckSize(int(job.width), int(job.height), depth);
    static const int kChannels[7] = {1, 0, 3, 1, 2, 0, 4};
    const double filtered = double(job.height) + double(job.width) * double(job.height) *
                                                     kChannels[job.colorType & 7] * job.bitDepth /
                                                     8;
    const IdatScan idat = ScanIdat(source.GetStart() + start, source.GetFileSize() - start);
    if (filtered > MaxInflated(idat.bytes))
    {
        structs.Destroy();
        if (idat.truncated)
            CDataSource::ThrowEndOfFile();
        RaiseError(2, "Not enough image data");
    }
    // An eXIf chunk's orientation turns the picture upright.
    const uint8_t* file = source.GetStart() + start;
    const size_t fileSize = source.GetFileSize() - start;
    const int orientation =
        GetApplyOrientation() ? CPngImageData::ExifOrientation(file, fileSize) : 1;
    const int w = int(job.width), h = int(job.height);
    bmp.Create(COrientedRows::UprightWidth(w, h, orientation),
               COrientedRows::UprightHeight(w, h, orientation), depth, job.alpha);
    job.bmp = &bmp;
    if (depth == 8)
    {
        if (job.colorType == PNG_COLOR_TYPE_PALETTE)
            CopyPalette(job, bmp);
        else
        {
            // Gray ramp of 2^bits entries (after stripping 16 bits to 8).
            const int n = 1 << (job.bitDepth < 8 ? job.bitDepth : 8);
            PaletteEntry* table = bmp.GetPaletteTable();
            for (int i = 0; i < n; i++)
            {
                const uint8_t v = uint8_t(i * 255 / (n - 1));
                table[i] = PaletteEntry{v, v, v, 255};
            }
        }
    }

    // Non-interlaced data inflates in one go; libpng reads what that does
    // not cover, and reports every fault as it always has.
    COrientedRows rows(bmp, w, h, orientation);
    bool whole = false;
    if (job.interlace == PNG_INTERLACE_NONE)
    {
        const std::vector<PaletteEntry> palette =
            depth == 32 && job.colorType == PNG_COLOR_TYPE_PALETTE ? ExpandedPalette(job)
                                                                    : std::vector<PaletteEntry>();
        CPngImageData::Format format;
        format.width = job.width;
        format.height = job.height;
        format.bitDepth = job.bitDepth;
        format.colorType = job.colorType;
        format.depth = depth;
        format.palette = palette.empty() ? nullptr : palette.data();
        whole = CPngImageData::Decode(file, fileSize, format, bmp, rows);
        if (whole)
            Trace(3, "Image data inflated in one piece.\n");
    }
    if (!whole && orientation == 1)
    {
        if (!ReadRows(&job, bmp.GetLineArray()))
            RaiseFailure(job, structs);
    }
    else if (!whole)
    {
        // The stored picture first, then turned into the bitmap.
        CWinBmp stored;
        stored.Create(w, h, depth, job.alpha);
        if (!ReadRows(&job, stored.GetLineArray()))
            RaiseFailure(job, structs);
        for (int y = 0; y < h; y++)
            rows.Put(y, 0, w, stored.GetLineArray()[y]);
    }
    ConvertColours(job, bmp);
    Trace(3, "Decoding finished.\n");
}
