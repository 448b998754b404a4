// The file list: its order, its file commands and the slideshow's picks.
#include "AppTestSupport.h"
#include "ChildFrame.h"
#include "DocTemplate.h"
#include "Document.h"
#include "FileListCtrl.h"
#include "FileDrag.h"
#include "FileName.h"
#include "ListBar.h"
#include "MDIChildWnd.h"
#include "MainFrame.h"
#include "MessageBox.h"
#include "NativePath.h"
#include "Resource.h"
#include "Strings.h"
#include "View.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLineEdit>
#include <QFile>
#include <QMimeData>
#include <QTemporaryDir>
#include <QUrl>

#include <fcntl.h>
#include <set>
#include <unistd.h>

namespace
{
// Makes the entries in the folder: a name ending in "/" is a folder.
void MakeEntries(const QString& folder, const QStringList& names)
{
    for (const QString& name : names)
    {
        if (name.endsWith(QLatin1Char('/')))
        {
            QDir(folder).mkpath(name);
            continue;
        }
        QFile file(QDir(folder).filePath(name));
        file.open(QIODevice::WriteOnly);
        file.write("x");
    }
}

QStringList Names(const CFileListCtrl& list)
{
    QStringList names;
    for (int i = 0; i < list.GetItemCount(); ++i)
        names.append(list.GetItemText(i));
    return names;
}

void Select(CFileListCtrl& list, const QStringList& names)
{
    list.selectionModel()->clearSelection();
    for (int i = 0; i < list.GetItemCount(); ++i)
        if (names.contains(list.GetItemText(i)))
            list.selectionModel()->select(list.model()->index(i, 0),
                                          QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

enum class Order
{
    Sequential,
    Random
};

struct PickCase
{
    const char* name;
    QStringList entries;  // the folder's entries
    QStringList selected; // chosen for the slideshow (empty: the whole list)
    Order order;
    int picks;
    QStringList expect; // sequential: the exact slides; random: the set of slides
};

const PickCase kPickCases[] = {
    {"sequential skips a text file and a folder",
     {"a.jpg", "notes.txt", "b.png", "sub/"},
     {},
     Order::Sequential,
     4,
     {"a.jpg", "b.png", "a.jpg", "b.png"}},
    {"a selection of three cycles in list order",
     {"1.jpg", "2.bmp", "3.tga", "4.png", "x.txt"},
     {"1.jpg", "2.bmp", "3.tga"},
     Order::Sequential,
     6,
     {"1.jpg", "2.bmp", "3.tga", "1.jpg", "2.bmp", "3.tga"}},
    {"a selection of one leaves nothing to show",
     {"a.jpg", "b.jpg"},
     {"a.jpg"},
     Order::Sequential,
     1,
     {""}},
    {"a selection of one leaves nothing at random either",
     {"a.jpg", "b.jpg"},
     {"a.jpg"},
     Order::Random,
     1,
     {""}},
    {"no pictures at all", {"a.txt", "b", "c.jpg/"}, {}, Order::Sequential, 2, {"", ""}},
    {"no pictures at random", {"a.txt", "b", "c.jpg/"}, {}, Order::Random, 2, {""}},
    {"a list of one entry gives no random pick", {"only.jpg"}, {}, Order::Random, 1, {""}},
    {"extensions in capitals count, names without a dot do not",
     {"A.JPG", "jpg", "b.Jpeg"},
     {},
     Order::Sequential,
     3,
     {"A.JPG", "b.Jpeg", "A.JPG"}},
    {"random picks only pictures and reaches each",
     {"a.jpg", "b.png", "c.bmp", "d.txt", "e/"},
     {},
     Order::Random,
     60,
     {"a.jpg", "b.png", "c.bmp"}},
    {"random with one picture among many others finds it every time",
     {"1.txt", "2.txt", "3.txt", "4.txt", "5.txt", "6.txt", "7.txt", "pic.png"},
     {},
     Order::Random,
     10,
     {"pic.png"}},
    {"random over a selection",
     {"a.jpg", "b.jpg", "c.jpg", "d.jpg"},
     {"b.jpg", "d.jpg"},
     Order::Random,
     20,
     {"b.jpg", "d.jpg"}},
};

class Picks : public ::testing::TestWithParam<PickCase>
{
};
} // namespace

TEST_P(Picks, FollowTheRules)
{
    const PickCase& c = GetParam();
    QTemporaryDir dir;
    MakeEntries(dir.path(), c.entries);
    CFileListCtrl list;
    list.SeedRandom(7);
    list.SetDirectory(dir.path());
    ASSERT_EQ(list.GetItemCount(), c.entries.size());
    if (!c.selected.isEmpty())
    {
        Select(list, c.selected);
        list.SelectForSlideshow();
    }
    QStringList slides;
    for (int i = 0; i < c.picks; ++i)
    {
        const QString path = c.order == Order::Random ? list.PickRandom() : list.PickNext();
        EXPECT_LE(list.GetMisses(), int(c.entries.size()));
        EXPECT_EQ(list.GetCurrentFile(), path);
        slides.append(path.isEmpty() ? QString() : QFileInfo(path).fileName());
        if (!path.isEmpty())
        {
            EXPECT_EQ(path, dir.path() + QLatin1Char('/') + slides.last());
        }
    }
    if (c.order == Order::Sequential)
    {
        EXPECT_EQ(slides, c.expect);
        return;
    }
    const std::set<QString> seen(slides.begin(), slides.end());
    EXPECT_EQ(seen, std::set<QString>(c.expect.begin(), c.expect.end()));
    // Never the same picture twice in a row while there are two to choose from.
    for (int i = 1; c.expect.size() >= 2 && i < slides.size(); ++i)
        EXPECT_NE(slides[i], slides[i - 1]) << "pick " << i;
}

INSTANTIATE_TEST_SUITE_P(Cases, Picks, ::testing::ValuesIn(kPickCases),
                         [](const auto& param) { return CaseName(param.param.name); });

TEST(FileListTest, ListsFoldersFirstInNaturalOrderWithoutHiddenEntries)
{
    QTemporaryDir dir;
    MakeEntries(dir.path(), {"img10.png", "Img2.png", "img1.png", "b/", "A/", ".hidden", "z.txt",
                             "folder10/", "folder9/"});
    // A name that is not UTF-8 is listed, and its path reaches the file.
    const QByteArray raw = QFile::encodeName(dir.path()) + "/caf\xe9.jpg";
    close(open(raw.constData(), O_CREAT | O_WRONLY, 0644));
    CFileListCtrl list;
    list.SetDirectory(dir.path());
    const QStringList names = Names(list);
    ASSERT_EQ(names.size(), 9);
    EXPECT_EQ(names.mid(0, 4), (QStringList{"A", "b", "folder9", "folder10"}));
    EXPECT_EQ(names.mid(4, 2), (QStringList{NativePath::Decode("caf\xe9.jpg"), "img1.png"}));
    EXPECT_EQ(names.mid(6), (QStringList{"Img2.png", "img10.png", "z.txt"}));
    EXPECT_EQ(NativePath::Encode(list.GetFullPath(names[4])), raw);
    EXPECT_EQ(QDir::currentPath(), dir.path());

    // Lookups by name ignore case; a miss keeps the last answer.
    EXPECT_EQ(list.FindItemByName(dir.path() + "/IMG10.PNG"), 7);
    EXPECT_EQ(list.FindItemByName(dir.path() + "/missing"), 7);

    // A folder that cannot be read leaves the list empty.
    list.SetDirectory(dir.path() + "/gone");
    EXPECT_EQ(list.GetItemCount(), 0);
}

TEST(FileListTest, FollowsTheFolderOnDiskKeepingSelectionAndCutMarks)
{
    QTemporaryDir dir;
    MakeEntries(dir.path(), {"a.bmp", "b.bmp", "c.txt"});
    CFileListCtrl list;
    list.SetDirectory(dir.path());
    Select(list, {"c.txt"});
    list.CutSelection();
    list.setCurrentIndex(list.model()->index(1, 0));
    Select(list, {"b.bmp"});
    const auto dimmed = [&list](int row)
    { return list.model()->data(list.model()->index(row, 0), Qt::ForegroundRole).isValid(); };

    // Another program adds and removes files: the list follows shortly.
    MakeEntries(dir.path(), {"0.bmp"});
    QFile::remove(dir.path() + "/a.bmp");
    QElapsedTimer clock;
    clock.start();
    while (Names(list) != QStringList{"0.bmp", "b.bmp", "c.txt"} && clock.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    ASSERT_EQ(Names(list), (QStringList{"0.bmp", "b.bmp", "c.txt"}));
    EXPECT_EQ(list.GetSelectedName(), "b.bmp");
    EXPECT_EQ(list.selectionModel()->selectedRows().size(), 1);
    EXPECT_EQ(list.currentIndex().row(), 1);
    EXPECT_TRUE(dimmed(2));
    EXPECT_FALSE(dimmed(1));

    // A change the list does not show leaves it as it is.
    int resets = 0;
    QObject::connect(list.model(), &QAbstractItemModel::modelReset, [&resets] { ++resets; });
    MakeEntries(dir.path(), {".hidden"});
    clock.restart();
    while (clock.elapsed() < 700)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_EQ(resets, 0);

    // F5 reads it at once.
    MakeEntries(dir.path(), {"d.bmp"});
    QKeyEvent f5(QEvent::KeyPress, Qt::Key_F5, Qt::NoModifier);
    QApplication::sendEvent(&list, &f5);
    EXPECT_EQ(Names(list), (QStringList{"0.bmp", "b.bmp", "c.txt", "d.bmp"}));
    EXPECT_EQ(list.GetSelectedName(), "b.bmp");

    // The folder itself goes: the list empties.
    ASSERT_TRUE(QDir(dir.path()).removeRecursively());
    QApplication::sendEvent(&list, &f5);
    EXPECT_EQ(list.GetItemCount(), 0);
}

TEST(FileListTest, ImageTest)
{
    QTemporaryDir dir;
    MakeEntries(dir.path(), {"pics.jpg/", "a.JPG", "jpg", "b.tar.gz", "c.pct"});
    const struct
    {
        const char* name;
        bool image;
    } cases[] = {{"pics.jpg", false}, {"a.JPG", true}, {"jpg", false},
                 {"b.tar.gz", false}, {"c.pct", true}, {"gone.gif", true},
                 {"d.webp", true},    {"e.HEIC", true}, {"f.heif", true},
                 {"g.avif", true},    {"h.jxl", true}};
    for (const auto& c : cases)
        EXPECT_EQ(CFileListCtrl::IsImageFile(dir.path() + '/' + c.name), c.image) << c.name;
}

TEST_F(AppTest, CopyCutAndDeleteWorkOnTheSelection)
{
    StartApp();
    MakeEntries(TestDir(), {"a.txt", "b.txt", "c.txt"});
    Frame()->SetListDirectory(TestDir());
    CFileListCtrl* list = Frame()->GetListBar()->GetList();
    const QString a = TestDir() + "/a.txt", b = TestDir() + "/b.txt", c = TestDir() + "/c.txt";

    // One file: its path on the clipboard, as text and as a URL; no selection kept.
    Select(*list, {"a.txt"});
    m_app->Router().Route(Id::ID_LISTBAR_COPY);
    EXPECT_EQ(QApplication::clipboard()->text(), a);
    EXPECT_EQ(QApplication::clipboard()->mimeData()->urls().value(0).toLocalFile(), a);
    EXPECT_TRUE(list->GetSlideshowSelection().isEmpty());
    EXPECT_FALSE(list->HasMultiCopy());

    // Several: the selection is kept, in list order, and the clipboard names
    // them all, as a copy for the file manager.
    Select(*list, {"c.txt", "a.txt"});
    EXPECT_EQ(list->CopySelection(), 2);
    EXPECT_EQ(list->GetSlideshowSelection(), (QStringList{a, c}));
    EXPECT_TRUE(list->HasMultiCopy());
    EXPECT_EQ(QApplication::clipboard()->text(), a + '\n' + c);
    EXPECT_FALSE(CFileDrag::IsCut(QApplication::clipboard()->mimeData()));

    // Cut: the paths for moving, a pending cut, the items dimmed.
    m_app->Router().Route(Id::ID_LISTBAR_MOVECUT);
    EXPECT_EQ(list->GetPendingCut(), CFileName::JoinPathList({a, c}));
    EXPECT_TRUE(m_app->m_bCutPending);
    EXPECT_FALSE(list->HasMultiCopy());
    EXPECT_EQ(QApplication::clipboard()->mimeData()->data("x-special/gnome-copied-files"),
              "cut\nfile://" + a.toUtf8() + "\nfile://" + c.toUtf8());
    EXPECT_TRUE(list->model()->data(list->model()->index(0, 0), Qt::ForegroundRole).isValid());
    EXPECT_FALSE(list->model()->data(list->model()->index(1, 0), Qt::ForegroundRole).isValid());

    // Delete, declined: the file stays with its item, and the message says so.
    Select(*list, {"b.txt"});
    m_answers = {IDNO, IDOK};
    m_app->Router().Route(Id::ID_LISTBAR_DELETE);
    EXPECT_TRUE(QFile::exists(b));
    EXPECT_EQ(m_messages.last(), QString::fromLatin1(Str::kDeleteFileCanceled));
    EXPECT_EQ(list->GetItemCount(), 3);

    // Delete, confirmed: the files go to the trash and their items go.
    Select(*list, {"a.txt", "b.txt"});
    m_messages.clear();
    EXPECT_EQ(list->DeleteSelection(0), 2);
    EXPECT_FALSE(QFile::exists(a));
    EXPECT_FALSE(QFile::exists(b));
    EXPECT_TRUE(QFile::exists(QDir::homePath() + "/data/Trash/files/a.txt"));
    EXPECT_EQ(QDir(TestDir()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
              QStringList{"c.txt"});
    EXPECT_EQ(Names(*list), QStringList{"c.txt"});
    EXPECT_TRUE(list->GetSlideshowSelection().isEmpty());
    EXPECT_FALSE(list->HasMultiCopy()); // a later paste finds no copy
    EXPECT_EQ(m_messages.size(), 1); // the question only
}

TEST_F(AppTest, RenameInTheListRenamesOnDiskOrSaysWhyNot)
{
    StartApp();
    MakeEntries(TestDir(), {"a.bmp", "c.txt", "sub/"});
    Frame()->SetListDirectory(TestDir());
    CFileListCtrl* list = Frame()->GetListBar()->GetList();
    const struct
    {
        const char* from;
        const char* to;
        QStringList after; // the list, and the folder, afterwards
        bool message;
    } cases[] = {
        {"a.bmp", "b.bmp", {"sub", "b.bmp", "c.txt"}, false},
        {"b.bmp", "c.txt", {"sub", "b.bmp", "c.txt"}, true}, // taken: nothing replaced
        {"b.bmp", "", {"sub", "b.bmp", "c.txt"}, true},
        {"b.bmp", "x/y.bmp", {"sub", "b.bmp", "c.txt"}, true},
        {"b.bmp", "..", {"sub", "b.bmp", "c.txt"}, true},
        {"b.bmp", "b.bmp", {"sub", "b.bmp", "c.txt"}, false},
        {"sub", "Sub 2", {"Sub 2", "b.bmp", "c.txt"}, false},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(std::string(c.from) + " -> " + c.to);
        m_messages.clear();
        const int row = list->FindItemByName(QString::fromUtf8(c.from));
        ASSERT_EQ(list->GetItemText(row), c.from);
        list->model()->setData(list->model()->index(row, 0), QString::fromUtf8(c.to),
                               Qt::EditRole);
        ProcessEvents();
        EXPECT_EQ(Names(*list), c.after);
        QStringList onDisk = QDir(TestDir()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot,
                                                       QDir::DirsFirst | QDir::Name);
        EXPECT_EQ(onDisk, c.after);
        EXPECT_EQ(m_messages.size(), c.message ? 1 : 0);
        if (!c.message && std::string(c.from) != c.to)
        {
            EXPECT_EQ(list->GetSelectedName(), c.to);
        }
    }
    // An open picture follows its file: the window's title, and the Delete
    // key's file.
    MakeBmp("open.bmp", QSize(8, 8), Qt::red);
    list->Reload();
    list->setCurrentIndex(list->model()->index(list->FindItemByName("open.bmp"), 0));
    emit list->activated(list->currentIndex());
    WaitForPictures();
    ASSERT_EQ(m_app->GetImageTemplate()->GetDocuments().size(), 1);
    CDocument* pDoc = m_app->GetImageTemplate()->GetDocuments().first();
    ASSERT_NE(pDoc->GetFirstView(), nullptr);
    list->model()->setData(list->currentIndex(), QStringLiteral("shown.bmp"), Qt::EditRole);
    ProcessEvents();
    EXPECT_EQ(pDoc->GetPathName(), TestDir() + "/shown.bmp");
    EXPECT_EQ(pDoc->GetFirstView()->GetParentFrame()->windowTitle(), "shown.bmp");
    EXPECT_EQ(list->GetCurrentFile(), TestDir() + "/shown.bmp");
    pDoc->OnCloseDocument();
    ProcessEvents();
    ASSERT_TRUE(QFile::remove(TestDir() + "/shown.bmp"));
    list->Reload();

    // The taken name kept its own file.
    QFile kept(TestDir() + "/c.txt");
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), "x");

    // F2 opens the name for editing, whichever column is current.
    list->setCurrentIndex(list->model()->index(1, 2));
    QKeyEvent f2(QEvent::KeyPress, Qt::Key_F2, Qt::NoModifier);
    QApplication::sendEvent(list, &f2);
    auto* editor = list->findChild<QLineEdit*>();
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->text(), "b.bmp");
    // A change on disk meanwhile waits for the edit to end.
    editor->setText("typed.bmp");
    MakeEntries(TestDir(), {"new.txt"});
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 800)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    ASSERT_EQ(list->findChild<QLineEdit*>(), editor);
    EXPECT_EQ(editor->text(), "typed.bmp");
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(editor, &enter);
    clock.restart();
    while (Names(*list).size() < 4 && clock.elapsed() < 3000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_EQ(Names(*list), (QStringList{"Sub 2", "c.txt", "new.txt", "typed.bmp"}));
}

TEST_F(AppTest, StepsReplaceTheActivePictureAndStopAtTheEnds)
{
    StartApp();
    MakeBmp("1.bmp", QSize(8, 8), Qt::red);
    MakeEntries(TestDir(), {"2.txt"});
    MakeBmp("3.bmp", QSize(8, 8), Qt::green);
    MakeBmp("4.bmp", QSize(8, 8), Qt::blue);
    Frame()->SetListDirectory(TestDir());
    CFileListCtrl* list = Frame()->GetListBar()->GetList();
    QAction* down = m_app->Router().Action(Id::ID_DIRECTORY_MOVE_DOWN);
    QAction* up = m_app->Router().Action(Id::ID_DIRECTORY_MOVE_UP);

    // Double-click (activation) opens a picture in a new window.
    list->setCurrentIndex(list->model()->index(0, 0));
    emit list->activated(list->model()->index(0, 0));
    ProcessEvents();
    ASSERT_EQ(m_app->GetImageTemplate()->GetDocuments().size(), 1);
    EXPECT_EQ(list->GetCurrentFile(), TestDir() + "/1.bmp");

    const auto openPaths = [this]
    {
        QStringList paths;
        for (CDocument* pDoc : m_app->GetImageTemplate()->GetDocuments())
            paths.append(QFileInfo(pDoc->GetPathName()).fileName());
        return paths;
    };
    m_app->Router().UpdateAll();
    EXPECT_TRUE(down->isEnabled());
    // The text file is selected but not opened; the next step opens 3.bmp in its place.
    down->trigger();
    WaitForPictures();
    EXPECT_EQ(openPaths(), QStringList{"1.bmp"});
    EXPECT_EQ(list->GetSelectedName(), "2.txt");
    down->trigger();
    WaitForPictures();
    EXPECT_EQ(openPaths(), QStringList{"3.bmp"});
    down->trigger();
    WaitForPictures();
    EXPECT_EQ(openPaths(), QStringList{"4.bmp"});
    EXPECT_TRUE(list->IsAtLast());
    m_app->Router().UpdateAll();
    EXPECT_FALSE(down->isEnabled());
    EXPECT_TRUE(up->isEnabled());
    up->trigger();
    up->trigger();
    up->trigger();
    WaitForPictures();
    EXPECT_EQ(openPaths(), QStringList{"1.bmp"});
    EXPECT_TRUE(list->IsAtFirst());
    m_app->Router().UpdateAll();
    EXPECT_FALSE(up->isEnabled());

    // In the picture, Space and Backspace take the same steps, within the same
    // limits; with a modifier they do nothing.
    const auto press = [this](int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        CView* view = m_app->GetImageTemplate()->GetDocuments().first()->GetFirstView();
        QKeyEvent event(QEvent::KeyPress, key, modifiers);
        QApplication::sendEvent(view->GetWidget(), &event);
        WaitForPictures();
    };
    press(Qt::Key_Backspace);
    EXPECT_EQ(openPaths(), QStringList{"1.bmp"});
    press(Qt::Key_Space);
    press(Qt::Key_Space, Qt::ShiftModifier);
    press(Qt::Key_Space);
    EXPECT_EQ(openPaths(), QStringList{"3.bmp"});
    press(Qt::Key_Backspace);
    press(Qt::Key_Backspace);
    EXPECT_EQ(openPaths(), QStringList{"1.bmp"});
}

TEST_F(AppTest, ShowOpensTheSelectedPictureOnly)
{
    StartApp();
    MakeBmp("UPPER.BMP", QSize(8, 8), Qt::red);
    MakeEntries(TestDir(), {"readme.txt"});
    Frame()->SetListDirectory(TestDir());
    CFileListCtrl* list = Frame()->GetListBar()->GetList();
    Select(*list, {"readme.txt"});
    m_app->Router().Route(Id::ID_LISTBAR_SHOW);
    EXPECT_TRUE(m_app->GetImageTemplate()->GetDocuments().isEmpty());
    Select(*list, {"UPPER.BMP"});
    m_app->Router().Route(Id::ID_LISTBAR_SHOW);
    EXPECT_EQ(m_app->GetImageTemplate()->GetDocuments().size(), 1);

    // A picture whose name is not UTF-8 opens too.
    const QByteArray raw = QFile::encodeName(TestDir()) + "/caf\xe9.bmp";
    ASSERT_EQ(rename(QFile::encodeName(TestDir() + "/UPPER.BMP").constData(), raw.constData()), 0);
    Frame()->SetListDirectory(TestDir());
    Select(*list, {NativePath::Decode("caf\xe9.bmp")});
    m_app->Router().Route(Id::ID_LISTBAR_SHOW);
    EXPECT_EQ(m_app->GetImageTemplate()->GetDocuments().size(), 2);
    EXPECT_EQ(m_messages, QStringList{});
    unlink(raw.constData()); // Qt's removeRecursively cannot reach this name
}
