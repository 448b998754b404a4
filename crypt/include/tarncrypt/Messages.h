#pragma once
#include "tarncrypt/Export.h"

namespace tarncrypt
{
/// Receives the library's messages to the user ("File could not be opened ",
/// "outfile was not closed" ...), one text per call, without a line end.
using MessageHandler = void (*)(const char* text, void* context);

/// Replaces the message handler; `nullptr` restores the default, which
/// writes each text and a line end to standard error. Thread-safe.
TARNCRYPT_API void SetMessageHandler(MessageHandler handler, void* context = nullptr);
} // namespace tarncrypt
