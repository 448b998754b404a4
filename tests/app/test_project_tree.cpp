#include "ProjectTestSupport.h"

#include "DocTemplate.h"
#include "FileDrag.h"
#include "FileListCtrl.h"
#include "FileName.h"
#include "FolderTreeCtrl.h"
#include "IBrowser.h"
#include "IPendingFiles.h"
#include "ListBar.h"
#include "MainFrame.h"
#include "MessageBox.h"
#include "ProjectDoc.h"
#include "ProjectTreeCtrl.h"
#include "ProjectView.h"
#include "Resource.h"
#include "Settings.h"
#include "TreeBar.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QMouseEvent>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTabWidget>
#include <QThread>

#include <utility>

namespace
{
QString ProjectDir(const QString& name)
{
    return QDir(CProjectDoc::ProjectsDirectory()).filePath(name);
}

// What a tree made without the program asks of its browser and pending files.
struct StandIn : IBrowser, IPendingFiles
{
    bool IsImageFile(const QString& path) const override { return path.endsWith(".jpg"); }
    bool OpenImage(const QString& path, bool) override
    {
        opened.append(path);
        return true;
    }
    void ShowFolder(const QString& path) override { folders.append(path); }
    void SetCurrentImage(const QString& path) override { current = path; }
    QStringList TakeMultiCopy() override { return std::exchange(copy, {}); }
    QString GetPendingCut() const override { return cut; }
    void CutMoved(const QStringList&) override { cut.clear(); }

    QStringList opened, folders, copy;
    QString current, cut;
};
} // namespace

TEST_F(ProjectTest, TreeListsFoldersThenFilesAndHidesOnlyTheProjectFile)
{
    StartApp();
    OpenProject(
        MakeProject(QStringLiteral("Trip"), "Trip\r\n",
                    {QStringLiteral("b.jpg"), QStringLiteral("A.jpg"), QStringLiteral("a.png"),
                     QStringLiteral("trip.vrp"), QStringLiteral(".hidden"), QStringLiteral("z/"),
                     QStringLiteral("Y/"), QStringLiteral("Y/inner.jpg"),
                     QStringLiteral("Day1/a.jpg"), QStringLiteral("Day1/Trip.vrp")}));
    QTreeWidgetItem* root = Tree()->GetRootItem();
    root->setExpanded(true);
    EXPECT_EQ(ChildTexts(root),
              (QStringList{"Day1", "Y", "z", ".hidden", "A.jpg", "a.png", "b.jpg", "trip.vrp"}));
    // Only folders with entries offer to expand.
    EXPECT_EQ(ChildTexts(ChildNamed(root, "Y")), QStringList{QString()});
    EXPECT_EQ(ChildTexts(ChildNamed(root, "z")), QStringList());

    QTreeWidgetItem* day1 = ChildNamed(root, "Day1");
    day1->setExpanded(true);
    EXPECT_EQ(ChildTexts(day1), QStringList{"a.jpg"});
    EXPECT_EQ(Tree()->GetItemPath(day1->child(0)), ProjectDir("Trip") + "/Day1/a.jpg");
    EXPECT_EQ(Tree()->GetItemPath(root), ProjectDir("Trip"));
    for (auto [item, image] : {std::pair{root, 0}, {day1, 5}, {day1->child(0), 2}})
        EXPECT_EQ(CProjectTreeCtrl::ImageOf(item), image);

    // Collapsing forgets the loaded items; expanding reads the disk again.
    WriteFile(ProjectDir("Trip") + "/Day1/new.jpg", "x");
    day1->setExpanded(false);
    EXPECT_EQ(ChildTexts(day1), QStringList{QString()});
    day1->setExpanded(true);
    EXPECT_EQ(ChildTexts(day1), (QStringList{"a.jpg", "new.jpg"}));
}

TEST_F(ProjectTest, TreeOfUnusualProjectFolders)
{
    StartApp();
    // Only the project file: the root offers to expand and shows nothing.
    OpenProject(MakeProject(QStringLiteral("Only"), "Only\r\n"));
    QTreeWidgetItem* root = Tree()->GetRootItem();
    EXPECT_EQ(ChildTexts(root), QStringList{QString()});
    root->setExpanded(true);
    EXPECT_EQ(ChildTexts(root), QStringList());

    // A folder that vanishes while open shows empty folders, no failure.
    OpenProject(MakeProject(QStringLiteral("Gone"), "Gone\r\n", {QStringLiteral("sub/a.jpg")}));
    root = Tree()->GetRootItem();
    root->setExpanded(true);
    QDir(ProjectDir("Gone")).removeRecursively();
    QTreeWidgetItem* sub = ChildNamed(root, "sub");
    ASSERT_NE(sub, nullptr);
    sub->setExpanded(true);
    EXPECT_EQ(ChildTexts(sub), QStringList());

    // A file named unlike its folder: paths run under a folder of its name.
    const QString odd = ProjectDir("Trip") + "/Other.vrp";
    WriteFile(odd, "Other\r\n");
    WriteFile(ProjectDir("Trip") + "/a.jpg", "x");
    OpenProject(odd);
    root = Tree()->GetRootItem();
    EXPECT_EQ(root->text(0), QStringLiteral("Other"));
    EXPECT_EQ(ChildTexts(root), QStringList{QString()});
    root->setExpanded(true);
    EXPECT_EQ(ChildTexts(root), QStringList{QString()});
}

