// The Desktop tab's folder tree: what stands at the top, reading on
// expansion, filling the list, New Folder, renaming and drops.
#include "AppTestSupport.h"
#include "FileDrag.h"
#include "FileTransfer.h"
#include "FileListCtrl.h"
#include "FolderTreeCtrl.h"
#include "ListBar.h"
#include "MainFrame.h"
#include "MessageBox.h"
#include "Resource.h"
#include "Strings.h"
#include "TreeBar.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QTabWidget>
#include <QUrl>

namespace
{
QTreeWidgetItem* Child(QTreeWidgetItem* parent, const QString& text)
{
    for (int i = 0; parent && i < parent->childCount(); ++i)
        if (parent->child(i)->text(0) == text)
            return parent->child(i);
    return nullptr;
}

QStringList ChildTexts(QTreeWidgetItem* parent)
{
    QStringList texts;
    for (int i = 0; i < parent->childCount(); ++i)
        texts.append(parent->child(i)->text(0));
    return texts;
}
} // namespace

class FolderTreeTest : public AppTest
{
protected:
    void SetUp() override
    {
        AppTest::SetUp();
        StartApp();
        m_tree = Frame()->GetTreeBar()->GetFolderTree();
        Frame()->GetTreeBar()->GetTabs()->setCurrentIndex(1);
        m_home = m_tree->topLevelItem(0);
    }

    // Types the label and presses Enter in the open edit field.
    void TypeLabel(const QString& text)
    {
        auto* edit = m_tree->findChild<QLineEdit*>();
        ASSERT_NE(edit, nullptr);
        edit->setText(text);
        QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QApplication::sendEvent(edit, &enter);
        ProcessEvents();
    }

    CFolderTreeCtrl* m_tree = nullptr;
    QTreeWidgetItem* m_home = nullptr;
};

TEST_F(FolderTreeTest, StartsAtHomeAndFillsTheListWithIt)
{
    ASSERT_NE(m_home, nullptr);
    EXPECT_EQ(m_home->text(0), "Home");
    EXPECT_EQ(m_tree->GetItemPath(m_home), QDir::homePath());
    EXPECT_TRUE(m_home->font(0).bold());
    EXPECT_TRUE(m_home->isExpanded());
    EXPECT_EQ(m_tree->currentItem(), m_home);
    EXPECT_EQ(m_app->m_strBrowseDir, QDir::homePath());
    EXPECT_EQ(Frame()->GetListBar()->GetList()->GetDirectory(), QDir::homePath());
    // The root of the file system stands at the top as well, after home.
    QStringList paths;
    for (int i = 0; i < m_tree->topLevelItemCount(); ++i)
        paths.append(m_tree->GetItemPath(m_tree->topLevelItem(i)));
    EXPECT_GT(paths.indexOf("/"), 0);
}

TEST_F(FolderTreeTest, ExpandingReadsTheFolderAfreshAndSelectingFillsTheList)
{
    QDir(TestDir()).mkpath("b2");
    QDir(TestDir()).mkpath("B10");
    QDir(TestDir()).mkpath(".hidden");
    MakeBmp("pic.bmp", QSize(4, 4), Qt::red);
    m_tree->RefreshFolder(m_home);
    QTreeWidgetItem* pictures = Child(m_home, "pictures");
    ASSERT_NE(pictures, nullptr);
    m_tree->setCurrentItem(pictures);
    ProcessEvents();
    EXPECT_TRUE(pictures->isExpanded());
    EXPECT_EQ(ChildTexts(pictures), (QStringList{"b2", "B10"}));
    EXPECT_EQ(Frame()->GetListBar()->GetList()->GetDirectory(), TestDir());
    EXPECT_EQ(Frame()->GetListBar()->GetList()->GetItemCount(), 3); // not .hidden

    // A folder made meanwhile appears on the next expansion.
    QDir(TestDir()).mkpath("a");
    pictures->setExpanded(false);
    pictures->setExpanded(true);
    EXPECT_EQ(ChildTexts(pictures), (QStringList{"a", "b2", "B10"}));
    // Collapsing selects the folder.
    m_tree->setCurrentItem(Child(pictures, "a"));
    pictures->setExpanded(false);
    EXPECT_EQ(m_tree->currentItem(), pictures);

    // Display paths and file paths agree; ")" stays in a name.
    QDir(TestDir()).mkpath("Trip (2023)");
    pictures->setExpanded(true);
    QTreeWidgetItem* trip = Child(pictures, "Trip (2023)");
    ASSERT_NE(trip, nullptr);
    EXPECT_EQ(m_tree->GetItemDisplayPath(trip), "Home/pictures/Trip (2023)");
    EXPECT_EQ(m_tree->DisplayPathToFilePath(m_tree->GetItemDisplayPath(trip)),
              TestDir() + "/Trip (2023)");
    EXPECT_EQ(m_tree->GetItemPath(trip), TestDir() + "/Trip (2023)");
    EXPECT_EQ(m_tree->DisplayPathToFilePath("Nowhere/x"), QString());
}

