// Uses each exported class once through the installed headers and library,
// compiled as C++11.
#include <tarncrypt/Blowfish.h>
#include <tarncrypt/BlowfishOps.h>
#include <tarncrypt/Crc.h>
#include <tarncrypt/Diamond2.h>
#include <tarncrypt/Diamond2Ops.h>
#include <tarncrypt/Messages.h>
#include <tarncrypt/PartialOutputs.h>
#include <tarncrypt/Sapphire.h>
#include <tarncrypt/Sapphire2Ops.h>

#include <cstdio>
#include <cstring>

static_assert(__cplusplus == 201103L, "the package asked for a newer standard than C++11");

int main()
{
    const uint8_t key[] = "consumer";
    uint8_t block[16] = "sixteen bytes..";
    CBlowfish bf(key, 8);
    bf.Encrypt(block, 16);
    bf.Decrypt(block, 16);
    if (std::memcmp(block, "sixteen bytes..", 16) != 0)
        return 1;

    sapphire enc(key, 8), dec(key, 8);
    if (dec.decrypt(enc.encrypt('x')) != 'x')
        return 2;

    tarncrypt::SetMessageHandler([](const char*, void*) {});
    CBlowfishOps blowfishOps;
    CSapphire2Ops sapphireOps;
    CDiamond2Ops diamondOps;
    Crc crc;
    CDiamond2 diamond;
    if (blowfishOps.EncryptFileA("/nonexistent/in", "/nonexistent/out", key, 8) != -1)
        return 3;
    if (sapphireOps.EncryptFileA("/nonexistent/in", "/nonexistent/out", "k") != 13)
        return 4;
    if (CDiamond2Ops::CryptFile('e', "/nonexistent/in", "/nonexistent/out", "k") != 13)
        return 5;
    tarncrypt::RemovePartialOutputs();
    std::puts("consumer ok");
    return 0;
}
