#include "ZoomModel.h"

#include <algorithm>
#include <cmath>

namespace ZoomModel
{
namespace
{
// A zoom within this many half-steps of a step counts as on it, so that
// rounding in a fitted zoom never makes a step of almost nothing.
constexpr double kOnStep = 1e-3;

int Axis(int scaled, int window, int offset)
{
    return scaled < window ? (window - scaled) / 2 : -offset;
}
} // namespace

double Clamp(double zoom)
{
    return std::isfinite(zoom) ? std::clamp(zoom, kMin, kMax) : 1.0;
}

double Step(double zoom, bool bIn)
{
    // Half-steps counted from 1: 2 * log2(zoom).
    const double k = 2 * std::log2(Clamp(zoom));
    const double next = bIn ? std::floor(k + kOnStep) + 1 : std::ceil(k - kOnStep) - 1;
    return Clamp(std::exp2(next / 2));
}

double FitZoom(QSize picture, QSize window)
{
    if (picture.isEmpty() || window.isEmpty())
        return 1.0;
    return Clamp(std::min(double(window.width()) / picture.width(),
                          double(window.height()) / picture.height()));
}

QSize ScaledSize(QSize picture, double zoom)
{
    auto side = [zoom](int n) { return int(std::clamp(std::lround(n * zoom), 1L, 1L << 30)); };
    return picture.isEmpty() ? QSize(0, 0) : QSize(side(picture.width()), side(picture.height()));
}

QPoint Origin(QSize scaled, QSize window, QPoint offset)
{
    return {Axis(scaled.width(), window.width(), offset.x()),
            Axis(scaled.height(), window.height(), offset.y())};
}

QPoint MaxOffset(QSize scaled, QSize window)
{
    return {std::max(0, scaled.width() - window.width()),
            std::max(0, scaled.height() - window.height())};
}

QPoint AnchoredOffset(QSize picture, QSize window, QPoint offset, double oldZoom, double newZoom,
                      QPoint anchor)
{
    const QSize before = ScaledSize(picture, oldZoom);
    const QSize after = ScaledSize(picture, newZoom);
    const QPoint o = Origin(before, window, offset);
    const QPoint limit = MaxOffset(after, window);
    auto axis = [](int anchorAt, int origin, int beforeSide, int afterSide, int windowSide,
                   int maxOffset)
    {
        if (afterSide <= windowSide)
            return 0;
        // The picture's point under the anchor, as a fraction of its side;
        // outside the picture the nearest edge stays put.
        const double t = std::clamp(double(anchorAt - origin) / beforeSide, 0.0, 1.0);
        const long at = std::lround(t * afterSide) - anchorAt;
        return int(std::clamp(at, 0L, long(maxOffset)));
    };
    return {axis(anchor.x(), o.x(), before.width(), after.width(), window.width(), limit.x()),
            axis(anchor.y(), o.y(), before.height(), after.height(), window.height(), limit.y())};
}
} // namespace ZoomModel
