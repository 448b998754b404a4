#pragma once
// Collects the library's messages while it lives, instead of standard error.
#include "tarncrypt/Messages.h"

#include <string>
#include <vector>

class CMessageLog
{
public:
    CMessageLog()
    {
        tarncrypt::SetMessageHandler(
            [](const char* text, void* context)
            { static_cast<CMessageLog*>(context)->m_texts.push_back(text); },
            this);
    }
    ~CMessageLog() { tarncrypt::SetMessageHandler(nullptr); }
    CMessageLog(const CMessageLog&) = delete;
    CMessageLog& operator=(const CMessageLog&) = delete;

    const std::vector<std::string>& Texts() const { return m_texts; }

private:
    std::vector<std::string> m_texts;
};
