#pragma once
#include "tarncrypt/Export.h"

#include <cstdint>

/// The Blowfish block cipher (64-bit block, 16 rounds) over a memory buffer.
///
/// Each 8-byte block is read as two little-endian 32-bit words, bytes 0-3
/// the left half and bytes 4-7 the right half, and written back the same
/// way. Ciphertexts therefore differ from those of big-endian
/// implementations with the same key. Copying an object copies its tables.
class TARNCRYPT_API CBlowfish
{
public:
    /// Keys the cipher. Key bytes are used cyclically, so any length from 1
    /// up works; a null key or a length of 0 or less leaves the object
    /// unkeyed, and then Encrypt() and Decrypt() change nothing.
    CBlowfish(const uint8_t* key, int16_t keyLength);

    /// The key schedule: starts again from the initial tables and mixes in
    /// the key. Returns 1, or 0 (object unchanged) for a null key or a
    /// length of 0 or less.
    int InitializeBlowfish(const uint8_t* key, int16_t keyLength);

    /// Encrypts every whole 8-byte block of `data` in place, in electronic
    /// codebook order; the last `length % 8` bytes stay as they are.
    /// Returns 1, or 0 when the object is unkeyed.
    int Encrypt(uint8_t* data, uint32_t length);
    /// The inverse of Encrypt().
    int Decrypt(uint8_t* data, uint32_t length);

protected:
    /// One block: the left and right halves in place.
    void Blowfish_encipher(uint32_t* xl, uint32_t* xr);
    void Blowfish_decipher(uint32_t* xl, uint32_t* xr);

private:
    uint32_t m_P[18];
    uint32_t m_S[4][256];
    /// Bytes processed by the last Encrypt() or Decrypt(): the length
    /// rounded down to a multiple of 8.
    uint32_t m_dwLength = 0;
    bool m_bKeyed = false;
};
