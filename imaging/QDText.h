#pragma once
#include "QDShapes.h"

#include <memory>
#include <string>
#include <vector>

class CQDPort;

/// Draws QuickDraw text through FreeType, aliased, into a port.
///
/// Classic Mac fonts map to DejaVu, which Debian ships (fonts-dejavu-core):
/// Times, New York, Palatino and Bookman to DejaVu Serif; Courier and Monaco
/// to DejaVu Sans Mono; Geneva, Helvetica, Chicago and every other font to
/// DejaVu Sans. A font is chosen by the FontName opcode's name when it names
/// the current font number, else by the classic numbers (2 New York, 4
/// Monaco, 14 Bookman, 16 Palatino, 20 Times, 22 Courier, the rest sans).
/// Bold and italic choose the DejaVu face, underline draws a line under the
/// baseline; outline, shadow, condense and extend are drawn plain. Text
/// whose font file is missing is skipped, as is text above 2048 pixels.
class CQDText
{
public:
    /// Looks for the font files in folders, in order.
    explicit CQDText(std::vector<std::string> folders = DefaultFolders());
    ~CQDText();
    CQDText(const CQDText&) = delete;
    CQDText& operator=(const CQDText&) = delete;

    /// Draws the Mac Roman string at the pen's text location (the left end
    /// of the baseline) in the port's font, size, face and text mode.
    void Draw(CQDPort& port, const std::string& text);

    /// The DejaVu file a classic font name (or, without one, font number)
    /// with a face maps to, e.g. "DejaVuSerif-Bold.ttf".
    static std::string FontFileName(const std::string& name, int fontId, int face);
    /// Debian's DejaVu folder and the usual folders of other systems.
    static std::vector<std::string> DefaultFolders();

private:
    struct Glyph;
    struct Library;
    void* FaceFor(const std::string& fileName);
    /// The glyph of ch in face at size, from the cache or rendered into
    /// uncached (whose room the caller has reserved).
    const Glyph* Render(void* face, int size, unsigned char ch, std::vector<Glyph>& uncached);

    std::vector<std::string> m_Folders;
    std::unique_ptr<Library> m_pLibrary;
};
