#pragma once
#include <exception>
#include <string>

/// A decoder failure: a numeric code (see CPicDecoder for the table) and a
/// ready-to-show text.
class CTextException : public std::exception
{
public:
    CTextException(int code, std::string text) : m_nCode(code), m_strText(std::move(text)) {}

    virtual int GetCode() const { return m_nCode; }
    virtual const std::string& GetText() const { return m_strText; }
    const char* what() const noexcept override { return m_strText.c_str(); }

private:
    int m_nCode;
    std::string m_strText;
};

/// Text of the end-of-data error, raised by every read that runs off the data.
inline constexpr const char* kEndOfFileText = "End of file reached while decoding.\n";
