// The file operations the list, the trees and the projects rely on: nothing
// is overwritten without asking, nothing partial is left behind, sources stay
// as they were, and names that are not UTF-8 keep their bytes.
#include "AppTestSupport.h"
#include "FileName.h"
#include "FileTransfer.h"
#include "NativePath.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <map>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
// A tree of files: relative path -> content; a path ending in "/" is a folder.
using Tree = std::map<QString, QByteArray>;

void Make(const QString& root, const Tree& tree)
{
    for (const auto& [rel, content] : tree)
    {
        const QString path = root + QLatin1Char('/') + rel;
        if (rel.endsWith(QLatin1Char('/')))
        {
            QDir().mkpath(path);
            continue;
        }
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << qPrintable(path);
        file.write(content);
    }
}

// Everything below root, folders ending in "/"; temporary files show up too.
Tree Read(const QString& root)
{
    Tree tree;
    QDirIterator it(root, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
    {
        const QString path = it.next();
        const QString rel = QDir(root).relativeFilePath(path);
        if (it.fileInfo().isDir())
        {
            tree[rel + QLatin1Char('/')] = {};
            continue;
        }
        QFile file(path);
        tree[rel] = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("?");
    }
    return tree;
}

struct Case
{
    const char* name;
    CFileTransfer::Operation op;
    Tree before;
    QStringList sources;                 // relative to the root
    QString destination;                 // relative to the root
    QList<CFileTransfer::Reply> replies; // given to the conflicts in turn
    bool expectOk;
    Tree after;
    int expectQuestions;
};

const QByteArray A = "alpha", B = "bravo", C = "charlie";

const Case kCases[] = {
    {"copy a file into a folder",
     CFileTransfer::Copy,
     {{"a.txt", A}, {"dst/", {}}},
     {"a.txt"},
     "dst",
     {},
     true,
     {{"a.txt", A}, {"dst/", {}}, {"dst/a.txt", A}},
     0},
    {"copy a folder with its contents",
     CFileTransfer::Copy,
     {{"src/x/y.txt", A}, {"src/z.txt", B}, {"dst/", {}}},
     {"src"},
     "dst/",
     {},
     true,
     {{"src/", {}},
      {"src/x/", {}},
      {"src/x/y.txt", A},
      {"src/z.txt", B},
      {"dst/", {}},
      {"dst/src/", {}},
      {"dst/src/x/", {}},
      {"dst/src/x/y.txt", A},
      {"dst/src/z.txt", B}},
     0},
    {"a pattern copies the folder's entries",
     CFileTransfer::Copy,
     {{"src/a", A}, {"src/.hidden", B}, {"dst/", {}}},
     {"src/*.*"},
     "dst",
     {},
     true,
     {{"src/", {}},
      {"src/a", A},
      {"src/.hidden", B},
      {"dst/", {}},
      {"dst/a", A},
      {"dst/.hidden", B}},
     0},
    {"a missing destination folder is created",
     CFileTransfer::Copy,
     {{"a", A}, {"b", B}},
     {"a", "b"},
     "new/deep",
     {},
     true,
     {{"a", A}, {"b", B}, {"new/", {}}, {"new/deep/", {}}, {"new/deep/a", A}, {"new/deep/b", B}},
     0},
    {"one source and a new name",
     CFileTransfer::Copy,
     {{"a", A}},
     {"a"},
     "renamed.txt",
     {},
     true,
     {{"a", A}, {"renamed.txt", A}},
     0},
    {"skip keeps the existing file",
     CFileTransfer::Copy,
     {{"a", A}, {"dst/a", B}},
     {"a"},
     "dst",
     {{CFileTransfer::Skip, false}},
     true,
     {{"a", A}, {"dst/", {}}, {"dst/a", B}},
     1},
    {"replace overwrites after asking",
     CFileTransfer::Copy,
     {{"a", A}, {"dst/a", B}},
     {"a"},
     "dst",
     {{CFileTransfer::Replace, false}},
     true,
     {{"a", A}, {"dst/", {}}, {"dst/a", A}},
     1},
    {"cancel stops and changes nothing",
     CFileTransfer::Copy,
     {{"a", A}, {"b", C}, {"dst/a", B}},
     {"a", "b"},
     "dst",
     {{CFileTransfer::Cancel, false}},
     false,
     {{"a", A}, {"b", C}, {"dst/", {}}, {"dst/a", B}},
     1},
    {"nobody to ask means no overwrite",
     CFileTransfer::Copy,
     {{"a", A}, {"dst/a", B}},
     {"a"},
     "dst",
     {},
     false,
     {{"a", A}, {"dst/", {}}, {"dst/a", B}},
     0},
    {"apply to all answers the later conflicts",
     CFileTransfer::Copy,
     {{"s/a", A}, {"s/b", A}, {"s/c", A}, {"d/s/a", B}, {"d/s/b", B}, {"d/s/c", B}},
     {"s"},
     "d",
     {{CFileTransfer::Replace, true}},
     true,
     {{"s/", {}},
      {"s/a", A},
      {"s/b", A},
      {"s/c", A},
      {"d/", {}},
      {"d/s/", {}},
      {"d/s/a", A},
      {"d/s/b", A},
      {"d/s/c", A}},
     1},
    {"folders merge, their files are asked about",
     CFileTransfer::Copy,
     {{"s/new", A}, {"s/old", A}, {"d/s/old", B}},
     {"s"},
     "d",
     {{CFileTransfer::Skip, false}},
     true,
     {{"s/", {}},
      {"s/new", A},
      {"s/old", A},
      {"d/", {}},
      {"d/s/", {}},
      {"d/s/new", A},
      {"d/s/old", B}},
     1},
    {"a copy onto itself makes a copy beside it",
     CFileTransfer::Copy,
     {{"pic.jpg", A}},
     {"pic.jpg"},
     "",
     {},
     true,
     {{"pic.jpg", A}, {"pic (copy).jpg", A}},
     0},
    {"a folder never goes into itself",
     CFileTransfer::Copy,
     {{"s/a", A}},
     {"s"},
     "s/inner/",
     {},
     false,
     {{"s/", {}}, {"s/a", A}},
     0},
    {"a move renames",
     CFileTransfer::Move,
     {{"s/a", A}, {"d/", {}}},
     {"s"},
     "d",
     {},
     true,
     {{"d/", {}}, {"d/s/", {}}, {"d/s/a", A}},
     0},
    {"a move onto itself changes nothing",
     CFileTransfer::Move,
     {{"a", A}},
     {"a"},
     "",
     {},
     true,
     {{"a", A}},
     0},
    {"a move that meets a file asks, and skipping keeps both",
     CFileTransfer::Move,
     {{"a", A}, {"d/a", B}},
     {"a"},
     "d",
     {{CFileTransfer::Skip, false}},
     true,
     {{"a", A}, {"d/", {}}, {"d/a", B}},
     1},
    {"a skipped file keeps its folder when moving",
     CFileTransfer::Move,
     {{"s/a", A}, {"s/b", C}, {"d/s/a", B}},
     {"s"},
     "d",
     {{CFileTransfer::Skip, false}},
     true,
     {{"s/", {}}, {"s/a", A}, {"d/", {}}, {"d/s/", {}}, {"d/s/a", B}, {"d/s/b", C}},
     1},
};

class Transfer : public ::testing::TestWithParam<Case>
{
};
} // namespace

