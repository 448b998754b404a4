#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>

namespace tarncrypt
{
/// The Diamond2 block cipher: a substitution-permutation network whose
/// 256-byte substitution boxes, one per byte position and round, are drawn
/// from the key by a CRC-32 driven random selection.
class CDiamond2Cipher
{
public:
    /// Set-up results; other than 0 nothing is keyed.
    enum : int
    {
        kOk = 0,
        kNoMemory = 5,
        kBadRounds = 10,
        kBadBlockSize = 11,
        kNoKey = 10, ///< no key bytes; the file calls refuse these first
    };

    CDiamond2Cipher() = default;
    ~CDiamond2Cipher() { Burn(); }
    CDiamond2Cipher(const CDiamond2Cipher&) = delete;
    CDiamond2Cipher& operator=(const CDiamond2Cipher&) = delete;

    /// Builds the boxes from `keyLength` (at least 1) key bytes. Block size
    /// 8 needs at least 3 rounds, 16 at least 5, and rounds x block size
    /// must stay below 256. `bInvert` also builds the inverse boxes.
    int SetKey(const uint8_t* key, size_t keyLength, int rounds, bool bInvert, int blockSize);

    /// Encrypts one block; `in` and `out` may be the same.
    void EncryptBlock(const uint8_t* in, uint8_t* out) const;

    int GetBlockSize() const { return m_nBlockSize; }
    /// The inverse box of round `r`, position `j`; null unless asked for.
    const uint8_t* GetInverseBox(int r, int j) const;
    const uint8_t* GetBox(int r, int j) const { return m_pBoxes.get() + BoxOffset(r, j); }

    /// Zeroes and frees the boxes.
    void Burn();

private:
    size_t BoxOffset(int r, int j) const { return (size_t(r) * m_nBlockSize + j) * 256; }
    unsigned KeyRand(unsigned maxValue, const uint8_t* prevBox);
    void FoldByte(uint8_t b);
    void MakeBox(uint8_t* box, const uint8_t* prevBox);
    void Permute(const uint8_t* x, uint8_t* y) const;

    std::unique_ptr<uint8_t[]> m_pBoxes;
    std::unique_ptr<uint8_t[]> m_pInverse;
    int m_nBlockSize = 0;
    int m_nRounds = 0;

    const uint8_t* m_pKey = nullptr;
    size_t m_nKeyLength = 0;
    size_t m_nKeyIndex = 0;
    uint32_t m_nAccum = 0;
};
} // namespace tarncrypt
