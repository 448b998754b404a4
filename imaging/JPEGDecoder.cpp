#include "JPEGDecoder.h"

#include "ColourManager.h"
#include "RowConverter.h"

#include "Bmp.h"
#include "DataSource.h"
#include "JpegHeader.h"
#include "OrientedRows.h"

#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <functional>
#include <memory>
// jpeglib.h needs size_t and FILE declared first.
#include <jerror.h>
#include <jpeglib.h>

namespace
{
/// Scans beyond this end the decode: each scan of a progressive file costs a
/// pass over every block of the image, so a small crafted file with thousands
/// of empty scans would otherwise run for minutes.
constexpr int kMaxScans = 500;

const JOCTET kEndOfImage[2] = {0xFF, JPEG_EOI};

struct ErrorManager
{
    jpeg_error_mgr pub; // first, so libjpeg's pointer to it leads back here
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

/// The decompressor and everything its callbacks and the jump-protected
/// steps share. It is reached through a pointer, so it keeps its values across
/// a longjmp.
struct JpegState
{
    jpeg_decompress_struct cinfo;
    ErrorManager err;
    jpeg_source_mgr src;
    jpeg_progress_mgr progress;
    bool created;
    // Set by ReadHeader when `orient`: the EXIF orientation, else 1. The
    // upright picture should cover maxWidth x maxHeight (0: full size); the
    // DCT scaling stops there.
    bool orient;
    int orientation;
    int maxWidth;
    int maxHeight;
};

/// Where the decoded rows go: straight into the bitmap's lines, or through a
/// band of rows that the orientation places.
struct RowTarget
{
    COrientedRows* rows;
    uint8_t* band; // kBandRows rows of 4 * width bytes, or null when rows go straight in
    size_t bandStride;
    CRowConverter* colour; // converts the rows' colours by the profile, or null
    const std::function<void(int)>* rowsDone; // told of the rows in the bitmap, or null
};

/// Rows per jpeg_read_scanlines call; libjpeg delivers at most its upsampler's
/// row group at a time, which is never more.
constexpr int kBandRows = 16;

/// How decoded rows become bitmap rows.
enum class RowFormat
{
    kDirect, // BGRX or 8-bit gray, already the bitmap's layout
    kGrayTo32,
    kCmyk,         // converted naively, for files without a CMYK profile
    kInvertedCmyk, // Adobe files store 255 - ink
};

// A longjmp here returns to the setjmp of the step that called libjpeg.
[[noreturn]] void OnErrorExit(j_common_ptr cinfo)
{
    auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, err->message);
    std::longjmp(err->jump, 1);
}

void OnProgress(j_common_ptr cinfo)
{
    auto* dinfo = reinterpret_cast<j_decompress_ptr>(cinfo);
    if (dinfo->input_scan_number > kMaxScans)
    {
        auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
        std::snprintf(err->message, sizeof err->message, "Too many scans (more than %d)",
                      kMaxScans);
        std::longjmp(err->jump, 1);
    }
}

void InitSource(j_decompress_ptr) {}
void TermSource(j_decompress_ptr) {}

// The whole input is in the buffer from the start; libjpeg asks for more only
// when the data ended early. Warn and supply an end-of-image marker, so that a
// truncated file decodes as far as its data goes.
boolean FillInputBuffer(j_decompress_ptr cinfo)
{
    WARNMS(cinfo, JWRN_JPEG_EOF);
    cinfo->src->next_input_byte = kEndOfImage;
    cinfo->src->bytes_in_buffer = sizeof kEndOfImage;
    return TRUE;
}

// Never moves beyond the end of the data.
void SkipInputData(j_decompress_ptr cinfo, long n)
{
    if (n <= 0)
        return;
    jpeg_source_mgr* src = cinfo->src;
    const size_t skip = size_t(n) < src->bytes_in_buffer ? size_t(n) : src->bytes_in_buffer;
    src->next_input_byte += skip;
    src->bytes_in_buffer -= skip;
}

// setjmp sits in these small functions; they own nothing that needs a
// destructor, and all state lives in *s.
bool CreateDecompressor(JpegState* s)
{
    if (setjmp(s->err.jump))
        return false;
    jpeg_create_decompress(&s->cinfo);
    s->created = true;
    return true;
}

bool ReadHeader(JpegState* s, bool fast)
{
    if (setjmp(s->err.jump))
        return false;
    j_decompress_ptr cinfo = &s->cinfo;
    jpeg_save_markers(cinfo, JPEG_APP0 + 1, 0xFFFF);
    jpeg_save_markers(cinfo, JPEG_APP0 + 2, 0xFFFF); // ICC profile chunks
    jpeg_read_header(cinfo, TRUE);
    s->orientation = 1;
    for (jpeg_saved_marker_ptr m = cinfo->marker_list; s->orient && m && s->orientation == 1;
         m = m->next)
        if (m->marker == JPEG_APP0 + 1)
        {
            CJpegHeader exif;
            if (exif.ParseExif(m->data, m->data_length))
                s->orientation = exif.GetOrientation();
        }
    // DCT scaling by M/8: the smallest M whose picture still covers the
    // wanted size, so that the caller's last reduction has every detail.
    if (s->maxWidth > 0 && s->maxHeight > 0)
    {
        const bool swap = COrientedRows::SwapsAxes(s->orientation);
        const double w = swap ? cinfo->image_height : cinfo->image_width;
        const double h = swap ? cinfo->image_width : cinfo->image_height;
        const double fit = std::min({1.0, s->maxWidth / w, s->maxHeight / h});
        cinfo->scale_num = unsigned(std::clamp(int(std::ceil(8 * fit)), 1, 8));
        cinfo->scale_denom = 8;
    }
    if (fast)
        cinfo->do_fancy_upsampling = FALSE;
    cinfo->dct_method = JDCT_FLOAT;
    switch (cinfo->jpeg_color_space)
    {
    case JCS_GRAYSCALE:
        cinfo->out_color_space = JCS_GRAYSCALE;
        break;
    case JCS_CMYK:
    case JCS_YCCK:
        cinfo->out_color_space = JCS_CMYK; // converted to BGR per row
        break;
    default:
        // Blue, green, red, filler: the layout of a 32-bit bitmap pixel.
        cinfo->out_color_space = JCS_EXT_BGRX;
        break;
    }
    jpeg_calc_output_dimensions(cinfo);
    return true;
}

/// Rewrites decoded rows in place into the bitmap's 32-bit layout.
void ConvertRows(uint8_t** lines, JDIMENSION count, JDIMENSION width, RowFormat format)
{
    for (JDIMENSION r = 0; r < count; r++)
    {
        uint8_t* line = lines[r];
        if (format == RowFormat::kGrayTo32)
        {
            // Backwards, so that each gray byte is read before its pixel overwrites it.
            for (JDIMENSION x = width; x-- > 0;)
            {
                const uint8_t g = line[x];
                uint8_t* p = line + 4 * size_t(x);
                p[0] = g;
                p[1] = g;
                p[2] = g;
                p[3] = 0xFF;
            }
        }
        else
        {
            const unsigned flip = format == RowFormat::kCmyk ? 0xFF : 0;
            for (JDIMENSION x = 0; x < width; x++)
            {
                uint8_t* p = line + 4 * size_t(x);
                // v = 255 - ink for every channel; colour = v * vk / 255, rounded.
                const unsigned c = p[0] ^ flip, m = p[1] ^ flip, y = p[2] ^ flip;
                const unsigned k = p[3] ^ flip;
                p[0] = uint8_t((y * k + 127) / 255);
                p[1] = uint8_t((m * k + 127) / 255);
                p[2] = uint8_t((c * k + 127) / 255);
                p[3] = 0xFF;
            }
        }
    }
}

bool ReadRows(JpegState* s, const RowTarget* target, RowFormat format)
{
    if (setjmp(s->err.jump))
        return false;
    j_decompress_ptr cinfo = &s->cinfo;
    jpeg_start_decompress(cinfo);
    // libjpeg delivers rows top-down, as many per call as suit its upsampler.
    uint8_t* rows[kBandRows];
    while (cinfo->output_scanline < cinfo->output_height)
    {
        const JDIMENSION row = cinfo->output_scanline;
        const JDIMENSION want = std::min<JDIMENSION>(kBandRows, cinfo->output_height - row);
        for (JDIMENSION i = 0; i < want; i++)
            rows[i] = target->band ? target->band + i * target->bandStride
                                   : target->rows->DirectLine(int(row + i));
        const JDIMENSION n = jpeg_read_scanlines(cinfo, rows, want);
        if (n == 0)
            break;
        if (format != RowFormat::kDirect)
            ConvertRows(rows, n, cinfo->output_width, format);
        if (target->colour && target->band)
            target->colour->ConvertNow(rows, n);
        else if (target->colour)
            target->colour->Add(rows, n);
        if (target->band)
            for (JDIMENSION i = 0; i < n; i++)
                target->rows->Put(int(row + i), 0, int(cinfo->output_width), rows[i]);
        // Rows still being converted on the converter's thread are not done.
        if (target->rowsDone && !(target->colour && !target->band))
            (*target->rowsDone)(int(cinfo->output_scanline));
    }
    jpeg_finish_decompress(cinfo);
    return true;
}

/// Aborts the decompression unless it finished, leaving the context reusable.
struct AbortGuard
{
    JpegState* s;
    bool finished = false;
    ~AbortGuard() { Abort(); }
    void Abort()
    {
        if (!finished)
            jpeg_abort_decompress(&s->cinfo);
        finished = true;
    }
};
} // namespace

