#include "AnyPicDecoder.h"
#include "DIBSection.h"
#include "SlideLoader.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <thread>
#include <vector>

using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace
{
/// Collects what the loader delivers; Hold makes the next delivery wait
/// until Release, so a test can queue requests while the worker is busy.
class Inbox
{
public:
    CSlideLoader::Deliver Deliver()
    {
        return [this](std::shared_ptr<CSlideLoader::Slide> slide)
        {
            std::unique_lock lock(m_lock);
            m_slides.push_back(std::move(slide));
            m_changed.notify_all();
            m_changed.wait(lock, [this] { return !m_bHold; });
        };
    }
    bool WaitFor(size_t n, std::chrono::milliseconds timeout = 10s)
    {
        std::unique_lock lock(m_lock);
        return m_changed.wait_for(lock, timeout, [&] { return m_slides.size() >= n; });
    }
    void Hold()
    {
        std::lock_guard lock(m_lock);
        m_bHold = true;
    }
    void Release()
    {
        {
            std::lock_guard lock(m_lock);
            m_bHold = false;
        }
        m_changed.notify_all();
    }
    std::vector<std::shared_ptr<CSlideLoader::Slide>> Slides()
    {
        std::lock_guard lock(m_lock);
        return m_slides;
    }

private:
    std::mutex m_lock;
    std::condition_variable m_changed;
    std::vector<std::shared_ptr<CSlideLoader::Slide>> m_slides;
    bool m_bHold = false;
};

class SlideLoaderTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_dir = fs::temp_directory_path() /
                ("slide_loader_" + std::to_string(::getpid()) + "_" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(m_dir);
    }
    void TearDown() override { fs::remove_all(m_dir); }

    std::string MakeBmp(const std::string& name, int width, int height) const
    {
        CDIBSection bmp;
        bmp.Create(width, height, 32, false);
        for (int y = 0; y < height; ++y)
            std::memset(bmp.GetLineArray()[y], y & 0xFF, size_t(width) * 4);
        const std::string path = (m_dir / name).string();
        bmp.SaveAsBmp(path);
        return path;
    }
    std::string Write(const std::string& name, const std::string& bytes) const
    {
        const std::string path = (m_dir / name).string();
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }

    fs::path m_dir;
};

struct LoadCase
{
    const char* name;
    int nCode; // 0: the picture decodes
};
} // namespace

TEST_F(SlideLoaderTest, DeliversEachPictureOrTheDecodersReason)
{
    const std::vector<std::pair<std::string, LoadCase>> cases = {
        {MakeBmp("good.bmp", 40, 30), {"a picture", 0}},
        {Write("damaged.bmp", "BM, but no bitmap follows"), {"a damaged file", -1}},
        {Write("notes.txt", "not a picture at all\n"), {"a text file", 8}},
        {Write("empty.jpg", ""), {"an empty file", 5}},
        {(m_dir / "gone.png").string(), {"a missing file", 4}},
    };
    Inbox inbox;
    CSlideLoader loader(inbox.Deliver());
    for (size_t i = 0; i < cases.size(); ++i)
    {
        const auto& [path, c] = cases[i];
        const unsigned ticket = loader.Load(path, std::make_unique<CDIBSection>());
        ASSERT_TRUE(inbox.WaitFor(i + 1)) << c.name;
        const auto slide = inbox.Slides()[i];
        EXPECT_EQ(slide->nTicket, ticket) << c.name;
        EXPECT_EQ(slide->path, path) << c.name;
        if (c.nCode == 0)
        {
            ASSERT_NE(slide->pBmp, nullptr) << c.name;
            EXPECT_EQ(slide->pBmp->GetWidth(), 40);
            EXPECT_EQ(slide->pBmp->GetHeight(), 30);
            EXPECT_EQ(slide->nCode, 0);
            continue;
        }
        EXPECT_EQ(slide->pBmp, nullptr) << c.name;
        EXPECT_FALSE(slide->error.empty()) << c.name;
        if (c.nCode > 0)
            EXPECT_EQ(slide->nCode, c.nCode) << c.name;
        else
            EXPECT_NE(slide->nCode, 0) << c.name;
    }
}

