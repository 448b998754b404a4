#include "JPEGDecoder.h"

#include "Bmp.h"
#include "DataSource.h"

#include <csetjmp>
#include <cstdio>
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
};

/// How decoded rows become bitmap rows.
enum class RowFormat
{
    kDirect, // BGRX or 8-bit gray, already the bitmap's layout
    kGrayTo32,
    kCmyk,
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
    jpeg_read_header(cinfo, TRUE);
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

bool ReadRows(JpegState* s, uint8_t** lines, RowFormat format)
{
    if (setjmp(s->err.jump))
        return false;
    j_decompress_ptr cinfo = &s->cinfo;
    jpeg_start_decompress(cinfo);
    // The line array is top-down, as libjpeg delivers rows; it fills as many
    // rows per call as suits its upsampler.
    while (cinfo->output_scanline < cinfo->output_height)
    {
        const JDIMENSION row = cinfo->output_scanline;
        const JDIMENSION n =
            jpeg_read_scanlines(cinfo, lines + row, cinfo->output_height - row);
        if (n == 0)
            break;
        if (format != RowFormat::kDirect)
            ConvertRows(lines + row, n, cinfo->output_width, format);
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

    AbortGuard guard{s};
    if (!ReadHeader(s, m_bFast))
    {
        guard.Abort();
        RaiseError(6, std::string(s->err.message) + "\n");
    }
    const j_decompress_ptr cinfo = &s->cinfo;
    TraceF(2, "JPEG header: %u x %u, %d components, colour space %d.\n",
           unsigned(cinfo->output_width), unsigned(cinfo->output_height),
           cinfo->num_components, int(cinfo->jpeg_color_space));

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
        if (cinfo->out_color_space == JCS_CMYK)
            format = cinfo->saw_Adobe_marker ? RowFormat::kInvertedCmyk : RowFormat::kCmyk;
    }
    // The bitmap checks the size before libjpeg allocates anything for the rows.
    bmp.Create(int(cinfo->output_width), int(cinfo->output_height), depth, false);

    if (!ReadRows(s, bmp.GetLineArray(), format))
    {
        guard.Abort();
        RaiseError(6, std::string(s->err.message) + "\n");
    }
    guard.finished = true;
    Trace(3, "Decoding finished.\n");
}
