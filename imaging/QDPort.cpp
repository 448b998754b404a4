#include "QDPort.h"

#include "Bmp.h"
#include "PicDecoder.h"

#include <algorithm>
#include <cstring>

namespace
{
// Work allowed beside the frame's share: a few dozen passes over a large
// frame, or a million small opcodes.
constexpr uint64_t kBaseWork = uint64_t(64) << 20;
constexpr uint64_t kWorkPerPixel = 64;

PaletteEntry Inverted(PaletteEntry p)
{
    return PaletteEntry{uint8_t(~p.b), uint8_t(~p.g), uint8_t(~p.r), 255};
}

bool IsWhite(PaletteEntry p)
{
    return p.b == 255 && p.g == 255 && p.r == 255;
}

// The basic operation of a transfer mode: 0 copy, 1 or, 2 xor, 3 bic; 4-7
// the same with the source inverted.
int BasicMode(int mode)
{
    if (mode >= 8 && mode <= 15)
        return mode - 8;
    if (mode >= 0 && mode < 8)
        return mode;
    return mode == 36 ? 1 : 0;
}

// One pixel of a transfer: set says whether the source is "black" there
// (a set pattern bit, a black bitmap pixel); colour is what copy and or put
// down.
void Transfer(PaletteEntry& d, int op, bool set, PaletteEntry colour, PaletteEntry back)
{
    switch (op)
    {
    case 0:
        d = colour;
        break;
    case 1:
        if (set)
            d = colour;
        break;
    case 2:
        if (set)
            d = Inverted(d);
        break;
    default:
        if (set)
            d = back;
        break;
    }
}
} // namespace

QDPattern QDPattern::Bits(const uint8_t* rows)
{
    QDPattern p;
    std::memcpy(p.bits, rows, 8);
    return p;
}

QDPattern QDPattern::Solid(bool black)
{
    QDPattern p;
    std::memset(p.bits, black ? 0xFF : 0, 8);
    return p;
}

QDPattern QDPattern::Colour(PaletteEntry colour)
{
    QDPattern p;
    p.width = p.height = 1;
    p.pixels.assign(1, colour);
    return p;
}

CQDPort::CQDPort(CBmp& bmp, const CRect& frame)
    : m_Bmp(bmp), m_Bounds{0, 0, frame.Width(), frame.Height()}, m_OriginH(frame.left),
      m_OriginV(frame.top),
      m_WorkLimit(kBaseWork + kWorkPerPixel * uint64_t(frame.Width()) * uint64_t(frame.Height()))
{
}

CRect CQDPort::ToPixel(const CRect& r) const
{
    return {r.left - m_OriginH, r.top - m_OriginV, r.right - m_OriginH, r.bottom - m_OriginV};
}

void CQDPort::MoveOrigin(int dh, int dv)
{
    // Kept within a range where picture coordinates cannot overflow.
    m_OriginH = std::clamp(m_OriginH + dh, -0x40000, 0x40000);
    m_OriginV = std::clamp(m_OriginV + dv, -0x40000, 0x40000);
}

void CQDPort::SetClip(CQDRegion rgn)
{
    // A region covering the bitmap is no clip; this avoids intersecting
    // every shape with it.
    m_bClipped = CQDRegion::Subtract(CQDRegion::FromRect(m_Bounds), rgn).SpanCount() != 0;
    m_Clip = std::move(rgn);
}

void CQDPort::Charge(uint64_t units)
{
    m_Work += units;
    if (m_Work > m_WorkLimit)
        CPicDecoder::RaiseError(10, "The picture's drawing exceeds the work limit.");
}

void CQDPort::ReserveSpans(uint64_t spans)
{
    Charge(spans);
    CPicDecoder::CheckBudget(m_Bmp.GetStorageBytes(), size_t(spans) * 2 * sizeof(int32_t),
                             "Out of memory allocating a pict region.");
}

const CQDRegion& CQDPort::Clipped(const CQDRegion& rgn, CQDRegion& scratch) const
{
    if (!m_bClipped)
        return rgn;
    scratch = CQDRegion::Intersect(rgn, m_Clip);
    return scratch;
}

