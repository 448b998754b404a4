#include "tarncrypt/Blowfish.h"

#include "BlowfishCore.h"

using namespace tarncrypt;

CBlowfish::CBlowfish(const uint8_t* key, int16_t keyLength)
{
    std::memcpy(m_P, blowfish::kInitialP, sizeof(m_P));
    std::memcpy(m_S, blowfish::kInitialS, sizeof(m_S));
    InitializeBlowfish(key, keyLength);
}

int CBlowfish::InitializeBlowfish(const uint8_t* key, int16_t keyLength)
{
    if (!blowfish::KeySchedule(m_P, m_S, key, keyLength))
        return 0;
    m_bKeyed = true;
    return 1;
}

int CBlowfish::Encrypt(uint8_t* data, uint32_t length)
{
    if (!m_bKeyed)
        return 0;
    m_dwLength = length & ~7u;
    blowfish::CryptBlocks<true>(m_P, m_S, data, length);
    return 1;
}

int CBlowfish::Decrypt(uint8_t* data, uint32_t length)
{
    if (!m_bKeyed)
        return 0;
    m_dwLength = length & ~7u;
    blowfish::CryptBlocks<false>(m_P, m_S, data, length);
    return 1;
}

void CBlowfish::Blowfish_encipher(uint32_t* xl, uint32_t* xr)
{
    blowfish::Encipher(m_P, m_S, *xl, *xr);
}

void CBlowfish::Blowfish_decipher(uint32_t* xl, uint32_t* xr)
{
    blowfish::Decipher(m_P, m_S, *xl, *xr);
}