TEST_F(SlideLoaderTest, ANewerRequestReplacesOneNotBegunAndTicketsTellAnswersApart)
{
    const std::string a = MakeBmp("a.bmp", 8, 8), b = MakeBmp("b.bmp", 8, 8),
                      c = MakeBmp("c.bmp", 8, 8);
    Inbox inbox;
    CSlideLoader loader(inbox.Deliver());
    inbox.Hold(); // the worker stays in the delivery of a
    const unsigned ta = loader.Load(a, std::make_unique<CDIBSection>());
    ASSERT_TRUE(inbox.WaitFor(1));
    const unsigned tb = loader.Load(b, std::make_unique<CDIBSection>());
    const unsigned tc = loader.Load(c, std::make_unique<CDIBSection>());
    EXPECT_LT(ta, tb);
    EXPECT_LT(tb, tc);
    inbox.Release();
    ASSERT_TRUE(inbox.WaitFor(2));
    std::this_thread::sleep_for(50ms);
    const auto slides = inbox.Slides();
    ASSERT_EQ(slides.size(), 2u);
    EXPECT_EQ(slides[0]->nTicket, ta);
    EXPECT_EQ(slides[1]->nTicket, tc);
    EXPECT_EQ(slides[1]->path, c);

    // A cancelled request that has not begun is never decoded.
    inbox.Hold();
    loader.Load(a, std::make_unique<CDIBSection>());
    ASSERT_TRUE(inbox.WaitFor(3));
    loader.Load(b, std::make_unique<CDIBSection>());
    loader.Cancel();
    inbox.Release();
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(inbox.Slides().size(), 3u);
}

TEST_F(SlideLoaderTest, DestroyingItDuringADecodeDeliversNothingAfterwards)
{
    const std::string big = MakeBmp("big.bmp", 3000, 2000);
    Inbox inbox;
    {
        CSlideLoader loader(inbox.Deliver());
        loader.Load(big, std::make_unique<CDIBSection>());
        std::this_thread::sleep_for(5ms); // the decode is under way
    }
    const size_t delivered = inbox.Slides().size();
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(inbox.Slides().size(), delivered);
}

TEST_F(SlideLoaderTest, DecodesOnTheWorkerWhileTheCallerDecodesTheSameFiles)
{
    // The codec keeps no shared state: a decode on the worker and one on
    // this thread give the same pixels (ThreadSanitizer watches for races).
    const fs::path data = VISTREL_TESTDATA;
    std::vector<std::string> files;
    for (const char* name :
         {"jpeg-decoder/reftest/16bit-qtables.jpg", "jpeg-decoder/reftest/blank_800x280.png",
          "pngsuite/basi0g01.png", "libtiff/32bpp-None.tiff"})
        if (fs::exists(data / name))
            files.push_back((data / name).string());
    files.push_back(MakeBmp("local.bmp", 300, 200));
    Inbox inbox;
    CSlideLoader loader(inbox.Deliver());
    CAnyPicDecoder decoder;
    for (size_t i = 0; i < files.size(); ++i)
    {
        loader.Load(files[i], std::make_unique<CDIBSection>());
        CDIBSection mine;
        decoder.DecodeFile(files[i], mine, 0);
        ASSERT_TRUE(inbox.WaitFor(i + 1));
        const auto& theirs = inbox.Slides()[i]->pBmp;
        ASSERT_NE(theirs, nullptr) << files[i];
        ASSERT_EQ(theirs->GetWidth(), mine.GetWidth());
        ASSERT_EQ(theirs->GetHeight(), mine.GetHeight());
        ASSERT_EQ(theirs->GetLineSize(), mine.GetLineSize());
        for (int y = 0; y < mine.GetHeight(); ++y)
            ASSERT_EQ(std::memcmp(theirs->GetLineArray()[y], mine.GetLineArray()[y],
                                  size_t(mine.GetLineSize())),
                      0)
                << files[i] << " row " << y;
    }
}
