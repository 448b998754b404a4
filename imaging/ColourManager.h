#pragma once
#include <cstddef>
#include <cstdint>

#include <memory>

class CBmp;
/// A colour conversion built for a profile; shared and read-only.
struct CColourTransform;

/// Converts decoded pictures to sRGB, the colour space of the program's
/// bitmaps, through LittleCMS: by their embedded ICC profile (RGB, gray or
/// CMYK), by a PNG's gamma and chromaticities, or by a HEIF file's nclx
/// colour description; and from sRGB to the display's profile for drawing.
///
/// Transforms are built once per profile and kept (a few at a time) for the
/// pictures after; they are shared by every thread, and a large picture is
/// converted in bands of rows on as many threads as there are cores. A
/// profile lcms2 cannot read, or of another colour space, or whose
/// transform cannot be built, is ignored: the picture keeps its values.
class CColourManager
{
public:
    /// On by default; off, nothing is converted.
    static void SetEnabled(bool enabled);
    static bool IsEnabled();

    /// Converts bmp (8 bits: its palette; 32 bits: its pixels, alpha kept)
    /// from the colour space of the ICC profile to sRGB. Returns whether it did.
    static bool ProfileToSrgb(CBmp& bmp, const uint8_t* icc, size_t size);
    /// The conversion ProfileToSrgb makes of a 32-bit picture with the
    /// profile, for converting its rows as they are decoded; null when
    /// there is none to make.
    static std::shared_ptr<const CColourTransform> ProfileTransform(const uint8_t* icc,
                                                                    size_t size);
    /// n 32-bit pixels (blue, green, red, alpha) through the conversion, in place.
    static void ConvertPixels(const CColourTransform& transform, uint8_t* bgra, size_t n);
    /// Converts bmp from the space a PNG's gAMA chunk (the file gamma, 1/2.2
    /// for sRGB-like files) and, when not null, cHRM chunk describe: eight
    /// values, x and y of the white point, then of red, green and blue.
    static bool GammaToSrgb(CBmp& bmp, double gamma, const double* chromaticities);
    /// Converts bmp from the colour primaries and transfer characteristics
    /// of ITU-T H.273 (as HEIF's nclx box gives them). Unknown values and
    /// the HDR curves (PQ, HLG) are left alone. Returns whether it did.
    static bool NclxToSrgb(CBmp& bmp, int primaries, int transfer);

    /// Whether the profile is one of CMYK data: a decoder then keeps the
    /// inks in the bitmap's pixels for CmykToSrgb.
    static bool IsCmykProfile(const uint8_t* icc, size_t size);
    /// Turns bmp's 32-bit pixels, which hold cyan, magenta, yellow and black
    /// in bytes 0 to 3 (255 - ink when inverted, as Adobe writes them), into
    /// opaque sRGB colours: through the CMYK profile when there is a usable
    /// one and colour management is on, else by the naive conversion (each
    /// ink takes away its share of the light black leaves).
    static void CmykToSrgb(CBmp& bmp, const uint8_t* icc, size_t size, bool inverted);

    /// The ICC profile of the display (null or empty for sRGB); one that is
    /// not an RGB display profile, or says it is sRGB, counts as sRGB.
    /// Returns whether pictures are now converted for the display.
    static bool SetDisplayProfile(const uint8_t* icc, size_t size);
    /// Whether the display has a profile of its own and colour management is on.
    static bool HasDisplayProfile();
    /// Converts bmp (sRGB) to the display's profile. Returns whether it did.
    static bool SrgbToDisplay(CBmp& bmp);
};
