#pragma once
#include "PaletteEntry.h"
#include "QDRegion.h"
#include "QDShapes.h"

#include <cstdint>
#include <string>
#include <vector>

class CBmp;

/// A QuickDraw pattern: 8 x 8 bits (set bits in the foreground colour, clear
/// bits in the background colour), or a pixel pattern of its own colours.
struct QDPattern
{
    uint8_t bits[8] = {}; // top row first, leftmost pixel in the high bit
    int width = 0;        // a pixel pattern's size; 0 for a bit pattern
    int height = 0;
    std::vector<PaletteEntry> pixels;

    static QDPattern Bits(const uint8_t* rows);
    static QDPattern Solid(bool black);
    static QDPattern Colour(PaletteEntry colour);
};

/// The drawing state of a QuickDraw port (pen, patterns, colours, text,
/// origin, clip) over a 32-bit bitmap, and the painting of regions and
/// pixel maps into it with QuickDraw's transfer modes.
///
/// Picture coordinates map to pixels through the frame's top-left and the
/// origin. Every painted pixel and every shape is charged to a work bound
/// proportional to the frame, so that no picture draws without end: past
/// it, CTextException 10.
class CQDPort
{
public:
    /// Draws into bmp, which is frame's size at 32 bits.
    CQDPort(CBmp& bmp, const CRect& frame);

    QDPoint ToPixel(int h, int v) const { return {h - m_OriginH, v - m_OriginV}; }
    CRect ToPixel(const CRect& r) const;
    /// Pixel offset of picture coordinates (add to h and v).
    int OffsetH() const { return -m_OriginH; }
    int OffsetV() const { return -m_OriginV; }
    /// Moves the origin: later coordinates are dh, dv further right and down.
    void MoveOrigin(int dh, int dv);
    /// The bitmap's rectangle in pixels.
    const CRect& Bounds() const { return m_Bounds; }

    /// Clips later drawing to rgn (pixels); a region holding the whole
    /// bitmap lifts the clip.
    void SetClip(CQDRegion rgn);

    /// Paints rgn with pat in mode: 0-7 (the source forms) or 8-15 (the
    /// pattern forms): copy, or, xor, bic, then their not forms; other modes
    /// (arithmetic, hilite) copy, transparent (36) acts as or.
    void Paint(const CQDRegion& rgn, const QDPattern& pat, int mode);
    /// Inverts the colours of rgn's pixels.
    void Invert(const CQDRegion& rgn);
    /// Copies srcRect of src (32 bits; coordinates of src's pixels, which
    /// need not hold all of it) scaled to dstRect (pixels), nearest
    /// neighbour, in a source transfer mode, inside mask (pixels) when given.
    /// A monochrome source (black and white) takes the fore- and background
    /// colours.
    void CopyBits(const CBmp& src, const CRect& srcRect, const CRect& dstRect, int mode,
                  const CQDRegion* mask, bool monochrome);

    /// Adds units of work (about one per pixel or span); throws
    /// CTextException 10 past the bound.
    void Charge(uint64_t units);
    /// Charges a region of up to `spans` spans about to be built and checks
    /// its memory against the decode budget beside the bitmap.
    void ReserveSpans(uint64_t spans);

    PaletteEntry m_Fore{0, 0, 0, 255};
    PaletteEntry m_Back{255, 255, 255, 255};
    QDPattern m_PenPat = QDPattern::Solid(true);
    QDPattern m_FillPat = QDPattern::Solid(true);
    QDPattern m_BackPat = QDPattern::Solid(false);
    int m_PenW = 1;
    int m_PenH = 1;
    int m_PenMode = 8; // patCopy
    QDPoint m_PenLoc;  // picture coordinates
    int m_OvalW = 0;
    int m_OvalH = 0;
    // Text state.
    int m_FontId = 0;
    std::string m_strFontName; // from the FontName opcode, for m_FontId
    int m_FontNameId = -1;
    int m_TextSize = 12;
    int m_TextFace = 0;
    int m_TextMode = 1; // srcOr
    QDPoint m_TextLoc;  // picture coordinates

private:
    const CQDRegion& Clipped(const CQDRegion& rgn, CQDRegion& scratch) const;

    CBmp& m_Bmp;
    CRect m_Bounds;
    int m_OriginH;
    int m_OriginV;
    CQDRegion m_Clip;
    bool m_bClipped = false;
    uint64_t m_Work = 0;
    uint64_t m_WorkLimit;
};
