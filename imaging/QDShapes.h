#pragma once
#include "QDRegion.h"

#include <vector>

/// A point in pixels: h across, v down.
struct QDPoint
{
    int h = 0;
    int v = 0;
};

/// Turns QuickDraw's shapes into regions of pixels, clipped to a rectangle
/// (the frame), aliased as QuickDraw drew them: a pixel belongs to a shape
/// when its centre does. Work is bounded by the rows and columns of the clip
/// rectangle, whatever the coordinates.
class CQDShapes
{
public:
    static CQDRegion Rect(const CRect& r, const CRect& clip);
    /// A rectangle with corners of ovalW x ovalH ellipses; an oval when they
    /// are the rectangle's size.
    static CQDRegion RoundRect(const CRect& r, int ovalW, int ovalH, const CRect& clip);
    static CQDRegion Oval(const CRect& r, const CRect& clip)
    {
        return RoundRect(r, r.Width(), r.Height(), clip);
    }
    /// The pixels of shape inside the wedge of r's oval that starts at
    /// startAngle and spans arcAngle degrees (0 at the top, clockwise, angles
    /// relative to r so that 45 meets its corner).
    static CQDRegion Wedge(const CQDRegion& shape, const CRect& r, int startAngle, int arcAngle);
    /// The even-odd interior of the closed polygon through pts; work grows
    /// with rows times points.
    static CQDRegion Polygon(const std::vector<QDPoint>& pts, const CRect& clip);
    /// The pixels a penW x penH pen hanging below and right of the line's
    /// points covers going from a to b, both ends included.
    static CQDRegion Line(QDPoint a, QDPoint b, int penW, int penH, const CRect& clip);
    /// The outline of shape drawn inside it with a penW x penH pen.
    static CQDRegion Frame(const CQDRegion& shape, int penW, int penH);
};
