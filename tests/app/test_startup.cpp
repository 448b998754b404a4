#include "AppTestSupport.h"
#include "ChildFrame.h"
#include "DocTemplate.h"
#include "Document.h"
#include "FileListCtrl.h"
#include "ListBar.h"
#include "MainFrame.h"
#include "RecentFileList.h"
#include "Settings.h"
#include "SplashWindow.h"
#include "TreeBar.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QKeyEvent>
#include <QMdiArea>
#include <QScreen>
#include <QTabWidget>

namespace
{
void Write(const char* section, const char* entry, const QString& value)
{
    Settings::WriteProfileString(QString::fromLatin1(section), QString::fromLatin1(entry), value);
}

QString Read(const char* section, const char* entry)
{
    return Settings::GetProfileString(QString::fromLatin1(section), QString::fromLatin1(entry));
}

// The outer frame (the offscreen platform gives windows a 2-pixel border)
// at x 25, y 0, 50 pixels narrower and lower than the screen.
void ExpectDefaultPlace(CMainFrame* frame)
{
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    EXPECT_EQ(frame->frameGeometry(), QRect(25, 0, screen.width() - 50, screen.height() - 50));
}

int VisibleImageWindows(CMainFrame* frame)
{
    int n = 0;
    for (QMdiSubWindow* w : frame->MdiArea()->subWindowList())
        n += dynamic_cast<CChildFrame*>(w) && w->isVisible() ? 1 : 0;
    return n;
}
} // namespace

TEST_F(AppTest, StartsWithNoSettingsInTheDefaultPlace)
{
    StartApp();
    CMainFrame* frame = Frame();
    EXPECT_EQ(frame->CountChildFrames(), 0);
    EXPECT_TRUE(m_app->GetProjectTemplate()->GetDocuments().isEmpty());
    ExpectDefaultPlace(frame);
    EXPECT_EQ(frame->windowTitle(), QStringLiteral("Vistrel"));
    EXPECT_EQ(frame->GetTreeBar()->windowTitle(), QStringLiteral("Project Bar"));
    EXPECT_EQ(frame->GetListBar()->windowTitle(), QStringLiteral("List Bar"));
    QTabWidget* tabs = frame->GetTreeBar()->GetTabs();
    ASSERT_EQ(tabs->count(), 2);
    EXPECT_EQ(tabs->tabText(0), QStringLiteral("Project"));
    EXPECT_EQ(tabs->tabText(1), QStringLiteral("Desktop"));
    // Both bars share the left edge.
    EXPECT_EQ(frame->dockWidgetArea(frame->GetTreeBar()), Qt::LeftDockWidgetArea);
    EXPECT_EQ(frame->dockWidgetArea(frame->GetListBar()), Qt::LeftDockWidgetArea);
    EXPECT_TRUE(m_messages.isEmpty());
}

TEST_F(AppTest, TheCommandLineChoosesTheListedFolder)
{
    const QString folder = QDir::home().filePath(QStringLiteral("other"));
    QDir().mkpath(folder);
    QFile(folder + "/x.txt").open(QIODevice::WriteOnly);
    const QString picture = MakeBmp(QStringLiteral("b.bmp"), QSize(8, 8), Qt::red);
    MakeBmp(QStringLiteral("a.bmp"), QSize(8, 8), Qt::green);
    const struct
    {
        QStringList arguments;
        QString listed, selected;
        int pictures;
    } cases[] = {
        {{folder}, folder, QString(), 0},
        {{picture}, TestDir(), QStringLiteral("b.bmp"), 1},
        {{picture, folder}, folder, QString(), 1}, // the last one named decides
        {{"file://" + picture}, TestDir(), QStringLiteral("b.bmp"), 1},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.arguments.join(' ').toStdString());
        m_messages.clear();
        StartApp(c.arguments);
        CFileListCtrl* list = Frame()->GetListBar()->GetList();
        EXPECT_EQ(list->GetDirectory(), c.listed);
        EXPECT_EQ(m_app->m_strBrowseDir, c.listed);
        EXPECT_EQ(list->GetSelectedName(), c.selected);
        EXPECT_EQ(m_app->GetImageTemplate()->GetDocuments().size(), c.pictures);
        EXPECT_TRUE(m_messages.isEmpty()) << m_messages.join('|').toStdString();
        Quit();
        m_app.reset();
    }
}

