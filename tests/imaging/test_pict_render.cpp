// Drawing-only and mixed PICTs made by a small writer: each opcode sequence
// is rendered and checked at a few pixels; damaged drawings fail cleanly and
// no drawing runs without end.
#include "DataSource.h"
#include "PictTestFiles.h"
#include "QDPort.h"
#include "QDText.h"
#include "TestSupport.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <functional>

using pict::Rgb;
using test::Bytes;

namespace
{
// A version 2 picture: the frame, the version opcode, a header (extended
// with a resolution and a source rectangle when dpi is not 72), the body's
// opcodes, the end.
std::vector<uint8_t> Picture(int w, int h, const Bytes& body, int dpi = 72)
{
    Bytes b;
    b.fill(512).be16(0);
    pict::Rect(b, 0, 0, h, w);
    b.be16(0x0011).be16(0x02FF).be16(0x0C00);
    if (dpi == 72)
        b.be16(0xFFFF).be16(0xFFFF).fill(16).be32(0);
    else
    {
        b.be16(0xFFFE).be16(0).be32(uint32_t(dpi) << 16).be32(uint32_t(dpi) << 16);
        pict::Rect(b, 0, 0, h * dpi / 72, w * dpi / 72);
        b.be32(0);
    }
    b.raw(body.data);
    if (b.size() & 1)
        b.u8(0);
    b.be16(0x00FF);
    return b.data;
}

// Opcode writers; every opcode starts word-aligned as version 2 wants.
Bytes& Op(Bytes& b, unsigned opcode)
{
    if (b.size() & 1)
        b.u8(0);
    return b.be16(opcode);
}

Bytes& Shape(Bytes& b, unsigned opcode, int top, int left, int bottom, int right)
{
    Op(b, opcode);
    pict::Rect(b, top, left, bottom, right);
    return b;
}

Bytes& Point(Bytes& b, int v, int h)
{
    return b.be16(unsigned(v) & 0xFFFF).be16(unsigned(h) & 0xFFFF);
}

Bytes& Pattern(Bytes& b, unsigned opcode, std::initializer_list<uint8_t> rows)
{
    Op(b, opcode);
    for (uint8_t r : rows)
        b.u8(r);
    return b;
}

Bytes& RGB(Bytes& b, unsigned opcode, Rgb c)
{
    Op(b, opcode);
    for (uint8_t v : c)
        b.be16(v * 0x101u);
    return b;
}

// A region of rows [top, bottom) holding [l0, r0) and, below row split,
// [l1, r1) instead.
Bytes& TwoPartRegion(Bytes& b, int l0, int r0, int split, int l1, int r1, int bottom)
{
    const std::vector<unsigned> lines = {0,
                                         unsigned(l0),
                                         unsigned(r0),
                                         0x7FFF,
                                         unsigned(split),
                                         unsigned(l0),
                                         unsigned(r0),
                                         unsigned(l1),
                                         unsigned(r1),
                                         0x7FFF,
                                         unsigned(bottom),
                                         unsigned(l1),
                                         unsigned(r1),
                                         0x7FFF,
                                         0x7FFF};
    b.be16(unsigned(10 + 2 * lines.size()));
    pict::Rect(b, 0, std::min(l0, l1), bottom, std::max(r0, r1));
    for (unsigned v : lines)
        b.be16(v);
    return b;
}

// Renders a picture through the PICT decoder as a 32-bit bitmap.
test::RgbaImage Render(const std::vector<uint8_t>& file, CDIBSection& bmp)
{
    pict::Decode(file, bmp);
    EXPECT_EQ(bmp.GetBitsPerPixel(), 32);
    return test::ToRgba(bmp);
}

struct Probe
{
    int x, y;
    Rgb rgb;
};

constexpr Rgb kBlack{0, 0, 0};
constexpr Rgb kWhite{255, 255, 255};
constexpr Rgb kRed{255, 0, 0};
constexpr Rgb kGreen{0, 255, 0};
constexpr Rgb kBlue{0, 0, 255};

struct DrawCase
{
    const char* name;
    std::function<void(Bytes&)> body;
    std::vector<Probe> probes; // on a 20 x 20 frame, white where nothing is drawn
};

void PrintTo(const DrawCase& c, std::ostream* os)
{
    *os << c.name;
}

const DrawCase kDrawCases[] = {
    {"paintRect",
     [](Bytes& b) { Shape(b, 0x31, 2, 2, 8, 8); },
     {{2, 2, kBlack}, {7, 7, kBlack}, {8, 8, kWhite}, {1, 1, kWhite}}},
    {"frameRectWithPen2",
     [](Bytes& b)
     {
         Point(Op(b, 0x07), 2, 2);
         Shape(b, 0x30, 2, 2, 10, 10);
     },
     {{2, 2, kBlack}, {3, 5, kBlack}, {4, 4, kWhite}, {9, 9, kBlack}, {10, 10, kWhite}}},
    {"frameRectPastTheFrameHasNoEdgeAtIt",
     [](Bytes& b) { Shape(b, 0x30, -5, -5, 10, 30); },
     {{0, 0, kWhite}, {19, 5, kWhite}, {5, 9, kBlack}, {5, 10, kWhite}}},
    {"eraseAndInvertRect",
     [](Bytes& b)
     {
         Shape(b, 0x31, 0, 0, 20, 10);
         Shape(b, 0x32, 0, 0, 5, 20);
         Shape(b, 0x33, 10, 5, 20, 15);
     },
     {{2, 2, kWhite}, {2, 7, kBlack}, {7, 12, kWhite}, {12, 12, kBlack}, {17, 7, kWhite}}},
    {"fillRectWithACheckerboard",
     [](Bytes& b)
     {
         Pattern(b, 0x0A, {0xAA, 0x55, 0xAA, 0x55, 0xAA, 0x55, 0xAA, 0x55});
         Shape(b, 0x34, 0, 0, 20, 20);
     },
     {{0, 0, kBlack}, {1, 0, kWhite}, {0, 1, kWhite}, {9, 1, kBlack}}},
    {"paintOval",
     [](Bytes& b) { Shape(b, 0x51, 0, 0, 20, 20); },
     {{10, 10, kBlack}, {0, 0, kWhite}, {10, 0, kBlack}, {5, 0, kWhite}, {19, 10, kBlack}}},
    {"paintRoundRect",
     [](Bytes& b)
     {
         Point(Op(b, 0x0B), 8, 8);
         Shape(b, 0x41, 0, 0, 20, 20);
     },
     {{0, 0, kWhite}, {10, 0, kBlack}, {0, 10, kBlack}, {19, 19, kWhite}, {2, 2, kBlack}}},
    {"paintArcTopRightQuadrant",
     [](Bytes& b) { Shape(b, 0x61, 0, 0, 20, 20).be16(0).be16(90); },
     {{15, 5, kBlack}, {5, 5, kWhite}, {15, 15, kWhite}, {5, 15, kWhite}}},
    {"frameArcHasNoStraightSides",
     [](Bytes& b) { Shape(b, 0x60, 0, 0, 20, 20).be16(90).be16(-90); },
     {{10, 0, kBlack}, {19, 9, kBlack}, {15, 5, kWhite}, {10, 5, kWhite}, {5, 5, kWhite}}},
    {"paintPolyTriangle",
     [](Bytes& b)
     {
         Op(b, 0x71).be16(10 + 4 * 4);
         pict::Rect(b, 0, 0, 20, 20);
         Point(Point(Point(Point(b, 0, 0), 0, 20), 20, 0), 0, 0);
     },
     {{2, 2, kBlack}, {17, 17, kWhite}, {1, 17, kBlack}, {17, 1, kBlack}}},
    {"framePolyIsItsLines",
     [](Bytes& b)
     {
         Op(b, 0x70).be16(10 + 3 * 4);
         pict::Rect(b, 0, 0, 20, 20);
         Point(Point(Point(b, 2, 2), 2, 17), 17, 17);
     },
     {{2, 2, kBlack}, {10, 2, kBlack}, {17, 10, kBlack}, {5, 10, kWhite}}},
    {"lineDiagonalAndThick",
     [](Bytes& b)
     {
         Point(Point(Op(b, 0x20), 0, 0), 9, 9);
         Point(Op(b, 0x07), 3, 3);
         Point(Point(Op(b, 0x20), 10, 0), 10, 15); // a horizontal bar 3 rows tall
     },
     {{5, 5, kBlack},
      {6, 5, kWhite},
      {0, 10, kBlack},
      {17, 12, kBlack},
      {18, 12, kWhite},
      {5, 13, kWhite}}},
    {"lineFromAndShortLines",
     [](Bytes& b)
     {
         Op(b, 0x22);
         Point(b, 2, 2).u8(10).u8(0); // (2,2) to (12,2)
         Point(Op(b, 0x21), 12, 12);  // then down to (12,12)
         Op(b, 0x23).u8(0xFB).u8(0);  // then 5 left
     },
     {{7, 2, kBlack}, {12, 7, kBlack}, {8, 12, kBlack}, {6, 12, kWhite}, {7, 7, kWhite}}},
    {"hugeCoordinatesAreClipped",
     [](Bytes& b)
     {
         Point(Point(Op(b, 0x20), -32768, -32768), 32767, 32767);
         Shape(b, 0x31, 15, -32768, 32767, 32767);
     },
     {{5, 5, kBlack}, {6, 5, kWhite}, {0, 19, kBlack}, {19, 15, kBlack}}},
    {"patXorAndPatBic",
     [](Bytes& b)
     {
         Shape(b, 0x31, 0, 0, 20, 20);
         Op(b, 0x08).be16(10); // patXor
         Shape(b, 0x31, 0, 0, 10, 20);
         Op(b, 0x08).be16(11); // patBic
         Shape(b, 0x31, 10, 0, 15, 20);
     },
     {{5, 5, kWhite}, {5, 12, kWhite}, {5, 17, kBlack}}},
    {"patOrLeavesClearBits",
     [](Bytes& b)
     {
         RGB(b, 0x1A, kRed);
         Shape(b, 0x31, 0, 0, 20, 20);
         RGB(b, 0x1A, kBlue);
         Op(b, 0x08).be16(9);
         Pattern(b, 0x09, {0xF0, 0xF0, 0xF0, 0xF0, 0xF0, 0xF0, 0xF0, 0xF0});
         Shape(b, 0x31, 0, 0, 20, 20);
     },
     {{0, 0, kBlue}, {3, 9, kBlue}, {4, 0, kRed}, {15, 3, kRed}}},
    {"notPatCopyPaintsTheBackgroundColour",
     [](Bytes& b)
     {
         RGB(b, 0x1B, kGreen);
         Op(b, 0x08).be16(12);
         Shape(b, 0x31, 0, 0, 10, 10);
     },
     {{5, 5, kGreen}, {15, 15, kWhite}}},
    {"oldStyleColours",
     [](Bytes& b)
     {
         Op(b, 0x0E).be32(205); // redColor
         Shape(b, 0x31, 0, 0, 10, 10);
         Op(b, 0x0F).be32(409); // blueColor
         Shape(b, 0x32, 10, 10, 20, 20);
     },
     {{5, 5, {0xDD, 0x08, 0x06}}, {15, 15, {0x00, 0x00, 0xD4}}, {15, 5, kWhite}}},
    {"originMovesLaterCoordinates",
     [](Bytes& b)
     {
         Op(b, 0x0C).be16(5).be16(10);
         Shape(b, 0x31, 10, 5, 12, 7);
     },
     {{0, 0, kBlack}, {1, 1, kBlack}, {2, 2, kWhite}, {5, 10, kWhite}}},
    {"clipRegion",
     [](Bytes& b)
     {
         TwoPartRegion(Op(b, 0x01), 0, 10, 10, 10, 20, 20);
         Shape(b, 0x31, 0, 0, 20, 20);
     },
     {{5, 5, kBlack}, {15, 5, kWhite}, {15, 15, kBlack}, {5, 15, kWhite}}},
    {"paintAndFrameRegion",
     [](Bytes& b)
     {
         TwoPartRegion(Op(b, 0x81), 0, 4, 5, 6, 10, 10);
         TwoPartRegion(Op(b, 0x80), 10, 20, 10, 10, 20, 20);
     },
     {{2, 2, kBlack},
      {8, 2, kWhite},
      {8, 7, kBlack},
      {2, 7, kWhite},
      {10, 10, kBlack},
      {19, 19, kBlack},
      {15, 15, kWhite}}},
    {"sameShapes",
     [](Bytes& b)
     {
         Shape(b, 0x31, 0, 0, 10, 10);
         Op(b, 0x3B); // invertSameRect
         Shape(b, 0x52, 10, 10, 20, 20);
         Op(b, 0x59); // paintSameOval
         Op(b, 0x71).be16(10 + 3 * 4);
         pict::Rect(b, 0, 10, 10, 20);
         Point(Point(Point(b, 0, 10), 0, 20), 10, 20);
         Op(b, 0x7B); // invertSamePoly
     },
     {{5, 5, kWhite}, {15, 15, kBlack}, {18, 2, kWhite}}},
    {"pixelPatternOfAColour",
     [](Bytes& b)
     {
         Op(b, 0x14).be16(2).fill(8).be16(0).be16(0xFFFF).be16(0); // FillPixPat, green
         Shape(b, 0x34, 0, 0, 10, 10);
     },
     {{5, 5, kGreen}, {15, 15, kWhite}}},
    {"pixelPatternOfPixels",
     [](Bytes& b)
     {
         // PnPixPat: a 2 x 2 pixel map of red and blue columns.
         Op(b, 0x13).be16(1).fill(8).be16(0x8000 | 2);
         pict::Rect(b, 0, 0, 2, 2);
         pict::PixMapHeader(b, 0, 8, 1, 8);
         pict::ColorTable(b, {kRed, kBlue});
         b.raw({0, 1, 0, 1});
         Shape(b, 0x31, 0, 0, 20, 20);
     },
     {{0, 0, kRed}, {1, 0, kBlue}, {4, 7, kRed}, {5, 19, kBlue}}},
};

class PictRender : public ::testing::TestWithParam<DrawCase>
{
};

TEST_P(PictRender, DrawsItsOpcodes)
{
    Bytes body;
    GetParam().body(body);
    CDIBSection bmp;
    const test::RgbaImage img = Render(Picture(20, 20, body), bmp);
    ASSERT_EQ(img.width, 20);
    ASSERT_EQ(img.height, 20);
    for (const Probe& p : GetParam().probes)
    {
        const uint8_t* px = img.At(p.x, p.y);
        EXPECT_EQ((Rgb{px[0], px[1], px[2]}), p.rgb) << "at " << p.x << "," << p.y;
    }
}

INSTANTIATE_TEST_SUITE_P(Opcodes, PictRender, ::testing::ValuesIn(kDrawCases),
                         [](const ::testing::TestParamInfo<DrawCase>& param)
                         { return std::string(param.param.name); });

bool FontPresent()
{
    struct stat st;
    for (const std::string& folder : CQDText::DefaultFolders())
        if (stat((folder + "/DejaVuSans.ttf").c_str(), &st) == 0)
            return true;
    return false;
}

// Black pixels inside a rectangle of the image.
int BlackIn(const test::RgbaImage& img, int x0, int y0, int x1, int y1)
{
    int n = 0;
    for (int y = y0; y < y1; y++)
        for (int x = x0; x < x1; x++)
            n += img.At(x, y)[0] == 0;
    return n;
}
} // namespace

