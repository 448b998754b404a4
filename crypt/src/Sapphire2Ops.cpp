#include "tarncrypt/Sapphire2Ops.h"

#include "tarncrypt/Sapphire.h"

#include "FileTransform.h"

#include <cstring>
#include <string.h>

using namespace tarncrypt;

namespace
{
int CryptFile(bool bEncrypt, const char* inPath, const char* outPath, const char* passPhrase)
{
    // The key is the phrase's first (length mod 256) bytes, which always lie
    // within its first 255 characters: only those are kept.
    const size_t length = passPhrase ? std::strlen(passPhrase) : 0;
    uint8_t key[256] = {};
    if (passPhrase)
        std::memcpy(key, passPhrase, length < 255 ? length : 255);
    sapphire cipher;
    const int rc = TransformFile(
        inPath, outPath, 0666,
        [&]
        {
            cipher.initialize(key, uint8_t(length % 256));
            return 0;
        },
        [&](uint8_t* data, size_t size)
        {
            if (bEncrypt)
                for (size_t i = 0; i < size; i++)
                    data[i] = cipher.encrypt(data[i]);
            else
                for (size_t i = 0; i < size; i++)
                    data[i] = cipher.decrypt(data[i]);
        },
        {"infile was not closed", "outfile was not closed"});
    cipher.burn();
    explicit_bzero(key, sizeof(key));
    return rc;
}
} // namespace

CSapphire2Ops::CSapphire2Ops() = default;

CSapphire2Ops::~CSapphire2Ops() = default;

int CSapphire2Ops::EncryptFileA(const char* inPath, const char* outPath, const char* passPhrase)
{
    return CryptFile(true, inPath, outPath, passPhrase);
}

int CSapphire2Ops::DecryptFileA(const char* inPath, const char* outPath, const char* passPhrase)
{
    return CryptFile(false, inPath, outPath, passPhrase);
}
