#include "GIFDecoder.h"

#include "Bmp.h"
#include "DataSource.h"

#include <gif_lib.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <string>

namespace
{
/// What giflib's read function reads from. It never throws through giflib's
/// frames: running off the data is recorded and reported once giflib returns.
struct GifJob
{
    CDataSource* source = nullptr;
    bool ranOff = false;
};

int OnRead(GifFileType* gif, GifByteType* buffer, int n)
{
    auto* job = static_cast<GifJob*>(gif->UserData);
    const size_t count = std::min(size_t(std::max(n, 0)), job->source->GetRemaining());
    if (count < size_t(n))
        job->ranOff = true;
    if (count > 0)
        std::memcpy(buffer, job->source->ReadBytes(count), count);
    return int(count);
}

struct GifCloser
{
    GifFileType* gif;
    ~GifCloser()
    {
        int error = 0;
        DGifCloseFile(gif, &error);
    }
};

/// Raises giflib's error: the end of the data as code 11, memory as 10.
[[noreturn]] void RaiseGifError(const GifJob& job, int error)
{
    if (job.ranOff || error == D_GIF_ERR_EOF_TOO_SOON)
        CDataSource::ThrowEndOfFile();
    const char* text = GifErrorString(error);
    const int code = error == D_GIF_ERR_NOT_GIF_FILE     ? 1
                     : error == D_GIF_ERR_NOT_ENOUGH_MEM ? 10
                                                         : 2;
    CPicDecoder::RaiseError(code, std::string("Decoding gif: ") + (text ? text : "unknown error"));
}

/// LZW codes have at least 3 bits and stand for at most 4096 pixels.
constexpr double kMaxPixelsPerByte = 8.0 / 3 * 4096;
} // namespace

void CGIFDecoder::DecodeImage(CBmp& bmp, std::unique_ptr<PaletteEntry[]>& pal, int& depth,
                              CDataSource& source)
{
    Trace(2, "Decoding GIF.\n");
    GifJob job;
    job.source = &source;
    int error = 0;
    GifFileType* gif = DGifOpen(&job, OnRead, &error);
    if (!gif)
        RaiseGifError(job, error);
    GifCloser closer{gif};

    // Extensions up to the first image: its graphics control block says
    // which colour is transparent.
    int transparent = NO_TRANSPARENT_COLOR;
    for (;;)
    {
        GifRecordType type = UNDEFINED_RECORD_TYPE;
        if (DGifGetRecordType(gif, &type) == GIF_ERROR)
            RaiseGifError(job, gif->Error);
        if (type == IMAGE_DESC_RECORD_TYPE)
            break;
        if (type == TERMINATE_RECORD_TYPE)
            RaiseError(2, "Decoding gif: The file holds no image.");
        if (type != EXTENSION_RECORD_TYPE)
            continue;
        int code = 0;
        GifByteType* block = nullptr;
        if (DGifGetExtension(gif, &code, &block) == GIF_ERROR)
            RaiseGifError(job, gif->Error);
        if (code == GRAPHICS_EXT_FUNC_CODE && block && block[0] >= 4)
        {
            GraphicsControlBlock gcb;
            if (DGifExtensionToGCB(block[0], block + 1, &gcb) == GIF_OK)
                transparent = gcb.TransparentColor;
        }
        while (block)
            if (DGifGetExtensionNext(gif, &block) == GIF_ERROR)
                RaiseGifError(job, gif->Error);
    }
    if (DGifGetImageDesc(gif) == GIF_ERROR)
        RaiseGifError(job, gif->Error);

    const GifImageDesc& frame = gif->Image;
    TraceF(2, "GIF screen %d x %d, first frame %d x %d at %d, %d.\n", gif->SWidth, gif->SHeight,
           frame.Width, frame.Height, frame.Left, frame.Top);
    if (frame.Width <= 0 || frame.Height <= 0 || frame.Left < 0 || frame.Top < 0)
        RaiseError(2,
                   Format("Decoding gif: Illegal frame size %d x %d.", frame.Width, frame.Height));
    // The screen grows to hold a frame that reaches beyond it.
    const int width = std::max(gif->SWidth, frame.Left + frame.Width);
    const int height = std::max(gif->SHeight, frame.Top + frame.Height);
    const bool covers =
        frame.Left == 0 && frame.Top == 0 && frame.Width == width && frame.Height == height;

    // Colours beyond the map, and all of them without one, are opaque black.
    const ColorMapObject* map = frame.ColorMap ? frame.ColorMap : gif->SColorMap;
    pal.reset(new (std::nothrow) PaletteEntry[256]);
    if (!pal)
        RaiseError(10, "Out of memory for palette.");
    std::fill_n(pal.get(), 256, PaletteEntry{0, 0, 0, 255});
    const int colours = map && map->Colors ? std::min(map->ColorCount, 256) : 0;
    for (int i = 0; i < colours; i++)
        pal[i] = PaletteEntry{map->Colors[i].Blue, map->Colors[i].Green, map->Colors[i].Red, 255};
    const bool keyed = transparent >= 0 && transparent < 256;
    if (keyed)
        pal[size_t(transparent)].a = 0;
    const bool alpha = keyed || !covers;

    ChooseDepth(8, depth);
    if (depth != 8 || alpha)
        depth = 32;
    // Refuse what the budget can't hold, then a frame the data can't code.
    CBmp::CheckSize(width, height, depth);
    if (double(frame.Width) * frame.Height > double(source.GetRemaining()) * kMaxPixelsPerByte)
        CDataSource::ThrowEndOfFile();
    bmp.Create(width, height, depth, alpha);
    if (depth == 8)
        bmp.SetPalette(pal.get());

    // Rows in their stored order: interlaced frames in four passes.
    const auto line = AllocateBuffer(bmp, size_t(frame.Width), "Out of memory allocating GIF row.");
    static const int kStart[4] = {0, 4, 2, 1}, kStep[4] = {8, 8, 4, 2};
    const int passes = frame.Interlace ? 4 : 1;
    uint8_t** lines = bmp.GetLineArray();
    for (int pass = 0; pass < passes; pass++)
        for (int y = frame.Interlace ? kStart[pass] : 0; y < frame.Height;
             y += frame.Interlace ? kStep[pass] : 1)
        {
            if (DGifGetLine(gif, line.get(), frame.Width) == GIF_ERROR)
                RaiseGifError(job, gif->Error);
            uint8_t* dst = lines[frame.Top + y];
            if (depth == 8)
                std::memcpy(dst + frame.Left, line.get(), size_t(frame.Width));
            else
            {
                auto* px = reinterpret_cast<PaletteEntry*>(dst) + frame.Left;
                for (int x = 0; x < frame.Width; x++)
                    px[x] = pal[line[size_t(x)]];
            }
        }
    Trace(3, "Decoding finished.\n");
}
