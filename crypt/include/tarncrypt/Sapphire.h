#pragma once
#include "tarncrypt/Export.h"

#include <cstdint>

/// The Sapphire II stream cipher, which also serves as a hash.
///
/// The state changes with every byte and feeds back the last plaintext and
/// ciphertext byte, so one object holds the state of one message: encrypt
/// and decrypt with objects keyed alike and feed them the same sequence.
/// Copying an object copies its state; destroying it burns the state.
class TARNCRYPT_API sapphire
{
public:
    /// With a key and a non-zero size, runs initialize(); otherwise the
    /// object starts in the keyless hash state of hash_init().
    explicit sapphire(const uint8_t* key = nullptr, uint8_t keySize = 0);
    ~sapphire();

    /// Key set-up from `keySize` key bytes; a size of 0 runs hash_init().
    void initialize(const uint8_t* key, uint8_t keySize);
    /// The fixed keyless state a hash starts from.
    void hash_init();

    uint8_t encrypt(uint8_t b = 0);
    uint8_t decrypt(uint8_t b);

    /// Finishes a hash: `hashLength` bytes into `hash`.
    void hash_final(uint8_t* hash, uint8_t hashLength);

    /// Zeroes the permutation and the indices.
    void burn();

private:
    uint8_t keyrand(int limit, const uint8_t* key, uint8_t keySize, uint8_t* rsum,
                    unsigned* keyPos);
    /// The keystream byte of the current state, after the state has moved on.
    uint8_t StepAndMask();

    uint8_t cards[256];
    uint8_t rotor;
    uint8_t ratchet;
    uint8_t avalanche;
    uint8_t lastPlain;
    uint8_t lastCipher;
};
