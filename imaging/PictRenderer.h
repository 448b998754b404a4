#pragma once
#include "QDPort.h"
#include "QDText.h"

#include <cstddef>
#include <cstdint>
#include <vector>

class CBmp;
class CDataSource;

/// Draws the drawing opcodes of a PICT (lines, rectangles, rounded
/// rectangles, ovals, arcs, polygons, regions, text and the state they use)
/// into a bitmap in opcode order; the PICT decoder hands it each opcode and
/// the rasters it decodes.
class CPictRenderer
{
public:
    /// bmp is frame's size at 32 bits, white.
    CPictRenderer(CBmp& bmp, const CRect& frame);

    /// Reads and draws one opcode of 0x00-0xAF; false when the opcode is
    /// not one it draws or keeps state for (the caller skips it then).
    bool DoOpcode(int opcode, CDataSource& source);
    /// Sets the background (0x12), pen (0x13) or fill (0x14) pixel pattern.
    void SetPixPat(int opcode, QDPattern pattern);
    /// Draws the part src of a raster whose pixels (32 bits) cover `pixels`
    /// in the raster's own coordinates into dst (picture coordinates) in a
    /// transfer mode, inside the region of `maskSize` bytes at mask when
    /// given. Black-and-white bitmaps take the port's colours.
    void DrawRaster(const CBmp& bits, const CRect& pixels, const CRect& src, const CRect& dst,
                    int mode, const uint8_t* mask, size_t maskSize, bool monochrome);

    CQDPort& Port() { return m_Port; }

private:
    enum Verb
    {
        kFrame,
        kPaint,
        kErase,
        kInvert,
        kFill
    };
    /// The region a verb fills for the shape make(clip) builds: the shape,
    /// or for frames its outline, built with a clip wide enough for the pen.
    template <typename MakeShape> CQDRegion ShapeRegion(int verb, MakeShape&& make);
    void Fill(int verb, const CQDRegion& rgn);
    void DrawLine(QDPoint from, QDPoint to);
    void DrawPolygon(int verb);
    void DrawText(CDataSource& source, int dh, int dv);
    void ReadPolygon(CDataSource& source);
    void ReadRegion(CDataSource& source);
    CQDRegion RegionFromData(const uint8_t* data, size_t size, const CRect& clip);

    CQDPort m_Port;
    CQDText m_Text;
    // The last shapes, for the "same" opcodes (picture coordinates).
    CRect m_LastRect;
    CRect m_LastRRect;
    CRect m_LastOval;
    CRect m_LastArc;
    std::vector<QDPoint> m_LastPoly;
    std::vector<uint8_t> m_LastRegion;
};
