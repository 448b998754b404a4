#include "QDRegion.h"

#include "PicDecoder.h"

#include <algorithm>
#include <climits>
#include <iterator>

CQDRegion CQDRegion::FromRect(const CRect& r)
{
    CQDRegion rgn(r.top);
    if (r.IsEmpty())
        return rgn;
    rgn.m_RowStart.reserve(size_t(r.Height()) + 1);
    rgn.m_X.reserve(2 * size_t(r.Height()));
    for (int y = r.top; y < r.bottom; y++)
    {
        rgn.m_X.push_back(r.left);
        rgn.m_X.push_back(r.right);
        rgn.NextRow();
    }
    return rgn;
}

void CQDRegion::AddSpan(int x0, int x1)
{
    if (x1 <= x0)
        return;
    // A span that touches or overlaps the row's last one extends it.
    if (m_X.size() > m_RowStart.back() && m_X.back() >= x0)
    {
        m_X.back() = std::max(m_X.back(), x1);
        return;
    }
    m_X.push_back(x0);
    m_X.push_back(x1);
}

const int32_t* CQDRegion::Row(int y, size_t& count) const
{
    if (y < m_Top || y >= Bottom())
    {
        count = 0;
        return nullptr;
    }
    const size_t i = size_t(y - m_Top);
    count = (m_RowStart[i + 1] - m_RowStart[i]) / 2;
    return m_X.data() + m_RowStart[i];
}

uint64_t CQDRegion::PixelCount() const
{
    uint64_t n = 0;
    for (size_t i = 0; i < m_X.size(); i += 2)
        n += uint64_t(int64_t(m_X[i + 1]) - m_X[i]);
    return n;
}

CRect CQDRegion::Bounds() const
{
    CRect b{INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN};
    for (int y = m_Top; y < Bottom(); y++)
    {
        size_t n;
        const int32_t* s = Row(y, n);
        if (n == 0)
            continue;
        b.left = std::min(b.left, s[0]);
        b.right = std::max(b.right, s[2 * n - 1]);
        b.top = std::min(b.top, y);
        b.bottom = y + 1;
    }
    return b.IsEmpty() ? CRect{} : b;
}

CQDRegion CQDRegion::Intersect(const CQDRegion& a, const CQDRegion& b)
{
    const int top = std::max(a.Top(), b.Top());
    const int bottom = std::min(a.Bottom(), b.Bottom());
    CQDRegion out(top);
    for (int y = top; y < bottom; y++)
    {
        size_t na, nb;
        const int32_t* sa = a.Row(y, na);
        const int32_t* sb = b.Row(y, nb);
        size_t i = 0, j = 0;
        while (i < na && j < nb)
        {
            out.AddSpan(std::max(sa[2 * i], sb[2 * j]), std::min(sa[2 * i + 1], sb[2 * j + 1]));
            if (sa[2 * i + 1] < sb[2 * j + 1])
                i++;
            else
                j++;
        }
        out.NextRow();
    }
    return out;
}

CQDRegion CQDRegion::Subtract(const CQDRegion& a, const CQDRegion& b)
{
    CQDRegion out(a.Top());
    for (int y = a.Top(); y < a.Bottom(); y++)
    {
        size_t na, nb;
        const int32_t* sa = a.Row(y, na);
        const int32_t* sb = b.Row(y, nb);
        size_t j = 0;
        for (size_t i = 0; i < na; i++)
        {
            int cur = sa[2 * i];
            const int end = sa[2 * i + 1];
            while (j < nb && sb[2 * j + 1] <= cur)
                j++;
            // Spans of b inside this span cut it; one reaching past its end
            // may cut the next span too, so it is kept.
            size_t k = j;
            while (k < nb && sb[2 * k] < end)
            {
                out.AddSpan(cur, sb[2 * k]);
                cur = std::max(cur, sb[2 * k + 1]);
                if (sb[2 * k + 1] >= end)
                    break;
                k++;
            }
            out.AddSpan(cur, end);
        }
        out.NextRow();
    }
    return out;
}

