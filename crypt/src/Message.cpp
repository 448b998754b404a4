#include "Message.h"

#include "tarncrypt/Messages.h"

#include <cstdio>
#include <mutex>

namespace tarncrypt
{
namespace
{
std::mutex g_handlerMutex;
MessageHandler g_handler = nullptr;
void* g_context = nullptr;
} // namespace

void SetMessageHandler(MessageHandler handler, void* context)
{
    std::lock_guard<std::mutex> lock(g_handlerMutex);
    g_handler = handler;
    g_context = context;
}

void ShowMessage(const char* text)
{
    MessageHandler handler;
    void* context;
    {
        std::lock_guard<std::mutex> lock(g_handlerMutex);
        handler = g_handler;
        context = g_context;
    }
    if (handler)
        handler(text, context);
    else
        std::fprintf(stderr, "%s\n", text);
}
} // namespace tarncrypt