TEST_P(Transfer, LeavesExactlyTheExpectedFiles)
{
    const Case& c = GetParam();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString root = dir.path();
    Make(root, c.before);
    QStringList sources;
    for (const QString& s : c.sources)
        sources.append(root + QLatin1Char('/') + s);
    CFileTransfer transfer(c.op, sources, root + QLatin1Char('/') + c.destination);
    QList<CFileTransfer::Reply> replies = c.replies;
    int questions = 0;
    if (!replies.isEmpty())
        transfer.SetConflictHandler(
            [&](const CFileTransfer::Conflict&)
            {
                ++questions;
                return replies.isEmpty() ? CFileTransfer::Reply{CFileTransfer::Cancel, false}
                                         : replies.takeFirst();
            });
    EXPECT_EQ(transfer.Run(), c.expectOk) << qPrintable(transfer.ErrorText());
    EXPECT_EQ(Read(root), c.after);
    EXPECT_EQ(questions, c.expectQuestions);
    EXPECT_EQ(!transfer.ErrorText().isEmpty(), !c.expectOk && questions == 0);
}

INSTANTIATE_TEST_SUITE_P(Cases, Transfer, ::testing::ValuesIn(kCases),
                         [](const auto& param) { return CaseName(param.param.name); });

TEST(TransferTest, CancelDuringAReplaceLeavesTheOldFileAndNoTemporaryFile)
{
    QTemporaryDir dir;
    const QString root = dir.path();
    Make(root, {{"big", QByteArray(4 << 20, 'x')}, {"d/big", B}});
    CFileTransfer transfer(CFileTransfer::Copy, {root + "/big"}, root + "/d");
    transfer.SetConflictHandler(
        [&](const CFileTransfer::Conflict&)
        {
            transfer.Stop(); // the user cancels while the copy starts
            return CFileTransfer::Reply{CFileTransfer::Replace, false};
        });
    EXPECT_FALSE(transfer.Run());
    EXPECT_EQ(Read(root + "/d"), (Tree{{"big", B}}));
}

