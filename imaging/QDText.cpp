#include "QDText.h"

#include "QDPort.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cctype>
#include <map>
#include <tuple>
#include <sys/stat.h>

namespace
{
// Mac Roman 0x80-0xFF in Unicode.
const uint16_t kMacRoman[128] = {
    0x00C4, 0x00C5, 0x00C7, 0x00C9, 0x00D1, 0x00D6, 0x00DC, 0x00E1, 0x00E0, 0x00E2, 0x00E4, 0x00E3,
    0x00E5, 0x00E7, 0x00E9, 0x00E8, 0x00EA, 0x00EB, 0x00ED, 0x00EC, 0x00EE, 0x00EF, 0x00F1, 0x00F3,
    0x00F2, 0x00F4, 0x00F6, 0x00F5, 0x00FA, 0x00F9, 0x00FB, 0x00FC, 0x2020, 0x00B0, 0x00A2, 0x00A3,
    0x00A7, 0x2022, 0x00B6, 0x00DF, 0x00AE, 0x00A9, 0x2122, 0x00B4, 0x00A8, 0x2260, 0x00C6, 0x00D8,
    0x221E, 0x00B1, 0x2264, 0x2265, 0x00A5, 0x00B5, 0x2202, 0x2211, 0x220F, 0x03C0, 0x222B, 0x00AA,
    0x00BA, 0x03A9, 0x00E6, 0x00F8, 0x00BF, 0x00A1, 0x00AC, 0x221A, 0x0192, 0x2248, 0x2206, 0x00AB,
    0x00BB, 0x2026, 0x00A0, 0x00C0, 0x00C3, 0x00D5, 0x0152, 0x0153, 0x2013, 0x2014, 0x201C, 0x201D,
    0x2018, 0x2019, 0x00F7, 0x25CA, 0x00FF, 0x0178, 0x2044, 0x20AC, 0x2039, 0x203A, 0xFB01, 0xFB02,
    0x2021, 0x00B7, 0x201A, 0x201E, 0x2030, 0x00C2, 0x00CA, 0x00C1, 0x00CB, 0x00C8, 0x00CD, 0x00CE,
    0x00CF, 0x00CC, 0x00D3, 0x00D4, 0xF8FF, 0x00D2, 0x00DA, 0x00DB, 0x00D9, 0x0131, 0x02C6, 0x02DC,
    0x00AF, 0x02D8, 0x02D9, 0x02DA, 0x00B8, 0x02DD, 0x02DB, 0x02C7,
};

constexpr int kMaxTextSize = 2048;

enum class Family
{
    Sans,
    Serif,
    Mono
};

Family FamilyOf(const std::string& name, int fontId)
{
    if (name.empty())
    {
        switch (fontId)
        {
        case 2:
        case 14:
        case 16:
        case 20:
            return Family::Serif;
        case 4:
        case 22:
            return Family::Mono;
        default:
            return Family::Sans;
        }
    }
    std::string lower;
    for (char c : name)
        lower += char(std::tolower(static_cast<unsigned char>(c)));
    for (const char* serif : {"times", "new york", "palatino", "bookman"})
        if (lower.rfind(serif, 0) == 0)
            return Family::Serif;
    for (const char* mono : {"courier", "monaco"})
        if (lower.rfind(mono, 0) == 0)
            return Family::Mono;
    return Family::Sans;
}

// Glyphs are kept for sizes up to this, and this many at most.
constexpr int kCachedSize = 128;
constexpr size_t kCachedGlyphs = 4096;
} // namespace

// A rendered glyph, placed relative to its origin on the baseline.
struct CQDText::Glyph
{
    int left;
    int top; // rows above the baseline
    int width;
    int height;
    int advance;
    std::vector<uint8_t> bits; // one byte per pixel
};

struct CQDText::Library
{
    FT_Library library = nullptr;
    std::map<std::string, FT_Face> faces; // null: the file could not be opened
    std::map<std::tuple<FT_Face, int, unsigned>, Glyph> glyphs; // by face, size, character

    ~Library()
    {
        for (auto& [name, face] : faces)
            if (face)
                FT_Done_Face(face);
        if (library)
            FT_Done_FreeType(library);
    }
};

