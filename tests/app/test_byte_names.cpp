// Names that are not valid UTF-8 keep their bytes everywhere: the command
// line, the recent files and their settings, stepping, the titles (which show
// U+FFFD for display only).
#include "AppTestSupport.h"
#include "ChildFrame.h"
#include "DocTemplate.h"
#include "Document.h"
#include "FileListCtrl.h"
#include "ListBar.h"
#include "MainFrame.h"
#include "NativePath.h"
#include "RecentFileList.h"
#include "Settings.h"

#include <QFile>

#include <cstdio>

namespace
{
// The name with the byte 0xE9 (Latin-1 "é", not UTF-8) as NativePath keeps it.
const QString kBadName = NativePath::Decode(QByteArray("k_bad\xe9name.bmp"));

QString ActivePath(CMainFrame* frame)
{
    CMDIChildWnd* child = frame->MDIGetActive();
    CDocument* doc = child ? child->GetActiveDocument() : nullptr;
    return doc ? doc->GetPathName() : QString();
}
} // namespace

TEST(NativePath, ArgumentsAndDisplayKeepOrShowTheBytes)
{
    const char* argv[] = {"vistrel", "/p/k_bad\xe9name.jpg", "/p/caf\xc3\xa9.jpg", "-nologo"};
    const QStringList args = NativePath::Arguments(4, argv);
    ASSERT_EQ(args.size(), 4);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(NativePath::Encode(args[i]), QByteArray(argv[i])) << i;
    EXPECT_EQ(args[2], QString::fromUtf8("/p/café.jpg"));
    EXPECT_EQ(NativePath::ForDisplay(args[1]), QString::fromUtf8("/p/k_bad\xef\xbf\xbdname.jpg"));
    EXPECT_EQ(NativePath::ForDisplay(args[2]), args[2]);
}

TEST_F(AppTest, NamesThatAreNotUtf8KeepTheirBytes)
{
    const QString bad = TestDir() + '/' + kBadName;
    const QString good = MakeBmp(QStringLiteral("a.bmp"), QSize(6, 4), Qt::blue);
    MakeBmp(QStringLiteral("made.bmp"), QSize(5, 3), Qt::red);
    ASSERT_EQ(::rename(QFile::encodeName(TestDir() + "/made.bmp").constData(),
                       NativePath::Encode(bad).constData()), 0);

    // The command line: the picture opens, its folder is listed with it
    // selected, the title shows the name for display.
    StartApp({bad});
    EXPECT_TRUE(m_messages.isEmpty()) << qPrintable(m_messages.join('|'));
    EXPECT_EQ(ActivePath(Frame()), bad);
    CFileListCtrl* list = Frame()->GetListBar()->GetList();
    EXPECT_EQ(list->GetSelectedName(), kBadName);
    EXPECT_EQ(Frame()->MDIGetActive()->windowTitle(), NativePath::ForDisplay(kBadName));
    EXPECT_TRUE(Frame()->MDIGetActive()->windowTitle().contains(QChar::ReplacementCharacter));

    // Stepping back and forth reaches it again.
    list->StepToNeighbour(kBadName, 1);
    WaitForPictures();
    EXPECT_EQ(ActivePath(Frame()), good);
    list->StepToNeighbour(QStringLiteral("a.bmp"), 0);
    WaitForPictures();
    EXPECT_EQ(ActivePath(Frame()), bad);

    // The recent list stores the bytes and reads them back as they were;
    // a valid name stays text that other tools read.
    Quit();
    CRecentFileList recent(4);
    recent.ReadList();
    EXPECT_EQ(recent[0], bad);
    recent.Add(good);
    CRecentFileList again(4);
    again.ReadList();
    EXPECT_EQ(again[0], good);
    EXPECT_EQ(again[1], bad);
    EXPECT_EQ(Settings::GetProfileString("Recent File List", "File1"), good);
    QFile ini(Settings::FileName());
    ASSERT_TRUE(ini.open(QIODevice::ReadOnly));
    EXPECT_FALSE(QString::fromUtf8(ini.readAll()).contains(QChar::ReplacementCharacter));
}
