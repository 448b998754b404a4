#include "FileTransform.h"

#include "InputFile.h"
#include "Message.h"
#include "OutputFile.h"

#include <memory>
#include <new>

namespace tarncrypt
{
int TransformFile(const char* inPath, const char* outPath, mode_t newFileMode,
                  const std::function<int()>& prepare,
                  const std::function<void(uint8_t*, size_t)>& transform, CloseTexts texts)
{
    constexpr size_t kPieceSize = 16384;
    std::unique_ptr<uint8_t[]> buffer(new (std::nothrow) uint8_t[kPieceSize]);
    if (!buffer)
        return kFileNoBuffer;
    CInputFile in;
    if (!in.Open(inPath))
        return kFileNoInput;
    COutputFile out(newFileMode);
    if (!out.Open(outPath))
        return kFileNoOutput;
    if (const int rc = prepare ? prepare() : 0; rc != 0)
        return rc;
    for (;;)
    {
        const ssize_t n = in.Read(buffer.get(), kPieceSize);
        if (n < 0)
            return kFileNoInput;
        transform(buffer.get(), size_t(n));
        if (!out.Write(buffer.get(), size_t(n)))
            return kFileShortWrite;
        if (size_t(n) < kPieceSize)
            break;
    }
    // The output is complete on disk before the input is let go.
    if (!out.Commit())
    {
        if (texts.output)
            ShowMessage(texts.output);
        return kFileNotClosed;
    }
    if (!in.Close() && texts.input)
        ShowMessage(texts.input);
    return kFileOk;
}
} // namespace tarncrypt
