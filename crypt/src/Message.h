#pragma once

namespace tarncrypt
{
/// Hands `text` to the current message handler (standard error by default).
void ShowMessage(const char* text);
} // namespace tarncrypt
