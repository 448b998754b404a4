#pragma once
#include "tarncrypt/Export.h"

#include <cstdint>
#include <string>

class CBlowfish;
namespace tarncrypt
{
class CInputFile;
class COutputFile;
} // namespace tarncrypt

/// Blowfish over whole files, and in place over buffers with a key of the
/// object's own.
///
/// A file is processed in 2048-byte pieces; every whole 8-byte block is
/// encrypted with CBlowfish and the last `length % 8` bytes of the file pass
/// through unencrypted, so the output has the input's length.
///
/// The output appears only when complete, as a new file put in the place of
/// the old (see RemovePartialOutputs()): a failure leaves an existing
/// output as it was, and the output may name the input itself. An existing
/// output the caller may not write is refused; a replaced one keeps its
/// mode, and its owner and group where the caller may set them.
class TARNCRYPT_API CBlowfishOps
{
public:
    /// An object without a key of its own: Encrypt() and Decrypt() refuse.
    CBlowfishOps();
    /// Keys the object's own tables for Encrypt() and Decrypt(). The key is
    /// not copied. A null key or a length of 0 or less leaves it unkeyed.
    CBlowfishOps(const uint8_t* key, int16_t keyLength);
    virtual ~CBlowfishOps();
    CBlowfishOps(const CBlowfishOps&) = delete;
    CBlowfishOps& operator=(const CBlowfishOps&) = delete;

    /// Encrypts the file `inPath` into `outPath` under `key`.
    /// Returns 0 on success, -1 when the key length is 0 or less, a file
    /// cannot be opened, read or written, or the output may not be written
    /// ("File could not be opened " is reported when a file cannot be
    /// opened).
    int EncryptFileA(const char* inPath, const char* outPath, const uint8_t* key,
                     int16_t keyLength);
    /// The inverse of EncryptFileA(), with the same results.
    int DecryptFileA(const char* inPath, const char* outPath, const uint8_t* key,
                     int16_t keyLength);

    /// Encrypts `data` in place with the object's own key. Returns 0 (data
    /// untouched) when `length` is not a multiple of 8 or the object has no
    /// key, otherwise 1 (also for length 0).
    int Encrypt(uint8_t* data, uint32_t length);
    /// The inverse of Encrypt(), with the same results.
    int Decrypt(uint8_t* data, uint32_t length);

protected:
    /// Keys the object's own tables; returns 0 (tables unchanged) for a null
    /// key or a length of 0 or less, else 1.
    int InitializeBlowfish(const uint8_t* key, int16_t keyLength);

    /// The piece loop of a file call: 'E' or 'e' encrypts, 'D' or 'd'
    /// decrypts, anything else copies. Returns 0, or -1 on a read or write
    /// error.
    int StreamOut(char direction);

private:
    int ProcessFile(char direction, const char* inPath, const char* outPath, const uint8_t* key,
                    int16_t keyLength);

    tarncrypt::CInputFile* m_pInFile = nullptr;
    tarncrypt::COutputFile* m_pOutFile = nullptr;
    std::string m_strInPath;
    std::string m_strOutPath;
    /// Created from the key of a file call and deleted at its end.
    CBlowfish* m_pBlowfish = nullptr;

    uint8_t m_buffer[2048];
    uint64_t m_nPiece = 0;      ///< 0-based index of the piece being processed
    uint64_t m_nRemaining = 0;  ///< bytes of the input not yet processed
    uint64_t m_nFileLength = 0; ///< the input's length in bytes
    uint32_t m_nBufPos = 0;     ///< read position within the buffer, always 0
    uint32_t m_nPieceLength = 0;

    uint32_t m_P[18];
    uint32_t m_S[4][256];
    bool m_bKeyed = false;
    const uint8_t* m_pKey = nullptr;
    int16_t m_nKeyLength = 0;
};