TEST_F(ProjectTest, ExpandingTenThousandFilesTakesOneReadOfTheFolder)
{
    QStringList entries;
    for (int i = 0; i < 10000; ++i)
        entries.append(QStringLiteral("f%1.jpg").arg(i, 5, 10, QLatin1Char('0')));
    StartApp();
    OpenProject(MakeProject(QStringLiteral("Big"), "Big\r\n", entries));
    Tree()->GetRootItem()->setExpanded(true);
    const QStringList shown = ChildTexts(Tree()->GetRootItem());
    ASSERT_EQ(shown.size(), 10000);
    EXPECT_EQ(shown.first(), QStringLiteral("f00000.jpg"));
    EXPECT_EQ(shown.last(), QStringLiteral("f09999.jpg"));
}

TEST_F(ProjectTest, NewFolderMakesTheFolderWithItsIndexFileBesideAFile)
{
    StartApp();
    OpenProject(MakeProject(QStringLiteral("Trip"), "Trip\r\n", {QStringLiteral("a.jpg")}));
    QTreeWidgetItem* root = Tree()->GetRootItem();
    root->setExpanded(true);
    Select(ChildNamed(root, "a.jpg"));
    m_app->Router().Route(Id::ID_PROJECTTREE_NEWFOLDER);
    EndLabelEdit(QStringLiteral("Holiday"), true);

    const QString index = ProjectDir("Trip") + "/Holiday/Index.txt";
    const QByteArray text = ReadFile(index);
    EXPECT_EQ(text.size(), 96);
    EXPECT_TRUE(text.startsWith("This file was generated by Vistrel,\r\nyou"));
    EXPECT_EQ(ChildTexts(root), (QStringList{"Holiday", "a.jpg"}));
    EXPECT_EQ(ChildTexts(ChildNamed(root, "Holiday")), QStringList{QString()});

    // File > New Folder works on the Project tab's tree while that tab is current.
    Frame()->GetTreeBar()->GetTabs()->setCurrentIndex(0);
    Select(ChildNamed(root, "a.jpg"));
    m_app->Router().Route(Id::ID_FOLDERTREE_NEWFOLDER);
    EndLabelEdit(QStringLiteral("Beach"), true);
    EXPECT_EQ(ReadFile(ProjectDir("Trip") + "/Beach/Index.txt").size(), 96);
    EXPECT_EQ(ChildTexts(root), (QStringList{"Holiday", "Beach", "a.jpg"}));
    EXPECT_TRUE(m_messages.isEmpty());
}

// The new item survives the expansion of its folder and is the one named;
// a folder that cannot be made leaves no item behind.
TEST_F(ProjectTest, NewFolderSurvivalCases)
{
    struct Case
    {
        const char* name;
        const char* parent; // the current item: "" the root, else a folder
        QString typed;
        bool bEscape;
        const char* created; // folder expected on disk, or null
        bool bMessage;
    };
    const Case cases[] = {
        {"empty collapsed folder", "empty", QStringLiteral("One"), false, "empty/One", false},
        {"collapsed folder with entries", "full", QStringLiteral("Two"), false, "full/Two", false},
        {"escape still makes it", "", QStringLiteral("Three"), true, "Three", false},
        {"name taken", "", QStringLiteral("full"), false, nullptr, true},
        {"bad name", "", QStringLiteral("a/b"), false, nullptr, true},
    };
    StartApp();
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        m_messages.clear();
        OpenProject(MakeProject(QStringLiteral("Trip"), "Trip\r\n",
                                {QStringLiteral("empty/"), QStringLiteral("full/x.jpg")}));
        QTreeWidgetItem* root = Tree()->GetRootItem();
        root->setExpanded(true);
        QTreeWidgetItem* parent = *c.parent ? ChildNamed(root, c.parent) : root;
        Select(parent);
        m_app->Router().Route(Id::ID_PROJECTTREE_NEWFOLDER);
        EndLabelEdit(c.typed, !c.bEscape);
        EXPECT_EQ(m_messages.size(), c.bMessage ? 1 : 0);
        QStringList names;
        for (const QString& text : ChildTexts(parent))
            if (text == c.typed || text == QLatin1String("New_Folder"))
                names.append(text);
        if (c.created)
        {
            EXPECT_TRUE(QFileInfo(ProjectDir("Trip") + "/" + c.created).isDir());
            EXPECT_EQ(names, QStringList{c.typed});
            EXPECT_TRUE(parent->isExpanded());
        }
        else
        {
            // Only the folder that was there already.
            EXPECT_EQ(names,
                      c.typed == QLatin1String("full") ? QStringList{"full"} : QStringList());
        }
        if (*c.parent == 0)
            continue;
        // Expanded, the folder shows each entry once.
        parent->setExpanded(false);
        parent->setExpanded(true);
        const QStringList again = ChildTexts(parent);
        EXPECT_EQ(again.count(c.typed), 1);
        QDir(ProjectDir("Trip")).removeRecursively();
    }
}

