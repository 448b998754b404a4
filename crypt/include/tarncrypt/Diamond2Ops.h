#pragma once
#include "tarncrypt/Export.h"

#include <cstdint>

/// Diamond2 (16-byte blocks, 10 rounds, key-driven substitution boxes) over
/// whole files in full-block cipher-feedback mode; the output has the
/// input's length.
///
/// Result codes of the file calls:
/// | code | meaning |
/// |------|---------|
/// | 0    | success (also CryptFile() with an unknown mode) |
/// | 3    | the work buffer cannot be allocated |
/// | 5    | the substitution boxes cannot be allocated |
/// | 10   | no key was obtained |
/// | 13   | the input cannot be opened or read |
/// | 14   | the output cannot be created, or may not be written |
/// | 15   | a write wrote fewer bytes than asked |
/// | 99   | the output cannot be completed (closing it failed) |
///
/// The output appears only when complete, as a new file put in the place of
/// the old (see RemovePartialOutputs()): a failure leaves an existing
/// output as it was, and the output may name the input itself. An existing
/// output the caller may not write is refused; a replaced one keeps its
/// mode, and its owner and group where the caller may set them.
/// A new output is readable and writable by its owner only.
class TARNCRYPT_API CDiamond2Ops
{
public:
    CDiamond2Ops();
    virtual ~CDiamond2Ops();
    CDiamond2Ops(const CDiamond2Ops&) = delete;
    CDiamond2Ops& operator=(const CDiamond2Ops&) = delete;

    /// Mode 'e' (101) encrypts `inPath` into `outPath`, mode 'd' (100)
    /// decrypts; any other mode does nothing and returns 0. An empty or null
    /// key is taken from the environment variable "DLOCK_KEY" when it is
    /// set, else asked for on the terminal (twice when encrypting).
    static int CryptFile(int mode, const char* inPath, const char* outPath, const char* key);

protected:
    /// Encrypts with `keyLength` bytes of `key` (at least one, else 10).
    static int Encrypt_file(const char* inPath, const char* outPath, unsigned keyLength,
                            const uint8_t* key);
    /// The inverse of Encrypt_file(), with the same results.
    static int Decrypt_file(const char* inPath, const char* outPath, unsigned keyLength,
                            const uint8_t* key);
};
