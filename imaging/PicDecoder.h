#pragma once
#include "PaletteEntry.h"
#include "TextException.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

class CBmp;
class CDataSource;

/// Base of every decoder: opens a data source for a file or a resource, runs
/// the format-specific DecodeImage into a caller-supplied bitmap and closes
/// the source on every path.
///
/// Failures are CTextException with these codes:
///  1 not the expected format / refused by the format library,
///  2 unsupported or inconsistent detail, 3/4/5 the file cannot be opened,
///  6 valid data that is not rendered, 8 no format recognised,
/// 10 out of memory or too large, 11 the data ended early.
class CPicDecoder
{
public:
    CPicDecoder() = default;
    /// Also ends tracing for the rest of the run (the stored file name is released).
    virtual ~CPicDecoder();
    CPicDecoder(const CPicDecoder&) = delete;
    CPicDecoder& operator=(const CPicDecoder&) = delete;

    /// Maps the file, decodes it into bmp, unmaps. depth: 0 automatic, 32 true colour.
    virtual void DecodeFile(const std::string& path, CBmp& bmp, int depth = 0);
    /// Decodes from the source's current position.
    virtual void DecodeSource(CDataSource& source, CBmp& bmp, int depth = 0);
    /// Decodes the raw-data resource id of the embedded resource table.
    void DecodeResource(int id, CBmp& bmp, int depth = 0);

    /// Whether decodes turn pictures upright by their stored orientation
    /// (EXIF in JPEG files, the Orientation tag of TIFF files); on by
    /// default. Off, the bitmap keeps the stored orientation.
    virtual void SetApplyOrientation(bool apply) { m_bApplyOrientation = apply; }
    bool GetApplyOrientation() const { return m_bApplyOrientation; }

    /// Sets the trace level and file; the file is deleted so that each
    /// configuration starts an empty trace. A null file disables the trace file.
    static void SetTraceConfig(int level, const char* file);
    /// Appends text (never used as a format) when level <= the trace level.
    static void Trace(int level, const std::string& text);
    /// printf-style Trace; formats only when the level is traced.
    static void TraceF(int level, const char* format, ...) __attribute__((format(printf, 2, 3)));
    static bool IsTraced(int level);

    /// Throws CTextException(code, "Decoder error: <text>\n"), writing the
    /// message to the trace file when one is set.
    [[noreturn]] static void RaiseError(int code, const std::string& text);
    /// printf-style formatting into a std::string.
    static std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
    /// A zeroed working buffer of n bytes for a decode into bmp. Throws code
    /// 10 with `text` when n beside the bitmap's storage exceeds the decode
    /// budget (CBmp::GetMaxPixelBytes()) or cannot be allocated.
    static std::unique_ptr<uint8_t[]> AllocateBuffer(const CBmp& bmp, size_t n, const char* text);
    /// Throws code 10 with `text` when n bytes beside `used` bytes exceed the
    /// decode budget; for the working memory a format library allocates itself.
    static void CheckBudget(size_t used, size_t n, const char* text);
    /// A 32-bit bitmap whose alpha is zero everywhere had its alpha left
    /// unset by the writer: it becomes opaque (alpha 255, no alpha flag).
    static void DropEmptyAlpha(CBmp& bmp);

protected:
    /// The per-format work. A decoder may hand over a colour table through
    /// pal; the framework frees it afterwards. The base version does nothing.
    virtual void DecodeImage(CBmp& bmp, std::unique_ptr<PaletteEntry[]>& pal, int& depth,
                             CDataSource& source);
    /// Automatic depth (0) becomes 8 for sources of 8 bits or less, else 32.
    static void ChooseDepth(int sourceDepth, int& depth);

private:
    bool m_bApplyOrientation = true;
};