TEST_F(FolderTreeTest, NewFolderCreatesTheFolderWithItsIndexFile)
{
    ASSERT_TRUE(m_tree->SelectPath(TestDir()));
    m_app->Router().UpdateAll();
    m_app->Router().Route(Id::ID_FOLDERTREE_NEWFOLDER);
    ProcessEvents();
    EXPECT_TRUE(m_tree->m_bNewFolderPending);
    TypeLabel("Holiday");
    EXPECT_FALSE(m_tree->m_bNewFolderPending);
    QFile index(TestDir() + "/Holiday/Index.txt");
    ASSERT_TRUE(index.open(QIODevice::ReadOnly));
    EXPECT_EQ(index.size(), 96);
    QTreeWidgetItem* item = m_tree->currentItem();
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(m_tree->GetItemPath(item), TestDir() + "/Holiday");

    // A second one of the same name is refused and its item goes.
    m_tree->SelectPath(TestDir());
    m_tree->NewFolder();
    TypeLabel("Holiday");
    EXPECT_EQ(m_messages.value(0), "A folder named \"Holiday\" already exists.");
    QTreeWidgetItem* pictures = m_tree->currentItem();
    EXPECT_EQ(ChildTexts(pictures).count("Holiday"), 1);
    EXPECT_FALSE(ChildTexts(pictures).contains(QString::fromLatin1(Str::kNewFolderName)));

    // The label field takes 127 characters.
    m_tree->NewFolder();
    auto* edit = m_tree->findChild<QLineEdit*>();
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(edit->maxLength(), 127);
    TypeLabel(QString(128, QLatin1Char('n')));
    EXPECT_TRUE(QFileInfo(TestDir() + "/" + QString(127, QLatin1Char('n'))).isDir());
}

TEST_F(FolderTreeTest, RenamingRenamesOnDiskOrPutsTheLabelBack)
{
    QDir(TestDir()).mkpath("old/inner");
    QDir(TestDir()).mkpath("taken");
    ASSERT_TRUE(m_tree->SelectPath(TestDir() + "/old/inner"));
    QTreeWidgetItem* old = m_tree->currentItem()->parent();
    ASSERT_EQ(old->text(0), "old");

    // Rename through the label: "old" becomes "new"; the items below follow.
    m_tree->RenameItem(old);
    TypeLabel("new");
    EXPECT_TRUE(QFileInfo(TestDir() + "/new/inner").isDir());
    EXPECT_EQ(m_tree->GetItemPath(old), TestDir() + "/new");
    EXPECT_EQ(m_tree->GetItemPath(Child(old, "inner")), TestDir() + "/new/inner");

    // A name that is taken: nothing moves, the label says what is on disk.
    m_tree->RenameItem(old);
    TypeLabel("taken");
    EXPECT_EQ(old->text(0), "new");
    EXPECT_TRUE(QFileInfo(TestDir() + "/new").isDir());
    EXPECT_FALSE(m_messages.isEmpty());
}

