// tarncrypt: encrypts or decrypts one file with Blowfish, Sapphire II or
// Diamond2. The key comes from --key, else "DLOCK_KEY", else a prompt on
// the terminal. The exit status is 0, 2 for a usage error, or the
// library's result code (Blowfish's -1 reads as 255).
#include "tarncrypt/BlowfishOps.h"
#include "tarncrypt/Diamond2Ops.h"
#include "tarncrypt/Sapphire2Ops.h"

#include "PassPhrase.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

namespace
{
constexpr int kUsage = 2;
constexpr int kNoKey = 10;

int Usage()
{
    std::fprintf(stderr,
                 "usage: tarncrypt blowfish|sapphire|diamond2 encrypt|decrypt INPUT OUTPUT "
                 "[--key KEY]\n"
                 "The key comes from --key, else the environment variable DLOCK_KEY, else a\n"
                 "prompt on the terminal (asked twice when encrypting).\n");
    return kUsage;
}

const char* Describe(int code)
{
    switch (code)
    {
    case -1:
        return "the file could not be read or written, or the key is unusable";
    case 3:
        return "no work buffer could be allocated";
    case 5:
        return "out of memory";
    case 10:
        return "no key was obtained";
    case 13:
        return "the input could not be opened or read";
    case 14:
        return "the output could not be created";
    case 15:
        return "a write failed";
    case 99:
        return "the output could not be completed";
    default:
        return "failed";
    }
}

int RunBlowfish(bool bEncrypt, const char* in, const char* out, const std::string& key)
{
    if (key.size() > INT16_MAX)
    {
        std::fprintf(stderr, "tarncrypt: a Blowfish key has at most %d bytes\n", INT16_MAX);
        return kUsage;
    }
    CBlowfishOps ops;
    const auto* bytes = reinterpret_cast<const uint8_t*>(key.data());
    const auto length = int16_t(key.size());
    return bEncrypt ? ops.EncryptFileA(in, out, bytes, length)
                    : ops.DecryptFileA(in, out, bytes, length);
}

int RunSapphire(bool bEncrypt, const char* in, const char* out, const std::string& key)
{
    CSapphire2Ops ops;
    return bEncrypt ? ops.EncryptFileA(in, out, key.c_str())
                    : ops.DecryptFileA(in, out, key.c_str());
}

int RunDiamond2(bool bEncrypt, const char* in, const char* out, const std::string& key)
{
    return CDiamond2Ops::CryptFile(bEncrypt ? 'e' : 'd', in, out, key.c_str());
}
} // namespace

int main(int argc, char** argv)
{
    std::optional<std::string> key;
    const char* positional[4] = {};
    int count = 0;
    for (int i = 1; i < argc; i++)
    {
        const std::string_view arg = argv[i];
        if (arg == "--key" && i + 1 < argc)
            key = argv[++i];
        else if (arg.rfind("--key=", 0) == 0)
            key = std::string(arg.substr(6));
        else if (arg == "-h" || arg == "--help")
            return Usage(), 0;
        else if (count < 4 && !(arg.size() > 1 && arg[0] == '-' && arg[1] == '-'))
            positional[count++] = argv[i];
        else
            return Usage();
    }
    if (count != 4)
        return Usage();
    const std::string_view cipher = positional[0], direction = positional[1];
    if (direction != "encrypt" && direction != "decrypt")
        return Usage();
    const bool bEncrypt = direction == "encrypt";
    int (*run)(bool, const char*, const char*, const std::string&) = nullptr;
    if (cipher == "blowfish")
        run = RunBlowfish;
    else if (cipher == "sapphire")
        run = RunSapphire;
    else if (cipher == "diamond2")
        run = RunDiamond2;
    else
        return Usage();

    if (!key)
    {
        key = tarncrypt::GetPassPhrase(bEncrypt);
        if (key->empty())
        {
            std::fprintf(stderr, "tarncrypt: %s\n", Describe(kNoKey));
            return kNoKey;
        }
    }
    const int rc = run(bEncrypt, positional[2], positional[3], *key);
    if (rc != 0)
        std::fprintf(stderr, "tarncrypt: %s %s %s: %s (code %d)\n", positional[0], positional[1],
                     positional[2], Describe(rc), rc);
    return rc;
}
