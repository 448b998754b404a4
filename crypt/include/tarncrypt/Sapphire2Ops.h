#pragma once
#include "tarncrypt/Export.h"

/// Sapphire II over whole files, one byte at a time, under a text pass
/// phrase; the output has the input's length.
///
/// The cipher is keyed with the pass phrase's length taken modulo 256, so a
/// phrase of 256 characters, or of none, leaves it keyless (hash_init state).
/// The output appears only when complete, as a new file put in the place of
/// the old (see RemovePartialOutputs()): a failure leaves an existing
/// output as it was, and the output may name the input itself. An existing
/// output the caller may not write is refused; a replaced one keeps its
/// mode, and its owner and group where the caller may set them.
class TARNCRYPT_API CSapphire2Ops
{
public:
    CSapphire2Ops();
    virtual ~CSapphire2Ops();
    CSapphire2Ops(const CSapphire2Ops&) = delete;
    CSapphire2Ops& operator=(const CSapphire2Ops&) = delete;

    /// Encrypts `inPath` into `outPath`. Returns 0 on success, 3 when no
    /// work buffer can be allocated, 13 when the input cannot be opened or
    /// read, 14 when the output cannot be created or may not be written, 15
    /// when a write fails and 99 when the output cannot be completed
    /// ("outfile was not closed").
    int EncryptFileA(const char* inPath, const char* outPath, const char* passPhrase);
    /// The inverse of EncryptFileA(), with the same results.
    int DecryptFileA(const char* inPath, const char* outPath, const char* passPhrase);
};
