#include "QDShapes.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace
{
// n / d rounded to the nearest integer, halves upwards; d > 0.
int64_t RoundDiv(int64_t n, int64_t d)
{
    const int64_t t = 2 * n + d;
    const int64_t q = t / (2 * d);
    return (t % (2 * d) != 0 && t < 0) ? q - 1 : q;
}

int RoundHalf(double v)
{
    return int(std::floor(v + 0.5));
}
} // namespace

CQDRegion CQDShapes::Rect(const CRect& r, const CRect& clip)
{
    return CQDRegion::FromRect(r.Intersect(clip));
}

CQDRegion CQDShapes::RoundRect(const CRect& r, int ovalW, int ovalH, const CRect& clip)
{
    const CRect rows = r.Intersect(clip);
    CQDRegion out(rows.top);
    if (rows.IsEmpty())
        return out;
    const double a = std::min(ovalW, r.Width()) / 2.0;
    const double b = std::min(ovalH, r.Height()) / 2.0;
    for (int y = rows.top; y < rows.bottom; y++)
    {
        // Rows in the corner bands are inset by the corner ellipse at the
        // row's centre.
        const double yc = y + 0.5;
        double dy = 0;
        if (yc < r.top + b)
            dy = r.top + b - yc;
        else if (yc > r.bottom - b)
            dy = yc - (r.bottom - b);
        int inset = 0;
        if (dy > 0 && a > 0 && b > 0)
            inset = RoundHalf(a - a * std::sqrt(std::max(0.0, 1 - (dy / b) * (dy / b))));
        out.AddSpan(std::max(r.left + inset, clip.left), std::min(r.right - inset, clip.right));
        out.NextRow();
    }
    return out;
}

CQDRegion CQDShapes::Wedge(const CQDRegion& shape, const CRect& r, int startAngle, int arcAngle)
{
    if (arcAngle >= 360 || arcAngle <= -360)
        return shape;
    if (arcAngle < 0)
    {
        startAngle += arcAngle;
        arcAngle = -arcAngle;
    }
    // Directions are taken in r scaled to a unit square, so that 45 degrees
    // meets its corner. A point lies clockwise of a direction d (within half
    // a turn) when the cross product of d and the point is positive, y down.
    constexpr double kRadians = 3.14159265358979323846 / 180;
    const double s = startAngle * kRadians;
    const double e = (startAngle + arcAngle) * kRadians;
    const double sx = std::sin(s), sy = -std::cos(s);
    const double ex = std::sin(e), ey = -std::cos(e);
    const bool wide = arcAngle > 180; // inside: outside the narrow wedge from e to s
    const double cx = (r.left + r.right) / 2.0;
    const double cy = (r.top + r.bottom) / 2.0;
    const double w = std::max(1, r.Width());
    const double h = std::max(1, r.Height());
    CQDRegion out(shape.Top());
    for (int y = shape.Top(); y < shape.Bottom(); y++)
    {
        size_t n;
        const int32_t* spans = shape.Row(y, n);
        const double v = (y + 0.5 - cy) / h;
        for (size_t i = 0; i < n; i++)
        {
            int runStart = -1;
            for (int x = spans[2 * i]; x < spans[2 * i + 1]; x++)
            {
                const double u = (x + 0.5 - cx) / w;
                bool inside;
                if (!wide)
                    inside = sx * v - sy * u >= 0 && u * ey - v * ex > 0;
                else
                    inside = !(ex * v - ey * u >= 0 && u * sy - v * sx > 0);
                if (inside && runStart < 0)
                    runStart = x;
                else if (!inside && runStart >= 0)
                {
                    out.AddSpan(runStart, x);
                    runStart = -1;
                }
            }
            if (runStart >= 0)
                out.AddSpan(runStart, spans[2 * i + 1]);
        }
        out.NextRow();
    }
    return out;
}