// Text sits on its baseline at the text location; DHText and DVText move
// that location from the last text, not from where the last text ended.
TEST(PictRenderText, TextAtItsLocations)
{
    if (!FontPresent())
        GTEST_SKIP() << "DejaVu Sans is not installed";
    Bytes b;
    Op(b, 0x0D).be16(20);                                 // TxSize
    Point(Op(b, 0x28), 30, 10).u8(2).raw({'H', 'H'});     // LongText at (10, 30)
    Op(b, 0x2A).u8(40).u8(1).raw({'H'});                  // DVText: 40 lower
    Op(b, 0x29).u8(100).u8(1).raw({'H'});                 // DHText: 100 right
    Op(b, 0x2B).u8(0).u8(0).u8(3).raw({0x0D, ' ', 0x0D}); // control characters only
    CDIBSection bmp;
    const test::RgbaImage img = Render(Picture(200, 100, b), bmp);
    EXPECT_GT(BlackIn(img, 10, 12, 40, 31), 40); // above the first baseline
    EXPECT_EQ(BlackIn(img, 0, 31, 200, 52), 0);  // nothing below it but the next line
    EXPECT_GT(BlackIn(img, 10, 52, 30, 71), 20);
    EXPECT_GT(BlackIn(img, 110, 52, 130, 71), 20);
    EXPECT_EQ(BlackIn(img, 40, 52, 100, 71), 0);
    EXPECT_EQ(BlackIn(img, 0, 72, 200, 100), 0);
}

