#include "GIFAnimation.h"

#include "PicDecoder.h"

#include <gif_lib.h>

#include <algorithm>
#include <cstring>

namespace
{
/// LZW codes have at least 3 bits and stand for at most 4096 pixels.
constexpr double kMaxPixelsPerByte = 8.0 / 3 * 4096;
} // namespace

CGIFAnimation::CGIFAnimation(CDataSource& source)
    : CAnimation(source), m_pData(source.GetBufferPtr()), m_Size(source.GetRemaining())
{
    m_pReader = std::make_unique<CGifReader>(m_pData, m_Size);
    // The first frame fixes the canvas as it does for the still picture.
    CGifReader probe(m_pData, m_Size);
    CGifReader::FrameControl control;
    int loops = -1;
    if (!probe.NextImage(control, &loops))
        CPicDecoder::RaiseError(2, "Decoding gif: The file holds no image.");
    const GifFileType* gif = probe.Get();
    const GifImageDesc& frame = gif->Image;
    const int width = std::max(gif->SWidth, frame.Left + frame.Width);
    const int height = std::max(gif->SHeight, frame.Top + frame.Height);
    const size_t storage = CBmp::CheckSize(width, height, 32);
    CPicDecoder::CheckBudget(storage, storage, "Decoding gif: Image too large to load.");
    // The NETSCAPE2.0 count says how often the animation repeats after it
    // first played (0 for ever); without one it plays once.
    m_nLoopCount = loops < 0 ? 1 : loops == 0 ? 0 : loops + 1;
    m_Canvas.Create(width, height, 32, true);
}

CGIFAnimation::~CGIFAnimation() = default;

void CGIFAnimation::RestartFrames()
{
    m_pReader = std::make_unique<CGifReader>(m_pData, m_Size);
    m_nPendingDisposal = 0;
}

void CGIFAnimation::Dispose()
{
    uint8_t** lines = m_Canvas.GetLineArray();
    const size_t offset = 4 * size_t(m_Last.left);
    const size_t bytes = 4 * size_t(m_Last.right - m_Last.left);
    if (m_nPendingDisposal == 2)
        for (int y = m_Last.top; y < m_Last.bottom; y++)
            std::memset(lines[y] + offset, 0, bytes);
    else if (m_nPendingDisposal == 3)
        for (int y = m_Last.top; y < m_Last.bottom; y++)
            std::memcpy(lines[y] + offset, m_Saved.GetLineArray()[y - m_Last.top], bytes);
    m_nPendingDisposal = 0;
}

bool CGIFAnimation::ComposeNext(int& delayMs)
{
    CGifReader::FrameControl control;
    if (!m_pReader->NextImage(control))
        return false;
    Dispose();
    const GifImageDesc& frame = m_pReader->Get()->Image;
    if (frame.Width <= 0 || frame.Height <= 0 || frame.Left < 0 || frame.Top < 0)
        CPicDecoder::RaiseError(2, CPicDecoder::Format("Decoding gif: Illegal frame size %d x %d.",
                                                       frame.Width, frame.Height));
    if (double(frame.Width) * frame.Height >
        double(m_pReader->GetRemaining()) * kMaxPixelsPerByte)
        CDataSource::ThrowEndOfFile();
    const int width = m_Canvas.GetWidth(), height = m_Canvas.GetHeight();
    m_Last = {std::min(frame.Left, width), std::min(frame.Top, height),
              std::min(frame.Left + frame.Width, width), std::min(frame.Top + frame.Height, height)};
    MarkDrawn(m_Last.left, m_Last.top, m_Last.right, m_Last.bottom);
    uint8_t** lines = m_Canvas.GetLineArray();
    if (control.disposal == 3 && m_Last.right > m_Last.left && m_Last.bottom > m_Last.top)
    {
        m_Saved.Create(m_Last.right - m_Last.left, m_Last.bottom - m_Last.top, 32, true);
        for (int y = m_Last.top; y < m_Last.bottom; y++)
            std::memcpy(m_Saved.GetLineArray()[y - m_Last.top], lines[y] + 4 * size_t(m_Last.left),
                        4 * size_t(m_Last.right - m_Last.left));
    }

    PaletteEntry pal[256];
    m_pReader->GetPalette(pal, control.transparent);
    const auto line = CPicDecoder::AllocateBuffer(m_Canvas, size_t(frame.Width),
                                                  "Out of memory allocating GIF row.");
    static const int kStart[4] = {0, 4, 2, 1}, kStep[4] = {8, 8, 4, 2};
    const int passes = frame.Interlace ? 4 : 1;
    for (int pass = 0; pass < passes; pass++)
        for (int y = frame.Interlace ? kStart[pass] : 0; y < frame.Height;
             y += frame.Interlace ? kStep[pass] : 1)
        {
            m_pReader->ReadLine(line.get(), frame.Width);
            if (frame.Top + y >= height)
                continue;
            auto* px = reinterpret_cast<PaletteEntry*>(lines[frame.Top + y]);
            for (int x = m_Last.left; x < m_Last.right; x++)
            {
                const PaletteEntry& c = pal[line[size_t(x - frame.Left)]];
                if (c.a != 0)
                    px[x] = c;
            }
        }
    m_nPendingDisposal = control.disposal;
    delayMs = control.delayMs;
    return true;
}
