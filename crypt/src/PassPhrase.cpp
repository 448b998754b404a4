#include "PassPhrase.h"

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string.h>
#include <termios.h>
#include <unistd.h>

namespace tarncrypt
{
namespace
{
/// The settings of a terminal whose echo a prompt has turned off, for
/// RestoreTerminal(); the descriptor is -1 when there is none.
termios g_savedTerminal;
std::atomic<int> g_quietFd{-1};

void WriteText(int fd, const char* text)
{
    size_t left = std::strlen(text);
    while (left > 0)
    {
        const ssize_t n = ::write(fd, text, left);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        text += n;
        left -= size_t(n);
    }
}

void Wipe(std::string& text)
{
    explicit_bzero(text.data(), text.size());
    text.clear();
}

/// Shows `prompt` and reads one line with echo off; the line end is dropped.
std::string ReadHidden(int fd, const char* prompt)
{
    // Echo goes off before the prompt shows, so nothing typed in answer to
    // it is echoed or flushed away.
    termios saved;
    const bool bTerminal = tcgetattr(fd, &saved) == 0;
    if (bTerminal)
    {
        termios quiet = saved;
        quiet.c_lflag &= ~tcflag_t(ECHO);
        quiet.c_lflag |= ECHONL;
        g_savedTerminal = saved;
        g_quietFd.store(fd);
        tcsetattr(fd, TCSAFLUSH, &quiet);
    }
    WriteText(fd, prompt);
    std::string line;
    for (;;)
    {
        char c;
        const ssize_t n = ::read(fd, &c, 1);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0 || c == '\n')
            break;
        line += c;
    }
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    if (bTerminal)
        RestoreTerminal();
    return line;
}
} // namespace

void RestoreTerminal()
{
    const int fd = g_quietFd.exchange(-1);
    if (fd >= 0)
        tcsetattr(fd, TCSANOW, &g_savedTerminal);
}

std::string PromptPassPhrase(bool bVerify)
{
    const int fd = ::open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return {};
    std::string phrase = ReadHidden(fd, "Please enter your pass phrase (case sensitive):");
    if (bVerify && !phrase.empty())
    {
        std::string again = ReadHidden(fd, "Please verify your pass phrase (case sensitive):");
        if (again != phrase)
        {
            WriteText(fd, "Pass phrases didn't match.  Please try again.\n");
            Wipe(phrase);
        }
        Wipe(again);
    }
    ::close(fd);
    return phrase;
}

std::string GetPassPhrase(bool bVerify)
{
    if (const char* value = std::getenv("DLOCK_KEY"))
        return value;
    return PromptPassPhrase(bVerify);
}
} // namespace tarncrypt
