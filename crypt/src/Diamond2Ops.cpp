#include "tarncrypt/Diamond2Ops.h"

#include "Diamond2Cipher.h"
#include "FileTransform.h"
#include "PassPhrase.h"

#include <cstring>
#include <string>
#include <string.h>

using namespace tarncrypt;

namespace
{
constexpr int kRounds = 10;
constexpr int kBlockSize = 16;
constexpr int kNoKey = 10;

/// Full-block cipher feedback: each byte is XORed with the register K,
/// which starts as the encryption of the zero block and after every 16
/// bytes becomes the encryption of the 16 cipher bytes just produced. The
/// count runs across pieces, so a short last block uses the current K.
int CryptFeedback(bool bEncrypt, const char* inPath, const char* outPath, unsigned keyLength,
                  const uint8_t* key)
{
    if (!key || keyLength == 0)
        return kNoKey;
    CDiamond2Cipher cipher;
    uint8_t feedback[kBlockSize] = {};
    uint8_t shadow[kBlockSize] = {};
    int i = 0;
    const int rc = TransformFile(
        inPath, outPath, 0600,
        [&]
        {
            const int setup = cipher.SetKey(key, keyLength, kRounds, false, kBlockSize);
            if (setup == 0)
                cipher.EncryptBlock(feedback, feedback);
            return setup;
        },
        [&](uint8_t* data, size_t size)
        {
            for (size_t n = 0; n < size; n++)
            {
                if (bEncrypt)
                {
                    data[n] ^= feedback[i];
                    shadow[i] = data[n];
                }
                else
                {
                    shadow[i] = data[n];
                    data[n] ^= feedback[i];
                }
                if (++i == kBlockSize)
                {
                    cipher.EncryptBlock(shadow, feedback);
                    i = 0;
                }
            }
        },
        {});
    explicit_bzero(feedback, sizeof(feedback));
    explicit_bzero(shadow, sizeof(shadow));
    return rc;
}
} // namespace

CDiamond2Ops::CDiamond2Ops() = default;

CDiamond2Ops::~CDiamond2Ops() = default;

int CDiamond2Ops::Encrypt_file(const char* inPath, const char* outPath, unsigned keyLength,
                               const uint8_t* key)
{
    return CryptFeedback(true, inPath, outPath, keyLength, key);
}

int CDiamond2Ops::Decrypt_file(const char* inPath, const char* outPath, unsigned keyLength,
                               const uint8_t* key)
{
    return CryptFeedback(false, inPath, outPath, keyLength, key);
}

int CDiamond2Ops::CryptFile(int mode, const char* inPath, const char* outPath, const char* key)
{
    const bool bEncrypt = mode == 'e';
    if (!bEncrypt && mode != 'd')
        return 0;
    std::string keyText = key ? key : "";
    if (keyText.empty())
        keyText = GetPassPhrase(bEncrypt);
    if (keyText.empty())
        return kNoKey;
    const auto* bytes = reinterpret_cast<const uint8_t*>(keyText.data());
    const unsigned length = unsigned(keyText.size());
    const int rc = bEncrypt ? Encrypt_file(inPath, outPath, length, bytes)
                            : Decrypt_file(inPath, outPath, length, bytes);
    explicit_bzero(keyText.data(), keyText.size());
    return rc;
}
