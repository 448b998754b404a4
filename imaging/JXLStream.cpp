#include "JXLStream.h"

#include "Bmp.h"
#include "ColourManager.h"
#include "DataSource.h"
#include "PicDecoder.h"

#include <jxl/decode.h>

#include <cmath>
#include <cstdlib>
#include <cstring>

namespace
{
/// Each block carries its size in front, so that the free function can
/// give it back to the budget.
constexpr size_t kHeader = 16;

void* BudgetAlloc(void* opaque, size_t size)
{
    auto* budget = static_cast<CJXLStream::Budget*>(opaque);
    size_t used = budget->used.load();
    do
    {
        if (size > budget->limit - std::min(budget->limit, used) || size > SIZE_MAX - kHeader)
        {
            budget->refused = true;
            return nullptr;
        }
    } while (!budget->used.compare_exchange_weak(used, used + size));
    auto* block = static_cast<uint8_t*>(std::malloc(size + kHeader));
    if (!block)
    {
        budget->used -= size;
        budget->refused = true;
        return nullptr;
    }
    std::memcpy(block, &size, sizeof size);
    return block + kHeader;
}

void BudgetFree(void* opaque, void* address)
{
    if (!address)
        return;
    auto* block = static_cast<uint8_t*>(address) - kHeader;
    size_t size = 0;
    std::memcpy(&size, block, sizeof size);
    static_cast<CJXLStream::Budget*>(opaque)->used -= size;
    std::free(block);
}

/// libjxl keeps the picture in floating-point planes while it decodes:
/// three colour channels and alpha of 4 bytes a pixel.
constexpr size_t kWorkingBytesPerPixel = 16;

struct OutJob
{
    uint8_t** lines;
};

/// Rows arrive as RGBA; the bitmap takes BGRA.
void OnPixels(void* opaque, size_t x, size_t y, size_t n, const void* pixels)
{
    const auto* src = static_cast<const uint8_t*>(pixels);
    uint8_t* dst = static_cast<OutJob*>(opaque)->lines[y] + 4 * x;
    for (size_t i = 0; i < n; i++, src += 4, dst += 4)
    {
        dst[0] = src[2];
        dst[1] = src[1];
        dst[2] = src[0];
        dst[3] = src[3];
    }
}

constexpr JxlPixelFormat kFormat{4, JXL_TYPE_UINT8, JXL_NATIVE_ENDIAN, 0};
} // namespace

CJXLStream::CJXLStream(const uint8_t* data, size_t size, bool applyOrientation)
    : m_pData(data), m_Size(size)
{
    m_Budget.limit = CBmp::GetMaxPixelBytes();
    const JxlMemoryManager manager{&m_Budget, BudgetAlloc, BudgetFree};
    m_pDecoder = JxlDecoderCreate(&manager);
    if (!m_pDecoder)
        CPicDecoder::RaiseError(10, "Decoding jxl: Out of memory.");
    try
    {
        if (JxlDecoderSetKeepOrientation(m_pDecoder, applyOrientation ? JXL_FALSE : JXL_TRUE) !=
                JXL_DEC_SUCCESS ||
            JxlDecoderSetUnpremultiplyAlpha(m_pDecoder, JXL_TRUE) != JXL_DEC_SUCCESS)
            RaiseDecoderError();
        Start();
        for (;;)
        {
            const JxlDecoderStatus status = JxlDecoderProcessInput(m_pDecoder);
            if (status == JXL_DEC_NEED_MORE_INPUT)
                CDataSource::ThrowEndOfFile();
            if (status != JXL_DEC_BASIC_INFO)
                RaiseDecoderError();
            break;
        }
        JxlBasicInfo info;
        if (JxlDecoderGetBasicInfo(m_pDecoder, &info) != JXL_DEC_SUCCESS)
            RaiseDecoderError();
        const bool swap = applyOrientation && info.orientation >= JXL_ORIENT_TRANSPOSE;
        // Level 5 of the format, which every decoder must support: at most
        // 2^18 a side and 2^28 pixels. Beyond it a few bytes can declare a
        // picture whose rows alone take seconds to set up.
        if (info.xsize > (1u << 18) || info.ysize > (1u << 18) ||
            uint64_t(info.xsize) * info.ysize > (uint64_t(1) << 28))
            CPicDecoder::RaiseError(10, "Decoding jxl: Image too large to load.");
        m_nWidth = int(swap ? info.ysize : info.xsize);
        m_nHeight = int(swap ? info.xsize : info.ysize);
        m_bAlpha = info.alpha_bits > 0;
        m_bAnimated = info.have_animation != 0;
        m_nLoops = m_bAnimated ? int(std::min<uint32_t>(info.animation.num_loops, INT32_MAX)) : 0;
        if (m_bAnimated && info.animation.tps_numerator > 0)
            m_MsPerTick = 1000.0 * info.animation.tps_denominator / info.animation.tps_numerator;
        CPicDecoder::TraceF(2, "JPEG XL %d x %d, %u bits%s%s.\n", m_nWidth, m_nHeight,
                            info.bits_per_sample, m_bAlpha ? ", alpha" : "",
                            m_bAnimated ? ", animated" : "");
        // The bitmap, and libjxl's planes beside it, within the budget.
        const size_t storage = CBmp::CheckSize(m_nWidth, m_nHeight, 32);
        CPicDecoder::CheckBudget(storage,
                                 size_t(m_nWidth) * size_t(m_nHeight) * kWorkingBytesPerPixel,
                                 "Decoding jxl: Image too large to load.");
        m_Budget.limit -= storage;
    }
    catch (...)
    {
        JxlDecoderDestroy(m_pDecoder);
        throw;
    }
}