// Renames happen on disk; the label shows the new name only when they did.
TEST_F(ProjectTest, RenameCases)
{
    struct Case
    {
        const char* name;
        QString typed;
        bool bEscape;
        const char* label; // the label afterwards
        bool bMessage;
    };
    const Case cases[] = {
        {"renamed", QStringLiteral("b.jpg"), false, "b.jpg", false},
        {"escape keeps the old name", QStringLiteral("c.jpg"), true, "a.jpg", false},
        {"taken name", QStringLiteral("taken.jpg"), false, "a.jpg", true},
        {"bad name", QStringLiteral("x/y.jpg"), false, "a.jpg", true},
    };
    StartApp();
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        m_messages.clear();
        QDir(ProjectDir("Trip")).removeRecursively();
        OpenProject(MakeProject(QStringLiteral("Trip"), "Trip\r\n",
                                {QStringLiteral("a.jpg"), QStringLiteral("taken.jpg")}));
        QTreeWidgetItem* root = Tree()->GetRootItem();
        root->setExpanded(true);
        QTreeWidgetItem* item = ChildNamed(root, "a.jpg");
        Select(item);
        m_app->Router().Route(Id::ID_PROJECTTREE_RENAME);
        EndLabelEdit(c.typed, !c.bEscape);
        EXPECT_EQ(item->text(0), QString::fromLatin1(c.label));
        EXPECT_TRUE(QFileInfo::exists(ProjectDir("Trip") + "/" + c.label));
        EXPECT_EQ(ReadFile(ProjectDir("Trip") + "/taken.jpg"), QByteArray("taken.jpg"));
        EXPECT_EQ(m_messages.size(), c.bMessage ? 1 : 0);
    }
}

TEST_F(ProjectTest, CommandsWithoutAProjectSayNoOpenProject)
{
    StartApp();
    Select(Tree()->GetRootItem());
    for (int id :
         {Id::ID_PROJECTTREE_NEWFOLDER, Id::ID_PROJECTTREE_RENAME, Id::ID_PROJECTTREE_DELETE})
        m_app->Router().Route(id);
    EXPECT_EQ(m_messages, QStringList(3, QStringLiteral("No open project, command canceled!")));
    m_app->Router().Route(Id::ID_PROJECTTREE_PASTE);
    m_app->Router().Route(Id::ID_PROJECTTREE_COPY);
    EXPECT_EQ(m_messages.size(), 3);
    EXPECT_EQ(ChildTexts(Tree()->invisibleRootItem()), QStringList{"No Open Project"});
}

TEST_F(ProjectTest, DeleteItemMovesToTheTrashAndKeepsTheItemWhenDeclined)
{
    StartApp();
    OpenProject(MakeProject(QStringLiteral("Trip"), "Trip\r\n",
                            {QStringLiteral("a.jpg"), QStringLiteral("Day1/b.jpg")}));
    QTreeWidgetItem* root = Tree()->GetRootItem();
    root->setExpanded(true);
    for (const char* name : {"a.jpg", "Day1"})
    {
        SCOPED_TRACE(name);
        Select(ChildNamed(root, name));
        m_answers = {IDNO};
        m_app->Router().Route(Id::ID_PROJECTTREE_DELETE);
        EXPECT_NE(ChildNamed(root, name), nullptr);
        EXPECT_TRUE(QFileInfo::exists(ProjectDir("Trip") + "/" + name));

        Select(ChildNamed(root, name));
        m_app->Router().Route(Id::ID_PROJECTTREE_DELETE);
        EXPECT_EQ(ChildNamed(root, name), nullptr);
        EXPECT_FALSE(QFileInfo::exists(ProjectDir("Trip") + "/" + name));
        const QString trash =
            QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
            "/Trash/files/" + name;
        EXPECT_TRUE(QFileInfo::exists(trash)) << trash.toStdString();
    }
    // The project folder itself is not deleted from its tree.
    Select(root);
    m_app->Router().Route(Id::ID_PROJECTTREE_DELETE);
    EXPECT_TRUE(QFileInfo(ProjectDir("Trip")).isDir());
}