TEST_F(AppTest, FilesOnExitReopensAtMostFourRecentFiles)
{
    for (int i = 1; i <= 4; ++i)
        Write("Recent File List", QStringLiteral("File%1").arg(i).toLatin1().constData(),
              MakeBmp(QStringLiteral("r%1.bmp").arg(i), QSize(40, 30), Qt::blue));
    Write("Startup", "FilesOnExit", QStringLiteral("yes"));
    Settings::WriteProfileInt(QStringLiteral("StartUp"), QStringLiteral("FilesOpen"), 10);
    StartApp();
    EXPECT_EQ(m_app->GetImageTemplate()->GetDocuments().size(), 4);
    EXPECT_EQ(VisibleImageWindows(Frame()), 4);
    EXPECT_TRUE(m_messages.isEmpty()) << m_messages.join(QLatin1Char('|')).toStdString();
}

TEST_F(AppTest, FilesOnExitStopsAtFilesOpenAndSkipsWhatFailsToOpen)
{
    Write("Recent File List", "File1", MakeBmp(QStringLiteral("a.bmp"), QSize(8, 8), Qt::red));
    Write("Recent File List", "File2", QDir(TestDir()).filePath(QStringLiteral("gone.bmp")));
    Write("Recent File List", "File3", MakeBmp(QStringLiteral("c.bmp"), QSize(8, 8), Qt::red));
    Write("Recent File List", "File4", MakeBmp(QStringLiteral("d.bmp"), QSize(8, 8), Qt::red));
    Write("Startup", "FilesOnExit", QStringLiteral("yes"));
    Settings::WriteProfileInt(QStringLiteral("StartUp"), QStringLiteral("FilesOpen"), 3);
    StartApp();
    // a and c open, the missing file is reported, d is past the count.
    EXPECT_EQ(m_app->GetImageTemplate()->GetDocuments().size(), 2);
    EXPECT_EQ(m_messages.size(), 1);
}

TEST_F(AppTest, FilesOnExitOtherThanLowerCaseYesOpensNothing)
{
    Write("Recent File List", "File1", MakeBmp(QStringLiteral("a.bmp"), QSize(8, 8), Qt::red));
    Write("Startup", "FilesOnExit", QStringLiteral("Yes"));
    StartApp();
    EXPECT_EQ(Frame()->CountChildFrames(), 0);
    EXPECT_TRUE(m_messages.isEmpty());
}

TEST_F(AppTest, ProjectOnExitIsComparedExactly)
{
    const QString project = QDir(TestDir()).filePath(QStringLiteral("trip.vrp"));
    QFile file(project);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("project\n");
    file.close();
    Write("Recent Project List", "Project1", project);

    Write("Startup", "ProjectOnExit", QStringLiteral("Yes"));
    StartApp();
    EXPECT_TRUE(m_app->GetProjectTemplate()->GetDocuments().isEmpty());
    Quit();
    // Quitting with no project open records that.
    EXPECT_EQ(Read("Startup", "ProjectOnExit"), QStringLiteral("no"));
    m_app.reset();

    Write("Startup", "ProjectOnExit", QStringLiteral("yes"));
    StartApp();
    ASSERT_EQ(m_app->GetProjectTemplate()->GetDocuments().size(), 1);
    EXPECT_EQ(m_app->m_strProjectPath, project);
    // A project never shows a child window.
    EXPECT_EQ(Frame()->CountChildFrames(), 1);
    EXPECT_EQ(VisibleImageWindows(Frame()), 0);
    for (QMdiSubWindow* w : Frame()->MdiArea()->subWindowList())
        EXPECT_FALSE(w->isVisible());
    Quit();
    EXPECT_EQ(Read("Startup", "ProjectOnExit"), QStringLiteral("yes"));
}

