#include "BlowfishCore.h"

namespace tarncrypt::blowfish
{
bool KeySchedule(uint32_t P[kRounds + 2], uint32_t S[4][256], const uint8_t* key, int keyLength)
{
    if (!key || keyLength <= 0)
        return false;
    std::memcpy(P, kInitialP, sizeof(kInitialP));
    std::memcpy(S, kInitialS, sizeof(kInitialS));

    // Each P word is XORed with the next four key bytes, big-endian.
    int j = 0;
    for (int i = 0; i < kRounds + 2; i++)
    {
        uint32_t data = 0;
        for (int k = 0; k < 4; k++)
        {
            data = data << 8 | key[j];
            if (++j >= keyLength)
                j = 0;
        }
        P[i] ^= data;
    }

    // Chain the all-zero block through the cipher, replacing P and then the
    // S-boxes two words at a time (521 encryptions).
    uint32_t l = 0, r = 0;
    for (int i = 0; i < kRounds + 2; i += 2)
    {
        Encipher(P, S, l, r);
        P[i] = l;
        P[i + 1] = r;
    }
    for (int box = 0; box < 4; box++)
    {
        for (int i = 0; i < 256; i += 2)
        {
            Encipher(P, S, l, r);
            S[box][i] = l;
            S[box][i + 1] = r;
        }
    }
    return true;
}
} // namespace tarncrypt::blowfish