TEST_F(ProjectTest, CopyPutsTheItemPathOnTheClipboardAsTextAndUri)
{
    StartApp();
    OpenProject(MakeProject(QStringLiteral("Trip"), "Trip\r\n", {QStringLiteral("a.jpg")}));
    QTreeWidgetItem* root = Tree()->GetRootItem();
    root->setExpanded(true);
    QApplication::clipboard()->setText(QStringLiteral("before"));
    Select(root);
    m_app->Router().Route(Id::ID_PROJECTTREE_COPY);
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("before"));
    Select(ChildNamed(root, "a.jpg"));
    m_app->Router().Route(Id::ID_PROJECTTREE_COPY);
    const QString path = ProjectDir("Trip") + "/a.jpg";
    EXPECT_EQ(QApplication::clipboard()->text(), path);
    EXPECT_EQ(QApplication::clipboard()->mimeData()->urls(),
              QList<QUrl>{QUrl::fromLocalFile(path)});
}

TEST_F(ProjectTest, ShowOpensImagesOnlyAndSelectingAFolderFillsTheList)
{
    StartApp();
    const QString bmp = MakeBmp(QStringLiteral("photo.BMP"), QSize(4, 4), Qt::red);
    OpenProject(MakeProject(QStringLiteral("Trip"), "Trip\r\n",
                            {QStringLiteral("notes.txt"), QStringLiteral("Day1/x.txt")}));
    QFile::copy(bmp, ProjectDir("Trip") + "/photo.BMP");
    QTreeWidgetItem* root = Tree()->GetRootItem();
    root->setExpanded(true);
    Select(ChildNamed(root, "notes.txt"));
    m_app->Router().UpdateAll();
    EXPECT_FALSE(m_app->Router().Action(Id::ID_PROJECTTREE_SHOW)->isEnabled());
    m_app->Router().Route(Id::ID_PROJECTTREE_SHOW);
    EXPECT_EQ(m_app->GetImageTemplate()->GetDocuments().size(), 0);
    Select(ChildNamed(root, "photo.BMP"));
    m_app->Router().UpdateAll();
    EXPECT_TRUE(m_app->Router().Action(Id::ID_PROJECTTREE_SHOW)->isEnabled());
    m_app->Router().Route(Id::ID_PROJECTTREE_SHOW);
    EXPECT_EQ(m_app->GetImageTemplate()->GetDocuments().size(), 1);

    Select(ChildNamed(root, "Day1"));
    EXPECT_EQ(m_app->m_strBrowseDir, ProjectDir("Trip") + "/Day1");
    EXPECT_EQ(Frame()->GetListBar()->GetDirectory(), ProjectDir("Trip") + "/Day1");
}

namespace
{
// Presses on the item, waits, moves past the drag distance and lets go at
// the point (global); as the mouse does it.
void DragItem(CProjectTreeCtrl* tree, QTreeWidgetItem* item, int waitMs, const QPoint& releaseAt)
{
    QWidget* vp = tree->viewport();
    const QPoint start = tree->visualItemRect(item).center();
    auto send = [vp](QEvent::Type type, const QPoint& local, Qt::MouseButtons buttons)
    {
        QMouseEvent event(type, local, vp->mapToGlobal(local),
                          type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, buttons,
                          Qt::NoModifier);
        QApplication::sendEvent(vp, &event);
    };
    send(QEvent::MouseButtonPress, start, Qt::LeftButton);
    QThread::msleep(waitMs);
    send(QEvent::MouseMove, start + QPoint(0, 30), Qt::LeftButton);
    const QPoint end = vp->mapFromGlobal(releaseAt);
    send(QEvent::MouseMove, end, Qt::LeftButton);
    send(QEvent::MouseButtonRelease, end, Qt::NoButton);
    QCoreApplication::processEvents();
}
} // namespace

