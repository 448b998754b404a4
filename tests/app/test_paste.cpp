// Paste of files into the folder tree's folder and the list's folder: a copy
// copies, a cut (here or in a file manager) moves, nothing is replaced
// without asking; the disk is checked afterwards.
#include "AppTestSupport.h"
#include "FileDrag.h"
#include "FileListCtrl.h"
#include "FolderTreeCtrl.h"
#include "ListBar.h"
#include "MainFrame.h"
#include "MessageBox.h"
#include "Resource.h"
#include "TreeBar.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QMimeData>

namespace
{
void Write(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QByteArray Read(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void SelectOnly(CFileListCtrl& list, const QString& name)
{
    list.SelectNamed(name);
}
} // namespace

TEST_F(AppTest, PasteCopiesOrMovesIntoTheTreeFolderOrTheListFolder)
{
    StartApp();
    const QString from = TestDir() + "/from", to = TestDir() + "/to";
    QDir().mkpath(from);
    QDir().mkpath(to);
    Write(from + "/a.txt", "A");
    Write(from + "/b.txt", "B");
    Write(to + "/b.txt", "old B");
    CFileListCtrl* list = Frame()->GetListBar()->GetList();
    CFolderTreeCtrl* tree = Frame()->GetTreeBar()->GetFolderTree();

    // Copy in the list, paste with the folder tree on the target folder.
    Frame()->SetListDirectory(from);
    SelectOnly(*list, "a.txt");
    m_app->Router().Route(Id::ID_LISTBAR_COPY);
    Frame()->SetListDirectory(to);
    ASSERT_EQ(tree->GetItemPath(tree->currentItem()), to);
    tree->setFocus();
    m_app->Router().Route(Id::ID_EDIT_PASTE);
    EXPECT_EQ(Read(to + "/a.txt"), "A");
    EXPECT_EQ(Read(from + "/a.txt"), "A");

    // A cut pasted into the list's folder moves; the replace question,
    // declined, leaves the file there as it was and the source in place.
    Frame()->SetListDirectory(from);
    SelectOnly(*list, "b.txt");
    m_app->Router().Route(Id::ID_LISTBAR_MOVECUT);
    Frame()->SetListDirectory(to);
    list->setFocus();
    m_answers = {IDNO};
    m_app->Router().Route(Id::ID_EDIT_PASTE);
    EXPECT_EQ(Read(to + "/b.txt"), "old B");
    EXPECT_EQ(Read(from + "/b.txt"), "B");
    // Accepted, it is moved, and the clipboard no longer names it.
    m_answers = {IDYES};
    m_app->Router().Route(Id::ID_EDIT_PASTE);
    EXPECT_EQ(Read(to + "/b.txt"), "B");
    EXPECT_FALSE(QFile::exists(from + "/b.txt"));
    EXPECT_FALSE(m_app->m_bCutPending);
    EXPECT_TRUE(CFileDrag::Paths(QApplication::clipboard()->mimeData()).isEmpty());

    // A file manager's cut, in its own format only, is a move too.
    Write(from + "/c.txt", "C");
    auto* data = new QMimeData;
    data->setData("x-special/gnome-copied-files", "cut\nfile://" + QFile::encodeName(from) + "/c.txt");
    QApplication::clipboard()->setMimeData(data);
    m_app->Router().Route(Id::ID_EDIT_PASTE);
    EXPECT_EQ(Read(to + "/c.txt"), "C");
    EXPECT_FALSE(QFile::exists(from + "/c.txt"));

    // Into the folder the file is in: nothing to do, and the user is told.
    QApplication::clipboard()->setMimeData(CFileDrag::CreateForClipboard({to + "/c.txt"}, false));
    m_messages.clear();
    m_app->Router().Route(Id::ID_EDIT_PASTE);
    EXPECT_EQ(m_messages, QStringList{"The files are already in this folder."});
    EXPECT_EQ(QDir(to).entryList(QDir::Files), (QStringList{"a.txt", "b.txt", "c.txt"}));
}