TEST_F(FolderTreeTest, DropsCopyIntoTheFolderAndRefuseWhatIsNotThere)
{
    const QString pic = MakeBmp("drag.bmp", QSize(4, 4), Qt::blue);
    QDir(TestDir()).mkpath("into");
    std::unique_ptr<QMimeData> data(CFileDrag::Create({pic}, true));
    EXPECT_EQ(CFileDrag::Paths(data.get()), QStringList{pic});
    EXPECT_EQ(data->urls().value(0).toLocalFile(), pic);

    EXPECT_EQ(CFileDrag::DropOnItem(m_tree, data.get(), TestDir() + "/into"), 1);
    EXPECT_TRUE(QFile::exists(TestDir() + "/into/drag.bmp"));
    EXPECT_TRUE(QFile::exists(pic)); // copied, never moved
    // Onto a file: beside it, which here is the file itself, so a copy of it.
    EXPECT_EQ(CFileDrag::DropOnItem(m_tree, data.get(), pic), 1);
    EXPECT_TRUE(QFile::exists(TestDir() + "/drag (copy).bmp"));
    EXPECT_TRUE(m_messages.isEmpty());

    for (const QString& target : {QString(), TestDir() + "/missing"})
    {
        m_messages.clear();
        EXPECT_EQ(CFileDrag::DropOnItem(m_tree, data.get(), target), 0);
        EXPECT_EQ(m_messages, QStringList{"Action canceled!"});
    }

    // A copy that fails says why and what was copied, not that it was cancelled.
    CFileTransfer::SetFaultHook([](const char* step, const QByteArray&)
                                { return strcmp(step, "open") == 0 ? ENOSPC : 0; });
    m_messages.clear();
    m_answers = {IDIGNORE};
    QDir(TestDir()).mkpath("full");
    EXPECT_EQ(CFileDrag::DropOnItem(m_tree, data.get(), TestDir() + "/full"), 0);
    CFileTransfer::SetFaultHook(nullptr);
    ASSERT_EQ(m_messages.size(), 2) << qPrintable(m_messages.join('|'));
    EXPECT_TRUE(m_messages[0].contains("No space left on device"));
    EXPECT_TRUE(m_messages[1].contains("Nothing was copied"));
}

TEST_F(FolderTreeTest, FollowsTheDiskForTheFoldersItShowsExpanded)
{
    QDir(TestDir()).mkpath("keep/inner");
    m_tree->RefreshFolder(m_home);
    QTreeWidgetItem* pictures = Child(m_home, "pictures");
    ASSERT_NE(pictures, nullptr);
    pictures->setExpanded(true);
    QTreeWidgetItem* keep = Child(pictures, "keep");
    ASSERT_NE(keep, nullptr);
    keep->setExpanded(true);
    m_tree->setCurrentItem(Child(keep, "inner"));
    ProcessEvents();

    // A folder made later comes in its place with its expander; the others
    // keep their expansion and the selection stays.
    QDir(TestDir()).mkpath("alpha/sub");
    ASSERT_TRUE(ProcessUntil([&] { return Child(pictures, "alpha") != nullptr; }, 3000));
    EXPECT_EQ(ChildTexts(pictures), (QStringList{"alpha", "keep"}));
    EXPECT_EQ(Child(pictures, "alpha")->childIndicatorPolicy(), QTreeWidgetItem::ShowIndicator);
    EXPECT_TRUE(keep->isExpanded());
    EXPECT_EQ(m_tree->currentItem(), Child(keep, "inner"));

    // A folder made inside an expanded one, and one that goes; the selection
    // inside a folder that went moves up to what is still there.
    QDir(TestDir()).mkpath("keep/later");
    ASSERT_TRUE(ProcessUntil([&] { return Child(keep, "later") != nullptr; }, 3000));
    QDir(TestDir() + "/keep/inner").removeRecursively();
    ASSERT_TRUE(ProcessUntil([&] { return Child(keep, "inner") == nullptr; }, 3000));
    EXPECT_EQ(m_tree->currentItem(), keep);
    EXPECT_EQ(Frame()->GetListBar()->GetList()->GetDirectory(), TestDir() + "/keep");
}

