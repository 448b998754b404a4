#include "PicDecoder.h"

#include "Bmp.h"
#include "FileSource.h"
#include "ResourceSource.h"

#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <new>

namespace
{
// Library-wide trace settings. Decoding runs on one thread at a time, but the
// lock keeps a trace line from interleaving with a configuration change.
std::mutex g_traceMutex;
int g_traceLevel = 0;
std::string g_traceFile; // empty: no trace file

std::string VFormat(const char* format, va_list args)
{
    va_list copy;
    va_copy(copy, args);
    const int n = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    if (n <= 0)
        return {};
    std::string text(size_t(n), '\0');
    std::vsnprintf(text.data(), size_t(n) + 1, format, args);
    return text;
}

void AppendToTrace(const std::string& text)
{
    // g_traceMutex is held by the caller.
    std::FILE* file = std::fopen(g_traceFile.c_str(), "a");
    if (!file)
        return;
    std::fputs(text.c_str(), file);
    std::fclose(file);
}
} // namespace

CPicDecoder::~CPicDecoder()
{
    std::lock_guard lock(g_traceMutex);
    g_traceFile.clear();
}

std::string CPicDecoder::Format(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    std::string text = VFormat(format, args);
    va_end(args);
    return text;
}

void CPicDecoder::SetTraceConfig(int level, const char* file)
{
    std::lock_guard lock(g_traceMutex);
    g_traceLevel = level;
    g_traceFile = file ? file : "";
    if (!g_traceFile.empty())
        std::remove(g_traceFile.c_str());
}

bool CPicDecoder::IsTraced(int level)
{
    std::lock_guard lock(g_traceMutex);
    return level <= g_traceLevel && !g_traceFile.empty();
}

void CPicDecoder::Trace(int level, const std::string& text)
{
    std::lock_guard lock(g_traceMutex);
    if (level <= g_traceLevel && !g_traceFile.empty())
        AppendToTrace(text);
}

void CPicDecoder::TraceF(int level, const char* format, ...)
{
    if (!IsTraced(level))
        return;
    va_list args;
    va_start(args, format);
    const std::string text = VFormat(format, args);
    va_end(args);
    Trace(level, text);
}

void CPicDecoder::RaiseError(int code, const std::string& text)
{
    std::string message = "Decoder error: " + text + "\n";
    {
        std::lock_guard lock(g_traceMutex);
        if (g_traceLevel >= 0 && !g_traceFile.empty())
            AppendToTrace(message);
    }
    throw CTextException(code, std::move(message));
}

void CPicDecoder::ChooseDepth(int sourceDepth, int& depth)
{
    if (depth == 0)
        depth = sourceDepth <= 8 ? 8 : 32;
}

std::unique_ptr<uint8_t[]> CPicDecoder::AllocateBuffer(const CBmp& bmp, size_t n, const char* text)
{
    CheckBudget(bmp.GetStorageBytes(), n, text);
    std::unique_ptr<uint8_t[]> buffer(new (std::nothrow) uint8_t[n]());
    if (!buffer)
        RaiseError(10, text);
    return buffer;
}

void CPicDecoder::CheckBudget(size_t used, size_t n, const char* text)
{
    const size_t limit = CBmp::GetMaxPixelBytes();
    if (used > limit || n > limit - used)
        RaiseError(10, text);
}

void CPicDecoder::DropEmptyAlpha(CBmp& bmp)
{
    if (bmp.GetBitsPerPixel() != 32 || !bmp.HasAlpha())
        return;
    const int width = bmp.GetWidth();
    uint8_t** lines = bmp.GetLineArray();
    for (int y = 0; y < bmp.GetHeight(); y++)
        for (int x = 0; x < width; x++)
            if (lines[y][4 * size_t(x) + 3] != 0)
                return;
    for (int y = 0; y < bmp.GetHeight(); y++)
        for (int x = 0; x < width; x++)
            lines[y][4 * size_t(x) + 3] = 0xFF;
    bmp.SetHasAlpha(false);
}

void CPicDecoder::DecodeFile(const std::string& path, CBmp& bmp, int depth)
{
    TraceF(1, "--- Decoding file %s. ---\n", path.c_str());
    CFileSource source;
    const int r = source.Open(path);
    if (r != 0)
        RaiseError(r, Format("Opening %s failed", path.c_str()));
    // A file that shrank under the mapping read as zeros: whatever the decoder
    // made of them, the data ended early.
    try
    {
        DecodeSource(source, bmp, depth); // the source closes itself on every path
    }
    catch (const CTextException&)
    {
        if (source.WasTruncated())
            throw CTextException(11, kEndOfFileText);
        throw;
    }
    if (source.WasTruncated())
        throw CTextException(11, kEndOfFileText);
}

void CPicDecoder::DecodeResource(int id, CBmp& bmp, int depth)
{
    TraceF(1, "--- Decoding resource ID %i. ---\n", id);
    CResourceSource source;
    const int r = source.Open(id);
    if (r != 0)
        RaiseError(r, Format("Opening resource %i failed", id));
    DecodeSource(source, bmp, depth);
}

void CPicDecoder::DecodeSource(CDataSource& source, CBmp& bmp, int depth)
{
    std::unique_ptr<PaletteEntry[]> pal; // freed on every path
    try
    {
        DecodeImage(bmp, pal, depth, source);
    }
    catch (const std::bad_alloc&)
    {
        // A small allocation of our own that failed: reported like a large one.
        RaiseError(10, "Out of memory while decoding.");
    }
}

void CPicDecoder::DecodeImage(CBmp&, std::unique_ptr<PaletteEntry[]>&, int&, CDataSource&) {}
