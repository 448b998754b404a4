// Animations played frame by frame: disposal.gif (ImageMagick: frames smaller
// than the screen, disposed to the background and to the previous state),
// and the same animation as APNG (full frames, and the GIF's rectangles with
// its disposals and blending over), WebP (gif2webp) and JPEG XL (cjxl of the
// full-frame APNG), each frame
// against ImageMagick's -coalesce of the GIF.
#include "Animation.h"
#include "AnyPicDecoder.h"
#include "DataSource.h"
#include "TestSupport.h"

namespace
{
std::string Sample(const std::string& name)
{
    return test::TestData("formats/" + name);
}
} // namespace

TEST(Animation, FramesComposeLikeTheReference)
{
    struct Case
    {
        const char* file;
        std::vector<int> frames; // the reference of each frame shown
        std::vector<int> delays; // as played, in ms
        int loops;
    };
    // The GIF stores delays 0, 0, 50, 300 and 1000 ms and repeats twice (3
    // plays); the first two frames play at the minimum. gif2webp made their
    // delays 100 ms. JPEG XL frames of no duration are layers of the next.
    const Case cases[] = {
        {"disposal.gif", {0, 1, 2, 3, 4}, {20, 20, 50, 300, 1000}, 3},
        {"disposal.apng", {0, 1, 2, 3, 4}, {20, 20, 50, 300, 1000}, 3},
        {"disposal-ops.apng", {0, 1, 2, 3, 4}, {20, 20, 50, 300, 1000}, 3},
        {"disposal.webp", {0, 1, 2, 3, 4}, {100, 100, 50, 300, 1000}, 3},
        {"disposal.jxl", {2, 3, 4}, {50, 300, 1000}, 0},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.file);
        CAnyPicDecoder decoder;
        std::unique_ptr<CAnimation> animation = decoder.OpenAnimation(Sample(c.file));
        ASSERT_TRUE(animation);
        EXPECT_EQ(animation->GetWidth(), 32);
        EXPECT_EQ(animation->GetHeight(), 24);
        EXPECT_EQ(animation->GetLoopCount(), c.loops);
        // Twice through: a rewind starts from an empty canvas again.
        for (int pass = 0; pass < 2; pass++)
        {
            std::vector<int> delays;
            for (int frame = 0; animation->NextFrame(); frame++)
            {
                ASSERT_LT(size_t(frame), c.frames.size());
                EXPECT_EQ(animation->GetFrameIndex(), frame);
                delays.push_back(animation->GetDelay());
                const test::RgbaImage expected = test::LoadPng(
                    Sample("disposal-frame" + std::to_string(c.frames[size_t(frame)]) + ".png"));
                EXPECT_TRUE(test::ImagesMatch(expected, test::ToRgba(animation->GetCanvas())))
                    << "frame " << frame;
            }
            EXPECT_EQ(delays, c.delays);
            animation->Rewind();
        }
        // The still picture is the first frame.
        CDIBSection still;
        decoder.DecodeFile(Sample(c.file), still);
        EXPECT_TRUE(test::ImagesMatch(
            test::LoadPng(Sample("disposal-frame" + std::to_string(c.frames[0]) + ".png")),
            test::ToRgba(still)));
    }
}

TEST(Animation, StillsHaveNone)
{
    CAnyPicDecoder decoder;
    for (const char* file : {"lossy.webp", "lossless.jxl", "photo.heic", "base.png"})
        EXPECT_FALSE(decoder.OpenAnimation(Sample(file))) << file;
    EXPECT_DECODE_ERROR(decoder.OpenAnimation(Sample("missing.gif")), 4, nullptr);
}

TEST(Animation, TruncatedAnimationsShowTheFramesBeforeTheCut)
{
    for (const char* file : {"disposal.gif", "disposal-ops.apng", "disposal.webp", "disposal.jxl"})
    {
        SCOPED_TRACE(file);
        const std::vector<uint8_t> bytes = test::ReadFile(Sample(file));
        for (size_t keep = 8; keep < bytes.size(); keep += 7)
        {
            CDataSource source;
            source.Open("cut", bytes.data(), keep);
            try
            {
                std::unique_ptr<CAnimation> animation = CAnyPicDecoder().OpenAnimation(source);
                while (animation && animation->NextFrame())
                    ASSERT_LE(animation->GetFrameIndex(), 5);
            }
            catch (const CTextException& e)
            {
                EXPECT_TRUE(e.GetCode() == 1 || e.GetCode() == 2 || e.GetCode() == 11)
                    << keep << ": " << e.GetText();
            }
        }
    }
}
