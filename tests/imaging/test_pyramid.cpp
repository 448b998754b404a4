#include "BmpPyramid.h"
#include "WinBmp.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace
{
struct PyramidCase
{
    const char* name;
    int bpp;
    bool alpha;
    int width;
    int height;
    int firstLevel; // the largest level the budget keeps
    int levels;     // levels down to 1/32 or one pixel
};

// A picture whose every pixel differs from its neighbours, with alpha that
// runs from clear to opaque, so that any wrong weight shows in the averages.
void Fill(CWinBmp& bmp, const PyramidCase& c)
{
    bmp.Create(c.width, c.height, c.bpp, c.alpha);
    for (int y = 0; y < c.height; y++)
    {
        uint8_t* row = bmp.GetLineArray()[y];
        for (int x = 0; x < c.width; x++)
            if (c.bpp == 32)
            {
                row[4 * x] = uint8_t(x * 37 + y * 11);
                row[4 * x + 1] = uint8_t(x * 5 ^ y * 29);
                row[4 * x + 2] = uint8_t(200 - x - 3 * y);
                row[4 * x + 3] = c.alpha ? uint8_t((x * 13 + y * 7) % 256) : 255;
            }
            else if (c.bpp == 8)
                row[x] = uint8_t(x * 7 + y * 3);
            else if ((x + y / 2) % 3 == 0)
                row[x >> 3] |= uint8_t(0x80 >> (x & 7));
    }
    if (c.bpp == 8)
        for (int i = 0; i < 256; i++)
            bmp.GetPaletteTable()[i] = PaletteEntry{uint8_t(i), uint8_t(255 - i), uint8_t(i * 3), 255};
}

PaletteEntry Source(const CWinBmp& bmp, int x, int y)
{
    const uint8_t* row = bmp.GetLineArray()[y];
    switch (bmp.GetBitsPerPixel())
    {
    case 32:
        return PaletteEntry{row[4 * x], row[4 * x + 1], row[4 * x + 2],
                            bmp.HasAlpha() ? row[4 * x + 3] : uint8_t(255)};
    case 8:
        return bmp.GetPaletteTable()[row[x]];
    default:
        return bmp.GetPaletteTable()[(row[x >> 3] >> (7 - (x & 7))) & 1];
    }
}

/// The reference: a box filter of side 2^k in floating point, over premultiplied
/// values, averaging the pixels of a box that lie inside the picture.
std::array<double, 4> Box(const CWinBmp& bmp, int k, int tx, int ty)
{
    std::array<double, 4> sum{};
    int n = 0;
    const int side = 1 << k;
    for (int y = ty * side; y < std::min(bmp.GetHeight(), (ty + 1) * side); y++)
        for (int x = tx * side; x < std::min(bmp.GetWidth(), (tx + 1) * side); x++, n++)
        {
            const PaletteEntry c = Source(bmp, x, y);
            const double a = c.a / 255.0;
            sum[0] += c.b * a;
            sum[1] += c.g * a;
            sum[2] += c.r * a;
            sum[3] += c.a;
        }
    for (double& v : sum)
        v /= n;
    return sum;
}

const PyramidCase kCases[] = {
    // The first level comes straight from the picture by a box; later levels
    // halve, so only boxes wholly inside the picture are compared there.
    {"true colour, even sides", 32, false, 64, 48, 1, 5},
    {"true colour with alpha, odd sides", 32, true, 37, 23, 1, 5},
    {"eight bits: the largest level is left to the picture", 8, false, 40, 40, 2, 5},
    {"one bit: only the smallest levels fit", 1, false, 96, 64, 3, 5},
    {"a one-pixel picture has no levels", 32, false, 1, 1, 0, 0},
    {"a long thin picture stops at 1/32", 32, false, 4000, 10, 1, 5},
    {"one row halves to a single pixel", 32, false, 8, 1, 1, 3},
};

class Pyramid : public ::testing::TestWithParam<PyramidCase>
{
};
} // namespace

TEST_P(Pyramid, LevelsAreBoxFiltersWithinTheBudget)
{
    const PyramidCase& c = GetParam();
    CWinBmp bmp;
    Fill(bmp, c);
    CBmpPyramid pyramid;
    pyramid.Build(bmp);
    EXPECT_LE(double(pyramid.GetMemoryUse()), CBmpPyramid::kBudget * double(bmp.GetStorageBytes()));
    for (int k = 1; k <= CBmpPyramid::kMaxLevel + 1; k++)
    {
        const CBmpPyramid::Level* level = pyramid.GetLevel(k);
        const bool kept = c.firstLevel > 0 && k >= c.firstLevel && k <= c.levels;
        ASSERT_EQ(level != nullptr, kept) << "level " << k;
        if (!level)
            continue;
        const int side = 1 << k;
        EXPECT_EQ(level->width, (c.width + side - 1) / side);
        EXPECT_EQ(level->height, (c.height + side - 1) / side);
        // Premultiplying rounds each pixel, and each halving rounds once more.
        const double tolerance = (c.alpha ? 1.0 : 0.5) + (k - c.firstLevel) * 0.5 + 1e-9;
        for (int ty = 0; ty < level->height; ty++)
            for (int tx = 0; tx < level->width; tx++)
            {
                const bool whole = (tx + 1) * side <= c.width && (ty + 1) * side <= c.height;
                if (k > c.firstLevel && !whole)
                    continue;
                const std::array<double, 4> want = Box(bmp, k, tx, ty);
                const uint32_t got = level->Row(ty)[tx];
                for (int ch = 0; ch < 4; ch++)
                    ASSERT_LE(std::abs(double(got >> (8 * ch) & 0xFF) - want[size_t(ch)]),
                              tolerance)
                        << "level " << k << " at " << tx << "," << ty << " channel " << ch;
            }
    }
    EXPECT_EQ(pyramid.IsOpaque(), !c.alpha);
}

TEST_P(Pyramid, ZoomChoosesTheSmallestLevelThatIsNotSmallerThanTheView)
{
    const PyramidCase& c = GetParam();
    CWinBmp bmp;
    Fill(bmp, c);
    CBmpPyramid pyramid;
    pyramid.Build(bmp);
    for (double zoom = 1.0; zoom >= 1.0 / 64; zoom /= std::sqrt(2.0))
    {
        const int k = pyramid.ChooseLevel(zoom);
        const CBmpPyramid::Level* level = pyramid.GetLevel(k);
        if (!level)
        {
            // The picture itself: no level kept is at least as large.
            EXPECT_EQ(k, 0);
            if (const CBmpPyramid::Level* first = pyramid.GetLevel(c.firstLevel))
            {
                EXPECT_TRUE(first->width < zoom * c.width || first->height < zoom * c.height);
            }
            continue;
        }
        EXPECT_GE(level->width, zoom * c.width) << zoom;
        EXPECT_GE(level->height, zoom * c.height) << zoom;
        if (const CBmpPyramid::Level* next = pyramid.GetLevel(k + 1))
        {
            EXPECT_TRUE(next->width < zoom * c.width || next->height < zoom * c.height) << zoom;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Reduction, Pyramid, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<PyramidCase>& p)
                         {
                             std::string name = p.param.name;
                             for (char& ch : name)
                                 if (!std::isalnum(static_cast<unsigned char>(ch)))
                                     ch = '_';
                             return name;
                         });
