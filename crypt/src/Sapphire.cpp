#include "tarncrypt/Sapphire.h"

#include <string.h>

sapphire::sapphire(const uint8_t* key, uint8_t keySize)
{
    if (key && keySize)
        initialize(key, keySize);
    else
        hash_init();
}

sapphire::~sapphire()
{
    burn();
}

uint8_t sapphire::keyrand(int limit, const uint8_t* key, uint8_t keySize, uint8_t* rsum,
                          unsigned* keyPos)
{
    if (limit == 0)
        return 0;
    unsigned mask = 1;
    while (mask < unsigned(limit))
        mask = (mask << 1) + 1;
    int attempts = 0;
    unsigned u;
    do
    {
        *rsum = uint8_t(cards[*rsum] + key[(*keyPos)++]);
        if (*keyPos >= keySize)
        {
            *keyPos = 0;
            *rsum = uint8_t(*rsum + keySize);
        }
        u = mask & *rsum;
        // Bounds the loop; the bias this brings is negligible.
        if (++attempts > 11)
            u %= unsigned(limit);
    } while (u > unsigned(limit));
    return uint8_t(u);
}

void sapphire::initialize(const uint8_t* key, uint8_t keySize)
{
    if (!key || keySize == 0)
    {
        hash_init();
        return;
    }
    for (int i = 0; i < 256; i++)
        cards[i] = uint8_t(i);
    unsigned keyPos = 0;
    uint8_t rsum = 0;
    for (int i = 255; i >= 0; i--)
    {
        const uint8_t j = keyrand(i, key, keySize, &rsum, &keyPos);
        const uint8_t t = cards[i];
        cards[i] = cards[j];
        cards[j] = t;
    }
    rotor = cards[1];
    ratchet = cards[3];
    avalanche = cards[5];
    lastPlain = cards[7];
    lastCipher = cards[rsum];
}

void sapphire::hash_init()
{
    rotor = 1;
    ratchet = 3;
    avalanche = 5;
    lastPlain = 7;
    lastCipher = 11;
    for (int i = 0; i < 256; i++)
        cards[i] = uint8_t(255 - i);
}

uint8_t sapphire::StepAndMask()
{
    ratchet = uint8_t(ratchet + cards[rotor++]);
    const uint8_t t = cards[lastCipher];
    cards[lastCipher] = cards[ratchet];
    cards[ratchet] = cards[lastPlain];
    cards[lastPlain] = cards[rotor];
    cards[rotor] = t;
    avalanche = uint8_t(avalanche + cards[t]);
    return cards[uint8_t(cards[ratchet] + cards[rotor])] ^
           cards[cards[uint8_t(cards[lastPlain] + cards[lastCipher] + cards[avalanche])]];
}

uint8_t sapphire::encrypt(uint8_t b)
{
    const uint8_t out = b ^ StepAndMask();
    lastPlain = b;
    lastCipher = out;
    return out;
}

uint8_t sapphire::decrypt(uint8_t b)
{
    const uint8_t out = b ^ StepAndMask();
    lastCipher = b;
    lastPlain = out;
    return out;
}

void sapphire::hash_final(uint8_t* hash, uint8_t hashLength)
{
    for (int i = 255; i >= 0; i--)
        encrypt(uint8_t(i));
    for (int i = 0; i < hashLength; i++)
        hash[i] = encrypt(0);
}

void sapphire::burn()
{
    // explicit_bzero: the stores survive even in a dying object.
    explicit_bzero(cards, sizeof(cards));
    rotor = ratchet = avalanche = lastPlain = lastCipher = 0;
}
