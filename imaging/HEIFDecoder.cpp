#include "HEIFDecoder.h"

#include "Bmp.h"
#include "ColourManager.h"
#include "DataSource.h"

#include <libheif/heif.h>

#include <algorithm>
#include <memory>
#include <vector>

namespace
{
/// The longest side of any image in a file libheif may decode.
constexpr int kMaxSide = 16384;

struct ContextFree
{
    void operator()(heif_context* p) const { heif_context_free(p); }
};
struct HandleFree
{
    void operator()(heif_image_handle* p) const { heif_image_handle_release(p); }
};
struct ImageFree
{
    void operator()(heif_image* p) const { heif_image_release(p); }
};
struct NclxFree
{
    void operator()(heif_color_profile_nclx* p) const { heif_nclx_color_profile_free(p); }
};
struct OptionsFree
{
    void operator()(heif_decoding_options* p) const { heif_decoding_options_free(p); }
};

/// Raises libheif's error: the end of the data as code 11, memory and
/// security limits as 10, a failed codec as 6, a damaged file as 1.
void Check(const heif_error& error)
{
    if (error.code == heif_error_Ok)
        return;
    if (error.subcode == heif_suberror_End_of_data)
        CDataSource::ThrowEndOfFile();
    const int code = error.code == heif_error_Memory_allocation_error ||
                             error.subcode == heif_suberror_Security_limit_exceeded
                         ? 10
                     : error.code == heif_error_Decoder_plugin_error ? 6
                     : error.code == heif_error_Unsupported_feature  ? 2
                                                                      : 1;
    CPicDecoder::RaiseError(code, std::string("Decoding heif: ") +
                                      (error.message ? error.message : "unknown error"));
}

/// libheif keeps the decoded planes (up to 16 bits a sample) and their
/// conversion to interleaved RGBA beside the bitmap: about 8 bytes a pixel.
constexpr size_t kWorkingBytesPerPixel = 8;
} // namespace

void CHEIFDecoder::DecodeImage(CBmp& bmp, std::unique_ptr<PaletteEntry[]>&, int& depth,
                               CDataSource& source)
{
    std::unique_ptr<heif_context, ContextFree> context(heif_context_alloc());
    if (!context)
        RaiseError(10, "Decoding heif: Out of memory.");
    // libheif sizes every image of the file (a grid's tiles, an alpha or depth
    // image) by what the file declares, and clears that much before it
    // decodes. Its own limit of 32768 a side lets a file of a few hundred bytes
    // clear gigabytes for an auxiliary image; no camera or phone writes sides
    // beyond 16384.
    heif_context_set_maximum_image_size_limit(context.get(), kMaxSide);
    // The data stays mapped for the whole decode, so libheif needs no copy.
    Check(heif_context_read_from_memory_without_copy(context.get(), source.GetBufferPtr(),
                                                     source.GetRemaining(), nullptr));
    heif_image_handle* rawHandle = nullptr;
    Check(heif_context_get_primary_image_handle(context.get(), &rawHandle));
    std::unique_ptr<heif_image_handle, HandleFree> handle(rawHandle);

    const int width = heif_image_handle_get_width(handle.get());
    const int height = heif_image_handle_get_height(handle.get());
    const bool alpha = heif_image_handle_has_alpha_channel(handle.get()) != 0;
    TraceF(2, "HEIF primary image %d x %d, %d bits%s.\n", width, height,
           heif_image_handle_get_luma_bits_per_pixel(handle.get()), alpha ? ", alpha" : "");
    // Refuse what the budget can't hold before libheif decodes a pixel.
    const size_t storage = CBmp::CheckSize(width, height, 32);
    CheckBudget(storage, size_t(width) * size_t(height) * kWorkingBytesPerPixel,
                "Decoding heif: Image too large to load.");

    std::unique_ptr<heif_decoding_options, OptionsFree> options(heif_decoding_options_alloc());
    if (!options)
        RaiseError(10, "Decoding heif: Out of memory.");
    options->ignore_transformations = GetApplyOrientation() ? 0 : 1;
    options->convert_hdr_to_8bit = 1;
    heif_image* rawImage = nullptr;
    // Owned before the error is looked at: a failed decode may still hand one back.
    const heif_error decoded = heif_decode_image(handle.get(), &rawImage, heif_colorspace_RGB,
                                                 heif_chroma_interleaved_RGBA, options.get());
    std::unique_ptr<heif_image, ImageFree> image(rawImage);
    Check(decoded);

    int stride = 0;
    const uint8_t* plane =
        heif_image_get_plane_readonly(image.get(), heif_channel_interleaved, &stride);
    const int w = heif_image_get_width(image.get(), heif_channel_interleaved);
    const int h = heif_image_get_height(image.get(), heif_channel_interleaved);
    if (!plane || heif_image_get_bits_per_pixel_range(image.get(), heif_channel_interleaved) != 8)
        RaiseError(2, "Decoding heif: The decoded image has no 8-bit RGBA plane.");
    depth = 32;
    bmp.Create(w, h, 32, alpha);
    const bool premultiplied = heif_image_is_premultiplied_alpha(image.get()) != 0;
    uint8_t** lines = bmp.GetLineArray();
    for (int y = 0; y < h; y++)
    {
        const uint8_t* src = plane + size_t(y) * size_t(stride);
        uint8_t* dst = lines[y];
        for (int x = 0; x < w; x++, src += 4, dst += 4)
        {
            const uint8_t a = alpha ? src[3] : 0xFF;
            if (premultiplied && a != 0 && a != 0xFF)
            {
                dst[0] = uint8_t(std::min(255, (src[2] * 255 + a / 2) / a));
                dst[1] = uint8_t(std::min(255, (src[1] * 255 + a / 2) / a));
                dst[2] = uint8_t(std::min(255, (src[0] * 255 + a / 2) / a));
            }
            else
            {
                dst[0] = src[2];
                dst[1] = src[1];
                dst[2] = src[0];
            }
            dst[3] = a;
        }
    }
    // An embedded ICC profile, or else the nclx description of the colours
    // (the primaries and the transfer curve; libheif has applied its matrix).
    const heif_color_profile_type profile = heif_image_handle_get_color_profile_type(handle.get());
    if (CColourManager::IsEnabled() &&
        (profile == heif_color_profile_type_prof || profile == heif_color_profile_type_rICC))
    {
        std::vector<uint8_t> icc(heif_image_handle_get_raw_color_profile_size(handle.get()));
        if (!icc.empty() && icc.size() <= source.GetRemaining() &&
            heif_image_handle_get_raw_color_profile(handle.get(), icc.data()).code == heif_error_Ok)
            CColourManager::ProfileToSrgb(bmp, icc.data(), icc.size());
    }
    else if (CColourManager::IsEnabled())
    {
        // libheif can hand back a profile with an error too: it is freed either way.
        heif_color_profile_nclx* rawNclx = nullptr;
        const heif_error got = heif_image_handle_get_nclx_color_profile(handle.get(), &rawNclx);
        std::unique_ptr<heif_color_profile_nclx, NclxFree> nclx(rawNclx);
        if (got.code == heif_error_Ok && nclx)
            CColourManager::NclxToSrgb(bmp, int(nclx->color_primaries),
                                       int(nclx->transfer_characteristics));
    }
    Trace(3, "Decoding finished.\n");
}
