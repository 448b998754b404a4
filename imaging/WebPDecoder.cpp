#include "WebPDecoder.h"

#include "Bmp.h"
#include "ColourManager.h"
#include "DataSource.h"
#include "WebPAnimation.h"

#include <webp/decode.h>
#include <webp/demux.h>

#include <cstring>

void CWebPDecoder::RaiseStatus(int status)
{
    switch (status)
    {
    case VP8_STATUS_NOT_ENOUGH_DATA:
        CDataSource::ThrowEndOfFile();
    case VP8_STATUS_OUT_OF_MEMORY:
        RaiseError(10, "Decoding webp: Out of memory.");
    case VP8_STATUS_BITSTREAM_ERROR:
        RaiseError(1, "Decoding webp: The bitstream is damaged.");
    case VP8_STATUS_UNSUPPORTED_FEATURE:
        RaiseError(2, "Decoding webp: Unsupported feature.");
    default:
        RaiseError(2, Format("Decoding webp: Error %d.", status));
    }
}

std::vector<uint8_t> CWebPDecoder::ColourProfile(const uint8_t* data, size_t size)
{
    std::vector<uint8_t> icc;
    const WebPData webp{data, size};
    WebPDemuxer* demux = CColourManager::IsEnabled() ? WebPDemux(&webp) : nullptr;
    if (!demux)
        return icc;
    WebPChunkIterator chunk;
    if ((WebPDemuxGetI(demux, WEBP_FF_FORMAT_FLAGS) & ICCP_FLAG) &&
        WebPDemuxGetChunk(demux, "ICCP", 1, &chunk))
    {
        icc.assign(chunk.chunk.bytes, chunk.chunk.bytes + chunk.chunk.size);
        WebPDemuxReleaseChunkIterator(&chunk);
    }
    WebPDemuxDelete(demux);
    return icc;
}

void CWebPDecoder::DecodeImage(CBmp& bmp, std::unique_ptr<PaletteEntry[]>&, int& depth,
                               CDataSource& source)
{
    const uint8_t* data = source.GetBufferPtr();
    const size_t size = source.GetRemaining();
    WebPBitstreamFeatures features;
    const VP8StatusCode status = WebPGetFeatures(data, size, &features);
    if (status != VP8_STATUS_OK)
        RaiseStatus(status);
    TraceF(2, "WebP %d x %d, %s%s%s.\n", features.width, features.height,
           features.format == 2 ? "lossless" : "lossy", features.has_alpha ? ", alpha" : "",
           features.has_animation ? ", animated" : "");
    depth = 32;
    if (features.has_animation)
    {
        CWebPAnimation animation(source);
        if (!animation.NextFrame())
            RaiseError(2, "Decoding webp: The animation holds no frame.");
        bmp.ConvertFrom(animation.GetCanvas());
        return;
    }

    const size_t storage = CBmp::CheckSize(features.width, features.height, 32);
    // Lossless pictures decode through a full-size buffer of libwebp's own.
    if (features.format == 2)
        CheckBudget(storage, storage, "Decoding webp: Image too large to load.");
    bmp.Create(features.width, features.height, 32, features.has_alpha != 0);

    WebPDecoderConfig config;
    if (!WebPInitDecoderConfig(&config))
        RaiseError(2, "Decoding webp: Wrong libwebp version.");
    // libwebp writes the rows bottom-up, as the bitmap stores them.
    config.options.flip = 1;
    config.output.colorspace = MODE_BGRA;
    config.output.is_external_memory = 1;
    config.output.u.RGBA.rgba = bmp.GetBits();
    config.output.u.RGBA.stride = bmp.GetLineSize();
    config.output.u.RGBA.size = size_t(bmp.GetLineSize()) * size_t(bmp.GetHeight());
    const VP8StatusCode decoded = WebPDecode(data, size, &config);
    WebPFreeDecBuffer(&config.output);
    if (decoded != VP8_STATUS_OK)
        RaiseStatus(decoded);
    const std::vector<uint8_t> icc = ColourProfile(data, size);
    CColourManager::ProfileToSrgb(bmp, icc.data(), icc.size());
    Trace(3, "Decoding finished.\n");
}