TEST(PictRenderText, FontMappingAndMissingFonts)
{
    EXPECT_EQ(CQDText::FontFileName("Times", 20, 0), "DejaVuSerif.ttf");
    EXPECT_EQ(CQDText::FontFileName("New York", 2, 3), "DejaVuSerif-BoldItalic.ttf");
    EXPECT_EQ(CQDText::FontFileName("Courier", 22, 2), "DejaVuSansMono-Oblique.ttf");
    EXPECT_EQ(CQDText::FontFileName("monaco", 4, 1), "DejaVuSansMono-Bold.ttf");
    EXPECT_EQ(CQDText::FontFileName("Geneva", 3, 0), "DejaVuSans.ttf");
    EXPECT_EQ(CQDText::FontFileName("Zapf Chancery", 18, 0), "DejaVuSans.ttf");
    EXPECT_EQ(CQDText::FontFileName("", 20, 0), "DejaVuSerif.ttf"); // by number
    EXPECT_EQ(CQDText::FontFileName("", 4, 0), "DejaVuSansMono.ttf");
    EXPECT_EQ(CQDText::FontFileName("", 21, 1), "DejaVuSans-Bold.ttf");

    // Without its font file, text is skipped and the rest is drawn.
    CDIBSection bmp;
    bmp.Create(50, 30, 32, false);
    CQDPort port(bmp, CRect{0, 0, 50, 30});
    port.m_TextLoc = {5, 20};
    CQDText text({"/nonexistent"});
    text.Draw(port, "Hello");
    EXPECT_EQ(BlackIn(test::ToRgba(bmp), 0, 0, 50, 30), 50 * 30); // still all zero (black)
}