CJXLStream::~CJXLStream()
{
    JxlDecoderDestroy(m_pDecoder);
}

void CJXLStream::Start()
{
    if (JxlDecoderSubscribeEvents(m_pDecoder,
                                  JXL_DEC_BASIC_INFO | JXL_DEC_COLOR_ENCODING | JXL_DEC_FRAME |
                                      JXL_DEC_FULL_IMAGE) !=
            JXL_DEC_SUCCESS ||
        JxlDecoderSetInput(m_pDecoder, m_pData, m_Size) != JXL_DEC_SUCCESS)
        RaiseDecoderError();
    JxlDecoderCloseInput(m_pDecoder);
}

void CJXLStream::Rewind()
{
    JxlDecoderRewind(m_pDecoder);
    Start();
    // The basic information comes again first.
    if (JxlDecoderProcessInput(m_pDecoder) != JXL_DEC_BASIC_INFO)
        RaiseDecoderError();
}

void CJXLStream::RaiseDecoderError() const
{
    if (m_Budget.refused)
        CPicDecoder::RaiseError(10, "Decoding jxl: Image too large to load.");
    CPicDecoder::RaiseError(1, "Decoding jxl: The file is damaged.");
}

bool CJXLStream::ReadFrame(CBmp& bmp, int& durationMs)
{
    OutJob job{bmp.GetLineArray()};
    for (;;)
    {
        switch (JxlDecoderProcessInput(m_pDecoder))
        {
        case JXL_DEC_FRAME:
        {
            JxlFrameHeader header;
            if (JxlDecoderGetFrameHeader(m_pDecoder, &header) != JXL_DEC_SUCCESS)
                RaiseDecoderError();
            durationMs = int(std::min(std::lround(header.duration * m_MsPerTick), long(INT32_MAX)));
            break;
        }
        case JXL_DEC_NEED_IMAGE_OUT_BUFFER:
            if (JxlDecoderSetImageOutCallback(m_pDecoder, &kFormat, OnPixels, &job) !=
                JXL_DEC_SUCCESS)
                RaiseDecoderError();
            break;
        case JXL_DEC_COLOR_ENCODING:
            ReadColourProfile();
            break;
        case JXL_DEC_FULL_IMAGE:
            if (!m_Icc.empty())
                CColourManager::ProfileToSrgb(bmp, m_Icc.data(), m_Icc.size());
            return true;
        case JXL_DEC_SUCCESS:
            return false;
        case JXL_DEC_NEED_MORE_INPUT:
            CDataSource::ThrowEndOfFile();
        default:
            RaiseDecoderError();
        }
    }
}

void CJXLStream::ReadColourProfile()
{
    // The profile of the pixels libjxl delivers; sRGB ones need nothing.
    m_Icc.clear();
    JxlColorEncoding encoding;
    if (JxlDecoderGetColorAsEncodedProfile(m_pDecoder, nullptr, JXL_COLOR_PROFILE_TARGET_DATA,
                                           &encoding) == JXL_DEC_SUCCESS &&
        (encoding.transfer_function == JXL_TRANSFER_FUNCTION_SRGB ||
         (encoding.transfer_function == JXL_TRANSFER_FUNCTION_GAMMA &&
          std::fabs(encoding.gamma - 1 / 2.2) < 0.005)) &&
        encoding.white_point == JXL_WHITE_POINT_D65 &&
        (encoding.color_space == JXL_COLOR_SPACE_GRAY ||
         (encoding.color_space == JXL_COLOR_SPACE_RGB && encoding.primaries == JXL_PRIMARIES_SRGB)))
        return;
    size_t size = 0;
    if (!CColourManager::IsEnabled() ||
        JxlDecoderGetICCProfileSize(m_pDecoder, nullptr, JXL_COLOR_PROFILE_TARGET_DATA, &size) !=
            JXL_DEC_SUCCESS ||
        size > m_Size + 4096)
        return;
    m_Icc.resize(size);
    if (JxlDecoderGetColorAsICCProfile(m_pDecoder, nullptr, JXL_COLOR_PROFILE_TARGET_DATA,
                                       m_Icc.data(), size) != JXL_DEC_SUCCESS)
        m_Icc.clear();
}
