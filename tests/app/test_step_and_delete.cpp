// Stepping through the list's pictures in one window, past files that cannot
// be shown, and deleting: the window, the list's selection and the disk agree.
#include "AppTestSupport.h"
#include "DocTemplate.h"
#include "Document.h"
#include "FileListCtrl.h"
#include "ListBar.h"
#include "MDIChildWnd.h"
#include "MainFrame.h"
#include "MessageBox.h"
#include "PLView.h"
#include "Resource.h"
#include "ThumbnailView.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QMdiArea>
#include <QPointer>

namespace
{
void WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}
} // namespace

class StepTest : public AppTest
{
protected:
    /// The files of the test's folder: "...bad..." damaged, "x.txt" text, any
    /// other a small picture; the list shows them and the first is open.
    void StartIn(const QStringList& names)
    {
        StartApp();
        for (const QString& name : names)
            if (name.contains(QLatin1String("bad")))
                WriteFile(QDir(TestDir()).filePath(name), "BM, but no bitmap follows");
            else if (name.endsWith(QLatin1String(".txt")))
                WriteFile(QDir(TestDir()).filePath(name), "text");
            else
                MakeBmp(name, QSize(8, 8), Qt::red);
        Frame()->SetListDirectory(TestDir());
        m_list = Frame()->GetListBar()->GetList();
        m_list->SelectNamed(names.first());
        ASSERT_NE(OpenView(QDir(TestDir()).filePath(names.first())), nullptr);
    }
    /// The file names of the open image windows (hidden ones too).
    QStringList Open() const
    {
        QStringList names;
        for (CDocument* pDoc : m_app->GetImageTemplate()->GetDocuments())
            names.append(QFileInfo(pDoc->GetPathName()).fileName());
        return names;
    }
    CMDIChildWnd* Active() const { return Frame()->MDIGetActive(); }
    /// A key pressed where the focus is, as the user presses it.
    void Press(QWidget* pTarget, int key)
    {
        pTarget->setFocus();
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
        QApplication::sendEvent(pTarget, &press);
        WaitForPictures();
    }
    void Step(int id)
    {
        m_app->Router().Route(id);
        WaitForPictures();
    }
    QStringList OnDisk() const { return QDir(TestDir()).entryList(QDir::Files, QDir::Name); }

    CFileListCtrl* m_list = nullptr;
};

TEST_F(StepTest, AFileThatCannotBeShownKeepsTheWindowAndIsSteppedPast)
{
    StartIn({"1.bmp", "2bad.bmp", "3bad.bmp", "4.bmp"});
    const QPointer<CMDIChildWnd> first = Active();

    // Onto the damaged file: the message names it, the window and its
    // picture stay, the list's selection moves on.
    Step(Id::ID_DIRECTORY_MOVE_DOWN);
    ASSERT_EQ(m_messages.size(), 1);
    EXPECT_TRUE(m_messages[0].startsWith(QStringLiteral("2bad.bmp: "))) << qPrintable(m_messages[0]);
    EXPECT_EQ(Open(), QStringList{"1.bmp"});
    EXPECT_EQ(Active(), first.data());
    EXPECT_TRUE(first && first->isVisible());
    EXPECT_EQ(m_list->GetSelectedName(), "2bad.bmp");

    // On past the next damaged one to the picture after them, in one window.
    Step(Id::ID_DIRECTORY_MOVE_DOWN);
    Step(Id::ID_DIRECTORY_MOVE_DOWN);
    EXPECT_EQ(m_messages.size(), 2);
    EXPECT_EQ(Open(), QStringList{"4.bmp"});
    EXPECT_EQ(Frame()->MdiArea()->subWindowList().size(), 1);
    EXPECT_TRUE(Active()->isVisible());

    // And back, with Backspace in the picture.
    for (int i = 0; i < 3; ++i)
        Press(Active()->GetActiveView()->GetWidget(), Qt::Key_Backspace);
    EXPECT_EQ(Open(), QStringList{"1.bmp"});
    EXPECT_EQ(m_messages.size(), 4);
}

TEST_F(StepTest, QuickStepsShowTheLastPictureSteppedTo)
{
    StartIn({"1.bmp", "2.bmp", "3.bmp", "4.bmp"});
    // Three steps before any picture has come: only the last one shows.
    for (int i = 0; i < 3; ++i)
        m_app->Router().Route(Id::ID_DIRECTORY_MOVE_DOWN);
    WaitForPictures();
    EXPECT_EQ(Open(), QStringList{"4.bmp"});
    EXPECT_EQ(Frame()->MdiArea()->subWindowList().size(), 1);
    EXPECT_TRUE(m_messages.isEmpty());
}

struct FailureCase
{
    const char* name;
    std::function<QString(const QString& dir)> make; // returns the path opened
    const char* message;
};

class FailureText : public AppTest, public ::testing::WithParamInterface<FailureCase>
{
};