// An extended header's resolution sets the pixel size: 144 dpi doubles the
// 72-dpi frame, and the drawing's coordinates are at 144 dpi.
TEST(PictRender, ExtendedHeaderResolution)
{
    Bytes b;
    Shape(b, 0x31, 20, 20, 40, 40);
    CDIBSection bmp;
    const test::RgbaImage img = Render(Picture(20, 10, b, 144), bmp);
    ASSERT_EQ(img.width, 40);
    ASSERT_EQ(img.height, 20);
    EXPECT_EQ(img.At(25, 5)[0], 255);
    EXPECT_EQ(img.At(25, 19)[0], 255);
    Bytes low;
    Shape(low, 0x31, 5, 5, 10, 10);
    EXPECT_EQ(Render(Picture(20, 10, low, 144), bmp).At(7, 7)[0], 0);
}

// Rasters among drawing opcodes land at their destination rectangle, scaled;
// a black-and-white bitmap takes the colours, BitsRgn its mask.
TEST(PictRender, RastersAmongDrawing)
{
    Bytes b;
    Shape(b, 0x31, 0, 0, 20, 20); // black behind everything
    // An 8-bit 2 x 2 PackBitsRect drawn into (0,0)-(10,10): 5 x 5 blocks.
    Op(b, 0x98).be16(0x8000 | 2);
    pict::Rect(b, 0, 0, 2, 2);
    pict::PixMapHeader(b, 0, 8, 1, 8);
    pict::ColorTable(b, {kRed, kGreen, kBlue, kWhite});
    pict::Rect(b, 0, 0, 2, 2);
    pict::Rect(b, 0, 0, 10, 10);
    b.be16(0).raw({0, 1, 2, 3});
    // A 1-bit BitsRect, 8 x 1, left half set, in blue on green.
    RGB(b, 0x1A, kBlue);
    RGB(b, 0x1B, kGreen);
    Op(b, 0x90).be16(1);
    pict::Rect(b, 0, 0, 1, 8);
    pict::Rect(b, 0, 0, 1, 8);
    pict::Rect(b, 12, 0, 14, 8);
    b.be16(0).u8(0xF0);
    // A 1-bit BitsRgn through a mask that keeps only its right half.
    Op(b, 0x91).be16(1);
    pict::Rect(b, 0, 0, 1, 8);
    pict::Rect(b, 0, 0, 1, 8);
    pict::Rect(b, 16, 10, 18, 18);
    b.be16(0);
    b.be16(10);
    pict::Rect(b, 16, 14, 18, 18);
    b.u8(0xFF);
    CDIBSection bmp;
    const test::RgbaImage img = Render(Picture(20, 20, b), bmp);
    auto at = [&](int x, int y) { return Rgb{img.At(x, y)[0], img.At(x, y)[1], img.At(x, y)[2]}; };
    EXPECT_EQ(at(2, 2), kRed);
    EXPECT_EQ(at(7, 2), kGreen);
    EXPECT_EQ(at(2, 7), kBlue);
    EXPECT_EQ(at(7, 7), kWhite);
    EXPECT_EQ(at(12, 12), kBlack);
    EXPECT_EQ(at(2, 13), kBlue);
    EXPECT_EQ(at(6, 13), kGreen);
    EXPECT_EQ(at(12, 17), kBlack);
    EXPECT_EQ(at(15, 17), kBlue);
}