TEST_F(AppTest, WindowPosRoundTripsAsTheOuterFrameAndMalformedValuesAreIgnored)
{
    StartApp();
    ASSERT_FALSE(Frame()->frameGeometry() == Frame()->geometry());
    // Moved and resized as the user does, by the outer frame.
    Frame()->move(60, 40);
    Frame()->resize(QSize(500, 400) - (Frame()->frameGeometry().size() - Frame()->size()));
    ProcessEvents();
    ASSERT_EQ(Frame()->frameGeometry(), QRect(60, 40, 500, 400));
    Quit();
    const QString saved = Read("Settings", "WindowPos");
    EXPECT_EQ(saved, QStringLiteral("0,1,-1,-1,-1,-1,60,40,560,440"));
    m_app.reset();

    StartApp();
    EXPECT_EQ(Frame()->frameGeometry(), QRect(60, 40, 500, 400));
    Quit();
    m_app.reset();

    // A place on a screen that is gone comes back onto the screen.
    Write("Settings", "WindowPos", QStringLiteral("0,1,-1,-1,-1,-1,5000,4000,5500,4400"));
    StartApp();
    const QRect work = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_TRUE(work.contains(Frame()->frameGeometry())) << Frame()->frameGeometry().x();
    EXPECT_EQ(Frame()->frameGeometry().size(), QSize(500, 400));
    Frame()->hide();
    m_app.reset();

    for (const char* bad : {"0,1,-1,-1,-1,-1,60,40,560", "0,1,-1,-1,-1,-1,6O,40,560,440"})
    {
        Write("Settings", "WindowPos", QString::fromLatin1(bad));
        StartApp();
        ExpectDefaultPlace(Frame());
        Frame()->hide(); // leave "WindowPos" as the test wrote it
        m_app.reset();
    }
}

TEST_F(AppTest, StartShowCommandOtherThanNormalMinimisesASavedPlacement)
{
    Write("Settings", "WindowPos", QStringLiteral("0,1,-1,-1,-1,-1,60,40,560,440"));
    m_app = std::make_unique<CVistrelApp>();
    m_app->m_nCmdShow = 7;
    ASSERT_TRUE(m_app->InitInstance());
    ProcessEvents();
    EXPECT_TRUE(Frame()->isMinimized());
}

TEST_F(AppTest, SplashHidesOnTheFirstKeyAndSwallowsIt)
{
    StartApp();
    CSplashWindow::EnableSplashScreen(true);
    CSplashWindow::ShowSplashScreen(Frame());
    ASSERT_TRUE(CSplashWindow::IsShown());

    // The splash draws its embedded picture (a gradient), not the flat
    // colour it falls back to when the picture cannot be read.
    QWidget* splash = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->windowFlags().testFlag(Qt::SplashScreen) && w->isVisible())
            splash = w;
    ASSERT_NE(splash, nullptr);
    const QImage shown = splash->grab().toImage();
    EXPECT_NE(shown.pixel(5, 5), shown.pixel(5, shown.height() - 5));

    struct KeyCounter : QWidget
    {
        int keys = 0;
        void keyPressEvent(QKeyEvent*) override { ++keys; }
    } target;
    QKeyEvent press(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
    QApplication::sendEvent(&target, &press);
    EXPECT_FALSE(CSplashWindow::IsShown());
    EXPECT_EQ(target.keys, 0);
    QKeyEvent again(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
    QApplication::sendEvent(&target, &again);
    EXPECT_EQ(target.keys, 1);
    CSplashWindow::EnableSplashScreen(false);
}
