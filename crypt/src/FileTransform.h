#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <sys/types.h>

namespace tarncrypt
{
/// Result codes of the stream-cipher file calls.
enum FileResult : int
{
    kFileOk = 0,
    kFileNoBuffer = 3,
    kFileNoInput = 13,
    kFileNoOutput = 14,
    kFileShortWrite = 15,
    kFileNotClosed = 99,
};

/// Texts reported when closing a file fails; null reports nothing.
struct CloseTexts
{
    const char* input = nullptr;
    const char* output = nullptr;
};

/// Reads `inPath` in pieces of 16384 bytes, passes each piece to
/// `transform` to change in place, and writes it to `outPath` (see
/// COutputFile). `prepare` runs once both files are open; a non-zero result
/// of it ends the call with that code. Returns a FileResult.
int TransformFile(const char* inPath, const char* outPath, mode_t newFileMode,
                  const std::function<int()>& prepare,
                  const std::function<void(uint8_t*, size_t)>& transform, CloseTexts texts);
} // namespace tarncrypt