CQDText::CQDText(std::vector<std::string> folders) : m_Folders(std::move(folders)) {}

CQDText::~CQDText() = default;

std::vector<std::string> CQDText::DefaultFolders()
{
    return {"/usr/share/fonts/truetype/dejavu", "/usr/share/fonts/dejavu", "/usr/share/fonts/TTF",
            "/usr/local/share/fonts"};
}

std::string CQDText::FontFileName(const std::string& name, int fontId, int face)
{
    const bool bold = face & 1;
    const bool italic = face & 2;
    const Family family = FamilyOf(name, fontId);
    std::string file = family == Family::Serif  ? "DejaVuSerif"
                       : family == Family::Mono ? "DejaVuSansMono"
                                                : "DejaVuSans";
    if (bold || italic)
    {
        file += '-';
        if (bold)
            file += "Bold";
        if (italic)
            file += family == Family::Serif ? "Italic" : "Oblique";
    }
    return file + ".ttf";
}

void* CQDText::FaceFor(const std::string& fileName)
{
    if (!m_pLibrary)
    {
        m_pLibrary = std::make_unique<Library>();
        if (FT_Init_FreeType(&m_pLibrary->library) != 0)
            m_pLibrary->library = nullptr;
    }
    if (!m_pLibrary->library)
        return nullptr;
    const auto found = m_pLibrary->faces.find(fileName);
    if (found != m_pLibrary->faces.end())
        return found->second;
    FT_Face face = nullptr;
    for (const std::string& folder : m_Folders)
    {
        const std::string path = folder + "/" + fileName;
        struct stat st;
        if (stat(path.c_str(), &st) == 0 &&
            FT_New_Face(m_pLibrary->library, path.c_str(), 0, &face) == 0)
            break;
        face = nullptr;
    }
    m_pLibrary->faces[fileName] = face;
    return face;
}

const CQDText::Glyph* CQDText::Render(void* faceHandle, int size, unsigned char ch,
                                      std::vector<Glyph>& uncached)
{
    auto* face = static_cast<FT_Face>(faceHandle);
    const auto key = std::make_tuple(face, size, unsigned(ch));
    const bool cache = size <= kCachedSize;
    if (cache)
    {
        const auto found = m_pLibrary->glyphs.find(key);
        if (found != m_pLibrary->glyphs.end())
            return &found->second;
    }
    const FT_ULong code = ch < 0x80 ? ch : kMacRoman[ch - 0x80];
    if (FT_Load_Char(face, code, FT_LOAD_RENDER | FT_LOAD_TARGET_MONO | FT_LOAD_MONOCHROME) != 0)
        return nullptr;
    const FT_GlyphSlot slot = face->glyph;
    const FT_Bitmap& bm = slot->bitmap;
    Glyph g{slot->bitmap_left, slot->bitmap_top,          int(bm.width),
            int(bm.rows),      int(slot->advance.x >> 6), {}};
    g.bits.resize(size_t(g.width) * size_t(g.height));
    for (int y = 0; y < g.height; y++)
    {
        const uint8_t* row = bm.buffer + ptrdiff_t(y) * bm.pitch;
        for (int x = 0; x < g.width; x++)
            g.bits[size_t(y) * size_t(g.width) + size_t(x)] =
                bm.pixel_mode == FT_PIXEL_MODE_MONO ? (row[x >> 3] >> (7 - (x & 7))) & 1
                                                    : row[x] >= 128;
    }
    if (cache && m_pLibrary->glyphs.size() < kCachedGlyphs)
        return &m_pLibrary->glyphs.emplace(key, std::move(g)).first->second;
    uncached.push_back(std::move(g));
    return &uncached.back();
}