TEST(TransferTest, KeepsPermissionsAndModificationTime)
{
    QTemporaryDir dir;
    const QString root = dir.path();
    Make(root, {{"run.sh", A}});
    const QByteArray src = QFile::encodeName(root + "/run.sh");
    ASSERT_EQ(chmod(src.constData(), 0750), 0);
    const struct timespec times[2] = {{1000000000, 0}, {1000000000, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, src.constData(), times, 0), 0);
    CFileTransfer transfer(CFileTransfer::Copy, {root + "/run.sh"}, root + "/out/");
    ASSERT_TRUE(transfer.Run());
    struct stat st;
    ASSERT_EQ(stat(QFile::encodeName(root + "/out/run.sh").constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0750u);
    EXPECT_EQ(st.st_mtim.tv_sec, 1000000000);
    EXPECT_EQ(transfer.DoneBytes(), transfer.TotalBytes());
}

TEST(TransferTest, MoveAcrossFileSystemsRemovesTheSourceAfterTheCopy)
{
    QTemporaryDir here;
    QTemporaryDir there(QStringLiteral("/dev/shm/vistrel-XXXXXX"));
    struct stat a, b;
    if (!there.isValid() || stat(QFile::encodeName(here.path()).constData(), &a) != 0 ||
        stat(QFile::encodeName(there.path()).constData(), &b) != 0 || a.st_dev == b.st_dev)
        GTEST_SKIP() << "no second file system";
    Make(here.path(), {{"s/a", A}, {"s/sub/b", B}});
    CFileTransfer transfer(CFileTransfer::Move, {here.path() + "/s"}, there.path());
    ASSERT_TRUE(transfer.Run()) << qPrintable(transfer.ErrorText());
    EXPECT_EQ(Read(here.path()), Tree{});
    EXPECT_EQ(Read(there.path()), (Tree{{"s/", {}}, {"s/a", A}, {"s/sub/", {}}, {"s/sub/b", B}}));
}

TEST(TransferTest, NamesThatAreNotUtf8KeepTheirBytes)
{
    QTemporaryDir dir;
    const QByteArray root = QFile::encodeName(dir.path());
    const QByteArray raw = root + "/caf\xe9 \xff.bmp";
    const int fd = open(raw.constData(), O_CREAT | O_WRONLY, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(write(fd, "pic", 3), 3);
    close(fd);
    const QString name = NativePath::Decode(raw);
    EXPECT_EQ(NativePath::Encode(name), raw);
    EXPECT_TRUE(CFileName().IsFile(name));
    CFileTransfer transfer(CFileTransfer::Copy, {name}, dir.path() + "/out/");
    ASSERT_TRUE(transfer.Run()) << qPrintable(transfer.ErrorText());
    struct stat st;
    EXPECT_EQ(stat((root + "/out/caf\xe9 \xff.bmp").constData(), &st), 0);
}

TEST(NativePathTest, DecodesAndEncodesEveryName)
{
    const QByteArray names[] = {"plain.jpg",
                                "Gr\xc3\xbc\xc3\x9f"
                                "e.png",
                                "\xf0\x9f\x93\xb7 camera.tif",
                                "latin1 \xe9t\xe9",
                                "overlong \xc0\xaf",
                                "surrogate \xed\xa0\x80",
                                "cut \xe2\x82",
                                "\xff\xfe"};
    for (const QByteArray& raw : names)
    {
        const QString decoded = NativePath::Decode(raw);
        EXPECT_EQ(NativePath::Encode(decoded), raw) << raw.toHex().constData();
        EXPECT_EQ(NativePath::HasEscapes(decoded), decoded.toUtf8() != raw)
            << raw.toHex().constData();
    }
}

TEST(FileNameTest, IndexFileAndFolderCreation)
{
    QTemporaryDir dir;
    const QString deep = dir.path() + "/a/b/c";
    EXPECT_EQ(CFileName::CreateNewDirectory(deep), 0);
    EXPECT_EQ(CFileName::ChainCreateDirectory(deep), 1);
    EXPECT_EQ(CFileName::CreateNewDirectory(deep), 1); // it exists
    ASSERT_TRUE(CFileName::WriteIndexFile(deep));
    QFile index(deep + "/Index.txt");
    ASSERT_TRUE(index.open(QIODevice::ReadOnly));
    const QByteArray text = index.readAll();
    EXPECT_EQ(text.size(), 96);
    EXPECT_TRUE(text.startsWith("This file was generated by Vistrel,\r\nyou may use it"));
    CFileStatus status;
    ASSERT_TRUE(CFileName::GetFileStatus(deep + "/Index.txt", status));
    EXPECT_EQ(status.size, 96);
}
