#pragma once
#include "TextException.h"

#include <cstddef>
#include <cstdint>
#include <string>

/// The whole input as one in-memory byte range with a current position.
///
/// Every read goes through ReadBytes() or one of its variants, which check
/// the position against the size and throw CTextException 11 with
/// kEndOfFileText when the data ends. Reading exactly up to the last byte
/// succeeds. The range itself belongs to whoever opened the source.
class CDataSource
{
public:
    CDataSource() = default;
    virtual ~CDataSource();
    CDataSource(const CDataSource&) = delete;
    CDataSource& operator=(const CDataSource&) = delete;

    /// Starts reading `size` bytes at `data`; `name` names the data in messages.
    virtual void Open(const std::string& name, const uint8_t* data, size_t size);
    virtual void Close();

    const std::string& GetName() const { return m_strName; }
    bool IsOpen() const { return m_bOpen; }

    /// Returns the next n bytes and advances past them.
    const uint8_t* ReadBytes(size_t n)
    {
        if (n > GetRemaining())
            ThrowEndOfFile();
        const uint8_t* p = m_pCurPos;
        m_pCurPos += n;
        return p;
    }
    void Skip(size_t n) { ReadBytes(n); }
    uint8_t ReadByte() { return *ReadBytes(1); }
    uint16_t ReadLE16()
    {
        const uint8_t* p = ReadBytes(2);
        return uint16_t(p[0] | p[1] << 8);
    }
    uint32_t ReadLE32() { return LE32At(ReadBytes(4)); }
    uint16_t ReadBE16()
    {
        const uint8_t* p = ReadBytes(2);
        return uint16_t(p[0] << 8 | p[1]);
    }
    uint32_t ReadBE32() { return BE32At(ReadBytes(4)); }

    /// The 32-bit values at p, in either byte order (the caller has checked
    /// that four bytes are there).
    static uint32_t LE32At(const uint8_t* p)
    {
        return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
    }
    static uint32_t BE32At(const uint8_t* p)
    {
        return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3]);
    }

    /// The next byte to read.
    const uint8_t* GetBufferPtr() const { return m_pCurPos; }
    /// The first byte of the data.
    const uint8_t* GetStart() const { return m_pStartData; }
    size_t GetFileSize() const { return m_FileSize; }
    size_t GetPos() const { return size_t(m_pCurPos - m_pStartData); }
    size_t GetRemaining() const { return m_FileSize - GetPos(); }
    /// Moves to an absolute offset; past the end throws code 11.
    void SetPos(size_t pos)
    {
        if (pos > m_FileSize)
            ThrowEndOfFile();
        m_pCurPos = m_pStartData + pos;
    }

    /// Throws the end-of-data error (code 11, no "Decoder error" prefix, no trace).
    [[noreturn]] static void ThrowEndOfFile();

private:
    const uint8_t* m_pCurPos = nullptr;
    const uint8_t* m_pStartData = nullptr;
    std::string m_strName;
    size_t m_FileSize = 0;
    bool m_bOpen = false;
};
