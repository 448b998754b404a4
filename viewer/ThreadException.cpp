#include "ThreadException.h"

#include <cstring>

CThreadException::CThreadException(CThread* pThread, int nCode, std::string text)
    : m_pThread(pThread), m_nCode(nCode), m_strText(std::move(text))
{
}

std::string CThreadException::SystemText(int nError)
{
    char buffer[256];
    // The GNU strerror_r returns its text, in the buffer or a static one.
    const char* text = strerror_r(nError, buffer, sizeof buffer);
    const std::string s = text ? text : "";
    return s.rfind("Unknown error", 0) == 0 ? std::string() : s;
}
