#pragma once
#include <QByteArray>

class QImage;

/// The colour profile of the X display: the ICC profile that colour
/// managers (colord, a desktop's display settings) publish as the root
/// window's _ICC_PROFILE property for the first screen.
namespace DisplayProfile
{
/// The profile's bytes, or empty when there is none (or no X display).
QByteArray Read();
/// Reads the profile and hands it to the codec library's colour manager,
/// which then converts pictures from sRGB to it for drawing.
void Install();
/// Converts a 32-bit sRGB image (a thumbnail) in place to the display's
/// profile; leaves it as it is without one. Safe on any thread.
void ToDisplay(QImage& image);
} // namespace DisplayProfile
