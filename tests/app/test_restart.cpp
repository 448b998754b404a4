#include "AppTestSupport.h"
#include "DocTemplate.h"
#include "Document.h"
#include "MainFrame.h"
#include "MDIChildWnd.h"
#include "PLView.h"
#include "View.h"
#include "RecentFileList.h"
#include "Settings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMdiArea>
#include <QMdiSubWindow>

namespace
{
QStringList RecentFiles(CVistrelApp* app)
{
    QStringList names;
    for (int i = 0; i < 4 && !(*app->GetRecentFileList())[i].isEmpty(); ++i)
        names.append(QFileInfo((*app->GetRecentFileList())[i]).fileName());
    return names;
}

// The image windows by file name with their rectangles.
QMap<QString, QRect> WindowPlaces(CMainFrame* frame)
{
    QMap<QString, QRect> places;
    for (QMdiSubWindow* w : frame->MdiArea()->subWindowList())
        if (w->isVisible())
            places[w->windowTitle()] = w->geometry();
    return places;
}

// Writes the store file as a person or another tool would, unquoted.
void WriteStoreText(const QByteArray& text)
{
    QDir().mkpath(QFileInfo(Settings::FileName()).path());
    QFile file(Settings::FileName());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(text);
}
} // namespace

TEST_F(AppTest, ARestartGivesBackTheWindowsTheirPlacesAndTheRecentOrder)
{
    Settings::WriteProfileString(QStringLiteral("Startup"), QStringLiteral("FilesOnExit"),
                                 QStringLiteral("yes"));
    StartApp();
    QMap<QString, QRect> places;
    int i = 0;
    for (const char* name : {"a.bmp", "b.bmp", "c.bmp"})
    {
        CDocument* doc =
            m_app->OpenDocumentFile(MakeBmp(QString::fromLatin1(name), QSize(40, 30), Qt::red));
        ASSERT_NE(doc, nullptr);
        ProcessEvents();
        const QRect rc(20 + 60 * i, 10 + 40 * i, 200 + 10 * i, 150 + 10 * i);
        doc->GetFirstView()->GetParentFrame()->setGeometry(rc);
        places[QString::fromLatin1(name)] = rc;
        ++i;
    }
    // b was the window in use when the program ended.
    Frame()->MDIActivate(Frame()->ChildFramesInZOrder()[1]);
    ProcessEvents();
    ASSERT_EQ(Frame()->MDIGetActive()->windowTitle(), QStringLiteral("b.bmp"));
    Quit();
    const QStringList atQuit = RecentFiles(m_app.get());
    EXPECT_EQ(atQuit.first(), QStringLiteral("b.bmp"));
    m_app.reset();

    // Twice: the order would flip on every start if reopening reordered it.
    for (int round = 0; round < 2; ++round)
    {
        SCOPED_TRACE(round);
        StartApp();
        EXPECT_EQ(RecentFiles(m_app.get()), atQuit);
        EXPECT_EQ(WindowPlaces(Frame()), places);
        ASSERT_NE(Frame()->MDIGetActive(), nullptr);
        EXPECT_EQ(Frame()->MDIGetActive()->windowTitle(), QStringLiteral("b.bmp"));
        Quit();
        EXPECT_EQ(RecentFiles(m_app.get()), atQuit);
        m_app.reset();
    }
}

TEST_F(AppTest, PlacementsWrittenWithoutQuotesAreRead)
{
    // Unquoted, Qt reads these values as lists.
    WriteStoreText("[Settings]\n"
                   "WindowPos=0,1,-1,-1,-1,-1,60,40,560,440\n"
                   "WWTypeWindowPos=0, 1, -1, -1, -1, -1, 10, 20, 310, 220\n");
    StartApp();
    EXPECT_EQ(Frame()->frameGeometry(), QRect(60, 40, 500, 400));
    CPLView* view = OpenView(MakeBmp(QStringLiteral("a.bmp"), QSize(40, 30), Qt::red));
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->GetParentFrame()->geometry(), QRect(10, 20, 300, 200));
}

TEST_F(AppTest, StartupSectionsAreReadInEitherSpelling)
{
    const QString a = MakeBmp(QStringLiteral("a.bmp"), QSize(8, 8), Qt::red);
    const QString b = MakeBmp(QStringLiteral("b.bmp"), QSize(8, 8), Qt::red);
    struct Case
    {
        const char* text;
        int opened;
    };
    for (const Case& c : {Case{"[Startup]\nFilesOnExit=yes\nFilesOpen=1\n", 1},
                          Case{"[StartUp]\nFilesOnExit=yes\nFilesOpen=1\n", 1},
                          Case{"[Startup]\nFilesOnExit=yes\n[StartUp]\nFilesOpen=2\n", 2},
                          Case{"[STARTUP]\nfilesonexit=yes\n", 2}})
    {
        SCOPED_TRACE(c.text);
        WriteStoreText(QByteArray(c.text) + "[Recent%20File%20List]\nFile1=" +
                       QFile::encodeName(a) + "\nFile2=" + QFile::encodeName(b) + "\n");
        StartApp();
        EXPECT_EQ(m_app->GetImageTemplate()->GetDocuments().size(), c.opened);
        Frame()->hide(); // leave the store as the case wrote it
        m_app.reset();
        ProcessEvents();
    }
}