TEST_P(FailureText, NamesTheFileAndTheReason)
{
    StartApp();
    const QString path = GetParam().make(TestDir());
    EXPECT_EQ(OpenView(path), nullptr);
    ASSERT_EQ(m_messages.size(), 1);
    EXPECT_EQ(m_messages[0], QString::fromUtf8(GetParam().message));
    EXPECT_TRUE(Frame()->MdiArea()->subWindowList().isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Open, FailureText,
    ::testing::Values(
        FailureCase{"a missing file", [](const QString& dir) { return dir + "/nosuch.jpg"; },
                    "nosuch.jpg: No such file or directory"},
        FailureCase{"a missing folder", [](const QString& dir) { return dir + "/gone/a.png"; },
                    "a.png: No such file or directory"},
        FailureCase{"an empty file",
                    [](const QString& dir)
                    {
                        WriteFile(dir + "/empty.png", {});
                        return dir + "/empty.png";
                    },
                    "empty.png: The file is empty."},
        FailureCase{"a truncated picture",
                    [](const QString& dir)
                    {
                        WriteFile(dir + "/cut.bmp", QByteArray("BM\x46\0\0\0\0\0\0\0\x36\0\0\0(\0\0\0"
                                                               "\x04\0\0\0\x04\0\0\0\x01\0\x18\0",
                                                               30));
                        return dir + "/cut.bmp";
                    },
                    "cut.bmp: End of file reached while decoding."},
        FailureCase{"a file of no known type",
                    [](const QString& dir)
                    {
                        WriteFile(dir + "/notes.jpg", "plain text");
                        return dir + "/notes.jpg";
                    },
                    "notes.jpg: Decoder error: Unknown file type."}),
    [](const auto& param) { return CaseName(param.param.name); });

struct DeleteCase
{
    const char* name;
    QStringList files;    // the folder, in list order; the first is shown
    const char* shown;    // the picture open in the active window
    const char* focus;    // "picture", "list" or "thumbnails"
    QStringList selected; // the list's selection when the key is pressed
    int answer;           // to the question whether to move to the trash
    QStringList onDisk;   // afterwards
    const char* open;     // the active window's file afterwards, "" for no window
    const char* selection;
};

class DeleteKey : public StepTest, public ::testing::WithParamInterface<DeleteCase>
{
};

TEST_P(DeleteKey, DeletesWhatHasTheFocusAndTheWindowGoesOn)
{
    const DeleteCase& c = GetParam();
    StartIn(c.files);
    if (c.files.first() != QLatin1String(c.shown))
    {
        m_list->SelectNamed(QString::fromLatin1(c.shown));
        ASSERT_TRUE(m_app->OpenImage(QDir(TestDir()).filePath(c.shown), true));
        WaitForPictures();
    }
    ASSERT_EQ(Open(), QStringList{c.shown});
    m_list->clearSelection();
    for (const QString& name : c.selected)
        m_list->selectionModel()->select(m_list->model()->index(m_list->FindItemByName(name), 0),
                                         QItemSelectionModel::Select | QItemSelectionModel::Rows);
    QWidget* target = Active()->GetActiveView()->GetWidget();
    if (QLatin1String(c.focus) == QLatin1String("list"))
        target = m_list;
    else if (QLatin1String(c.focus) == QLatin1String("thumbnails"))
    {
        Frame()->GetListBar()->SetThumbnailMode(true);
        target = Frame()->GetListBar()->GetThumbnailView();
    }
    m_answers = {c.answer};
    Press(target, Qt::Key_Delete);

    EXPECT_EQ(OnDisk(), c.onDisk);
    EXPECT_EQ(m_messages.size(), 1) << qPrintable(m_messages.join('|')); // the question only
    const QString open = QString::fromLatin1(c.open);
    EXPECT_EQ(Open(), open.isEmpty() ? QStringList() : QStringList{open});
    EXPECT_EQ(Frame()->MdiArea()->subWindowList().size(), open.isEmpty() ? 0 : 1);
    EXPECT_EQ(m_list->GetSelectedName(), c.selection);
    EXPECT_EQ(m_list->selectionModel()->selectedRows().size(), QString(c.selection).isEmpty() ? 0 : 1);
    if (!open.isEmpty() && open != QLatin1String(c.shown))
    {
        EXPECT_EQ(m_list->GetCurrentFile(), QDir(TestDir()).filePath(open));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Delete, DeleteKey,
    ::testing::Values(
        DeleteCase{"in the picture the next picture of the list comes, past other files",
                   {"1.bmp", "2.bmp", "3.txt", "4.bmp"}, "2.bmp", "picture", {"1.bmp"}, IDYES,
                   {"1.bmp", "3.txt", "4.bmp"}, "4.bmp", "4.bmp"},
        DeleteCase{"in the last picture the one before it comes",
                   {"1.bmp", "2.txt", "3.bmp"}, "3.bmp", "picture", {"3.bmp"}, IDYES,
                   {"1.bmp", "2.txt"}, "1.bmp", "1.bmp"},
        DeleteCase{"in the only picture the window closes",
                   {"1.bmp", "2.txt"}, "1.bmp", "picture", {"1.bmp"}, IDYES,
                   {"2.txt"}, "", "2.txt"},
        DeleteCase{"answered no nothing changes",
                   {"1.bmp", "2.bmp"}, "1.bmp", "picture", {"1.bmp"}, IDNO,
                   {"1.bmp", "2.bmp"}, "1.bmp", "1.bmp"},
        DeleteCase{"in the list the selection goes whatever the window shows",
                   {"1.bmp", "2.bmp", "3.bmp", "4.txt"}, "1.bmp", "list", {"2.bmp", "3.bmp"}, IDYES,
                   {"1.bmp", "4.txt"}, "1.bmp", "4.txt"},
        DeleteCase{"in the list the shown picture goes as in the picture",
                   {"1.bmp", "2.bmp", "3.bmp"}, "2.bmp", "list", {"2.bmp"}, IDYES,
                   {"1.bmp", "3.bmp"}, "3.bmp", "3.bmp"},
        DeleteCase{"in the thumbnails as in the list",
                   {"1.bmp", "2.bmp", "3.bmp"}, "1.bmp", "thumbnails", {"3.bmp"}, IDYES,
                   {"1.bmp", "2.bmp"}, "1.bmp", "2.bmp"}),
    [](const auto& param) { return CaseName(param.param.name); });
