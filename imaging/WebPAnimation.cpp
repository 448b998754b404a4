#include "WebPAnimation.h"

#include "ColourManager.h"
#include "PicDecoder.h"
#include "WebPDecoder.h"

#include <webp/decode.h>
#include <webp/demux.h>

#include <cstdint>
#include <cstring>

namespace
{
constexpr int kMaxSide = 16384;
constexpr int64_t kMaxPixels = int64_t(1) << 26;
} // namespace

CWebPAnimation::CWebPAnimation(CDataSource& source) : CAnimation(source)
{
    WebPBitstreamFeatures features;
    const VP8StatusCode status =
        WebPGetFeatures(source.GetBufferPtr(), source.GetRemaining(), &features);
    if (status != VP8_STATUS_OK)
        CWebPDecoder::RaiseStatus(status);
    if (!features.has_animation)
        CPicDecoder::RaiseError(2, "Decoding webp: The file is not animated.");

    WebPAnimDecoderOptions options;
    if (!WebPAnimDecoderOptionsInit(&options))
        CPicDecoder::RaiseError(2, "Decoding webp: Wrong libwebp version.");
    options.color_mode = MODE_BGRA;
    options.use_threads = 0;
    const WebPData data{source.GetBufferPtr(), source.GetRemaining()};
    // The canvas size is in the header; libwebpdemux checks it against the
    // frames but allocates two canvases of it and copies a whole canvas for
    // every frame, so a few bytes declaring a huge canvas would cost seconds
    // a frame. No frame is wider or higher than 16384, and no animation
    // needs a canvas beyond 64 megapixels.
    if (features.width > kMaxSide || features.height > kMaxSide ||
        int64_t(features.width) * features.height > kMaxPixels)
        CPicDecoder::RaiseError(
            10,
            CPicDecoder::Format("Decoding webp: The animation's canvas of %d x %d is too large.",
                                features.width, features.height));
    const size_t storage = CBmp::CheckSize(features.width, features.height, 32);
    CPicDecoder::CheckBudget(2 * storage, storage, "Decoding webp: Image too large to load.");
    m_pDecoder = WebPAnimDecoderNew(&data, &options);
    if (!m_pDecoder)
        CPicDecoder::RaiseError(1, "Decoding webp: The animation is damaged.");
    WebPAnimInfo info;
    if (!WebPAnimDecoderGetInfo(m_pDecoder, &info))
    {
        WebPAnimDecoderDelete(m_pDecoder);
        CPicDecoder::RaiseError(1, "Decoding webp: The animation is damaged.");
    }
    m_Icc = CWebPDecoder::ColourProfile(source.GetBufferPtr(), source.GetRemaining());
    m_nLoopCount = int(info.loop_count);
    m_nFrameCount = int(info.frame_count);
    try
    {
        m_Canvas.Create(int(info.canvas_width), int(info.canvas_height), 32, true);
    }
    catch (...)
    {
        WebPAnimDecoderDelete(m_pDecoder);
        throw;
    }
}

CWebPAnimation::~CWebPAnimation()
{
    WebPAnimDecoderDelete(m_pDecoder);
}

bool CWebPAnimation::ComposeNext(int& delayMs)
{
    if (!WebPAnimDecoderHasMoreFrames(m_pDecoder))
        return false;
    uint8_t* pixels = nullptr;
    int timestamp = 0;
    if (!WebPAnimDecoderGetNext(m_pDecoder, &pixels, &timestamp))
        CPicDecoder::RaiseError(1, "Decoding webp: A frame of the animation is damaged.");
    // The timestamp is the frame's end, counted from the start.
    delayMs = timestamp - m_nLastTimestamp;
    m_nLastTimestamp = timestamp;
    MarkAllDrawn();
    const size_t rowBytes = 4 * size_t(m_Canvas.GetWidth());
    uint8_t** lines = m_Canvas.GetLineArray();
    for (int y = 0; y < m_Canvas.GetHeight(); y++)
        std::memcpy(lines[y], pixels + size_t(y) * rowBytes, rowBytes);
    CColourManager::ProfileToSrgb(m_Canvas, m_Icc.data(), m_Icc.size());
    return true;
}

void CWebPAnimation::RestartFrames()
{
    WebPAnimDecoderReset(m_pDecoder);
    m_nLastTimestamp = 0;
}
