// Playing animations: frames in order with their delays (20 ms at least)
// as often as the loop count says, stepping by hand while paused, storage
// for at most two composed frames, stills that play nothing, and the image
// window's commands.
#include "AnimationPlayer.h"
#include "AnyPicDecoder.h"
#include "AppTestSupport.h"
#include "DIBSection.h"
#include "DrawDibBmp.h"
#include "PLView.h"
#include "PLViewerDoc.h"
#include "Resource.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>

#include <cstring>
#include <set>

namespace
{
struct Shown
{
    int index;
    int delay;
    uint32_t colour; // of the first pixel: blue, green, red, alpha from the low byte
    qint64 at;       // ms since the start
};

/// Records every frame the player shows, keeping it on screen as a document does.
class Screen
{
public:
    Screen()
        : m_player(
              [this](CAnimationPlayer::Frame frame)
              {
                  uint32_t colour = 0;
                  std::memcpy(&colour, frame.pBmp->GetLineArray()[0], 4);
                  m_shown.push_back({frame.nIndex, frame.nDelay, colour, m_clock.elapsed()});
                  m_storage.insert(frame.pBmp.get());
                  CAnimationPlayer::Frame before;
                  before.pBmp = std::exchange(m_pOnScreen, std::move(frame.pBmp));
                  return before;
              })
    {
        m_clock.start();
    }
    CAnimationPlayer& Player() { return m_player; }
    const std::vector<Shown>& Frames() const { return m_shown; }
    size_t StorageUsed() const { return m_storage.size(); }
    /// Runs the event loop until n frames were shown or ms passed.
    void WaitFor(size_t n, int ms = 20000)
    {
        QElapsedTimer wait;
        wait.start();
        while (m_shown.size() < n && wait.elapsed() < ms)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    /// Runs the event loop until the plays are over, or 20 s passed.
    void WaitForTheEnd()
    {
        QElapsedTimer wait;
        wait.start();
        while (m_player.IsPlaying() && wait.elapsed() < 20000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }

private:
    QElapsedTimer m_clock;
    std::vector<Shown> m_shown;
    std::set<const CDrawDibBmp*> m_storage;
    std::unique_ptr<CDrawDibBmp> m_pOnScreen;
    CAnimationPlayer m_player;
};

constexpr uint32_t kRed = 0xFFFF0000, kLime = 0xFF00FF00, kBlue = 0xFF0000FF;

/// Three 8 x 6 frames, red, lime and blue, of 0, 30 and 10 ms, played twice
/// (ImageMagick's -loop 2 stores one repeat).
std::string MakeGif(const QString& dir)
{
    const QString path = dir + QStringLiteral("/anim.gif");
    const int rc = QProcess::execute(
        QStringLiteral("convert"),
        {QStringLiteral("-size"), QStringLiteral("8x6"), QStringLiteral("-delay"), QStringLiteral("0"),
         QStringLiteral("xc:red"), QStringLiteral("-delay"), QStringLiteral("3"), QStringLiteral("xc:lime"),
         QStringLiteral("-delay"), QStringLiteral("1"), QStringLiteral("xc:blue"), QStringLiteral("-loop"),
         QStringLiteral("2"), path});
    EXPECT_EQ(rc, 0);
    return path.toStdString();
}
} // namespace

TEST_F(AppTest, AnimationPlaysItsFramesForTheirDelaysAsOftenAsItsLoopCount)
{
    Screen screen;
    screen.Player().Start(MakeGif(TestDir()));
    screen.WaitFor(1);
    screen.WaitForTheEnd();
    // 0 and 10 ms play at the 20 ms minimum; the second play ends on the last frame.
    const struct
    {
        int index;
        int delay;
        uint32_t colour;
    } expected[] = {{0, 20, kRed}, {1, 30, kLime}, {2, 20, kBlue},
                    {0, 20, kRed}, {1, 30, kLime}, {2, 20, kBlue}};
    const std::vector<Shown>& shown = screen.Frames();
    ASSERT_EQ(shown.size(), std::size(expected));
    int scheduled = 0; // when the frame is due, counted from the first
    for (size_t i = 0; i < shown.size(); i++)
    {
        SCOPED_TRACE(i);
        EXPECT_EQ(shown[i].index, expected[i].index);
        EXPECT_EQ(shown[i].delay, expected[i].delay);
        EXPECT_EQ(shown[i].colour, expected[i].colour);
        // No frame comes before the frames before it have had their time (a
        // frame shown a little late shortens the wait for the next one, so
        // that the animation keeps its pace).
        EXPECT_GE(shown[i].at - shown[0].at, scheduled - 2);
        scheduled += shown[i].delay;
    }
    EXPECT_TRUE(screen.Player().IsAnimation());
    EXPECT_FALSE(screen.Player().IsPlaying());
    EXPECT_EQ(screen.Player().GetFrameIndex(), 2);
    EXPECT_LE(screen.StorageUsed(), 2u);

    // Played out, Play starts again at the first frame.
    screen.Player().SetPlaying(true);
    screen.WaitFor(7);
    EXPECT_EQ(screen.Frames().back().index, 0);
}

TEST_F(AppTest, PausedAnimationStepsByHandAndWrapsRound)
{
    Screen screen;
    screen.Player().Start(MakeGif(TestDir()));
    screen.WaitFor(1);
    screen.Player().SetPlaying(false);
    const size_t first = screen.Frames().size();
    ASSERT_GE(first, 1u);
    int at = screen.Player().GetFrameIndex();
    // Forward three times round to where it was, back four, forward once.
    for (const bool forward : {true, true, true, false, false, false, false, true})
    {
        const size_t before = screen.Frames().size();
        if (forward)
            screen.Player().StepForward();
        else
            screen.Player().StepBack();
        screen.WaitFor(before + 1);
        ASSERT_EQ(screen.Frames().size(), before + 1);
        at = (at + (forward ? 1 : 2)) % 3;
        EXPECT_EQ(screen.Frames().back().index, at);
        const uint32_t colours[] = {kRed, kLime, kBlue};
        EXPECT_EQ(screen.Frames().back().colour, colours[at]);
    }
    // Paused, nothing moves by itself.
    const size_t still = screen.Frames().size();
    screen.WaitFor(still + 1, 150);
    EXPECT_EQ(screen.Frames().size(), still);
    EXPECT_LE(screen.StorageUsed(), 2u);
}

TEST_F(AppTest, StillPicturesAndDamagedFilesPlayNothing)
{
    const QString bmp = MakeBmp(QStringLiteral("still.bmp"), QSize(4, 4), Qt::red);
    QFile damaged(TestDir() + QStringLiteral("/damaged.gif"));
    ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
    damaged.write("GIF89a\x08\x00\x06\x00", 10);
    damaged.close();
    for (const QString& path : {bmp, damaged.fileName(), TestDir() + QStringLiteral("/missing.gif")})
    {
        SCOPED_TRACE(path.toStdString());
        Screen screen;
        screen.Player().Start(path.toStdString());
        screen.WaitFor(1, 300);
        EXPECT_TRUE(screen.Frames().empty());
        EXPECT_FALSE(screen.Player().IsAnimation());
        screen.Player().StepForward();
        screen.Player().SetPlaying(true);
        EXPECT_FALSE(screen.Player().IsPlaying());
    }
}

// In its window an animation plays until paused; paused, the frame on
// screen is what Save file as BMP writes, and Next Frame moves it on.
TEST_F(AppTest, ImageWindowPlaysAndSavesTheFrameOnScreen)
{
    StartApp();
    const std::string gif = MakeGif(TestDir());
    CPLView* view = OpenView(QString::fromStdString(gif));
    ASSERT_TRUE(view);
    CPLViewerDoc* doc = view->GetDocument();
    CAnimationPlayer& player = doc->GetPlayer();
    ASSERT_TRUE(ProcessUntil([&] { return player.GetFrameIndex() >= 1; }));
    ASSERT_TRUE(player.IsPlaying());
    doc->OnCmdMsg(Id::ID_VIEW_ANIMATION_PLAY);
    EXPECT_FALSE(player.IsPlaying());
    const int at = player.GetFrameIndex();
    doc->OnCmdMsg(Id::ID_VIEW_ANIMATION_NEXT);
    ASSERT_TRUE(ProcessUntil([&] { return player.GetFrameIndex() == (at + 1) % 3; }));

    ASSERT_TRUE(doc->SaveAsBmp());
    CDIBSection saved;
    CAnyPicDecoder().DecodeFile((TestDir() + QStringLiteral("/anim.bmp")).toStdString(), saved);
    const uint32_t colours[] = {kRed, kLime, kBlue};
    uint32_t first = 0;
    std::memcpy(&first, saved.GetLineArray()[0], 4);
    EXPECT_EQ(first | 0xFF000000u, colours[(at + 1) % 3]);
}