// Sizes are checked against the data and the region's lines against their
// order and end; a picture whose drawing fails shows its first raster if it
// has one; every prefix of a drawing fails cleanly or decodes.
TEST(PictRender, DamagedDrawingsFailCleanly)
{
    const struct
    {
        const char* name;
        std::function<void(Bytes&)> body;
        int code;
    } cases[] = {
        {"polygon smaller than its header", [](Bytes& b) { Op(b, 0x71).be16(6).fill(4); }, 2},
        {"polygon longer than the data", [](Bytes& b) { Op(b, 0x71).be16(4000).fill(20); }, 11},
        {"region without its end",
         [](Bytes& b)
         {
             Op(b, 0x81).be16(14);
             pict::Rect(b, 0, 0, 5, 5);
             b.be16(0).be16(0);
         },
         2},
        {"region lines going up",
         [](Bytes& b)
         {
             Op(b, 0x81).be16(10 + 16);
             pict::Rect(b, 0, 0, 5, 5);
             b.be16(4).be16(0).be16(5).be16(0x7FFF).be16(2).be16(0).be16(5).be16(0x7FFF);
         },
         2},
        {"clip of 4 bytes", [](Bytes& b) { Op(b, 0x01).be16(4).fill(2); }, 2},
        {"text past the data", [](Bytes& b) { Point(Op(b, 0x28), 5, 5).u8(200).fill(3); }, 11},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        Bytes b;
        Shape(b, 0x31, 0, 0, 5, 5);
        c.body(b);
        CDIBSection bmp;
        // The damage follows a drawing, so the picture is rendered, not scanned past.
        std::vector<uint8_t> file = Picture(20, 20, b);
        file.resize(file.size() - 2); // the end opcode would be read as data
        EXPECT_DECODE_ERROR(pict::Decode(file, bmp), c.code, nullptr);
    }

    // A raster before the damage is shown as the picture.
    Bytes raster;
    Op(raster, 0x98).be16(0x8000 | 2);
    pict::Rect(raster, 0, 0, 2, 2);
    pict::PixMapHeader(raster, 0, 8, 1, 8);
    pict::ColorTable(raster, {kRed, kGreen, kBlue, kWhite});
    pict::SrcDstMode(raster, 0, 0, 2, 2);
    raster.raw({0, 1, 2, 3});
    Op(raster, 0x71).be16(6).fill(4);
    CDIBSection shown;
    pict::Decode(Picture(20, 20, raster), shown);
    EXPECT_EQ(shown.GetWidth(), 2);
    EXPECT_EQ(shown.GetBitsPerPixel(), 8);

    Bytes all;
    for (const DrawCase& c : kDrawCases)
        c.body(all);
    const std::vector<uint8_t> file = Picture(20, 20, all);
    for (size_t n = 512; n < file.size(); n++)
    {
        CDIBSection bmp;
        try
        {
            pict::Decode(std::vector<uint8_t>(file.begin(), file.begin() + long(n)), bmp);
        }
        catch (const CTextException& e)
        {
            EXPECT_TRUE(e.GetCode() == 11 || e.GetCode() == 6 || e.GetCode() == 2)
                << n << ": " << e.GetText();
        }
    }
}

