#include "PictRenderer.h"

#include "Bmp.h"
#include "DataSource.h"
#include "PicDecoder.h"

#include <algorithm>

namespace
{
// Work charged to every opcode, whatever it draws.
constexpr uint64_t kOpcodeWork = 16;

CRect ReadRect(CDataSource& source)
{
    const int top = int16_t(source.ReadBE16());
    const int left = int16_t(source.ReadBE16());
    const int bottom = int16_t(source.ReadBE16());
    const int right = int16_t(source.ReadBE16());
    return {left, top, right, bottom};
}

QDPoint ReadPoint(CDataSource& source)
{
    const int v = int16_t(source.ReadBE16());
    const int h = int16_t(source.ReadBE16());
    return {h, v};
}

PaletteEntry ReadRGB(CDataSource& source)
{
    const uint8_t* p = source.ReadBytes(6);
    return PaletteEntry{p[4], p[2], p[0], 255}; // high bytes of red, green, blue
}

// The eight colours of the original QuickDraw, by their old-style values,
// as colour QuickDraw shows them.
struct OldColour
{
    uint32_t value;
    PaletteEntry colour;
};
constexpr OldColour kOldColours[] = {
    {33, {0, 0, 0, 255}},           // blackColor
    {30, {255, 255, 255, 255}},     // whiteColor
    {205, {0x06, 0x08, 0xDD, 255}}, // redColor
    {341, {0x11, 0x80, 0x00, 255}}, // greenColor
    {409, {0xD4, 0x00, 0x00, 255}}, // blueColor
    {273, {0xEA, 0xAB, 0x02, 255}}, // cyanColor
    {137, {0x84, 0x08, 0xF2, 255}}, // magentaColor
    {69, {0x05, 0xF3, 0xFC, 255}},  // yellowColor
};

// Other values leave the colour as it was.
PaletteEntry OldStyleColour(uint32_t value, PaletteEntry keep)
{
    for (const OldColour& c : kOldColours)
        if (c.value == value)
            return c.colour;
    return keep;
}

int8_t ReadSigned8(CDataSource& source)
{
    return int8_t(source.ReadByte());
}
} // namespace

CPictRenderer::CPictRenderer(CBmp& bmp, const CRect& frame) : m_Port(bmp, frame) {}

CQDRegion CPictRenderer::RegionFromData(const uint8_t* data, size_t size, const CRect& clip)
{
    return CQDRegion::Read(data, size, m_Port.OffsetH(), m_Port.OffsetV(), clip,
                           [this](size_t spans) { m_Port.ReserveSpans(spans); });
}

template <typename MakeShape> CQDRegion CPictRenderer::ShapeRegion(int verb, MakeShape&& make)
{
    if (verb != kFrame)
        return make(m_Port.Bounds());
    if (m_Port.m_PenW <= 0 || m_Port.m_PenH <= 0)
        return CQDRegion();
    // Built past the bitmap by the pen's size, so that the bitmap's edge
    // does not become an edge of the outline.
    const CRect wide = m_Port.Bounds().Inset(-m_Port.m_PenW, -m_Port.m_PenH);
    const CQDRegion shape = make(wide);
    m_Port.Charge(uint64_t(m_Port.m_PenH) * (shape.SpanCount() + 1));
    return CQDShapes::Frame(shape, m_Port.m_PenW, m_Port.m_PenH);
}

void CPictRenderer::Fill(int verb, const CQDRegion& rgn)
{
    switch (verb)
    {
    case kFrame:
    case kPaint:
        m_Port.Paint(rgn, m_Port.m_PenPat, m_Port.m_PenMode);
        break;
    case kErase:
        m_Port.Paint(rgn, m_Port.m_BackPat, 8);
        break;
    case kInvert:
        m_Port.Invert(rgn);
        break;
    default:
        m_Port.Paint(rgn, m_Port.m_FillPat, 8);
        break;
    }
}

void CPictRenderer::DrawLine(QDPoint from, QDPoint to)
{
    m_Port.m_PenLoc = to;
    m_Port.Paint(CQDShapes::Line(m_Port.ToPixel(from.h, from.v), m_Port.ToPixel(to.h, to.v),
                                 m_Port.m_PenW, m_Port.m_PenH, m_Port.Bounds()),
                 m_Port.m_PenPat, m_Port.m_PenMode);
}

void CPictRenderer::DrawText(CDataSource& source, int dh, int dv)
{
    m_Port.m_TextLoc.h += dh;
    m_Port.m_TextLoc.v += dv;
    const size_t count = source.ReadByte();
    const uint8_t* p = source.ReadBytes(count);
    m_Text.Draw(m_Port, std::string(reinterpret_cast<const char*>(p), count));
}

