#pragma once
#include <QPoint>
#include <QSize>

/// The zoom of an image view: the steps, the limits, and the scroll position
/// that keeps a point of the picture where it was on screen.
///
/// Steps are powers of the square root of two, from 1/32 to 32. A zoom that
/// is not a step (fitted to the window) steps to the nearest step beyond it.
/// Scroll offsets are those of the view's scroll bars: the picture, scaled,
/// starts at minus the offset, or is centred when it is smaller than the
/// window on that axis (the offset is then 0).
namespace ZoomModel
{
inline constexpr double kMin = 1.0 / 32;
inline constexpr double kMax = 32.0;

/// The next step above zoom (below it with bIn false), within the limits.
double Step(double zoom, bool bIn);
/// zoom held within the limits.
double Clamp(double zoom);
/// The largest zoom at which the whole picture fits the window, within the
/// limits; 1 for an empty picture or window.
double FitZoom(QSize picture, QSize window);
/// The picture's size on screen at zoom: each side at least one pixel.
QSize ScaledSize(QSize picture, double zoom);
/// Where the scaled picture's top-left corner is in the window for a scroll
/// offset: centred on an axis where it is smaller than the window.
QPoint Origin(QSize scaled, QSize window, QPoint offset);
/// The largest scroll offset on each axis for a scaled picture.
QPoint MaxOffset(QSize scaled, QSize window);
/// The scroll offset after a zoom change that keeps the picture's point
/// under anchor (window coordinates) at the same place, as far as the
/// scroll range allows.
QPoint AnchoredOffset(QSize picture, QSize window, QPoint offset, double oldZoom, double newZoom,
                      QPoint anchor);
} // namespace ZoomModel
