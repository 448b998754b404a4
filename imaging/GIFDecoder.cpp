#include "GIFDecoder.h"

#include "Bmp.h"
#include "DataSource.h"

#include "GifReader.h"

#include <gif_lib.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <string>

namespace
{
/// LZW codes have at least 3 bits and stand for at most 4096 pixels.
constexpr double kMaxPixelsPerByte = 8.0 / 3 * 4096;
} // namespace

void CGIFDecoder::DecodeImage(CBmp& bmp, std::unique_ptr<PaletteEntry[]>& pal, int& depth,
                              CDataSource& source)
{
    Trace(2, "Decoding GIF.\n");
    CGifReader reader(source.GetBufferPtr(), source.GetRemaining());
    GifFileType* gif = reader.Get();
    // Extensions up to the first image: its graphics control block says
    // which colour is transparent.
    CGifReader::FrameControl control;
    if (!reader.NextImage(control))
        RaiseError(2, "Decoding gif: The file holds no image.");
    const int transparent = control.transparent;
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

    pal.reset(new (std::nothrow) PaletteEntry[256]);
    if (!pal)
        RaiseError(10, "Out of memory for palette.");
    reader.GetPalette(pal.get(), transparent);
    const bool keyed = transparent >= 0 && transparent < 256;
    const bool alpha = keyed || !covers;

    ChooseDepth(8, depth);
    if (depth != 8 || alpha)
        depth = 32;
    // Refuse what the budget can't hold, then a frame the data can't code.
    CBmp::CheckSize(width, height, depth);
    if (double(frame.Width) * frame.Height > double(reader.GetRemaining()) * kMaxPixelsPerByte)
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
            reader.ReadLine(line.get(), frame.Width);
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