void CPictRenderer::DrawPolygon(int verb)
{
    if (m_LastPoly.empty())
        return;
    std::vector<QDPoint> pts(m_LastPoly.size());
    for (size_t i = 0; i < pts.size(); i++)
        pts[i] = m_Port.ToPixel(m_LastPoly[i].h, m_LastPoly[i].v);
    if (verb == kFrame)
    {
        // Framed polygons are their lines, drawn one after another.
        for (size_t i = 0; i + 1 < pts.size(); i++)
        {
            m_Port.Charge(kOpcodeWork);
            m_Port.Paint(
                CQDShapes::Line(pts[i], pts[i + 1], m_Port.m_PenW, m_Port.m_PenH, m_Port.Bounds()),
                m_Port.m_PenPat, m_Port.m_PenMode);
        }
        return;
    }
    // Each row looks at every edge: charged before the work is done.
    const CRect bounds = m_Port.Bounds();
    m_Port.ReserveSpans(uint64_t(bounds.Height()) * (pts.size() / 2 + 1));
    m_Port.Charge(uint64_t(bounds.Height()) * pts.size());
    Fill(verb, CQDShapes::Polygon(pts, bounds));
}

void CPictRenderer::ReadPolygon(CDataSource& source)
{
    // The size word counts itself, the bounding box and the points.
    const unsigned size = source.ReadBE16();
    if (size < 10)
        CPicDecoder::RaiseError(2, "Illegal polygon or region size.");
    source.Skip(8);
    const size_t count = (size - 10) / 4;
    m_LastPoly.resize(count);
    for (QDPoint& p : m_LastPoly)
        p = ReadPoint(source);
    source.Skip((size - 10) % 4);
}

void CPictRenderer::ReadRegion(CDataSource& source)
{
    const uint8_t* start = source.GetBufferPtr();
    const unsigned size = source.ReadBE16();
    if (size < 10)
        CPicDecoder::RaiseError(2, "Illegal polygon or region size.");
    source.Skip(size - 2);
    m_LastRegion.assign(start, start + size);
}

