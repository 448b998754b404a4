#include "tarncrypt/BlowfishOps.h"

#include "tarncrypt/Blowfish.h"

#include "BlowfishCore.h"
#include "InputFile.h"
#include "Message.h"
#include "OutputFile.h"

#include <algorithm>
#include <memory>

using namespace tarncrypt;

namespace
{
constexpr uint32_t kPieceSize = 2048;
constexpr const char* kOpenFailedText = "File could not be opened ";
} // namespace

CBlowfishOps::CBlowfishOps() = default;

CBlowfishOps::CBlowfishOps(const uint8_t* key, int16_t keyLength)
    : m_pKey(key), m_nKeyLength(keyLength)
{
    InitializeBlowfish(key, keyLength);
}

CBlowfishOps::~CBlowfishOps()
{
    delete m_pBlowfish;
}

int CBlowfishOps::InitializeBlowfish(const uint8_t* key, int16_t keyLength)
{
    if (!blowfish::KeySchedule(m_P, m_S, key, keyLength))
        return 0;
    m_bKeyed = true;
    return 1;
}

int CBlowfishOps::Encrypt(uint8_t* data, uint32_t length)
{
    if (!m_bKeyed || length % 8 != 0)
        return 0;
    blowfish::CryptBlocks<true>(m_P, m_S, data, length);
    return 1;
}

int CBlowfishOps::Decrypt(uint8_t* data, uint32_t length)
{
    if (!m_bKeyed || length % 8 != 0)
        return 0;
    blowfish::CryptBlocks<false>(m_P, m_S, data, length);
    return 1;
}

int CBlowfishOps::EncryptFileA(const char* inPath, const char* outPath, const uint8_t* key,
                               int16_t keyLength)
{
    return ProcessFile('E', inPath, outPath, key, keyLength);
}

int CBlowfishOps::DecryptFileA(const char* inPath, const char* outPath, const uint8_t* key,
                               int16_t keyLength)
{
    return ProcessFile('D', inPath, outPath, key, keyLength);
}

int CBlowfishOps::ProcessFile(char direction, const char* inPath, const char* outPath,
                              const uint8_t* key, int16_t keyLength)
{
    if (!key || keyLength <= 0 || !inPath || !outPath)
        return -1;
    std::unique_ptr<CBlowfish> cipher(new CBlowfish(key, keyLength));
    m_strInPath = inPath;
    m_strOutPath = outPath;

    CInputFile in;
    if (!in.Open(inPath))
    {
        ShowMessage(kOpenFailedText);
        return -1;
    }
    m_nFileLength = in.GetLength();
    m_nRemaining = m_nFileLength;
    m_nPiece = 0;

    COutputFile out(0666);
    if (!out.Open(outPath))
    {
        ShowMessage(kOpenFailedText);
        return -1;
    }

    m_pInFile = &in;
    m_pOutFile = &out;
    m_pBlowfish = cipher.get();
    const int result = StreamOut(direction);
    m_pInFile = nullptr;
    m_pOutFile = nullptr;
    m_pBlowfish = nullptr;
    if (result != 0 || !out.Commit())
        return -1;
    return 0;
}

int CBlowfishOps::StreamOut(char direction)
{
    if (!m_pInFile || !m_pOutFile || !m_pBlowfish)
        return -1;
    const bool bEncrypt = direction == 'E' || direction == 'e';
    const bool bDecrypt = direction == 'D' || direction == 'd';
    m_nBufPos = 0;
    // Pieces are read until one comes up short, so input whose length is not
    // known in advance works too. Every full piece is a multiple of 8 bytes;
    // only the last piece can have a tail that passes through unencrypted.
    for (;;)
    {
        const ssize_t n = m_pInFile->Read(m_buffer + m_nBufPos, kPieceSize);
        if (n < 0)
            return -1;
        m_nPieceLength = uint32_t(n);
        if (bEncrypt)
            m_pBlowfish->Encrypt(m_buffer, m_nPieceLength);
        else if (bDecrypt)
            m_pBlowfish->Decrypt(m_buffer, m_nPieceLength);
        if (!m_pOutFile->Write(m_buffer, m_nPieceLength))
            return -1;
        m_nRemaining -= std::min<uint64_t>(m_nRemaining, m_nPieceLength);
        if (m_nPieceLength < kPieceSize)
            return 0;
        m_nPiece++;
    }
}
