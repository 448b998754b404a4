#pragma once
#include "DataSource.h"
#include "WinBmp.h"

#include <memory>

/// An animated picture played frame by frame.
///
/// Each frame is composed onto the canvas when it is reached, so that an
/// animation holds its canvas and at most one saved copy of it (for frames
/// that restore what was under them), however many frames it has. The
/// canvas is a 32-bit bitmap with alpha, top row first as every bitmap.
/// The bytes read are those from the source's position when the animation
/// was made to the end; the source must stay open as long as the animation.
class CAnimation
{
public:
    /// Shorter delays (0 included, which many files hold) play at this many
    /// milliseconds, as browsers do.
    static constexpr int kMinDelay = 20;

    explicit CAnimation(CDataSource& source) : m_Source(source) {}
    virtual ~CAnimation();
    CAnimation(const CAnimation&) = delete;
    CAnimation& operator=(const CAnimation&) = delete;

    /// Hands the source over to the animation, which then closes it.
    void TakeSource(std::unique_ptr<CDataSource> source) { m_pOwnedSource = std::move(source); }

    int GetWidth() const { return m_Canvas.GetWidth(); }
    int GetHeight() const { return m_Canvas.GetHeight(); }
    /// How often the whole animation plays; 0 for ever.
    int GetLoopCount() const { return m_nLoopCount; }
    /// The number of frames, or 0 when the format does not say before the end.
    int GetFrameCount() const { return m_nFrameCount; }

    /// Composes the next frame onto the canvas. Returns false after the last
    /// frame, leaving the canvas as it was; Rewind() starts again. A damaged
    /// frame throws CTextException; the canvas then shows what was composed.
    bool NextFrame();
    /// Back to before the first frame.
    void Rewind();

    /// The composed picture of the current frame.
    const CBmp& GetCanvas() const { return m_Canvas; }
    /// The index of the current frame, -1 before the first.
    int GetFrameIndex() const { return m_nFrame; }
    /// How long the current frame shows, in milliseconds (at least kMinDelay).
    int GetDelay() const { return m_nDelay; }

    /// A stored delay in milliseconds as it is played.
    static int PlayedDelay(int ms) { return ms < kMinDelay ? kMinDelay : ms; }

protected:
    /// Composes the frame after the current one onto m_Canvas and sets
    /// delayMs to its stored delay; false after the last frame.
    virtual bool ComposeNext(int& delayMs) = 0;
    /// Forgets the frames composed so far (the canvas is cleared afterwards).
    virtual void RestartFrames() = 0;
    /// Notes that a frame writes to this part of the canvas (right and bottom
    /// exclusive), so that a rewind clears only what was drawn: a small file
    /// may declare a huge canvas and draw a few pixels of it.
    void MarkDrawn(int left, int top, int right, int bottom);
    void MarkAllDrawn() { MarkDrawn(0, 0, m_Canvas.GetWidth(), m_Canvas.GetHeight()); }

    CDataSource& m_Source;
    CWinBmp m_Canvas;
    int m_nLoopCount = 0;
    int m_nFrameCount = 0;

private:
    std::unique_ptr<CDataSource> m_pOwnedSource;
    int m_nFrame = -1;
    int m_nDelay = kMinDelay;
    int m_DrawnLeft = 0, m_DrawnTop = 0, m_DrawnRight = 0, m_DrawnBottom = 0;
};