void CQDPort::Paint(const CQDRegion& shape, const QDPattern& pat, int mode)
{
    // Every row of the shape was built, painted or not.
    Charge(uint64_t(std::max(0, shape.Bottom() - shape.Top())));
    CQDRegion scratch;
    const CQDRegion& rgn = Clipped(shape, scratch);
    Charge(rgn.SpanCount());
    const int op = BasicMode(mode);
    const bool invert = op >= 4;
    uint8_t** lines = m_Bmp.GetLineArray();
    const int top = std::max(rgn.Top(), 0);
    const int bottom = std::min(rgn.Bottom(), m_Bounds.bottom);
    for (int y = top; y < bottom; y++)
    {
        size_t n;
        const int32_t* s = rgn.Row(y, n);
        auto* line = reinterpret_cast<PaletteEntry*>(lines[y]);
        for (size_t i = 0; i < n; i++)
        {
            const int x0 = std::max(s[2 * i], 0);
            const int x1 = std::min(s[2 * i + 1], m_Bounds.right);
            if (x0 >= x1)
                continue;
            Charge(uint64_t(x1 - x0));
            if (pat.width > 0)
            {
                const PaletteEntry* row =
                    pat.pixels.data() + size_t(y % pat.height) * size_t(pat.width);
                for (int x = x0; x < x1; x++)
                {
                    PaletteEntry c = row[x % pat.width];
                    if (invert)
                        c = Inverted(c);
                    Transfer(line[x], op & 3, !IsWhite(c), c, m_Back);
                }
                continue;
            }
            const unsigned bits = pat.bits[y & 7];
            for (int x = x0; x < x1; x++)
            {
                const bool set = ((bits >> (7 - (x & 7))) & 1) != invert;
                Transfer(line[x], op & 3, set, set ? m_Fore : m_Back, m_Back);
            }
        }
    }
}

void CQDPort::Invert(const CQDRegion& rgn)
{
    Paint(rgn, QDPattern::Solid(true), 10);
}

void CQDPort::CopyBits(const CBmp& src, const CRect& srcRect, const CRect& dstRect, int mode,
                       const CQDRegion* mask, bool monochrome)
{
    const CRect dst = dstRect.Intersect(m_Bounds);
    if (dst.IsEmpty() || srcRect.IsEmpty())
        return;
    CQDRegion area = CQDRegion::FromRect(dst);
    if (mask)
        area = CQDRegion::Intersect(area, *mask);
    CQDRegion scratch;
    const CQDRegion& rgn = Clipped(area, scratch);
    Charge(rgn.SpanCount());

    // Source column of each destination column, -1 outside the source's pixels.
    std::vector<int> column(size_t(dst.Width()));
    for (int x = dst.left; x < dst.right; x++)
    {
        const int64_t sx =
            srcRect.left +
            (int64_t(x - dstRect.left) * srcRect.Width() + srcRect.Width() / 2) / dstRect.Width();
        column[size_t(x - dst.left)] = sx >= 0 && sx < src.GetWidth() ? int(sx) : -1;
    }
    const int op = BasicMode(mode & ~64); // 64 asks for dithering
    const bool transparent = (mode & ~64) == 36;
    const bool invert = op >= 4;
    uint8_t** lines = m_Bmp.GetLineArray();
    uint8_t** srcLines = src.GetLineArray();
    for (int y = std::max(rgn.Top(), dst.top); y < std::min(rgn.Bottom(), dst.bottom); y++)
    {
        const int64_t sy =
            srcRect.top +
            (int64_t(y - dstRect.top) * srcRect.Height() + srcRect.Height() / 2) / dstRect.Height();
        if (sy < 0 || sy >= src.GetHeight())
            continue;
        const auto* from = reinterpret_cast<const PaletteEntry*>(srcLines[sy]);
        auto* line = reinterpret_cast<PaletteEntry*>(lines[y]);
        size_t n;
        const int32_t* s = rgn.Row(y, n);
        for (size_t i = 0; i < n; i++)
        {
            Charge(uint64_t(s[2 * i + 1] - s[2 * i]));
            for (int x = s[2 * i]; x < s[2 * i + 1]; x++)
            {
                const int sx = column[size_t(x - dst.left)];
                if (sx < 0)
                    continue;
                PaletteEntry c = from[sx];
                c.a = 255;
                if (transparent)
                {
                    if (c != m_Back)
                        line[x] = c;
                    continue;
                }
                bool set = !IsWhite(c);
                if (monochrome)
                {
                    set = set != invert;
                    c = set ? m_Fore : m_Back;
                }
                else if (invert)
                {
                    c = Inverted(c);
                    set = !IsWhite(c);
                }
                Transfer(line[x], op & 3, set, c, m_Back);
            }
        }
    }
}