// A million one-pixel rectangles draw; a million full-frame fills stop at
// the work bound with code 10 long before they are done.
TEST(PictRender, MillionsOfOpcodesEnd)
{
    Bytes tiny;
    for (int i = 0; i < 1000000; i++)
        Shape(tiny, 0x31, i % 20, (i / 20) % 20, i % 20 + 1, (i / 20) % 20 + 1);
    CDIBSection bmp;
    const test::RgbaImage img = Render(Picture(20, 20, tiny), bmp);
    EXPECT_EQ(BlackIn(img, 0, 0, 20, 20), 400);

    Bytes big;
    for (int i = 0; i < 1000000; i++)
        Shape(big, 0x33, 0, 0, 400, 400);
    EXPECT_DECODE_ERROR(pict::Decode(Picture(400, 400, big), bmp), 10, nullptr);
}

// Version 1 opcodes are single bytes with no alignment.
TEST(PictRender, VersionOneDrawing)
{
    Bytes b;
    b.u8(0x07);
    Point(b, 1, 3); // PnSize 3 x 1
    b.u8(0x51);     // paintOval
    pict::Rect(b, 0, 0, 10, 10);
    b.u8(0x0A).fill(8, 0xFF); // FillPat black
    b.u8(0x33);               // invertRect
    pict::Rect(b, 0, 0, 5, 10);
    b.u8(0x50); // frameOval over the whole frame
    pict::Rect(b, 0, 0, 10, 10);
    CDIBSection bmp;
    const test::RgbaImage img = Render(pict::V1(b), bmp);
    ASSERT_EQ(img.width, 10);
    EXPECT_EQ(img.At(5, 7)[0], 0);   // painted
    EXPECT_EQ(img.At(0, 9)[0], 255); // outside the oval
    EXPECT_EQ(img.At(0, 0)[0], 0);   // outside the oval, inverted
    EXPECT_EQ(img.At(5, 2)[0], 255); // painted, inverted
    EXPECT_EQ(img.At(5, 0)[0], 0);   // painted, inverted, framed
}

