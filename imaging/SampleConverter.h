#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

/// Turns stored samples into 8-bit values: unsigned and signed integers of 1
/// to 32 bits, floating point of 16, 32 and 64 bits.
///
/// Samples of 8, 16, 24, 32 and 64 bits are in the machine's byte order (as
/// libtiff hands them out); other sizes are packed most significant bit
/// first, from the first bit of the buffer. Unsigned values scale from 0 to
/// the largest value, signed ones from 0 to the largest positive value and
/// floating-point ones from 0 to 1, each rounded and clamped (negative values
/// and NaN give 0).
class CSampleConverter
{
public:
    enum Format
    {
        kUnsigned,
        kSigned,
        kFloat,
    };

    static bool Supports(int bits, Format format);

    CSampleConverter(int bits, Format format);

    /// n samples from src into out.
    void To8(const uint8_t* src, size_t n, uint8_t* out) const;
    /// 8-bit unsigned samples are their own values.
    bool IsIdentity() const { return m_nBits == 8 && m_Format == kUnsigned; }
    /// The 8-bit value of every 16-bit sample, or null for other sizes.
    const uint8_t* Table16() const { return m_nBits == 16 ? m_Table.data() : nullptr; }
    /// The stored value of sample i, for integers of up to 32 bits.
    uint32_t Raw(const uint8_t* src, size_t i) const;

private:
    uint8_t Scale(uint32_t raw) const;
    uint8_t ScaleFloat(double v) const;

    int m_nBits;
    Format m_Format;
    std::vector<uint8_t> m_Table; // by raw value, for samples of up to 16 bits
};
