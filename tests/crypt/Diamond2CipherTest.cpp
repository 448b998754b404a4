// The Diamond2 engine inside the library: set-up faults come back as codes,
// and every box is a permutation.
#include "Diamond2Cipher.h"

#include "MessageLog.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{
using tarncrypt::CDiamond2Cipher;

TEST(Diamond2Cipher, SetUpFaultsReturnCodes)
{
    CMessageLog messages;
    const uint8_t key[] = "key";
    CDiamond2Cipher cipher;
    EXPECT_EQ(cipher.SetKey(key, 3, 10, false, 12), 11);
    EXPECT_EQ(cipher.SetKey(key, 3, 4, false, 16), 10);
    EXPECT_EQ(cipher.SetKey(key, 3, 16, false, 16), 10);
    EXPECT_EQ(cipher.SetKey(key, 3, 2, false, 8), 10);
    EXPECT_EQ(cipher.SetKey(key, 3, 32, false, 8), 10);
    EXPECT_EQ(messages.Texts(), (std::vector<std::string>{
                                    "Unsupported block size in set_diamond2_key()",
                                    "Numrounds out of range in set_diamond2_key()",
                                    "Numrounds out of range in set_diamond2_key()",
                                    "Numrounds out of range in set_diamond2_key()",
                                    "Numrounds out of range in set_diamond2_key()",
                                }));
    EXPECT_EQ(cipher.SetKey(key, 3, 3, false, 8), 0);
    EXPECT_EQ(cipher.SetKey(key, 3, 31, true, 8), 0);
    EXPECT_EQ(cipher.SetKey(key, 3, 15, false, 16), 0);
}

TEST(Diamond2Cipher, BoxesArePermutationsAndInvert)
{
    const uint8_t key[] = {0};
    CDiamond2Cipher cipher;
    ASSERT_EQ(cipher.SetKey(key, 1, 10, true, 16), 0);
    for (int r = 0; r < 10; r++)
    {
        for (int j = 0; j < 16; j++)
        {
            const uint8_t* box = cipher.GetBox(r, j);
            const uint8_t* inverse = cipher.GetInverseBox(r, j);
            std::vector<bool> seen(256);
            for (int v = 0; v < 256; v++)
            {
                seen[box[v]] = true;
                ASSERT_EQ(inverse[box[v]], v);
            }
            ASSERT_EQ(std::count(seen.begin(), seen.end(), true), 256);
        }
    }
    // Distinct inputs give distinct blocks, also for 8-byte blocks.
    ASSERT_EQ(cipher.SetKey(key, 1, 3, false, 8), 0);
    EXPECT_EQ(cipher.GetInverseBox(0, 0), nullptr);
    uint8_t a[8] = {}, b[8] = {1}, ea[8], eb[8];
    cipher.EncryptBlock(a, ea);
    cipher.EncryptBlock(b, eb);
    EXPECT_NE(std::vector<uint8_t>(ea, ea + 8), std::vector<uint8_t>(eb, eb + 8));
}
} // namespace
