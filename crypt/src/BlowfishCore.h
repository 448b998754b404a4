#pragma once
// The Blowfish engine shared by CBlowfish and CBlowfishOps, which each keep
// tables of their own.
#include <cstdint>
#include <cstring>

namespace tarncrypt::blowfish
{
constexpr int kRounds = 16;

extern const uint32_t kInitialP[kRounds + 2];
extern const uint32_t kInitialS[4][256];

/// Loads the initial tables and mixes in `keyLength` key bytes, taken
/// cyclically. Returns false, tables untouched, for a null key or a length
/// of 0 or less.
bool KeySchedule(uint32_t P[kRounds + 2], uint32_t S[4][256], const uint8_t* key, int keyLength);

inline uint32_t F(const uint32_t S[4][256], uint32_t x)
{
    return ((S[0][x >> 24] + S[1][(x >> 16) & 255]) ^ S[2][(x >> 8) & 255]) + S[3][x & 255];
}

inline void Encipher(const uint32_t P[kRounds + 2], const uint32_t S[4][256], uint32_t& xl,
                     uint32_t& xr)
{
    uint32_t l = xl, r = xr;
    for (int i = 0; i < kRounds; i += 2)
    {
        l ^= P[i];
        r ^= F(S, l);
        r ^= P[i + 1];
        l ^= F(S, r);
    }
    xl = r ^ P[kRounds + 1];
    xr = l ^ P[kRounds];
}

inline void Decipher(const uint32_t P[kRounds + 2], const uint32_t S[4][256], uint32_t& xl,
                     uint32_t& xr)
{
    uint32_t l = xl, r = xr;
    for (int i = kRounds + 1; i > 1; i -= 2)
    {
        l ^= P[i];
        r ^= F(S, l);
        r ^= P[i - 1];
        l ^= F(S, r);
    }
    xl = r ^ P[0];
    xr = l ^ P[1];
}

/// Runs every whole 8-byte block of `data` through the cipher in place; a
/// block's halves are little-endian words, bytes 0-3 the left one.
template <bool bEncrypt>
void CryptBlocks(const uint32_t P[kRounds + 2], const uint32_t S[4][256], uint8_t* data,
                 uint32_t length)
{
    static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__,
                  "blocks are loaded as native little-endian words");
    const uint32_t end = length & ~7u;
    for (uint32_t i = 0; i < end; i += 8)
    {
        uint32_t half[2];
        std::memcpy(half, data + i, 8);
        if constexpr (bEncrypt)
            Encipher(P, S, half[0], half[1]);
        else
            Decipher(P, S, half[0], half[1]);
        std::memcpy(data + i, half, 8);
    }
}
} // namespace tarncrypt::blowfish
