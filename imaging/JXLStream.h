#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

class CBmp;
struct JxlDecoderStruct;

/// One pass of libjxl over a JPEG XL file, frame by frame, for the still
/// decoder and the animation.
///
/// libjxl's own allocations go through a memory manager that counts them
/// against the decode budget; it refuses what would exceed it and the
/// decode then fails with code 10.
class CJXLStream
{
public:
    /// Reads up to the picture's basic information; throws CTextException
    /// for damaged data and for a size the budget can't hold.
    CJXLStream(const uint8_t* data, size_t size, bool applyOrientation);
    ~CJXLStream();
    CJXLStream(const CJXLStream&) = delete;
    CJXLStream& operator=(const CJXLStream&) = delete;

    /// Upright when orientation is applied.
    int GetWidth() const { return m_nWidth; }
    int GetHeight() const { return m_nHeight; }
    bool HasAlpha() const { return m_bAlpha; }
    bool IsAnimated() const { return m_bAnimated; }
    /// 0 for ever.
    int GetLoopCount() const { return m_nLoops; }

    /// Decodes the next shown frame (earlier frames already composed in)
    /// into bmp, which must be a 32-bit bitmap of the picture's size, and
    /// sets durationMs to its delay. False after the last frame.
    bool ReadFrame(CBmp& bmp, int& durationMs);
    /// Back to the first frame.
    void Rewind();

    /// Memory manager state: bytes handed out and the most it may hand out.
    struct Budget
    {
        std::atomic<size_t> used{0};
        size_t limit = 0;
        std::atomic<bool> refused{false};
    };

private:
    [[noreturn]] void RaiseDecoderError() const;
    void Start();
    /// Keeps the ICC profile of the decoded pixels unless they are sRGB.
    void ReadColourProfile();

    const uint8_t* m_pData;
    size_t m_Size;
    Budget m_Budget;
    JxlDecoderStruct* m_pDecoder = nullptr;
    int m_nWidth = 0;
    int m_nHeight = 0;
    bool m_bAlpha = false;
    bool m_bAnimated = false;
    int m_nLoops = 0;
    double m_MsPerTick = 0;
    std::vector<uint8_t> m_Icc; // converted to sRGB after each frame; empty for sRGB
};
