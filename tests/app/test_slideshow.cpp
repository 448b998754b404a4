#include "AppTestSupport.h"
#include "ChildFrame.h"
#include "DocTemplate.h"
#include "Document.h"
#include "FileListCtrl.h"
#include "IImageHost.h"
#include "ISlideHost.h"
#include "ISlideSource.h"
#include "ListBar.h"
#include "MDIFrameWnd.h"
#include "MainFrame.h"
#include "PLView.h"
#include "PLViewerDoc.h"
#include "Resource.h"
#include "Settings.h"
#include "Slideshow.h"
#include "SlideshowState.h"
#include "Strings.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QMdiArea>
#include <QStatusBar>

#include <algorithm>
#include <functional>
#include <memory>
#include <set>

using namespace Id;

namespace
{
void ProcessFor(int nMs)
{
    ProcessUntil([] { return false; }, nMs);
}

class SlideshowTest : public AppTest
{
protected:
    /// Makes the folder's entries and lists it: "x.bmp" a small picture,
    /// "bad..." a damaged file, "x.txt" a text file, "x/" a folder.
    void ListFolder(const QStringList& entries, int delayMs, bool bRandom = false)
    {
        QDir dir(TestDir());
        for (const QString& entry : entries)
        {
            if (entry.endsWith(QLatin1Char('/')))
                dir.mkdir(entry.chopped(1));
            else if (entry.startsWith(QLatin1String("bad")))
                Write(entry, "BM, but no bitmap follows");
            else if (entry.endsWith(QLatin1String(".txt")))
                Write(entry, "notes\n");
            else
                MakeBmp(entry, QSize(64, 48), QColor(int(qHash(entry) & 0xFF), 80, 160));
        }
        Settings::WriteProfileInt(QStringLiteral("Settings"), QStringLiteral("slideshowspeed"),
                                  delayMs);
        Settings::WriteProfileInt(QStringLiteral("Settings"), QStringLiteral("randomslideshow"),
                                  bRandom ? 1 : 0);
        if (!m_app)
            StartApp();
        Frame()->SetListDirectory(TestDir());
        List()->SeedRandom(11);
        QObject::connect(&m_app->GetSlideshow(), &CSlideshow::SlideShown, &m_app->GetSlideshow(),
                         [this](const QString& path)
                         {
                             m_shown.append(QFileInfo(path).fileName());
                             m_times.append(m_clock.elapsed());
                         });
        m_clock.start();
    }
    void Write(const QString& name, const QByteArray& bytes) const
    {
        QFile file(QDir(TestDir()).filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    CFileListCtrl* List() const { return m_app->GetFileList(); }
    void Command(int id) { m_app->Router().Route(id); }
    bool Enabled(int id)
    {
        m_app->Router().UpdateAll();
        return m_app->Router().Action(id)->isEnabled();
    }
    bool WaitForSlides(int n, int nMs = 8000)
    {
        return ProcessUntil([&] { return m_shown.size() >= n; }, nMs);
    }
    /// The open image windows that are not hidden.
    QList<CMDIChildWnd*> ShownFrames() const
    {
        QList<CMDIChildWnd*> frames;
        for (QMdiSubWindow* sub : Frame()->MdiArea()->subWindowList())
            if (auto* frame = dynamic_cast<CChildFrame*>(sub);
                frame && !frame->IsDestroying() && !frame->isHidden())
                frames.append(frame);
        return frames;
    }
    int OpenImageDocuments() const { return int(m_app->GetImageTemplate()->GetDocuments().size()); }

    QStringList m_shown;   // file names of the slides, in the order shown
    QList<qint64> m_times; // when each came on screen, milliseconds
    QElapsedTimer m_clock;
};

struct ShowCase
{
    const char* name;
    QStringList entries;
    QStringList selected; // chosen with Select for Slideshow (empty: the whole list)
    bool bRandom;
    QStringList expect;  // sequential: the slides in order; random: every picture to be seen
    const char* message; // the one message box expected, or null
};

const ShowCase kShowCases[] = {
    {"sequential skips a text file and a folder",
     {"a.bmp", "notes.txt", "b.bmp", "sub/"},
     {},
     false,
     {"a.bmp", "b.bmp", "a.bmp", "b.bmp"},
     nullptr},
    {"damaged files among pictures are passed over quietly",
     {"a.bmp", "bad1.bmp", "b.bmp", "bad2.png"},
     {},
     false,
     {"a.bmp", "b.bmp", "a.bmp", "b.bmp"},
     nullptr},
    {"a selection of three cycles in list order",
     {"1.bmp", "2.bmp", "3.bmp", "4.bmp"},
     {"1.bmp", "2.bmp", "3.bmp"},
     false,
     {"1.bmp", "2.bmp", "3.bmp", "1.bmp"},
     nullptr},
    {"random order shows every picture, never one twice running",
     {"a.bmp", "b.bmp", "c.bmp", "bad.jpg", "n.txt"},
     {},
     true,
     {"a.bmp", "b.bmp", "c.bmp"},
     nullptr},
    {"random order finds the one picture among damaged files",
     {"bad1.bmp", "bad2.bmp", "bad3.bmp", "bad4.bmp", "bad5.bmp", "good.bmp"},
     {},
     true,
     {"good.bmp"},
     nullptr},
    {"a list of one entry asks for the folder's files",
     {"only.bmp"},
     {},
     false,
     {},
     Str::kSlideshowNeedsList},
    {"a selection of one leaves nothing to show",
     {"a.bmp", "b.bmp"},
     {"a.bmp"},
     false,
     {},
     Str::kNoImages},
    {"a folder of damaged files ends with one message",
     {"bad1.bmp", "bad2.jpg", "bad3.png", "bad4.tif", "notes.txt"},
     {},
     false,
     {},
     Str::kNoImages},
    {"damaged files at random end with one message too",
     {"bad1.bmp", "bad2.jpg", "bad3.png", "bad4.tif"},
     {},
     true,
     {},
     Str::kNoImages},
};

class ShowCases : public SlideshowTest, public ::testing::WithParamInterface<ShowCase>
{
};
} // namespace

TEST_P(ShowCases, ShowTheListsPicturesOrSayWhyNot)
{
    const ShowCase& c = GetParam();
    ListFolder(c.entries, 60, c.bRandom);
    if (!c.selected.isEmpty())
    {
        List()->clearSelection();
        for (const QString& name : c.selected)
            for (int i = 0; i < List()->GetItemCount(); ++i)
                if (List()->GetItemText(i) == name)
                    List()->selectionModel()->select(List()->model()->index(i, 0),
                                                     QItemSelectionModel::Select |
                                                         QItemSelectionModel::Rows);
        Command(ID_SLIDESHOW_SELECT);
    }
    Command(ID_SLIDESHOW);
    if (c.message)
    {
        ProcessFor(400);
        EXPECT_EQ(m_messages, QStringList{QString::fromLatin1(c.message)});
        EXPECT_FALSE(m_app->m_bSlideshowRunning);
        EXPECT_TRUE(m_shown.isEmpty());
        EXPECT_EQ(OpenImageDocuments(), 0);
        return;
    }
    const int n = c.bRandom ? 12 : int(c.expect.size());
    ASSERT_TRUE(WaitForSlides(n)) << "shown: " << m_shown.join(' ').toStdString();
    EXPECT_TRUE(m_messages.isEmpty()) << m_messages.join('\n').toStdString();
    if (c.bRandom)
    {
        EXPECT_EQ(std::set<QString>(m_shown.begin(), m_shown.end()),
                  std::set<QString>(c.expect.begin(), c.expect.end()));
        for (int i = 1; c.expect.size() > 1 && i < m_shown.size(); ++i)
            EXPECT_NE(m_shown[i], m_shown[i - 1]) << "slide " << i;
    }
    else
    {
        EXPECT_EQ(m_shown.mid(0, n), c.expect);
    }
    // One window on screen, maximised: each slide replaces the last.
    // The last slide closes in a turn of its own after the next one shows.
    ProcessUntil([this] { return ShownFrames().size() == 1; }, 1000);
    const QList<CMDIChildWnd*> frames = ShownFrames();
    ASSERT_EQ(frames.size(), 1);
    EXPECT_TRUE(frames[0]->isMaximized());
    EXPECT_EQ(frames[0]->GetActiveDocument()->GetTitle(), m_shown.last());
    EXPECT_EQ(OpenImageDocuments(), 1);
}

INSTANTIATE_TEST_SUITE_P(Cases, ShowCases, ::testing::ValuesIn(kShowCases),
                         [](const auto& param) { return CaseName(param.param.name); });

TEST_F(SlideshowTest, PauseHoldsTheSlideAndResumeGoesOnWithTheNext)
{
    ListFolder({"a.bmp", "b.bmp", "c.bmp"}, 80);
    EXPECT_FALSE(Enabled(ID_SLIDESHOW_STOP));
    EXPECT_FALSE(Enabled(ID_SLIDESHOW_PAUSE));
    Command(ID_SLIDESHOW_PAUSE); // changes nothing while idle
    Command(ID_SLIDESHOW);
    ASSERT_TRUE(WaitForSlides(1));
    EXPECT_FALSE(m_app->m_bSlideshowPaused);
    EXPECT_TRUE(Enabled(ID_SLIDESHOW_PAUSE));
    EXPECT_FALSE(Enabled(ID_SLIDESHOW_RESUME));

    Command(ID_SLIDESHOW_PAUSE);
    EXPECT_TRUE(Enabled(ID_SLIDESHOW_RESUME));
    const qsizetype held = m_shown.size();
    ProcessFor(500); // six ticks
    EXPECT_EQ(m_shown.size(), held);
    Command(ID_SLIDESHOW_RESUME);
    ASSERT_TRUE(WaitForSlides(int(held) + 1));
    const QStringList order = {"a.bmp", "b.bmp", "c.bmp"};
    EXPECT_EQ(m_shown[held], order[(order.indexOf(m_shown[held - 1]) + 1) % 3]);
}

TEST_F(SlideshowTest, StopKeepsTheSlideOnScreenAndTheNextStartTakesTheWholeList)
{
    ListFolder({"a.bmp", "b.bmp", "c.bmp"}, 60);
    List()->selectAll();
    Command(ID_SLIDESHOW_SELECT);
    Command(ID_SLIDESHOW);
    ASSERT_TRUE(WaitForSlides(2));
    Command(ID_SLIDESHOW_STOP);
    EXPECT_FALSE(m_app->m_bSlideshowRunning);
    EXPECT_FALSE(List()->IsUsingSelection());
    const qsizetype shown = m_shown.size();
    ProcessFor(300);
    EXPECT_EQ(m_shown.size(), shown);
    // The slide stays; nothing decoded ahead stays behind.
    EXPECT_EQ(ShownFrames().size(), 1);
    EXPECT_EQ(OpenImageDocuments(), 1);
    EXPECT_TRUE(m_app->GetSlideshow().GetNextSlidePath().isEmpty());

    // "slideshowspeed" is read at each start.
    Settings::WriteProfileInt(QStringLiteral("Settings"), QStringLiteral("slideshowspeed"), 150);
    Command(ID_SLIDESHOW);
    ASSERT_TRUE(WaitForSlides(int(shown) + 1));
    EXPECT_EQ(m_app->m_nSlideshowDelay, 150);
    EXPECT_EQ(m_shown[shown], QStringLiteral("a.bmp"));
    // The new show replaces its own slides; the last show's window stays.
    ASSERT_TRUE(WaitForSlides(int(shown) + 3));
    ProcessEvents();
    EXPECT_EQ(OpenImageDocuments(), 2);
}

TEST_F(SlideshowTest, EscapeEndsTheShowAndHidesTheWindows)
{
    ListFolder({"a.bmp", "b.bmp"}, 60);
    Command(ID_SLIDESHOW);
    ASSERT_TRUE(WaitForSlides(2));
    QWidget* target = ShownFrames().value(0);
    ASSERT_NE(target, nullptr);
    target->setFocus();
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(QApplication::focusWidget() ? QApplication::focusWidget() : target,
                            &escape);
    EXPECT_FALSE(m_app->m_bSlideshowRunning);
    const qsizetype shown = m_shown.size();
    ProcessFor(300);
    EXPECT_EQ(m_shown.size(), shown);
    EXPECT_TRUE(ShownFrames().isEmpty());
}

TEST_F(SlideshowTest, FilesDeletedDuringTheShowArePassedOver)
{
    ListFolder({"a.bmp", "b.bmp", "c.bmp"}, 60);
    Command(ID_SLIDESHOW);
    ASSERT_TRUE(WaitForSlides(1));
    QFile::remove(QDir(TestDir()).filePath(QStringLiteral("b.bmp")));
    QFile::remove(QDir(TestDir()).filePath(QStringLiteral("c.bmp")));
    ASSERT_TRUE(WaitForSlides(4));
    EXPECT_TRUE(m_messages.isEmpty()) << m_messages.join('\n').toStdString();
    EXPECT_TRUE(m_app->m_bSlideshowRunning);
    // Whatever was decoded ahead before the delete may still come once.
    EXPECT_EQ(m_shown.mid(m_shown.size() - 2), (QStringList{"a.bmp", "a.bmp"}));
    EXPECT_TRUE(Frame()->statusBar()->currentMessage().contains(QLatin1String(".bmp")));

    // Every picture gone: the slide on screen stays and the show tries again quietly.
    QFile::remove(QDir(TestDir()).filePath(QStringLiteral("a.bmp")));
    ProcessFor(400);
    EXPECT_TRUE(m_messages.isEmpty());
    EXPECT_TRUE(m_app->m_bSlideshowRunning);
    EXPECT_EQ(ShownFrames().size(), 1);
}

TEST_F(SlideshowTest, EachSlideStaysForTheWholeDelayEvenWhenItsDecodeIsSlower)
{
    // Pictures that take longer to decode than the delay.
    StartApp();
    for (const char* name : {"a.bmp", "b.bmp", "c.bmp"})
        MakeBmp(QString::fromLatin1(name), QSize(3000, 2500), Qt::darkCyan);
    ListFolder({}, 5);
    Command(ID_SLIDESHOW);
    ASSERT_TRUE(WaitForSlides(6, 20000));
    for (int i = 1; i < m_times.size(); ++i)
        EXPECT_GE(m_times[i] - m_times[i - 1], 5) << "slide " << i;
}

TEST_F(SlideshowTest, TheStatusBarShowsTheSlideOnScreenNeverTheOneAhead)
{
    StartApp();
    const QStringList names = {"a.bmp", "b.bmp", "c.bmp"};
    for (int i = 0; i < 3; ++i)
        MakeBmp(names[i], QSize(40 + 10 * i, 30 + 10 * i), Qt::darkGreen);
    ListFolder({}, 120);
    auto* info = Frame()->statusBar()->findChild<QLabel*>(QStringLiteral("ImageInfoPane"));
    auto* position = Frame()->statusBar()->findChild<QLabel*>(QStringLiteral("PositionPane"));
    ASSERT_TRUE(info && position);
    Command(ID_SLIDESHOW);
    // At every turn of the event loop the panes show a slide that has been
    // on screen (the one there, or the last one for a moment), never the
    // slide decoded ahead.
    QStringList early;
    ProcessUntil(
        [&]
        {
            for (int i = 0; i < 3; ++i)
            {
                const QString size = QStringLiteral(" %1 x %2;").arg(40 + 10 * i).arg(30 + 10 * i);
                const QString place = QStringLiteral(" %1 / 3;").arg(i + 1);
                if ((info->text().startsWith(size) || position->text().startsWith(place)) &&
                    !m_shown.contains(names[i]))
                    early.append(names[i]);
            }
            return m_shown.size() >= 8;
        },
        8000);
    EXPECT_GE(m_shown.size(), 8);
    EXPECT_TRUE(early.isEmpty()) << qPrintable(early.join(' '));
    ProcessEvents();
    EXPECT_TRUE(info->text().startsWith(QStringLiteral(" %1 x").arg(40 + 10 * names.indexOf(m_shown.last()))));
}

struct PaceCase
{
    const char* name;
    const char* stored; // "slideshowspeed" as the settings file holds it
    int delay;          // the delay the show keeps, milliseconds
};

class SlideshowPace : public SlideshowTest, public ::testing::WithParamInterface<PaceCase>
{
};

TEST_P(SlideshowPace, EveryStoredDelayGivesARegularPace)
{
    ListFolder({"a.bmp", "b.bmp", "c.bmp"}, 0);
    Settings::WriteProfileString(QStringLiteral("Settings"), QStringLiteral("slideshowspeed"),
                                 QString::fromLatin1(GetParam().stored));
    Command(ID_SLIDESHOW);
    EXPECT_EQ(m_app->m_nSlideshowDelay, GetParam().delay);
    if (GetParam().delay > 1000)
        return; // the default: too long to time here
    ASSERT_TRUE(WaitForSlides(7, 10000));
    // Each slide stays the whole delay, and not much longer: the gaps keep
    // to the delay within a few event-loop turns.
    std::vector<qint64> gaps;
    for (int i = 2; i < m_times.size(); ++i)
        gaps.push_back(m_times[i] - m_times[i - 1]);
    std::sort(gaps.begin(), gaps.end());
    EXPECT_GE(gaps.front(), GetParam().delay);
    EXPECT_LE(gaps[gaps.size() / 2], GetParam().delay + 30);
    EXPECT_LE(gaps.back(), GetParam().delay * 3 / 2 + 50);
}

INSTANTIATE_TEST_SUITE_P(Stored, SlideshowPace,
                         ::testing::Values(PaceCase{"text", "abc", 7000}, PaceCase{"zero", "0", 7000},
                                           PaceCase{"negative", "-250", 7000},
                                           PaceCase{"empty", "", 7000},
                                           PaceCase{"short", "150", 150},
                                           PaceCase{"longer", "400", 400}),
                         [](const auto& param) { return std::string(param.param.name); });

TEST_F(SlideshowTest, StartingStopsPanningAndPanningStartedLaterFollowsEachSlide)
{
    ListFolder({"a.bmp", "b.bmp", "c.bmp"}, 80);
    ASSERT_NE(OpenView(QDir(TestDir()).filePath(QStringLiteral("c.bmp"))), nullptr);
    Command(ID_AUTOSCROLL_START);
    ASSERT_TRUE(m_app->m_bPanning);
    Command(ID_SLIDESHOW);
    EXPECT_FALSE(m_app->m_bPanning);
    ASSERT_TRUE(WaitForSlides(2));
    EXPECT_FALSE(m_app->m_bPanning);

    Command(ID_AUTOSCROLL_START);
    const qsizetype shown = m_shown.size();
    ASSERT_TRUE(WaitForSlides(int(shown) + 1));
    auto* view =
        dynamic_cast<CPLView*>(m_app->GetSlideshow().GetCurrentSlideFrame()->GetActiveView());
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(m_app->m_pPanView, view);
    EXPECT_TRUE(view->IsAutoScrolling());
}

TEST_F(SlideshowTest, QuittingDuringASlideChangeAndAPassEndsCleanly)
{
    StartApp();
    for (const char* name : {"a.bmp", "b.bmp"})
        MakeBmp(QString::fromLatin1(name), QSize(3000, 2500), Qt::darkRed);
    ListFolder({}, 30);
    Command(ID_SLIDESHOW);
    ASSERT_TRUE(WaitForSlides(2, 20000));
    Command(ID_AUTOSCROLL_START);
    // Right after a change the next picture is being decoded.
    const qsizetype shown = m_shown.size();
    ASSERT_TRUE(WaitForSlides(int(shown) + 1, 20000));
    QElapsedTimer timer;
    timer.start();
    Command(ID_APP_EXIT);
    ProcessEvents();
    EXPECT_TRUE(Frame()->IsClosed());
    m_app.reset(); // joins the loader and the panning workers
    EXPECT_LT(timer.elapsed(), 3000);
}

namespace
{
// The slideshow with stand-ins for the program: the picks come from lists of
// names and the ticks are given by hand.
class SlideshowAlone : public AppTest, public ISlideHost, public ISlideSource, public IImageHost
{
protected:
    void SetUp() override
    {
        AppTest::SetUp();
        m_pApp = std::make_unique<CWinApp>(QStringLiteral("Vistrel"));
        m_pMain = std::make_unique<CMDIFrameWnd>();
        m_pApp->SetMainWnd(m_pMain.get());
        m_pTemplate = std::make_unique<CDocTemplate>(
            0, QString(), [this] { return new CPLViewerDoc(*this); },
            [] { return new CMDIChildWnd; }, [this] { return new CPLView(*this); });
        m_pShow = std::make_unique<CSlideshow>(*this);
    }
    void TearDown() override
    {
        m_pShow.reset();
        m_pTemplate.reset();
        m_pMain.reset();
        m_pApp.reset();
        AppTest::TearDown();
    }
    /// Lists the names: "bad..." a damaged file, any other a small picture.
    void List(const QStringList& names)
    {
        for (const QString& name : names)
        {
            if (name.startsWith(QLatin1String("bad")))
            {
                QFile file(QDir(TestDir()).filePath(name));
                ASSERT_TRUE(file.open(QIODevice::WriteOnly));
                file.write("BM, but no bitmap follows");
            }
            else
            {
                MakeBmp(name, QSize(8, 8), Qt::blue);
            }
        }
        m_list = names;
    }

