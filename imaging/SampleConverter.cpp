#include "SampleConverter.h"

#include <cmath>
#include <cstring>

namespace
{
float HalfToFloat(uint16_t h)
{
    const int exponent = (h >> 10) & 0x1F;
    const int mantissa = h & 0x3FF;
    float v;
    if (exponent == 0)
        v = std::ldexp(float(mantissa), -24);
    else if (exponent == 31)
        v = mantissa ? NAN : INFINITY;
    else
        v = std::ldexp(float(mantissa | 0x400), exponent - 25);
    return (h & 0x8000) ? -v : v;
}
} // namespace

bool CSampleConverter::Supports(int bits, Format format)
{
    if (format == kFloat)
        return bits == 16 || bits == 32 || bits == 64;
    return bits >= 1 && bits <= 32;
}

CSampleConverter::CSampleConverter(int bits, Format format) : m_nBits(bits), m_Format(format)
{
    if (bits > 16 || (bits == 8 && format == kUnsigned))
        return;
    m_Table.resize(size_t(1) << bits);
    for (uint32_t v = 0; v < m_Table.size(); v++)
        m_Table[v] = format == kFloat ? ScaleFloat(HalfToFloat(uint16_t(v))) : Scale(v);
}

uint8_t CSampleConverter::ScaleFloat(double v) const
{
    if (!(v > 0))
        return 0;
    return v >= 1 ? 255 : uint8_t(v * 255 + 0.5);
}

uint8_t CSampleConverter::Scale(uint32_t raw) const
{
    uint64_t v = raw;
    uint64_t max = (uint64_t(1) << m_nBits) - 1;
    if (m_Format == kSigned)
    {
        // Negative values are below black.
        if (m_nBits == 1 || (raw >> (m_nBits - 1)) & 1)
            return 0;
        max >>= 1;
    }
    return uint8_t((v * 255 + max / 2) / max);
}

uint32_t CSampleConverter::Raw(const uint8_t* src, size_t i) const
{
    switch (m_nBits)
    {
    case 8:
        return src[i];
    case 16:
    {
        uint16_t v;
        std::memcpy(&v, src + 2 * i, 2);
        return v;
    }
    case 24:
    {
        const uint8_t* p = src + 3 * i;
        return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16;
    }
    case 32:
    {
        uint32_t v;
        std::memcpy(&v, src + 4 * i, 4);
        return v;
    }
    default:
    {
        // Packed, most significant bit first: up to 5 bytes hold the sample.
        const size_t bit = i * size_t(m_nBits);
        const uint8_t* p = src + bit / 8;
        const int skip = int(bit % 8);
        const int bytes = (skip + m_nBits + 7) / 8;
        uint64_t window = 0;
        for (int k = 0; k < bytes; k++)
            window = window << 8 | p[k];
        const int drop = bytes * 8 - skip - m_nBits;
        return uint32_t((window >> drop) & ((uint64_t(1) << m_nBits) - 1));
    }
    }
}

void CSampleConverter::To8(const uint8_t* src, size_t n, uint8_t* out) const
{
    if (m_Format == kFloat && m_nBits > 16)
    {
        for (size_t i = 0; i < n; i++)
        {
            double v;
            if (m_nBits == 32)
            {
                float f;
                std::memcpy(&f, src + 4 * i, 4);
                v = f;
            }
            else
                std::memcpy(&v, src + 8 * i, 8);
            out[i] = ScaleFloat(v);
        }
        return;
    }
    if (m_nBits == 8 && m_Format == kUnsigned)
    {
        std::memcpy(out, src, n);
        return;
    }
    if (m_nBits == 16)
    {
        for (size_t i = 0; i < n; i++)
        {
            uint16_t v;
            std::memcpy(&v, src + 2 * i, 2);
            out[i] = m_Table[v];
        }
        return;
    }
    if (!m_Table.empty())
    {
        for (size_t i = 0; i < n; i++)
            out[i] = m_Table[Raw(src, i)];
        return;
    }
    for (size_t i = 0; i < n; i++)
        out[i] = Scale(Raw(src, i));
}
