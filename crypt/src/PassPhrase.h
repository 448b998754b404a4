#pragma once
#include <string>

namespace tarncrypt
{
/// The value of "DLOCK_KEY" when it is set (even when empty), else what
/// the user types at a prompt on the terminal with echo off; with
/// `bVerify` the phrase is asked for twice and must match. Empty when no
/// phrase was obtained (no terminal, or a mismatch).
std::string GetPassPhrase(bool bVerify);

/// Only the terminal prompt of GetPassPhrase().
std::string PromptPassPhrase(bool bVerify);

/// Puts back the terminal settings of a prompt in progress, which has
/// turned echo off. Async-signal-safe, for a handler that ends the process.
void RestoreTerminal();
} // namespace tarncrypt