void CQDText::Draw(CQDPort& port, const std::string& text)
{
    // Size 0 is the system font's size.
    const int size = port.m_TextSize > 0 ? port.m_TextSize : 12;
    if (text.empty() || size > kMaxTextSize)
        return;
    const std::string name = port.m_FontNameId == port.m_FontId ? port.m_strFontName : "";
    auto* face = static_cast<FT_Face>(FaceFor(FontFileName(name, port.m_FontId, port.m_TextFace)));
    // Styled faces that are missing fall back to the family's plain face.
    if (!face && (port.m_TextFace & 3))
        face = static_cast<FT_Face>(FaceFor(FontFileName(name, port.m_FontId, 0)));
    if (!face || FT_Set_Pixel_Sizes(face, 0, FT_UInt(size)) != 0)
        return;

    const QDPoint origin = port.ToPixel(port.m_TextLoc.h, port.m_TextLoc.v);
    struct Placed
    {
        const Glyph* glyph;
        int left;
        int top;
    };
    std::vector<Placed> glyphs;
    std::vector<Glyph> uncached;
    uncached.reserve(text.size());
    int64_t penX = origin.h;
    for (unsigned char ch : text)
    {
        // Control characters (line ends, tabs of a text block) have no glyph.
        if (ch < 0x20 || ch == 0x7F)
            continue;
        const Glyph* g = Render(face, size, ch, uncached);
        if (!g)
            continue;
        port.Charge(uint64_t(g->width) * uint64_t(g->height) + 16);
        glyphs.push_back({g, int(penX) + g->left, origin.v - g->top});
        penX += g->advance;
        if (penX > port.Bounds().right + kMaxTextSize)
            break;
    }

    // The glyphs' pixels, and the underline, as a region over their box.
    CRect box{INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN};
    for (const Placed& p : glyphs)
        if (p.glyph->width > 0 && p.glyph->height > 0)
            box = {std::min(box.left, p.left), std::min(box.top, p.top),
                   std::max(box.right, p.left + p.glyph->width),
                   std::max(box.bottom, p.top + p.glyph->height)};
    const bool underline = port.m_TextFace & 4;
    const int lineTop = origin.v + 1;
    const int lineBottom = lineTop + std::max(1, size / 12);
    if (underline)
        box = {std::min<int>(box.left, origin.h), std::min(box.top, lineTop),
               std::max<int>(box.right, int(std::min<int64_t>(penX, INT32_MAX / 2))),
               std::max(box.bottom, lineBottom)};
    box = box.Intersect(port.Bounds());
    if (box.IsEmpty())
        return;
    port.Charge(uint64_t(box.Width()) * uint64_t(box.Height()));
    std::vector<uint8_t> mask(size_t(box.Width()) * size_t(box.Height()));
    for (const Placed& p : glyphs)
    {
        const Glyph& g = *p.glyph;
        for (int y = std::max(p.top, box.top); y < std::min(p.top + g.height, box.bottom); y++)
            for (int x = std::max(p.left, box.left); x < std::min(p.left + g.width, box.right); x++)
                mask[size_t(y - box.top) * size_t(box.Width()) + size_t(x - box.left)] |=
                    g.bits[size_t(y - p.top) * size_t(g.width) + size_t(x - p.left)];
    }
    if (underline)
        for (int y = std::max(lineTop, box.top); y < std::min(lineBottom, box.bottom); y++)
            for (int x = std::max(origin.h, box.left); x < std::min<int64_t>(penX, box.right); x++)
                mask[size_t(y - box.top) * size_t(box.Width()) + size_t(x - box.left)] = 1;
    CQDRegion rgn(box.top);
    for (int y = box.top; y < box.bottom; y++)
    {
        const uint8_t* row = &mask[size_t(y - box.top) * size_t(box.Width())];
        for (int x = 0; x < box.Width();)
        {
            if (!row[x])
            {
                x++;
                continue;
            }
            const int start = x;
            while (x < box.Width() && row[x])
                x++;
            rgn.AddSpan(box.left + start, box.left + x);
        }
        rgn.NextRow();
    }
    // Text puts down the foreground colour (or, in xor and bic, inverts or
    // erases) where its glyphs are; the background of srcCopy is not drawn.
    const int mode = port.m_TextMode;
    const int op = mode >= 0 && mode < 16 ? (mode & 3) : 1;
    port.Paint(rgn, QDPattern::Solid(true), 8 + (op == 0 ? 1 : op));
}