TEST_F(ProjectTest, DragRulesEarlyReleaseOwnSubtreeAndDropElsewhere)
{
    StartApp();
    const QString bmp = MakeBmp(QStringLiteral("shown.bmp"), QSize(4, 4), Qt::red);
    OpenProject(MakeProject(QStringLiteral("Trip"), "Trip\r\n",
                            {QStringLiteral("Day1/Sub/x.jpg"), QStringLiteral("z.txt")}));
    QFile::copy(bmp, ProjectDir("Trip") + "/shown.bmp");
    QTreeWidgetItem* root = Tree()->GetRootItem();
    root->setExpanded(true);
    QTreeWidgetItem* day1 = ChildNamed(root, "Day1");
    day1->setExpanded(true);
    QTreeWidgetItem* sub = ChildNamed(day1, "Sub");
    ProcessEvents();

    // Let go within 80 ms of the press: no drag, nothing moves.
    DragItem(Tree(), ChildNamed(root, "z.txt"), 0,
             Tree()->viewport()->mapToGlobal(Tree()->visualItemRect(day1).center()));
    EXPECT_FALSE(Tree()->IsDragging());
    EXPECT_TRUE(QFileInfo::exists(ProjectDir("Trip") + "/z.txt"));

    // A folder dropped into its own sub-folder stays and says so.
    DragItem(Tree(), day1, 100,
             Tree()->viewport()->mapToGlobal(Tree()->visualItemRect(sub).center()));
    EXPECT_FALSE(Tree()->IsDragging());
    EXPECT_EQ(m_messages, QStringList{"\"Day1\" cannot be moved into itself."});
    EXPECT_TRUE(QFileInfo(ProjectDir("Trip") + "/Day1/Sub").isDir());
    EXPECT_EQ(ChildNamed(root, "Day1"), day1);

    // Dropped on the list bar, the item opens as an image.
    QWidget* list = Frame()->GetListBar()->widget();
    DragItem(Tree(), ChildNamed(root, "shown.bmp"), 100, list->mapToGlobal(list->rect().center()));
    EXPECT_EQ(m_app->GetImageTemplate()->GetDocuments().size(), 1);
    EXPECT_EQ(m_app->m_strCurrentImage, ProjectDir("Trip") + "/shown.bmp");
}

// Paste takes the file list's copy or cut first, then paths on the clipboard.
TEST_F(ProjectTest, PasteFromEachSource)
{
    enum Source
    {
        ClipboardPath,
        ClipboardUri,
        ClipboardMissing,
        ListMultiCopy,
        ListCut
    };
    struct Case
    {
        const char* name;
        Source source;
        const char* target;   // item the paste is on: "" root, "Day1", "Day1/x.jpg"
        const char* expected; // folder of the project that gets a.jpg (and b.jpg), or null
        bool bMoved;
    };
    const Case cases[] = {
        {"a path as text", ClipboardPath, "Day1", "Day1", false},
        {"a file URI onto a file item", ClipboardUri, "Day1/x.jpg", "Day1", false},
        {"a path that no longer exists", ClipboardMissing, "Day1", nullptr, false},
        {"the list's multi-file copy", ListMultiCopy, "", "", false},
        {"the list's cut", ListCut, "Day1", "Day1", true},
    };
    StartApp();
    CFileListCtrl* list = m_app->GetFileList();
    ASSERT_NE(list, nullptr);
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        QDir(ProjectDir("Trip")).removeRecursively();
        const QString a = TestDir() + "/a.jpg", b = TestDir() + "/b.jpg";
        WriteFile(a, "a");
        WriteFile(b, "b");
        OpenProject(
            MakeProject(QStringLiteral("Trip"), "Trip\r\n", {QStringLiteral("Day1/x.jpg")}));
        QTreeWidgetItem* root = Tree()->GetRootItem();
        root->setExpanded(true);
        QTreeWidgetItem* day1 = ChildNamed(root, "Day1");
        day1->setExpanded(true);
        const QString target = QString::fromLatin1(c.target);
        Select(target.isEmpty() ? root : target == "Day1" ? day1 : ChildNamed(day1, "x.jpg"));
        QApplication::clipboard()->clear();
        switch (c.source)
        {
        case ClipboardPath:
            QApplication::clipboard()->setText(a);
            break;
        case ClipboardUri:
            QApplication::clipboard()->setMimeData(CFileDrag::Create({a, b}, false));
            break;
        case ClipboardMissing:
            QApplication::clipboard()->setText(TestDir() + "/gone.jpg");
            break;
        case ListMultiCopy:
        case ListCut:
            // The list's own copy or cut of a.jpg and b.jpg.
            list->SetDirectory(TestDir());
            list->selectionModel()->clearSelection();
            for (int i = 0; i < list->GetItemCount(); ++i)
                if (list->GetItemText(i) == "a.jpg" || list->GetItemText(i) == "b.jpg")
                    list->selectionModel()->select(list->model()->index(i, 0),
                                                   QItemSelectionModel::Select |
                                                       QItemSelectionModel::Rows);
            m_app->Router().Route(c.source == ListCut ? Id::ID_LISTBAR_MOVECUT
                                                      : Id::ID_LISTBAR_COPY);
            break;
        }
        m_app->Router().Route(Id::ID_PROJECTTREE_PASTE);
        ProcessEvents();
        if (c.expected)
        {
            const QString into =
                ProjectDir("Trip") + (*c.expected ? "/" + QString(c.expected) : "");
            EXPECT_EQ(ReadFile(into + "/a.jpg"), QByteArray("a"));
            QTreeWidgetItem* folder = *c.expected ? ChildNamed(root, c.expected) : root;
            EXPECT_NE(ChildNamed(folder, "a.jpg"), nullptr);
        }
        else
        {
            EXPECT_TRUE(QDir(ProjectDir("Trip") + "/Day1").entryList(QDir::Files) ==
                        QStringList{"x.jpg"});
        }
        EXPECT_EQ(QFileInfo::exists(a), !c.bMoved);
        EXPECT_TRUE(list->GetPendingCut().isEmpty());
        EXPECT_TRUE(list->GetSlideshowSelection().isEmpty());
        EXPECT_FALSE(list->HasMultiCopy());
        EXPECT_FALSE(m_app->m_bCutPending);
        EXPECT_TRUE(m_messages.isEmpty()) << m_messages.join("|").toStdString();
    }
}

