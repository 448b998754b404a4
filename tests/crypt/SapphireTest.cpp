// Sapphire II: known answers, byte feedback, keyless phrases, hashing.
#include "tarncrypt/Sapphire.h"
#include "tarncrypt/Sapphire2Ops.h"

#include "TempDir.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

namespace
{
std::string ToHex(const Bytes& data)
{
    std::string out;
    char buf[3];
    for (uint8_t b : data)
    {
        std::snprintf(buf, sizeof(buf), "%02x", b);
        out += buf;
    }
    return out;
}

Bytes KnownPlain()
{
    Bytes plain(50);
    for (size_t i = 0; i < plain.size(); i++)
        plain[i] = uint8_t(i * 31 + 7);
    return plain;
}

Bytes Encrypt(sapphire& cipher, Bytes data)
{
    for (auto& b : data)
        b = cipher.encrypt(b);
    return data;
}

Bytes Hash(const Bytes& message)
{
    sapphire h;
    h.hash_init();
    for (uint8_t b : message)
        h.encrypt(b);
    Bytes out(20);
    h.hash_final(out.data(), 20);
    return out;
}

const uint8_t kKey[] = "Tarncrypt";

TEST(Sapphire, KnownAnswer)
{
    sapphire cipher(kKey, 9);
    EXPECT_EQ(ToHex(Encrypt(cipher, KnownPlain())),
              "bb4c1033926805730794db85cba6b8538f365315b46dc0876bf5578f3661ce1e06efd03c96ac"
              "ada4908a2f0126a7e8c77872");
}

TEST(Sapphire, HashesFromTheFixedState)
{
    EXPECT_EQ(ToHex(Hash({})), "c1e0df6ce706a32fb7b25b7ac55f436ad29c9fe5");
    EXPECT_EQ(ToHex(Hash({'a', 'b', 'c'})), "4acf17d911781571f053ce82e2f70cce5470f410");
    // A default object and a re-initialised used one start alike.
    sapphire used(kKey, 9);
    used.encrypt(1);
    used.hash_init();
    sapphire fresh;
    Bytes a(20), b(20);
    used.hash_final(a.data(), 20);
    fresh.hash_final(b.data(), 20);
    EXPECT_EQ(a, b);
}

TEST(Sapphire, FeedbackCarriesThroughTheMessage)
{
    const Bytes plain = RandomBytes(1000, 1);
    sapphire enc(kKey, 9), dec(kKey, 9);
    Bytes cipher = Encrypt(enc, plain);
    Bytes back = cipher;
    for (auto& b : back)
        b = dec.decrypt(b);
    EXPECT_EQ(back, plain);

    // One changed plaintext byte changes every ciphertext byte after it.
    Bytes changed = plain;
    changed[10] ^= 1;
    sapphire enc2(kKey, 9);
    const Bytes cipher2 = Encrypt(enc2, changed);
    EXPECT_TRUE(std::equal(cipher.begin(), cipher.begin() + 10, cipher2.begin()));
    size_t same = 0;
    for (size_t i = 11; i < cipher.size(); i++)
        same += cipher[i] == cipher2[i];
    EXPECT_LT(same, 20u);

    // A copy continues the same stream.
    sapphire a(kKey, 9);
    a.encrypt(5);
    sapphire b = a;
    EXPECT_EQ(a.encrypt(6), b.encrypt(6));
}

TEST(Sapphire2Ops, FileMatchesTheCipherAndPhraseLengthWrapsAt256)
{
    CTempDir dir;
    const Bytes plain = RandomBytes(3000, 2);
    WriteFile(dir / "in", plain);
    CSapphire2Ops ops;
    auto encryptFile = [&](const std::string& phrase)
    {
        EXPECT_EQ(ops.EncryptFileA((dir / "in").c_str(), (dir / "out").c_str(), phrase.c_str()), 0);
        return ReadFile(dir / "out");
    };
    sapphire keyed(kKey, 9);
    EXPECT_EQ(encryptFile("Tarncrypt"), Encrypt(keyed, plain));

    sapphire keyless;
    const Bytes hashState = Encrypt(keyless, plain);
    EXPECT_EQ(encryptFile(""), hashState);
    EXPECT_EQ(encryptFile(std::string(256, 'q')), hashState);
    EXPECT_EQ(encryptFile(std::string(512, 'q')), hashState);
    // A phrase of 259 characters keys with its first three.
    EXPECT_EQ(encryptFile(std::string("xyz") + std::string(256, 'q')), encryptFile("xyz"));
}
} // namespace
