#include "LabConverter.h"

#include <algorithm>
#include <cmath>

namespace
{
constexpr int kEncodeSteps = 8192;

using Matrix = double[3][3];

void Multiply(const Matrix a, const Matrix b, Matrix out)
{
    for (int i = 0; i < 3; i++)
        for (int j = 0; j < 3; j++)
            out[i][j] = a[i][0] * b[0][j] + a[i][1] * b[1][j] + a[i][2] * b[2][j];
}

/// The inverse of L*'s cube-root curve.
double LabInverse(double t)
{
    constexpr double kDelta = 6.0 / 29.0;
    return t > kDelta ? t * t * t : 3 * kDelta * kDelta * (t - 4.0 / 29.0);
}
} // namespace

CLabConverter::CLabConverter(double whiteX, double whiteY) : m_Encode(kEncodeSteps + 1)
{
    if (!(whiteX > 0 && whiteY > 0 && whiteX + whiteY < 1))
        whiteX = 0.3457, whiteY = 0.3585;
    const double white[3] = {whiteX / whiteY, 1, (1 - whiteX - whiteY) / whiteY};
    const double d65[3] = {0.95047, 1, 1.08883};

    // Bradford: scale the cone responses from the white to D65's.
    static const Matrix kBradford = {
        {0.8951, 0.2664, -0.1614}, {-0.7502, 1.7135, 0.0367}, {0.0389, -0.0685, 1.0296}};
    static const Matrix kBradfordInverse = {{0.9869929, -0.1470543, 0.1599627},
                                            {0.4323053, 0.5183603, 0.0492912},
                                            {-0.0085287, 0.0400428, 0.9684867}};
    static const Matrix kXyzToSrgb = {
        {3.2404542, -1.5371385, -0.4985314},
        {-0.9692660, 1.8760108, 0.0415560},
        {0.0556434, -0.2040259, 1.0572252}};
    Matrix scale = {};
    for (int i = 0; i < 3; i++)
    {
        double from = 0, to = 0;
        for (int k = 0; k < 3; k++)
        {
            from += kBradford[i][k] * white[k];
            to += kBradford[i][k] * d65[k];
        }
        scale[i][i] = to / from;
    }
    Matrix adapt, tmp, toRgb;
    Multiply(scale, kBradford, tmp);
    Multiply(kBradfordInverse, tmp, adapt);
    Multiply(kXyzToSrgb, adapt, toRgb);
    // Lab gives XYZ relative to the white: fold the white's XYZ in.
    for (int i = 0; i < 3; i++)
        for (int j = 0; j < 3; j++)
            m_Matrix[i][j] = toRgb[i][j] * white[j];

    for (int i = 0; i <= kEncodeSteps; i++)
    {
        const double v = double(i) / kEncodeSteps;
        const double e = v <= 0.0031308 ? 12.92 * v : 1.055 * std::pow(v, 1 / 2.4) - 0.055;
        m_Encode[size_t(i)] = uint8_t(std::clamp(e * 255 + 0.5, 0.0, 255.0));
    }
}

uint8_t CLabConverter::Encode(double linear) const
{
    if (!(linear > 0))
        return 0;
    if (linear >= 1)
        return 255;
    return m_Encode[size_t(linear * kEncodeSteps + 0.5)];
}

PaletteEntry CLabConverter::ToPixel(double l, double a, double b) const
{
    const double fy = (l + 16) / 116;
    const double f[3] = {LabInverse(fy + a / 500), LabInverse(fy), LabInverse(fy - b / 200)};
    double rgb[3];
    for (int i = 0; i < 3; i++)
        rgb[i] = m_Matrix[i][0] * f[0] + m_Matrix[i][1] * f[1] + m_Matrix[i][2] * f[2];
    return PaletteEntry{Encode(rgb[2]), Encode(rgb[1]), Encode(rgb[0]), 255};
}