TEST_F(ProjectTest, DraggedFileMovesIntoTheFolderItIsDroppedOn)
{
    StartApp();
    OpenProject(MakeProject(
        QStringLiteral("Trip"), "Trip\r\n",
        {QStringLiteral("Day1/x.jpg"), QStringLiteral("Day2/y.jpg"), QStringLiteral("z.jpg")}));
    QTreeWidgetItem* root = Tree()->GetRootItem();
    root->setExpanded(true);
    QTreeWidgetItem* day1 = ChildNamed(root, "Day1");
    day1->setExpanded(true);
    ProcessEvents();

    // Onto a collapsed folder: it opens with the item in it, selected.
    QTreeWidgetItem* day2 = ChildNamed(root, "Day2");
    DragItem(Tree(), ChildNamed(day1, "x.jpg"), 100,
             Tree()->viewport()->mapToGlobal(Tree()->visualItemRect(day2).center()));
    EXPECT_TRUE(QFileInfo::exists(ProjectDir("Trip") + "/Day2/x.jpg"));
    EXPECT_FALSE(QFileInfo::exists(ProjectDir("Trip") + "/Day1/x.jpg"));
    EXPECT_TRUE(day2->isExpanded());
    EXPECT_EQ(ChildTexts(day2), (QStringList{"x.jpg", "y.jpg"}));
    EXPECT_EQ(ChildTexts(day1), QStringList());
    ASSERT_NE(Tree()->currentItem(), nullptr);
    EXPECT_EQ(Tree()->GetItemPath(Tree()->currentItem()), ProjectDir("Trip") + "/Day2/x.jpg");

    // Onto a file of the expanded root: into the root's folder, in order.
    DragItem(Tree(), ChildNamed(day2, "y.jpg"), 100,
             Tree()->viewport()->mapToGlobal(
                 Tree()->visualItemRect(ChildNamed(root, "z.jpg")).center()));
    EXPECT_TRUE(QFileInfo::exists(ProjectDir("Trip") + "/y.jpg"));
    EXPECT_EQ(ChildTexts(root), (QStringList{"Day1", "Day2", "y.jpg", "z.jpg"}));
    EXPECT_EQ(Tree()->currentItem(), ChildNamed(root, "y.jpg"));
    EXPECT_TRUE(m_messages.isEmpty()) << m_messages.join("|").toStdString();
}