    // The host.
    CSlideshowState& GetSlideshowState() override { return m_state; }
    ISlideSource* GetSlideSource() override { return this; }
    CDocTemplate* GetImageTemplate() const override { return m_pTemplate.get(); }
    void BeginSlideshow() override {}
    void SlideFrameShown(CMDIChildWnd*, const QString& path) override
    {
        m_shown.append(QFileInfo(path).fileName());
    }
    void StopSlideshowTimers() override { ++m_nTimerStops; }
    void SetCurrentImage(const QString&) override {}
    void ShowStatus(const QString& text, int) override { m_status.append(text); }
    QWidget* GetMessageParent() const override { return m_pMain.get(); }
    void UpdateCommands() override {}
    // The source: sequential picks cycle through m_list, random ones take m_random in turn.
    int GetItemCount() const override { return int(m_list.size()); }
    QString PickRandom() override
    {
        return Path(m_random.isEmpty() ? QString() : m_random.takeFirst());
    }
    QString PickNext() override
    {
        return m_list.isEmpty() ? QString() : Path(m_list[m_nNext++ % m_list.size()]);
    }
    int SourceSize() const override { return int(m_list.size()); }
    void BeginShow() override { m_nNext = 0; }
    void EndShow() override { ++m_nEnds; }
    // The image windows' host.
    CPicDecoder& GetDecoder() override { return m_decoder; }
    QPrinter& GetPrinter() override { return m_pApp->GetPrinter(); }
    CPLView* GetPanView() const override { return m_pPanView; }
    void SetPanView(CPLView* pView) override { m_pPanView = pView; }

