// Blowfish against the published vectors and OpenSSL's implementation, and
// the file layout: whole blocks in 2048-byte pieces, an unencrypted tail.
#include "tarncrypt/Blowfish.h"
#include "tarncrypt/BlowfishOps.h"

#include "TempDir.h"

#include <openssl/blowfish.h>

#include "MessageLog.h"

#include <gtest/gtest.h>

#include <cstring>

namespace
{
Bytes Hex(const char* text)
{
    Bytes out;
    for (size_t i = 0; text[i] && text[i + 1]; i += 2)
        out.push_back(uint8_t(std::stoi(std::string(text + i, 2), nullptr, 16)));
    return out;
}

/// Big-endian halves (the published convention) to ours and back.
void SwapWords(uint8_t* data, size_t size)
{
    for (size_t i = 0; i + 4 <= size; i += 4)
    {
        std::swap(data[i], data[i + 3]);
        std::swap(data[i + 1], data[i + 2]);
    }
}

/// What the file calls must produce: OpenSSL over the whole blocks, words
/// swapped, and the tail as it was.
Bytes OpenSslEncrypt(const Bytes& key, Bytes data, int direction)
{
    BF_KEY bfKey;
    BF_set_key(&bfKey, int(key.size()), key.data());
    const size_t whole = data.size() & ~size_t(7);
    SwapWords(data.data(), whole);
    for (size_t i = 0; i < whole; i += 8)
        BF_ecb_encrypt(data.data() + i, data.data() + i, &bfKey, direction);
    SwapWords(data.data(), whole);
    return data;
}

int16_t Len(const Bytes& key)
{
    return int16_t(key.size());
}

struct Vector
{
    const char* key;
    const char* plain;
    const char* cipher;
};

TEST(Blowfish, PublishedVectors)
{
    const Vector vectors[] = {
        {"0000000000000000", "0000000000000000", "4EF997456198DD78"},
        {"FFFFFFFFFFFFFFFF", "FFFFFFFFFFFFFFFF", "51866FD5B85ECB8A"},
        {"3000000000000000", "1000000000000001", "7D856F9A613063F2"},
        {"1111111111111111", "1111111111111111", "2466DD878B963C9D"},
        {"0123456789ABCDEF", "1111111111111111", "61F9C3802281B096"},
        {"1111111111111111", "0123456789ABCDEF", "7D0CC630AFDA1EC7"},
        {"FEDCBA9876543210", "0123456789ABCDEF", "0ACEAB0FC6A0A28D"},
        {"7CA110454A1A6E57", "01A1D6D039776742", "59C68245EB05282B"},
        {"0131D9619DC1376E", "5CD54CA83DEF57DA", "B1B8CC0B250F09A0"},
        // Key lengths 1 to 5 of the variable-key set.
        {"F0", "FEDCBA9876543210", "F9AD597C49DB005E"},
        {"F0E1", "FEDCBA9876543210", "E91D21C1D961A6D6"},
        {"F0E1D2", "FEDCBA9876543210", "E9C2B70A1BC65CF3"},
        {"F0E1D2C3", "FEDCBA9876543210", "BE1E639408640F05"},
        {"F0E1D2C3B4", "FEDCBA9876543210", "B39E44481BDB1E6E"},
    };
    for (const Vector& v : vectors)
    {
        SCOPED_TRACE(v.key);
        const Bytes key = Hex(v.key);
        Bytes block = Hex(v.plain);
        SwapWords(block.data(), 8);
        CBlowfish bf(key.data(), Len(key));
        ASSERT_EQ(bf.Encrypt(block.data(), 8), 1);
        Bytes expected = Hex(v.cipher);
        SwapWords(expected.data(), 8);
        EXPECT_EQ(block, expected);
        bf.Decrypt(block.data(), 8);
        Bytes plain = Hex(v.plain);
        SwapWords(plain.data(), 8);
        EXPECT_EQ(block, plain);
    }
}

TEST(Blowfish, MatchesOpenSslForRandomKeysAndData)
{
    std::mt19937 rng(7);
    for (int round = 0; round < 50; round++)
    {
        const Bytes key = RandomBytes(1 + rng() % 72, rng());
        const Bytes plain = RandomBytes(rng() % 3000, rng());
        Bytes data = plain;
        CBlowfish bf(key.data(), Len(key));
        bf.Encrypt(data.data(), uint32_t(data.size()));
        ASSERT_EQ(data, OpenSslEncrypt(key, plain, BF_ENCRYPT)) << "round " << round;
        bf.Decrypt(data.data(), uint32_t(data.size()));
        ASSERT_EQ(data, plain);

        CBlowfishOps ops(key.data(), Len(key));
        data.resize(data.size() & ~size_t(7));
        ops.Encrypt(data.data(), uint32_t(data.size()));
        Bytes whole(plain.begin(), plain.begin() + std::ptrdiff_t(data.size()));
        ASSERT_EQ(data, OpenSslEncrypt(key, whole, BF_ENCRYPT));
    }
}

TEST(Blowfish, KeyBytesAreUsedCyclically)
{
    const uint8_t one[] = {'A'};
    const uint8_t four[] = {'A', 'A', 'A', 'A'};
    const uint8_t abc[] = {'a', 'b', 'c'};
    const uint8_t abc4[] = {'a', 'b', 'c', 'a', 'b', 'c', 'a', 'b', 'c', 'a', 'b', 'c'};
    const Bytes plain = RandomBytes(64, 1);
    auto encrypt = [&](const uint8_t* key, int16_t length)
    {
        Bytes data = plain;
        CBlowfish(key, length).Encrypt(data.data(), uint32_t(data.size()));
        return data;
    };
    EXPECT_EQ(encrypt(one, 1), encrypt(four, 4));
    EXPECT_EQ(encrypt(abc, 3), encrypt(abc4, 12));
    EXPECT_NE(encrypt(one, 1), encrypt(abc, 3));
}

TEST(Blowfish, InPlaceEdgeCases)
{
    const uint8_t key[] = "key";
    CBlowfish bf(key, 3);
    Bytes shortData = {1, 2, 3, 4, 5, 6, 7};
    EXPECT_EQ(bf.Encrypt(shortData.data(), 7), 1);
    EXPECT_EQ(shortData, (Bytes{1, 2, 3, 4, 5, 6, 7}));

    const Bytes plain = RandomBytes(21, 2);
    Bytes data = plain;
    bf.Encrypt(data.data(), 21);
    EXPECT_TRUE(std::equal(data.begin() + 16, data.end(), plain.begin() + 16));
    bf.Encrypt(data.data(), 21);
    bf.Decrypt(data.data(), 21);
    bf.Decrypt(data.data(), 21);
    EXPECT_EQ(data, plain);

    // A copy carries the key schedule.
    CBlowfish copy = bf;
    copy.Encrypt(data.data(), 16);
    bf.Decrypt(data.data(), 16);
    EXPECT_EQ(data, plain);
}

TEST(Blowfish, EmptyKeyIsRefused)
{
    const uint8_t key[] = "k";
    const Bytes plain = RandomBytes(16, 3);
    for (int16_t length : {int16_t(0), int16_t(-1), int16_t(-32768)})
    {
        Bytes data = plain;
        CBlowfish bf(key, length);
        EXPECT_EQ(bf.Encrypt(data.data(), 16), 0);
        EXPECT_EQ(bf.InitializeBlowfish(key, length), 0);
        CBlowfishOps ops(key, length);
        EXPECT_EQ(ops.Encrypt(data.data(), 16), 0);
        EXPECT_EQ(data, plain);
    }
    CBlowfishOps unkeyed;
    Bytes data = plain;
    EXPECT_EQ(unkeyed.Decrypt(data.data(), 16), 0);
    EXPECT_EQ(data, plain);

    CTempDir dir;
    WriteFile(dir / "in", plain);
    CBlowfishOps ops;
    EXPECT_EQ(ops.EncryptFileA((dir / "in").c_str(), (dir / "out").c_str(), key, 0), -1);
    EXPECT_EQ(ops.DecryptFileA((dir / "in").c_str(), (dir / "out").c_str(), key, -5), -1);
    EXPECT_FALSE(std::filesystem::exists(dir / "out"));
}

TEST(BlowfishOps, InPlaceNeedsWholeBlocks)
{
    const uint8_t key[] = "key";
    CBlowfishOps ops(key, 3);
    const Bytes plain = RandomBytes(24, 4);
    Bytes data = plain;
    EXPECT_EQ(ops.Encrypt(data.data(), 23), 0);
    EXPECT_EQ(data, plain);
    EXPECT_EQ(ops.Encrypt(data.data(), 0), 1);
    EXPECT_EQ(ops.Encrypt(data.data(), 24), 1);
    EXPECT_NE(data, plain);
    EXPECT_EQ(ops.Decrypt(data.data(), 24), 1);
    EXPECT_EQ(data, plain);
}

TEST(BlowfishOps, FileLayoutMatchesOpenSsl)
{
    CTempDir dir;
    const Bytes key = {'S', 'e', 'c', 'r', 'e', 't'};
    CBlowfishOps ops;
    for (size_t length : TestLengths())
    {
        SCOPED_TRACE(length);
        const Bytes plain = RandomBytes(length, uint32_t(length));
        WriteFile(dir / "plain", plain);
        ASSERT_EQ(ops.EncryptFileA((dir / "plain").c_str(), (dir / "cipher").c_str(), key.data(),
                                   Len(key)),
                  0);
        const Bytes cipher = ReadFile(dir / "cipher");
        ASSERT_EQ(cipher, OpenSslEncrypt(key, plain, BF_ENCRYPT));
        ASSERT_EQ(ops.DecryptFileA((dir / "cipher").c_str(), (dir / "back").c_str(), key.data(),
                                   Len(key)),
                  0);
        ASSERT_EQ(ReadFile(dir / "back"), plain);
    }
}

TEST(BlowfishOps, MissingInputIsReported)
{
    CMessageLog messages;
    CTempDir dir;
    WriteFile(dir / "out", {'k', 'e', 'e', 'p'});
    const uint8_t key[] = "key";
    CBlowfishOps ops;
    EXPECT_EQ(ops.EncryptFileA((dir / "missing").c_str(), (dir / "out").c_str(), key, 3), -1);
    EXPECT_EQ(ops.EncryptFileA(dir.Path().c_str(), (dir / "out").c_str(), key, 3), -1);
    EXPECT_EQ(messages.Texts(), (std::vector<std::string>(2, "File could not be opened ")));
    EXPECT_EQ(ReadFile(dir / "out"), (Bytes{'k', 'e', 'e', 'p'}));
}
} // namespace
