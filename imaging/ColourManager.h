#pragma once
#include <cstddef>
#include <cstdint>

class CBmp;

/// Converts decoded pictures to sRGB, the colour space the view draws in,
/// through LittleCMS: by their embedded ICC profile, or (PNG) by their gamma
/// and chromaticities.
///
/// Transforms are built once per profile and kept (a few at a time) for the
/// pictures after; they are shared by every thread. A profile lcms2 cannot
/// read, or of another colour space than RGB or gray, or whose transform
/// cannot be built, is ignored: the picture keeps its stored values.
class CColourManager
{
public:
    /// On by default; off, nothing is converted.
    static void SetEnabled(bool enabled);
    static bool IsEnabled();

    /// Converts bmp (8 bits: its palette; 32 bits: its pixels, alpha kept)
    /// from the colour space of the ICC profile to sRGB. Returns whether it did.
    static bool ProfileToSrgb(CBmp& bmp, const uint8_t* icc, size_t size);
    /// Converts bmp from the space a PNG's gAMA chunk (the file gamma, 1/2.2
    /// for sRGB-like files) and, when not null, cHRM chunk describe: eight
    /// values, x and y of the white point, then of red, green and blue.
    static bool GammaToSrgb(CBmp& bmp, double gamma, const double* chromaticities);
};
