#include "AppTestSupport.h"
#include "ZoomModel.h"

#include <gtest/gtest.h>

#include <cmath>

namespace
{
struct ZoomCase
{
    const char* name;
    double before;
    bool bIn;
    QSize picture;
    QSize window;
    QPoint offset;
    QPoint anchor;
    double after;
    QPoint offsetAfter;
};

const double kRoot2 = std::sqrt(2.0);

const ZoomCase kZoomCases[] = {
    {"in from 1:1 around the pointer keeps the point under it", 1, true, {1000, 800}, {400, 300},
     {300, 250}, {200, 150}, kRoot2, {507, 416}},
    {"out from 1:1 around the centre", 1, false, {1000, 800}, {400, 300}, {300, 250}, {200, 150},
     1 / kRoot2, {154, 133}},
    {"a fitted zoom steps in to the next step", 0.37, true, {1000, 800}, {370, 296}, {0, 0},
     {185, 148}, 0.5, {65, 52}},
    {"a fitted zoom steps out to the step below", 0.37, false, {1000, 800}, {370, 296}, {0, 0},
     {185, 148}, 0.5 / kRoot2, {0, 0}},
    {"a zoom a hair below a step steps past it", 0.99999, true, {100, 100}, {50, 50}, {0, 0},
     {0, 0}, kRoot2, {0, 0}},
    {"in at the top stays at 32", 32, true, {10, 10}, {100, 100}, {0, 0}, {50, 50}, 32, {0, 0}},
    {"out at the bottom stays at 1/32", 1.0 / 32, false, {64, 64}, {100, 100}, {0, 0}, {0, 0},
     1.0 / 32, {0, 0}},
    {"a picture smaller than the window zooms around the pointer over it", 1, true, {100, 100},
     {400, 300}, {0, 0}, {250, 150}, kRoot2, {0, 0}},
    {"a pointer beside a centred picture anchors its nearest edge", 2, true, {100, 100},
     {250, 250}, {0, 0}, {249, 125}, 2 * kRoot2, {33, 17}},
    {"at the end of the scroll range the far edge stays put", 1, true, {1000, 800}, {400, 300},
     {600, 500}, {399, 299}, kRoot2, {1014, 831}},
    {"a 1 x 1 picture zooms to 32 pixels", 16 * kRoot2, true, {1, 1}, {400, 300}, {0, 0},
     {200, 150}, 32, {0, 0}},
    {"a 100000 x 10 picture at 32 scrolls its whole length", 16 * kRoot2, true, {100000, 10},
     {400, 300}, {2262000, 0}, {200, 150}, 32, {3199033, 10}},
};

class Zoom : public ::testing::TestWithParam<ZoomCase>
{
};
} // namespace

TEST_P(Zoom, StepsAndKeepsTheAnchoredPoint)
{
    const ZoomCase& c = GetParam();
    const double after = ZoomModel::Step(c.before, c.bIn);
    EXPECT_NEAR(after, c.after, 1e-9);
    const QPoint offset =
        ZoomModel::AnchoredOffset(c.picture, c.window, c.offset, c.before, after, c.anchor);
    EXPECT_EQ(offset, c.offsetAfter);
    // The offset is one the scroll bars can take.
    const QPoint limit = ZoomModel::MaxOffset(ZoomModel::ScaledSize(c.picture, after), c.window);
    EXPECT_GE(offset.x(), 0);
    EXPECT_GE(offset.y(), 0);
    EXPECT_LE(offset.x(), limit.x());
    EXPECT_LE(offset.y(), limit.y());
}

INSTANTIATE_TEST_SUITE_P(Model, Zoom, ::testing::ValuesIn(kZoomCases),
                         [](const ::testing::TestParamInfo<ZoomCase>& p)
                         { return CaseName(p.param.name); });
