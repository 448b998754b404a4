// tarncrypt: encrypts or decrypts one file with Blowfish, Sapphire II or
// Diamond2. The key comes from --key, else "DLOCK_KEY", else a prompt on
// the terminal. The exit status is 0, 2 for a usage error or a key that
// would encrypt nothing, or the library's result code (Blowfish's -1 reads
// as 255).
#include "tarncrypt/BlowfishOps.h"
#include "tarncrypt/Diamond2Ops.h"
#include "tarncrypt/Messages.h"
#include "tarncrypt/PartialOutputs.h"
#include "tarncrypt/Sapphire2Ops.h"

#include "PassPhrase.h"

#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string.h>
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
                 "prompt on the terminal (asked twice when encrypting). --key shows the key in\n"
                 "the process list: prefer DLOCK_KEY or the prompt.\n"
                 "No format detects a wrong key or a damaged file: decrypting with a wrong key\n"
                 "succeeds and writes garbage. Blowfish works in ECB mode and leaves the last\n"
                 "length %% 8 bytes of a file in plain text.\n");
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
        return "the output could not be created, or may not be written";
    case 15:
        return "a write failed";
    case 99:
        return "the output could not be completed";
    default:
        return "failed";
    }
}

/// An interrupted run leaves no partial output and no silent terminal, then
/// ends by the signal as it would have without this handler.
void OnTerminate(int signal)
{
    tarncrypt::RemovePartialOutputs();
    tarncrypt::RestoreTerminal();
    std::raise(signal); // the handler was reset and the signal is blocked until it returns
}

void HandleTerminationSignals()
{
    for (int signal : {SIGINT, SIGTERM, SIGHUP})
    {
        struct sigaction action = {};
        sigaction(signal, nullptr, &action);
        // A signal ignored by whoever started us (nohup, a background job)
        // stays ignored.
        if (action.sa_handler == SIG_IGN)
            continue;
        action = {};
        action.sa_handler = OnTerminate;
        action.sa_flags = SA_RESETHAND;
        sigemptyset(&action.sa_mask);
        sigaction(signal, &action, nullptr);
    }
}

/// Why `key` must not be used with `cipher`, or null when it may.
const char* RefuseKey(std::string_view cipher, const std::string& key)
{
    if (key.empty())
        return "the key is empty and would encrypt nothing";
    if (cipher == "sapphire" && key.size() % 256 == 0)
        return "a Sapphire II key whose length is a multiple of 256 leaves the cipher unkeyed "
               "and would encrypt nothing; use a longer or shorter key";
    if (cipher == "blowfish" && key.size() > INT16_MAX)
        return "a Blowfish key has at most 32767 bytes";
    return nullptr;
}

int RunBlowfish(bool bEncrypt, const char* in, const char* out, const std::string& key)
{
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

    HandleTerminationSignals();
    if (!key)
    {
        if (const char* value = std::getenv("DLOCK_KEY"))
            key = value;
        else if (key = tarncrypt::PromptPassPhrase(bEncrypt); key->empty())
        {
            std::fprintf(stderr, "tarncrypt: %s\n", Describe(kNoKey));
            return kNoKey;
        }
    }
    if (const char* why = RefuseKey(cipher, *key))
    {
        std::fprintf(stderr, "tarncrypt: %s\n", why);
        return kUsage;
    }

    // The library's own texts, shown once, as part of the tool's line.
    std::string libraryText;
    tarncrypt::SetMessageHandler(
        [](const char* text, void* context)
        {
            auto& kept = *static_cast<std::string*>(context);
            kept = text;
            while (!kept.empty() && kept.back() == ' ')
                kept.pop_back();
        },
        &libraryText);
    const int rc = run(bEncrypt, positional[2], positional[3], *key);
    explicit_bzero(key->data(), key->size());
    if (rc != 0)
        std::fprintf(stderr, "tarncrypt: %s %s %s to %s: %s (code %d)\n", positional[0],
                     positional[1], positional[2], positional[3],
                     libraryText.empty() ? Describe(rc) : libraryText.c_str(), rc);
    else if (!libraryText.empty())
        std::fprintf(stderr, "tarncrypt: %s\n", libraryText.c_str());
    return rc;
}
