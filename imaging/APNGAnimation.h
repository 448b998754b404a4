#pragma once
#include "Animation.h"

#include <vector>

/// The frames of an animated PNG (acTL, fcTL and fdAT chunks). Each frame is
/// cut out of the file as a PNG of its own (its header, the chunks shared by
/// all frames, its data), decoded by libpng and composed with the frame's
/// blending (replace or over) and disposal (none, background, previous).
class CAPNGAnimation : public CAnimation
{
public:
    /// Whether the PNG at data declares an animation before its image data.
    static bool IsAnimated(const uint8_t* data, size_t size);

    /// Reads the chunk list; throws CTextException when it is damaged or the
    /// canvas is too large.
    explicit CAPNGAnimation(CDataSource& source);
    ~CAPNGAnimation() override;

protected:
    bool ComposeNext(int& delayMs) override;
    void RestartFrames() override;

private:
    struct Span
    {
        const uint8_t* data;
        size_t size;
    };
    struct Frame
    {
        int width = 0, height = 0, left = 0, top = 0;
        int delayMs = 0;
        int dispose = 0; // 0 none, 1 background, 2 previous
        int blend = 0;   // 0 replace, 1 over
        std::vector<Span> data;
    };
    void Dispose();
    /// The frame as a PNG file of its own.
    std::vector<uint8_t> FramePng(const Frame& frame) const;

    Span m_Header{};             // IHDR's 13 bytes
    std::vector<Span> m_Shared;  // whole chunks every frame's PNG repeats
    std::vector<Frame> m_Frames;
    size_t m_nNext = 0;
    const Frame* m_pShown = nullptr; // on the canvas, to be disposed
    CWinBmp m_Saved;                 // what it covered, for disposal 2
    CWinBmp m_Decoded;               // the frame's own pixels
};