    QString Path(const QString& name) const
    {
        return name.isEmpty() ? QString() : QDir(TestDir()).filePath(name);
    }

    std::unique_ptr<CWinApp> m_pApp;
    std::unique_ptr<CMDIFrameWnd> m_pMain;
    std::unique_ptr<CDocTemplate> m_pTemplate;
    CSlideshowState m_state;
    CAnyPicDecoder m_decoder;
    CPLView* m_pPanView = nullptr;
    QStringList m_list, m_random, m_shown, m_status;
    int m_nNext = 0;
    int m_nTimerStops = 0;
    int m_nEnds = 0;
    std::unique_ptr<CSlideshow> m_pShow; // last: it goes first
};
} // namespace

TEST_F(SlideshowAlone, AFailedPickGoesOnInListOrderAndASweepOfFailuresGivesUp)
{
    List({"a.bmp", "bad.bmp", "b.bmp"});
    m_random = {"bad.bmp", "bad.bmp"};
    Settings::WriteProfileInt(QStringLiteral("Settings"), QStringLiteral("randomslideshow"), 1);
    m_pShow->Start();
    // The random pick fails; the retry takes the list's first entry.
    ASSERT_TRUE(ProcessUntil([&] { return m_shown.size() == 1; }));
    EXPECT_EQ(m_shown, QStringList{"a.bmp"});
    // Ahead: random "bad.bmp", then the list's "bad.bmp" again, then "b.bmp".
    m_pShow->NextSlide();
    ASSERT_TRUE(ProcessUntil([&] { return m_shown.size() == 2; }));
    EXPECT_EQ(m_shown, (QStringList{"a.bmp", "b.bmp"}));
    EXPECT_EQ(m_status.size(), 3);
    EXPECT_TRUE(m_status.value(0).startsWith("bad.bmp: ")) << m_status.value(0).toStdString();
    // Nothing left to pick at random: a tick shows nothing and the show goes on.
    m_pShow->NextSlide();
    ProcessEvents();
    EXPECT_EQ(m_shown.size(), 2);
    EXPECT_TRUE(m_state.m_bSlideshowRunning);
    m_pShow->Stop();
    EXPECT_FALSE(m_state.m_bSlideshowRunning);
    EXPECT_EQ(m_nEnds, 1);
    EXPECT_GE(m_nTimerStops, 2); // at the start and at the stop
    EXPECT_TRUE(m_messages.isEmpty()) << m_messages.join('\n').toStdString();

    // A source of nothing but damaged files: one sweep, then one message.
    m_status.clear();
    List({"bad1.bmp", "bad2.bmp"});
    Settings::WriteProfileInt(QStringLiteral("Settings"), QStringLiteral("randomslideshow"), 0);
    m_pShow->Start();
    ASSERT_TRUE(ProcessUntil([&] { return !m_messages.isEmpty(); }));
    EXPECT_EQ(m_messages, QStringList{QString::fromLatin1(Str::kNoImages)});
    EXPECT_EQ(m_status.size(), 2);
    EXPECT_FALSE(m_state.m_bSlideshowRunning);
    EXPECT_EQ(m_shown.size(), 2);
}