CQDRegion CQDShapes::Polygon(const std::vector<QDPoint>& pts, const CRect& clip)
{
    struct Edge
    {
        int top, bottom;  // rows whose centres the edge crosses: [top, bottom)
        double x0, slope; // x at row top's centre, change per row
    };
    std::vector<Edge> edges;
    int minV = INT32_MAX, maxV = INT32_MIN;
    for (size_t i = 0; i < pts.size(); i++)
    {
        QDPoint p = pts[i];
        QDPoint q = pts[(i + 1) % pts.size()];
        minV = std::min(minV, p.v);
        maxV = std::max(maxV, p.v);
        if (p.v == q.v)
            continue;
        if (p.v > q.v)
            std::swap(p, q);
        const double slope = double(q.h - p.h) / double(q.v - p.v);
        edges.push_back({p.v, q.v, p.h + (0.5) * slope, slope});
    }
    const int top = std::max(clip.top, minV);
    const int bottom = std::min(clip.bottom, maxV);
    CQDRegion out(top);
    if (top >= bottom)
        return out;
    std::sort(edges.begin(), edges.end(),
              [](const Edge& a, const Edge& b) { return a.top < b.top; });
    std::vector<const Edge*> active;
    std::vector<double> xs;
    size_t next = 0;
    for (int y = top; y < bottom; y++)
    {
        while (next < edges.size() && edges[next].top <= y)
            active.push_back(&edges[next++]);
        active.erase(std::remove_if(active.begin(), active.end(),
                                    [y](const Edge* e) { return e->bottom <= y; }),
                     active.end());
        xs.clear();
        for (const Edge* e : active)
            xs.push_back(e->x0 + (y - e->top) * e->slope);
        std::sort(xs.begin(), xs.end());
        // Pixels whose centres lie in [xs[i], xs[i + 1]).
        for (size_t i = 0; i + 1 < xs.size(); i += 2)
        {
            const double x0 = std::ceil(xs[i] - 0.5);
            const double x1 = std::ceil(xs[i + 1] - 0.5);
            out.AddSpan(int(std::max<double>(x0, clip.left)),
                        int(std::min<double>(x1, clip.right)));
        }
        out.NextRow();
    }
    return out;
}

CQDRegion CQDShapes::Line(QDPoint a, QDPoint b, int penW, int penH, const CRect& clip)
{
    const int minV = std::min(a.v, b.v);
    const int maxV = std::max(a.v, b.v);
    const int rowTop = std::max(clip.top, minV);
    const int rowBottom = std::min<int64_t>(clip.bottom, int64_t(maxV) + penH);
    CQDRegion out(rowTop);
    if (penW <= 0 || penH <= 0 || rowTop >= rowBottom)
        return out;

    // The x range of the line's own points on each row py that reaches an
    // output row; a run of points per row for shallow lines, one for steep.
    const int pyFrom = std::max(minV, rowTop - penH + 1);
    const int pyTo = std::min(maxV, rowBottom - 1);
    if (pyFrom > pyTo)
        return out;
    std::vector<int> lo(size_t(pyTo - pyFrom) + 1, INT32_MAX);
    std::vector<int> hi(lo.size(), INT32_MIN);
    const int64_t dx = int64_t(b.h) - a.h;
    const int64_t dy = int64_t(b.v) - a.v;
    if (std::llabs(dx) >= std::llabs(dy))
    {
        // Only columns that can reach the clip matter; the rest are clipped.
        const int from = std::max(std::min(a.h, b.h), clip.left - penW);
        const int to = std::min(std::max(a.h, b.h), clip.right);
        for (int x = from; x <= to; x++)
        {
            const int64_t y =
                dx == 0 ? a.v : a.v + RoundDiv((x - a.h) * dy * (dx < 0 ? -1 : 1), std::llabs(dx));
            if (y < pyFrom || y > pyTo)
                continue;
            const size_t i = size_t(y - pyFrom);
            lo[i] = std::min(lo[i], x);
            hi[i] = std::max(hi[i], x);
        }
    }
    else
    {
        for (int y = pyFrom; y <= pyTo; y++)
        {
            const int64_t x = a.h + RoundDiv((y - a.v) * dx * (dy < 0 ? -1 : 1), std::llabs(dy));
            const size_t i = size_t(y - pyFrom);
            lo[i] = hi[i] = int(std::clamp<int64_t>(x, INT32_MIN / 2, INT32_MAX / 2));
        }
    }
    // Rows with points form one run; both ends of a window of rows hold its
    // extremes, since a line's x is monotonic in y.
    int dFrom = pyFrom, dTo = pyTo;
    while (dFrom <= dTo && lo[size_t(dFrom - pyFrom)] > hi[size_t(dFrom - pyFrom)])
        dFrom++;
    while (dTo >= dFrom && lo[size_t(dTo - pyFrom)] > hi[size_t(dTo - pyFrom)])
        dTo--;
    for (int y = rowTop; y < rowBottom; y++)
    {
        const int w0 = std::max(y - penH + 1, dFrom);
        const int w1 = std::min(y, dTo);
        if (w0 <= w1)
        {
            const size_t i0 = size_t(w0 - pyFrom), i1 = size_t(w1 - pyFrom);
            const int64_t x0 = std::min(lo[i0], lo[i1]);
            const int64_t x1 = int64_t(std::max(hi[i0], hi[i1])) + penW;
            out.AddSpan(int(std::max<int64_t>(x0, clip.left)),
                        int(std::min<int64_t>(x1, clip.right)));
        }
        out.NextRow();
    }
    return out;
}

CQDRegion CQDShapes::Frame(const CQDRegion& shape, int penW, int penH)
{
    return CQDRegion::Subtract(shape, shape.Inset(penW, penH));
}