// The tree alone: what it shows, opens and pastes goes through what it is given.
TEST_F(ProjectTest, TreeWithoutTheProgramUsesItsBrowserAndPendingFiles)
{
    StandIn host;
    CProjectTreeCtrl tree(nullptr, &host, &host);
    tree.LoadProject(MakeProject(QStringLiteral("Trip"), "Trip\r\n",
                                 {QStringLiteral("Day1/x.jpg"), QStringLiteral("notes.txt")}));
    tree.ShowProjectRoot();
    QTreeWidgetItem* root = tree.GetRootItem();
    root->setExpanded(true);
    QTreeWidgetItem* day1 = ChildNamed(root, "Day1");
    auto select = [&tree](QTreeWidgetItem* pItem)
    {
        tree.setCurrentItem(pItem);
        tree.m_hCurItem = pItem;
    };

    // A folder shows in the list; every item is the current path.
    select(day1);
    EXPECT_EQ(host.folders, QStringList{ProjectDir("Trip") + "/Day1"});
    select(ChildNamed(root, "notes.txt"));
    EXPECT_EQ(host.current, ProjectDir("Trip") + "/notes.txt");
    EXPECT_EQ(host.folders.size(), 1);
    // Show opens pictures only.
    tree.OnShow();
    day1->setExpanded(true);
    select(ChildNamed(day1, "x.jpg"));
    tree.OnShow();
    EXPECT_EQ(host.opened, QStringList{ProjectDir("Trip") + "/Day1/x.jpg"});

    // A paste takes the copy first (used up), then the cut (moved, used up).
    const QString a = TestDir() + "/a.jpg", b = TestDir() + "/b.jpg";
    WriteFile(a, "a");
    WriteFile(b, "b");
    select(day1);
    host.copy = {a};
    host.cut = CFileName::JoinPathList({b});
    EXPECT_TRUE(tree.OnPaste());
    EXPECT_TRUE(host.copy.isEmpty());
    EXPECT_EQ(ChildTexts(day1), (QStringList{"a.jpg", "x.jpg"}));
    EXPECT_TRUE(tree.OnPaste());
    EXPECT_TRUE(host.cut.isEmpty());
    EXPECT_FALSE(QFileInfo::exists(b));
    EXPECT_EQ(ChildTexts(day1), (QStringList{"a.jpg", "b.jpg", "x.jpg"}));
    EXPECT_TRUE(QFileInfo::exists(a));
    EXPECT_TRUE(m_messages.isEmpty()) << m_messages.join("|").toStdString();
}

