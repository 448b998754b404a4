#pragma once
#include "PaletteEntry.h"

#include <cstdint>
#include <vector>

/// Turns CIE L*a*b* colours relative to a reference white into sRGB pixels
/// (D65, with sRGB's transfer curve); the white is adapted to D65 by the
/// Bradford transform, so that the reference white shows as white.
class CLabConverter
{
public:
    /// whiteX, whiteY: the reference white's chromaticity (D50 is
    /// 0.3457, 0.3585).
    CLabConverter(double whiteX, double whiteY);

    /// L* from 0 to 100, a* and b* as signed values; opaque.
    PaletteEntry ToPixel(double l, double a, double b) const;

private:
    uint8_t Encode(double linear) const;

    double m_Matrix[3][3]; // XYZ relative to the white, to linear sRGB
    std::vector<uint8_t> m_Encode; // sRGB transfer curve by linear value
};