namespace
{
// A region from its rows' spans (x0, x1, x0, x1 ...), from row 0.
CQDRegion RegionOf(const std::vector<std::vector<int>>& rows)
{
    CQDRegion rgn(0);
    for (const std::vector<int>& spans : rows)
    {
        for (size_t i = 0; i + 1 < spans.size(); i += 2)
            rgn.AddSpan(spans[i], spans[i + 1]);
        rgn.NextRow();
    }
    return rgn;
}

std::vector<int> SpansAt(const CQDRegion& rgn, int y)
{
    size_t n;
    const int32_t* s = rgn.Row(y, n);
    return n ? std::vector<int>(s, s + 2 * n) : std::vector<int>();
}
} // namespace

// The set operations behind frames and clipping, on spans that overlap,
// touch and straddle each other.
TEST(QDRegion, IntersectSubtractInset)
{
    const CQDRegion a = RegionOf({{0, 10}, {0, 3, 6, 10}, {0, 3, 6, 10}});
    const CQDRegion b = RegionOf({{}, {1, 8}, {2, 4, 5, 7, 9, 12}});
    const CQDRegion both = CQDRegion::Intersect(a, b);
    EXPECT_EQ(SpansAt(both, 0), std::vector<int>());
    EXPECT_EQ(SpansAt(both, 1), (std::vector<int>{1, 3, 6, 8}));
    EXPECT_EQ(SpansAt(both, 2), (std::vector<int>{2, 3, 6, 7, 9, 10}));
    const CQDRegion rest = CQDRegion::Subtract(a, b);
    EXPECT_EQ(SpansAt(rest, 0), (std::vector<int>{0, 10}));
    EXPECT_EQ(SpansAt(rest, 1), (std::vector<int>{0, 1, 8, 10}));
    EXPECT_EQ(SpansAt(rest, 2), (std::vector<int>{0, 2, 7, 9}));
    EXPECT_EQ(rest.PixelCount(), 10u + 3u + 4u);

    // Touching spans merge; an inset of a 10 x 6 rectangle by 2 x 1 is 6 x 4.
    EXPECT_EQ(SpansAt(RegionOf({{0, 3, 3, 5}}), 0), (std::vector<int>{0, 5}));
    const CQDRegion inset = CQDRegion::FromRect({0, 0, 10, 6}).Inset(2, 1);
    EXPECT_EQ(inset.Bounds(), (CRect{2, 1, 8, 5}));
    EXPECT_EQ(inset.PixelCount(), 24u);
    EXPECT_TRUE(CQDRegion::FromRect({0, 0, 10, 2}).Inset(0, 1).IsEmpty());
}