TEST_F(ProjectTest, AfterADragMoveOrAPasteTheTreeAndTheListShowWhatIsOnDisk)
{
    StartApp();
    OpenProject(MakeProject(QStringLiteral("Trip"), "Trip\r\n",
                            {QStringLiteral("Day1/x.jpg"), QStringLiteral("Day2/x.jpg")}));
    QTreeWidgetItem* root = Tree()->GetRootItem();
    root->setExpanded(true);
    QTreeWidgetItem* day1 = ChildNamed(root, "Day1");
    QTreeWidgetItem* day2 = ChildNamed(root, "Day2");
    day1->setExpanded(true);
    day2->setExpanded(true);
    ProcessEvents();

    // Skip at the replace question: nothing moved, and the tree says so.
    m_answers = {IDNO};
    DragItem(Tree(), ChildNamed(day1, "x.jpg"), 100,
             Tree()->viewport()->mapToGlobal(Tree()->visualItemRect(day2).center()));
    ProcessEvents();
    EXPECT_TRUE(QFileInfo::exists(ProjectDir("Trip") + "/Day1/x.jpg"));
    EXPECT_EQ(ChildTexts(ChildNamed(root, "Day1")), QStringList{"x.jpg"});
    EXPECT_EQ(ChildTexts(ChildNamed(root, "Day2")), QStringList{"x.jpg"});

    // A cut pasted while another row is selected: the cut row leaves the list.
    QTemporaryDir outside;
    for (const char* name : {"a.txt", "b.txt"})
    {
        QFile file(outside.path() + '/' + name);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    Frame()->SetListDirectory(outside.path());
    CFileListCtrl* list = Frame()->GetListBar()->GetList();
    list->SelectNamed("a.txt");
    list->CutSelection();
    m_app->m_bCutPending = true;
    list->SelectNamed("b.txt");
    Tree()->setCurrentItem(root);
    Tree()->m_hCurItem = root;
    m_app->Router().Route(Id::ID_PROJECTTREE_PASTE);
    ProcessEvents();
    EXPECT_TRUE(QFileInfo::exists(ProjectDir("Trip") + "/a.txt"));
    EXPECT_EQ(list->FindItemByName("b.txt") >= 0 ? list->GetItemText(list->FindItemByName("b.txt"))
                                                  : QString(),
              "b.txt");
    EXPECT_EQ(list->model()->rowCount(), 1);
    EXPECT_TRUE(list->GetPendingCut().isEmpty());
}

// Renames from the folder tree and the list around an open project: a folder
// above it or inside it is followed by the project and its tree; the
// project's own folder and file keep their names and say why.
TEST_F(ProjectTest, RenamesAroundTheOpenProjectAreFollowedOrRefused)
{
    struct Case
    {
        const char* name;
        QString from;  // relative to the pictures folder
        QString to;    // the new name
        bool bRenamed; // else refused with a message
    };
    const QString pictures = QFileInfo(CProjectDoc::ProjectsDirectory()).absolutePath();
    const Case cases[] = {
        {"a folder above the project", "Vistrel Projects", "Old Projects", true},
        {"a folder inside the project", "Vistrel Projects/Trip/Day1", "Day2", true},
        {"the project's folder", "Vistrel Projects/Trip", "Journey", false},
        {"the project's file", "Vistrel Projects/Trip/Trip.vrp", "Journey.vrp", false},
    };
    StartApp();
    CFolderTreeCtrl* folders = Frame()->GetTreeBar()->GetFolderTree();
    CFileListCtrl* list = Frame()->GetListBar()->GetList();
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        QDir(pictures + "/Old Projects").removeRecursively();
        QDir(ProjectDir("Trip")).removeRecursively();
        OpenProject(MakeProject("Trip", "Trip\r\n", {"Day1/a.jpg"}));
        QTreeWidgetItem* root = Tree()->GetRootItem();
        root->setExpanded(true);
        ChildNamed(root, "Day1")->setExpanded(true);
        m_messages.clear();

        const QString from = pictures + '/' + c.from;
        const QString to = QFileInfo(from).absolutePath() + '/' + c.to;
        if (QFileInfo(from).isDir())
        {
            // The tree follows the folders the last case made and removed.
            ASSERT_TRUE(ProcessUntil([&] { return folders->SelectPath(from); }));
            folders->RenameItem(folders->currentItem());
            auto* edit = folders->findChild<QLineEdit*>();
            ASSERT_NE(edit, nullptr);
            edit->setText(c.to);
            QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
            QApplication::sendEvent(edit, &enter);
        }
        else
        {
            Frame()->SetListDirectory(QFileInfo(from).absolutePath());
            const int row = list->FindItemByName(QFileInfo(from).fileName());
            ASSERT_GE(row, 0);
            list->model()->setData(list->model()->index(row, 0), c.to, Qt::EditRole);
        }
        ProcessEvents();

        EXPECT_EQ(QFileInfo::exists(to), c.bRenamed);
        EXPECT_EQ(QFileInfo::exists(from), !c.bRenamed);
        ASSERT_EQ(m_messages.size(), c.bRenamed ? 0 : 1) << qPrintable(m_messages.join('|'));
        EXPECT_TRUE(c.bRenamed || m_messages[0].contains("of the open project"));
        // The open project, its tree and the recent projects say where it is now.
        const QString before = ProjectDir("Trip") + "/Trip.vrp";
        const QString after = CFileName::RenamedPath(before, from, to);
        const std::string project = (c.bRenamed && !after.isEmpty() ? after : before).toStdString();
        const QString projectDir = QFileInfo(QString::fromStdString(project)).absolutePath();
        EXPECT_EQ(m_app->m_strProjectPath.toStdString(), project);
        ASSERT_NE(CProjectDoc::GetOpenProject(), nullptr);
        EXPECT_EQ(CProjectDoc::GetOpenProject()->GetPathName().toStdString(), project);
        EXPECT_EQ(Settings::GetProfileString("Recent Project List", "Project1").toStdString(),
                  project);
        EXPECT_EQ(Tree()->GetItemPath(root), projectDir);
        const QString day = QString(c.from).endsWith("/Day1") ? c.to : QStringLiteral("Day1");
        QTreeWidgetItem* folder = ChildNamed(root, day);
        ASSERT_NE(folder, nullptr) << qPrintable(ChildTexts(root).join('|'));
        EXPECT_EQ(Tree()->GetItemPath(folder->child(0)), projectDir + '/' + day + "/a.jpg");
        EXPECT_TRUE(QFileInfo::exists(Tree()->GetItemPath(folder->child(0))));
        // A save goes where the project now is.
        CProjectDoc* pDoc = CProjectDoc::GetOpenProject();
        pDoc->GetView()->appendPlainText("x");
        m_app->Router().Route(Id::ID_PROJECT_SAVE);
        EXPECT_EQ(ReadFile(QString::fromStdString(project)), pDoc->GetView()->GetProjectText());
        EXPECT_FALSE(pDoc->IsModified());
    }
    // Rename on the project tree's own root says the same, and opens no edit box.
    m_messages.clear();
    Select(Tree()->GetRootItem());
    m_app->Router().Route(Id::ID_PROJECTTREE_RENAME);
    ASSERT_EQ(m_messages.size(), 1);
    EXPECT_TRUE(m_messages[0].startsWith("\"Trip\" is the folder of the open project"));
    EXPECT_EQ(Tree()->viewport()->findChild<QLineEdit*>(), nullptr);
}