bool CPictRenderer::DoOpcode(int opcode, CDataSource& source)
{
    m_Port.Charge(kOpcodeWork);
    CQDPort& port = m_Port;
    const int verb = opcode & 7;
    switch (opcode)
    {
    case 0x01: // Clip
        ReadRegion(source);
        port.SetClip(RegionFromData(m_LastRegion.data(), m_LastRegion.size(), port.Bounds()));
        m_LastRegion.clear();
        return true;
    case 0x02:
        port.m_BackPat = QDPattern::Bits(source.ReadBytes(8));
        return true;
    case 0x03:
        port.m_FontId = source.ReadBE16();
        return true;
    case 0x04:
        port.m_TextFace = source.ReadByte();
        return true;
    case 0x05:
        port.m_TextMode = source.ReadBE16();
        return true;
    case 0x07:
    {
        const QDPoint size = ReadPoint(source);
        port.m_PenW = std::clamp(size.h, 0, port.Bounds().Width() + 1);
        port.m_PenH = std::clamp(size.v, 0, port.Bounds().Height() + 1);
        return true;
    }
    case 0x08:
        port.m_PenMode = source.ReadBE16();
        return true;
    case 0x09:
        port.m_PenPat = QDPattern::Bits(source.ReadBytes(8));
        return true;
    case 0x0A:
        port.m_FillPat = QDPattern::Bits(source.ReadBytes(8));
        return true;
    case 0x0B:
    {
        const QDPoint size = ReadPoint(source);
        port.m_OvalW = size.h;
        port.m_OvalH = size.v;
        return true;
    }
    case 0x0C:
    {
        const int dh = int16_t(source.ReadBE16());
        const int dv = int16_t(source.ReadBE16());
        port.MoveOrigin(dh, dv);
        return true;
    }
    case 0x0D:
        port.m_TextSize = int16_t(source.ReadBE16());
        return true;
    case 0x0E:
        port.m_Fore = OldStyleColour(source.ReadBE32(), port.m_Fore);
        return true;
    case 0x0F:
        port.m_Back = OldStyleColour(source.ReadBE32(), port.m_Back);
        return true;
    case 0x1A:
        port.m_Fore = ReadRGB(source);
        return true;
    case 0x1B:
        port.m_Back = ReadRGB(source);
        return true;
    case 0x20:
    {
        const QDPoint from = ReadPoint(source);
        DrawLine(from, ReadPoint(source));
        return true;
    }
    case 0x21:
        DrawLine(port.m_PenLoc, ReadPoint(source));
        return true;
    case 0x22:
    {
        const QDPoint from = ReadPoint(source);
        const int dh = ReadSigned8(source);
        DrawLine(from, {from.h + dh, from.v + ReadSigned8(source)});
        return true;
    }
    case 0x23:
    {
        const QDPoint from = port.m_PenLoc;
        const int dh = ReadSigned8(source);
        DrawLine(from, {from.h + dh, from.v + ReadSigned8(source)});
        return true;
    }
    case 0x28:
        port.m_TextLoc = ReadPoint(source);
        DrawText(source, 0, 0);
        return true;
    case 0x29:
        DrawText(source, source.ReadByte(), 0);
        return true;
    case 0x2A:
        DrawText(source, 0, source.ReadByte());
        return true;
    case 0x2B:
    {
        const int dh = source.ReadByte();
        DrawText(source, dh, source.ReadByte());
        return true;
    }
    case 0x2C: // FontName: length, font number, then the name as a Pascal string
    {
        const size_t length = source.ReadBE16();
        const uint8_t* p = source.ReadBytes(length);
        if (length >= 3)
        {
            port.m_FontNameId = p[0] << 8 | p[1];
            port.m_strFontName.assign(reinterpret_cast<const char*>(p + 3),
                                      std::min<size_t>(p[2], length - 3));
        }
        return true;
    }
    default:
        break;
    }

    const bool same = (opcode & 8) != 0;
    if (verb > kFill || opcode < 0x30 || opcode > 0x8C)
        return false;
    switch (opcode & 0xF0)
    {
    case 0x30:
        if (!same)
            m_LastRect = ReadRect(source);
        Fill(verb, ShapeRegion(verb, [&](const CRect& clip)
                               { return CQDShapes::Rect(port.ToPixel(m_LastRect), clip); }));
        return true;
    case 0x40:
        if (!same)
            m_LastRRect = ReadRect(source);
        Fill(verb, ShapeRegion(verb,
                               [&](const CRect& clip) {
                                   return CQDShapes::RoundRect(port.ToPixel(m_LastRRect),
                                                               port.m_OvalW, port.m_OvalH, clip);
                               }));
        return true;
    case 0x50:
        if (!same)
            m_LastOval = ReadRect(source);
        Fill(verb, ShapeRegion(verb, [&](const CRect& clip)
                               { return CQDShapes::Oval(port.ToPixel(m_LastOval), clip); }));
        return true;
    case 0x60:
    {
        if (!same)
            m_LastArc = ReadRect(source);
        const int start = int16_t(source.ReadBE16());
        const int arc = int16_t(source.ReadBE16());
        const CRect r = port.ToPixel(m_LastArc);
        // The wedge is cut from the oval's frame, so that a framed arc has
        // no straight sides; every pixel of the oval is looked at.
        const CQDRegion oval =
            ShapeRegion(verb, [&](const CRect& clip) { return CQDShapes::Oval(r, clip); });
        port.Charge(oval.PixelCount());
        Fill(verb, CQDShapes::Wedge(oval, r, start, arc));
        return true;
    }
    case 0x70:
        if (!same)
            ReadPolygon(source);
        DrawPolygon(verb);
        return true;
    case 0x80:
        if (!same)
            ReadRegion(source);
        if (m_LastRegion.empty())
            return true;
        Fill(verb, ShapeRegion(
                       verb, [&](const CRect& clip)
                       { return RegionFromData(m_LastRegion.data(), m_LastRegion.size(), clip); }));
        return true;
    default:
        return false;
    }
}

void CPictRenderer::SetPixPat(int opcode, QDPattern pattern)
{
    QDPattern& target = opcode == 0x12   ? m_Port.m_BackPat
                        : opcode == 0x13 ? m_Port.m_PenPat
                                         : m_Port.m_FillPat;
    target = std::move(pattern);
}

void CPictRenderer::DrawRaster(const CBmp& bits, const CRect& pixels, const CRect& src,
                               const CRect& dst, int mode, const uint8_t* mask, size_t maskSize,
                               bool monochrome)
{
    const CRect from{src.left - pixels.left, src.top - pixels.top, src.right - pixels.left,
                     src.bottom - pixels.top};
    if (!mask)
    {
        m_Port.CopyBits(bits, from, m_Port.ToPixel(dst), mode, nullptr, monochrome);
        return;
    }
    const CQDRegion rgn = RegionFromData(mask, maskSize, m_Port.Bounds());
    m_Port.CopyBits(bits, from, m_Port.ToPixel(dst), mode, &rgn, monochrome);
}