// ImageMagick draws the rasters of a PICT but none of its drawing opcodes:
// where a raster lands at its own size, its pixels agree with ours, and the
// drawing around it is ours alone.
TEST(PictRender, RastersAgreeWithImageMagick)
{
    if (std::system("convert -version >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "ImageMagick's convert is not installed";
    Bytes b;
    Shape(b, 0x31, 40, 0, 48, 64);
    Op(b, 0x98).be16(0x8000 | 64);
    pict::Rect(b, 0, 0, 32, 64);
    pict::PixMapHeader(b, 0, 8, 1, 8);
    std::vector<Rgb> colours;
    for (int i = 0; i < 256; i++)
        colours.push_back({uint8_t(i), uint8_t(255 - i), uint8_t(i * 7)});
    pict::ColorTable(b, colours);
    pict::SrcDstMode(b, 0, 0, 32, 64);
    for (int y = 0; y < 32; y++)
    {
        std::vector<uint8_t> row;
        for (int x = 0; x < 64; x++)
            row.push_back(uint8_t(x * 4 + y * 3));
        pict::PackedRow(b, row, false);
    }
    const std::vector<uint8_t> file = Picture(64, 48, b);
    const std::string dir = test::TempDir();
    test::WriteFile(dir + "/mixed.pct", file);
    ASSERT_EQ(std::system(("convert '" + dir + "/mixed.pct' '" + dir + "/mixed.png'").c_str()), 0);
    const test::RgbaImage peer = test::LoadPng(dir + "/mixed.png");
    CDIBSection bmp;
    const test::RgbaImage ours = Render(file, bmp);
    ASSERT_EQ(peer.width, ours.width);
    ASSERT_EQ(peer.height, ours.height);
    int differ = 0;
    for (int y = 0; y < 32; y++)
        for (int x = 0; x < 64; x++)
            differ += !std::equal(ours.At(x, y), ours.At(x, y) + 3, peer.At(x, y));
    EXPECT_EQ(differ, 0);
    EXPECT_EQ(ours.At(10, 44)[0], 0); // the painted rectangle
}
