#pragma once
#include "DeviceContext.h"

#include <cstddef>
#include <cstdint>
#include <vector>

/// A set of pixels: sorted, disjoint, non-touching spans [x0, x1) on each
/// row of the rows [top, bottom). Regions are built row by row from the top.
class CQDRegion
{
public:
    CQDRegion() = default;
    /// An empty region whose rows start at top; add rows with NextRow().
    explicit CQDRegion(int top) : m_Top(top) {}
    static CQDRegion FromRect(const CRect& r);

    /// Starts the next row (the first call starts row `top`).
    void NextRow() { m_RowStart.push_back(uint32_t(m_X.size())); }
    /// Adds a span to the current row; spans come left to right and may touch.
    void AddSpan(int x0, int x1);

    int Top() const { return m_Top; }
    int Bottom() const { return m_Top + int(m_RowStart.size()) - 1; }
    bool IsEmpty() const { return m_X.empty(); }
    size_t SpanCount() const { return m_X.size() / 2; }
    uint64_t PixelCount() const;
    /// The spans of row y as x0, x1 pairs; count is the number of pairs.
    const int32_t* Row(int y, size_t& count) const;
    /// The smallest rectangle holding every span (empty for an empty region).
    CRect Bounds() const;

    static CQDRegion Intersect(const CQDRegion& a, const CQDRegion& b);
    /// The pixels of a that are not in b.
    static CQDRegion Subtract(const CQDRegion& a, const CQDRegion& b);
    /// The pixels whose neighbourhood of dh pixels left and right and dv rows
    /// up and down lies inside the region (QuickDraw's InsetRgn for positive
    /// insets); work grows with dv times the spans.
    CQDRegion Inset(int dh, int dv) const;

    /// Reads a QuickDraw region (size word, bounding box, then inversion
    /// lines) from `size` bytes at data, moves it by (dx, dy) and clips it to
    /// `clip`. Throws CTextException 2 when the data is inconsistent and what
    /// `charge` throws for the spans it would hold (called before building).
    template <typename Charge>
    static CQDRegion Read(const uint8_t* data, size_t size, int dx, int dy, const CRect& clip,
                          Charge&& charge);

private:
    static CQDRegion ReadLines(const uint8_t* data, size_t size, int dx, int dy, const CRect& clip,
                               size_t& maxSpans, bool build);

    int m_Top = 0;
    std::vector<uint32_t> m_RowStart{0}; // row i's spans: m_X[m_RowStart[i] .. m_RowStart[i + 1])
    std::vector<int32_t> m_X;
};

template <typename Charge>
CQDRegion CQDRegion::Read(const uint8_t* data, size_t size, int dx, int dy, const CRect& clip,
                          Charge&& charge)
{
    size_t spans = 0;
    ReadLines(data, size, dx, dy, clip, spans, false);
    charge(spans);
    return ReadLines(data, size, dx, dy, clip, spans, true);
}
