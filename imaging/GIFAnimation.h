#pragma once
#include "Animation.h"
#include "GifReader.h"

#include <memory>

/// The frames of a GIF file, read one at a time and composed on the logical
/// screen (grown, as for the still picture, to hold the first frame) with
/// each frame's transparency and disposal: a frame disposed to the
/// background leaves its rectangle transparent, one disposed to the
/// previous state puts back what was under it (the one saved copy).
class CGIFAnimation : public CAnimation
{
public:
    /// Throws CTextException when the file is damaged or too large.
    explicit CGIFAnimation(CDataSource& source);
    ~CGIFAnimation() override;

protected:
    bool ComposeNext(int& delayMs) override;
    void RestartFrames() override;

private:
    struct Rect
    {
        int left = 0, top = 0, right = 0, bottom = 0; // clipped to the canvas
    };
    void Dispose();

    const uint8_t* m_pData;
    size_t m_Size;
    std::unique_ptr<CGifReader> m_pReader;
    int m_nPendingDisposal = 0; // of the frame on the canvas
    Rect m_Last;                // its rectangle
    CWinBmp m_Saved;            // what it covered, for disposal 3
};
