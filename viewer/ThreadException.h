#pragma once
#include <exception>
#include <string>

class CThread;

/// A failure of CThread: the thread, a code and a ready-to-show text.
///   1  the thread could not be created (the system's text)
///   2  the thread is already running ("Thread is already started!")
///   3  the thread could not be ended (the system's text)
///   4  the wake-up event could not be created (the system's text)
///   5  a command could not be queued (the text of that failure)
class CThreadException : public std::exception
{
public:
    CThreadException(CThread* pThread, int nCode, std::string text);

    CThread* GetThread() const { return m_pThread; }
    int GetCode() const { return m_nCode; }
    const std::string& GetText() const { return m_strText; }
    const char* what() const noexcept override { return m_strText.c_str(); }

    /// The system's text for an error number; empty when it has none.
    static std::string SystemText(int nError);

private:
    CThread* m_pThread;
    int m_nCode;
    std::string m_strText;
};