TEST_F(FolderTreeTest, TheSelectionFollowsTheListAndTheListGoesUp)
{
    QDir(TestDir()).mkpath("trip/day1");
    CFileListCtrl* list = Frame()->GetListBar()->GetList();
    // Into a folder from the list: the tree highlights it, expanding to it.
    Frame()->SetListDirectory(TestDir() + "/trip");
    ProcessEvents();
    ASSERT_NE(m_tree->currentItem(), nullptr);
    EXPECT_EQ(m_tree->GetItemPath(m_tree->currentItem()), TestDir() + "/trip");
    EXPECT_EQ(list->GetDirectory(), TestDir() + "/trip");

    // Backspace, then Alt+Up: the parent, the folder we came from selected.
    list->setFocus();
    const struct
    {
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        QString folder, selected;
    } steps[] = {{Qt::Key_Backspace, Qt::NoModifier, TestDir(), "trip"},
                 {Qt::Key_Up, Qt::AltModifier, QDir::homePath(), "pictures"}};
    for (const auto& step : steps)
    {
        QKeyEvent key(QEvent::KeyPress, step.key, step.modifiers);
        QApplication::sendEvent(list, &key);
        ProcessEvents();
        EXPECT_EQ(list->GetDirectory(), step.folder);
        EXPECT_EQ(list->GetSelectedName(), step.selected);
        EXPECT_EQ(m_tree->GetItemPath(m_tree->currentItem()), step.folder);
    }
    // A folder the tree cannot show leaves nothing highlighted, so a click
    // on the folder shown before brings the list back to it.
    Frame()->SetListDirectory(QStringLiteral("relative/nowhere"));
    EXPECT_EQ(m_tree->currentItem(), nullptr);
    m_tree->setCurrentItem(m_home);
    EXPECT_EQ(list->GetDirectory(), QDir::homePath());
}

TEST_F(FolderTreeTest, F2RenamesTheSelectedFolder)
{
    QDir(TestDir()).mkpath("old");
    m_tree->RefreshFolder(m_home);
    QTreeWidgetItem* pictures = Child(m_home, "pictures");
    pictures->setExpanded(true);
    m_tree->setCurrentItem(Child(pictures, "old"));
    QKeyEvent f2(QEvent::KeyPress, Qt::Key_F2, Qt::NoModifier);
    QApplication::sendEvent(m_tree, &f2);
    ProcessEvents();
    TypeLabel("new");
    EXPECT_TRUE(QFileInfo(TestDir() + "/new").isDir());
    EXPECT_FALSE(QFileInfo(TestDir() + "/old").exists());
}

TEST(FolderTree, ShowsTheVolumesAUserOpensAtTheTop)
{
    const QString user = QDir(QDir::homePath()).dirName();
    const struct
    {
        QString root;
        const char* type;
        bool shown;
    } cases[] = {
        {"/media/usb", "vfat", true},
        {"/run/media/" + user + "/CAMERA", "exfat", true},
        {"/run/media/someoneelse/CAMERA", "exfat", false},
        {"/mnt", "ext4", true},
        {"/mnt/backup", "ext4", true},
        {"/srv/share", "nfs4", true},
        {"/home/shared", "cifs", true},
        {"/", "ext4", false},
        {"/home", "ext4", false},
        {"/boot/efi", "vfat", false},
        {"/etc/hosts", "ext4", false},
        {"/run/user/1000/doc", "fuse.portal", false},
        {"/snap/core/1", "squashfs", false},
        {"/var/lib/docker/overlay2/x", "nfs", false},
        {"/data", "ext4", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CFolderTreeCtrl::IsUserVolume(c.root, c.type), c.shown) << qPrintable(c.root);
}
