#include "Diamond2Cipher.h"

#include "Message.h"

#include <array>
#include <cstring>
#include <new>
#include <string.h>

namespace tarncrypt
{
namespace
{
/// The reflected CRC-32 table, polynomial 0xEDB88320.
constexpr std::array<uint32_t, 256> MakeCrcTable()
{
    std::array<uint32_t, 256> table{};
    for (uint32_t i = 0; i < 256; i++)
    {
        uint32_t c = i;
        for (int k = 0; k < 8; k++)
            c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[i] = c;
    }
    return table;
}
constexpr std::array<uint32_t, 256> kCrcTable = MakeCrcTable();
} // namespace

void CDiamond2Cipher::FoldByte(uint8_t b)
{
    m_nAccum = (m_nAccum >> 8) ^ kCrcTable[(b ^ m_nAccum) & 255];
}

unsigned CDiamond2Cipher::KeyRand(unsigned maxValue, const uint8_t* prevBox)
{
    if (maxValue == 0)
        return 0;
    unsigned mask = 0;
    for (unsigned v = maxValue; v > 0; v >>= 1)
        mask = mask << 1 | 1;
    unsigned attempts = 0;
    unsigned value;
    do
    {
        const uint8_t keyByte = m_pKey[m_nKeyIndex++];
        FoldByte(prevBox ? prevBox[keyByte] : keyByte);
        if (m_nKeyIndex >= m_nKeyLength)
        {
            m_nKeyIndex = 0;
            FoldByte(uint8_t(m_nKeyLength & 255));
            FoldByte(uint8_t((m_nKeyLength >> 8) & 255));
        }
        value = m_nAccum & mask;
        // Bounds the loop; the bias this brings is negligible.
        if (++attempts > 97 && value > maxValue)
            value -= maxValue;
    } while (value > maxValue);
    return value;
}

void CDiamond2Cipher::MakeBox(uint8_t* box, const uint8_t* prevBox)
{
    bool filled[256] = {};
    for (int n = 255; n >= 0; n--)
    {
        // The value n goes into the pos-th slot still empty.
        unsigned pos = KeyRand(unsigned(n), prevBox);
        int slot = 0;
        for (;; slot++)
        {
            if (filled[slot])
                continue;
            if (pos == 0)
                break;
            pos--;
        }
        box[slot] = uint8_t(n);
        filled[slot] = true;
    }
}

int CDiamond2Cipher::SetKey(const uint8_t* key, size_t keyLength, int rounds, bool bInvert,
                            int blockSize)
{
    Burn();
    if (blockSize != 8 && blockSize != 16)
    {
        ShowMessage("Unsupported block size in set_diamond2_key()");
        return kBadBlockSize;
    }
    if (rounds < (blockSize == 8 ? 3 : 5) || rounds * blockSize >= 256)
    {
        ShowMessage("Numrounds out of range in set_diamond2_key()");
        return kBadRounds;
    }
    if (!key || keyLength == 0)
        return kNoKey;
    const size_t boxBytes = size_t(rounds) * size_t(blockSize) * 256;
    m_pBoxes.reset(new (std::nothrow) uint8_t[boxBytes]);
    if (bInvert)
        m_pInverse.reset(new (std::nothrow) uint8_t[boxBytes]);
    if (!m_pBoxes || (bInvert && !m_pInverse))
    {
        m_pBoxes.reset();
        m_pInverse.reset();
        ShowMessage("Out of memory.");
        return kNoMemory;
    }
    m_nBlockSize = blockSize;
    m_nRounds = rounds;
    m_pKey = key;
    m_nKeyLength = keyLength;
    m_nKeyIndex = 0;
    m_nAccum = 0xFFFFFFFFu;

    const uint8_t* prev = nullptr;
    for (int r = 0; r < rounds; r++)
    {
        for (int j = 0; j < blockSize; j++)
        {
            uint8_t* box = m_pBoxes.get() + BoxOffset(r, j);
            MakeBox(box, prev);
            prev = box;
        }
    }
    if (bInvert)
    {
        for (size_t b = 0; b < boxBytes; b += 256)
            for (int v = 0; v < 256; v++)
                m_pInverse[b + m_pBoxes[b + v]] = uint8_t(v);
    }
    // The key belongs to the caller; nothing here refers to it any longer.
    m_pKey = nullptr;
    m_nKeyIndex = 0;
    m_nAccum = 0;
    return kOk;
}

const uint8_t* CDiamond2Cipher::GetInverseBox(int r, int j) const
{
    return m_pInverse ? m_pInverse.get() + BoxOffset(r, j) : nullptr;
}

void CDiamond2Cipher::Permute(const uint8_t* x, uint8_t* y) const
{
    // Output byte k, bit i is bit i of input byte (k + i) mod block size:
    // the bit plane i of the block is rotated down by i bytes.
    static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "bit planes are native words");
    constexpr uint64_t kPlane0 = 0x0101010101010101ull;
    if (m_nBlockSize == 16)
    {
        uint64_t lo, hi;
        std::memcpy(&lo, x, 8);
        std::memcpy(&hi, x + 8, 8);
        uint64_t outLo = lo & kPlane0, outHi = hi & kPlane0;
        for (int i = 1; i < 8; i++)
        {
            const uint64_t plane = kPlane0 << i;
            const uint64_t l = lo & plane, h = hi & plane;
            const int shift = 8 * i;
            outLo |= l >> shift | h << (64 - shift);
            outHi |= h >> shift | l << (64 - shift);
        }
        std::memcpy(y, &outLo, 8);
        std::memcpy(y + 8, &outHi, 8);
    }
    else
    {
        uint64_t v;
        std::memcpy(&v, x, 8);
        uint64_t out = v & kPlane0;
        for (int i = 1; i < 8; i++)
        {
            const uint64_t p = v & kPlane0 << i;
            out |= p >> 8 * i | p << (64 - 8 * i);
        }
        std::memcpy(y, &out, 8);
    }
}

void CDiamond2Cipher::EncryptBlock(const uint8_t* in, uint8_t* out) const
{
    uint8_t x[16];
    const uint8_t* boxes = m_pBoxes.get();
    for (int j = 0; j < m_nBlockSize; j++, boxes += 256)
        x[j] = boxes[in[j]];
    for (int r = 1; r < m_nRounds; r++)
    {
        uint8_t y[16];
        Permute(x, y);
        for (int j = 0; j < m_nBlockSize; j++, boxes += 256)
            x[j] = boxes[y[j]];
    }
    std::memcpy(out, x, size_t(m_nBlockSize));
}

void CDiamond2Cipher::Burn()
{
    const size_t boxBytes = size_t(m_nRounds) * size_t(m_nBlockSize) * 256;
    if (m_pBoxes)
        explicit_bzero(m_pBoxes.get(), boxBytes);
    if (m_pInverse)
        explicit_bzero(m_pInverse.get(), boxBytes);
    m_pBoxes.reset();
    m_pInverse.reset();
    m_nRounds = 0;
    m_nBlockSize = 0;
}
} // namespace tarncrypt