struct CJPEGDecoder::Context
{
    JpegState state{};
};

CJPEGDecoder::CJPEGDecoder() : m_pContext(std::make_unique<Context>())
{
    JpegState* s = &m_pContext->state;
    s->cinfo.err = jpeg_std_error(&s->err.pub);
    s->err.pub.error_exit = OnErrorExit;
    // A failure here is reported by the first decode, which tries again.
    CreateDecompressor(s);
}

CJPEGDecoder::~CJPEGDecoder()
{
    if (m_pContext->state.created)
        jpeg_destroy_decompress(&m_pContext->state.cinfo);
}

void CJPEGDecoder::DecodeImage(CBmp& bmp, std::unique_ptr<PaletteEntry[]>&, int& depth,
                               CDataSource& source)
{
    JpegState* s = &m_pContext->state;
    if (!s->created && !CreateDecompressor(s))
        RaiseError(6, std::string(s->err.message) + "\n");

    // The data runs from the current position to the end: the whole file, or
    // the rest of a picture that embeds JPEG data.
    s->src.next_input_byte = source.GetBufferPtr();
    s->src.bytes_in_buffer = source.GetRemaining();
    s->src.init_source = InitSource;
    s->src.fill_input_buffer = FillInputBuffer;
    s->src.skip_input_data = SkipInputData;
    s->src.resync_to_restart = jpeg_resync_to_restart;
    s->src.term_source = TermSource;
    s->cinfo.src = &s->src;
    s->progress.progress_monitor = OnProgress;
    s->cinfo.progress = &s->progress;
    // Without backing store, libjpeg fails cleanly beyond this instead of
    // allocating coefficient buffers larger than any bitmap we would create.
    s->cinfo.mem->max_memory_to_use = long(CBmp::GetMaxPixelBytes());
    s->orient = GetApplyOrientation();
    s->maxWidth = m_nMaxWidth;
    s->maxHeight = m_nMaxHeight;

    AbortGuard guard{s};
    m_nFullWidth = m_nFullHeight = 0;
    if (!ReadHeader(s, m_bFast))
    {
        guard.Abort();
        RaiseError(6, std::string(s->err.message) + "\n");
    }
    const j_decompress_ptr cinfo = &s->cinfo;
    const int fullW = int(cinfo->image_width), fullH = int(cinfo->image_height);
    m_nFullWidth = COrientedRows::UprightWidth(fullW, fullH, s->orientation);
    m_nFullHeight = COrientedRows::UprightHeight(fullW, fullH, s->orientation);
    TraceF(2, "JPEG header: %u x %u, %d components, colour space %d.\n",
           unsigned(cinfo->output_width), unsigned(cinfo->output_height), cinfo->num_components,
           int(cinfo->jpeg_color_space));

    // The saved markers go with the decompression; the profile is copied out first.
    JOCTET* icc = nullptr;
    unsigned iccSize = 0;
    if (CColourManager::IsEnabled() && !jpeg_read_icc_profile(cinfo, &icc, &iccSize))
        icc = nullptr;
    const std::unique_ptr<JOCTET, decltype(&std::free)> iccCopy(icc, std::free);

    RowFormat format = RowFormat::kDirect;
    if (cinfo->out_color_space == JCS_GRAYSCALE)
    {
        ChooseDepth(8, depth);
        if (depth == 32)
            format = RowFormat::kGrayTo32; // expanded in place within each line
        else
            depth = 8; // the default gray identity palette serves
    }
    else
    {
        depth = 32;
        // Inks with a CMYK profile stay as they are until the profile converts them.
        if (cinfo->out_color_space == JCS_CMYK && !CColourManager::IsCmykProfile(icc, iccSize))
            format = cinfo->saw_Adobe_marker ? RowFormat::kInvertedCmyk : RowFormat::kCmyk;
    }
    // Refuse what the budget can't hold, then what the data can't: every 8 x 8
    // block of every component costs at least one bit of the data after the
    // first scan's header, two in a sequential file (its DC and end-of-block
    // codes). A picture that needs more than there is ended long before its
    // first rows, where a file cut short still shows what it has.
    const int width = int(cinfo->output_width), height = int(cinfo->output_height);
    const int o = s->orientation;
    CBmp::CheckSize(COrientedRows::UprightWidth(width, height, o),
                    COrientedRows::UprightHeight(width, height, o), depth);
    double blocks = 0;
    for (int c = 0; c < cinfo->num_components; c++)
        blocks +=
            double(cinfo->comp_info[c].width_in_blocks) * cinfo->comp_info[c].height_in_blocks;
    if (blocks * (cinfo->progressive_mode ? 1 : 2) > 8 * double(s->src.bytes_in_buffer))
    {
        guard.Abort();
        CDataSource::ThrowEndOfFile();
    }
    bmp.Create(COrientedRows::UprightWidth(width, height, o),
               COrientedRows::UprightHeight(width, height, o), depth, false);
    // libjpeg's own memory has what the bitmap leaves of the budget (0 would
    // mean no limit at all to it).
    const size_t limit = CBmp::GetMaxPixelBytes();
    s->cinfo.mem->max_memory_to_use =
        long(std::max<size_t>(1, limit - std::min(limit, bmp.GetStorageBytes())));
    COrientedRows rows(bmp, width, height, o);
    std::unique_ptr<uint8_t[]> band;
    const size_t stride = 4 * size_t(width);
    if (!rows.DirectLine(0))
        band = AllocateBuffer(bmp, kBandRows * stride, "Out of memory allocating JPEG rows.");
    // RGB pictures convert by their profile while the rows after decode.
    std::unique_ptr<CRowConverter> colour;
    if (icc && depth == 32 && cinfo->out_color_space != JCS_CMYK)
        if (auto transform = CColourManager::ProfileTransform(icc, iccSize))
        {
            Trace(2, "Converting the colour profile to sRGB.\n");
            colour = std::make_unique<CRowConverter>(std::move(transform), size_t(width));
        }
    const RowTarget target{&rows, band.get(), stride, colour.get(),
                           m_rowsDone ? &m_rowsDone : nullptr};

    if (!ReadRows(s, &target, format))
    {
        guard.Abort();
        RaiseError(6, std::string(s->err.message) + "\n");
    }
    guard.finished = true;
    if (colour)
        colour->Finish();
    else if (cinfo->out_color_space == JCS_CMYK && CColourManager::IsCmykProfile(icc, iccSize))
        CColourManager::CmykToSrgb(bmp, icc, iccSize, cinfo->saw_Adobe_marker);
    else if (icc)
        CColourManager::ProfileToSrgb(bmp, icc, iccSize);
    Trace(3, "Decoding finished.\n");
}