CQDRegion CQDRegion::Inset(int dh, int dv) const
{
    // Horizontal erosion first, then each row is the intersection of the
    // rows dv above and below it.
    CQDRegion h(m_Top);
    for (int y = m_Top; y < Bottom(); y++)
    {
        size_t n;
        const int32_t* s = Row(y, n);
        for (size_t i = 0; i < n; i++)
            h.AddSpan(s[2 * i] + dh, s[2 * i + 1] - dh);
        h.NextRow();
    }
    if (dv <= 0)
        return h;
    if (2 * dv >= Bottom() - m_Top)
        return CQDRegion(m_Top);
    CQDRegion out(m_Top + dv);
    std::vector<int32_t> cur, next;
    for (int y = m_Top + dv; y < Bottom() - dv; y++)
    {
        size_t n;
        const int32_t* s = h.Row(y - dv, n);
        cur.assign(s, s + 2 * n);
        for (int k = y - dv + 1; k <= y + dv && !cur.empty(); k++)
        {
            size_t nb;
            const int32_t* sb = h.Row(k, nb);
            next.clear();
            size_t i = 0, j = 0;
            while (i < cur.size() / 2 && j < nb)
            {
                const int x0 = std::max(cur[2 * i], sb[2 * j]);
                const int x1 = std::min(cur[2 * i + 1], sb[2 * j + 1]);
                if (x0 < x1)
                {
                    next.push_back(x0);
                    next.push_back(x1);
                }
                if (cur[2 * i + 1] < sb[2 * j + 1])
                    i++;
                else
                    j++;
            }
            cur.swap(next);
        }
        for (size_t i = 0; i < cur.size(); i += 2)
            out.AddSpan(cur[i], cur[i + 1]);
        out.NextRow();
    }
    return out;
}

namespace
{
[[noreturn]] void BadRegion()
{
    CPicDecoder::RaiseError(2, "Illegal polygon or region size.");
}

int16_t BE16At(const uint8_t* p)
{
    return int16_t(p[0] << 8 | p[1]);
}
} // namespace

// A region's lines list, for each row where it changes, the x positions
// where the region's edges toggle relative to the row above, ending in
// 0x7FFF; a row of 0x7FFF ends the list. count mode (build false) adds up
// an upper bound of the spans into maxSpans without building anything.
CQDRegion CQDRegion::ReadLines(const uint8_t* data, size_t size, int dx, int dy, const CRect& clip,
                               size_t& maxSpans, bool build)
{
    if (size < 10)
        BadRegion();
    const CRect box{BE16At(data + 4) + dx, BE16At(data + 2) + dy, BE16At(data + 8) + dx,
                    BE16At(data + 6) + dy};
    if (size == 10)
    {
        const CRect r = box.Intersect(clip);
        if (!build)
            maxSpans = r.IsEmpty() ? 0 : size_t(r.Height());
        return FromRect(r);
    }
    const int top = std::max(clip.top, box.top);
    CQDRegion out(top);
    std::vector<int32_t> edges, line, merged;
    int rowFrom = top; // first row the current edges apply to
    int lastY = INT32_MIN;
    size_t pos = 10;
    // Rows are emitted contiguously from top, so each call continues the last.
    auto emitRows = [&](int untilY)
    {
        const int from = std::max(rowFrom, top);
        const int to = std::min(untilY, clip.bottom);
        if (to <= from)
            return;
        if (!build)
        {
            maxSpans += size_t(to - from) * (edges.size() / 2 + 1);
            return;
        }
        for (int y = from; y < to; y++)
        {
            for (size_t i = 0; i + 1 < edges.size(); i += 2)
                out.AddSpan(std::max(edges[i], clip.left), std::min(edges[i + 1], clip.right));
            out.NextRow();
        }
    };
    // The next word of the lines; the region's size bounds them.
    auto next = [&]()
    {
        if (pos + 2 > size)
            BadRegion();
        pos += 2;
        return int(BE16At(data + pos - 2));
    };
    for (;;)
    {
        const int y = next();
        if (y == 0x7FFF)
            break;
        if (y < lastY)
            BadRegion();
        lastY = y;
        line.clear();
        for (int x = next(); x != 0x7FFF; x = next())
            line.push_back(x + dx);
        emitRows(y + dy);
        rowFrom = std::max(rowFrom, y + dy);
        // Toggle: the symmetric difference of the old edges and this line's.
        std::sort(line.begin(), line.end());
        merged.clear();
        std::set_symmetric_difference(edges.begin(), edges.end(), line.begin(), line.end(),
                                      std::back_inserter(merged));
        edges.swap(merged);
    }
    return out;
}
