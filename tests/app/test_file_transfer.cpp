// The file operations the list, the trees and the projects rely on: nothing
// is overwritten without asking, nothing partial is left behind, sources stay
// as they were, and names that are not UTF-8 keep their bytes.
#include "AppTestSupport.h"
#include "FileName.h"
#include "FileTransfer.h"
#include "MessageBox.h"
#include "NativePath.h"
#include "ScopedFileSizeLimit.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QPushButton>
#include <QThread>
#include <QTimer>
#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <limits>
#include <linux/magic.h>
#include <map>
#include <optional>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

// Readable failures: names and contents as text.
void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}
void PrintTo(const QByteArray& bytes, std::ostream* os)
{
    *os << '"' << bytes.left(40).toStdString() << (bytes.size() > 40 ? "...\"" : "\"");
}

namespace
{
// A tree of files: relative path -> content; a path ending in "/" is a
// folder, a content starting with "->" a symbolic link to the rest.
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
        if (content.startsWith("->"))
        {
            ASSERT_EQ(symlink(content.mid(2).constData(), QFile::encodeName(path).constData()), 0);
            continue;
        }
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << qPrintable(path);
        file.write(content);
    }
}

// Everything below root, folders ending in "/"; temporary files show up too.
Tree Read(const QString& root)
{
    Tree tree;
    QDirIterator it(root, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
    {
        const QString path = it.next();
        const QString rel = QDir(root).relativeFilePath(path);
        if (it.fileInfo().isSymLink())
        {
            char target[4096];
            const ssize_t n = readlink(QFile::encodeName(path).constData(), target, sizeof target);
            tree[rel] = "->" + QByteArray(target, n < 0 ? 0 : int(n));
            continue;
        }
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

// A scratch folder that holds a tree; names handed to it are relative to it.
struct Scratch : QTemporaryDir
{
    explicit Scratch(const Tree& tree)
    {
        if (isValid()) // else the path is empty and the tree would land below "/"
            Make(path(), tree);
    }
    QString At(const QString& rel) const { return path() + QLatin1Char('/') + rel; }
    CFileTransfer Transfer(CFileTransfer::Operation op, const QStringList& sources,
                           const QString& destination) const
    {
        QStringList paths;
        for (const QString& s : sources)
            paths.append(At(s));
        return CFileTransfer(op, paths, At(destination));
    }
};

// Answers the conflicts with replies in turn, then with Cancel; counts the
// questions.
void AnswerConflicts(CFileTransfer& transfer, QList<CFileTransfer::Reply>& replies, int& questions)
{
    transfer.SetConflictHandler(
        [&replies, &questions](const CFileTransfer::Conflict&)
        {
            ++questions;
            return replies.isEmpty() ? CFileTransfer::Reply{CFileTransfer::Cancel, false}
                                     : replies.takeFirst();
        });
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
    const Scratch dir(c.before);
    ASSERT_TRUE(dir.isValid());
    CFileTransfer transfer = dir.Transfer(c.op, c.sources, c.destination);
    QList<CFileTransfer::Reply> replies = c.replies;
    int questions = 0;
    if (!replies.isEmpty())
        AnswerConflicts(transfer, replies, questions);
    EXPECT_EQ(transfer.Run(), c.expectOk) << qPrintable(transfer.ErrorText());
    EXPECT_EQ(Read(dir.path()), c.after);
    EXPECT_EQ(questions, c.expectQuestions);
    EXPECT_EQ(!transfer.ErrorText().isEmpty(), !c.expectOk && questions == 0);
}

INSTANTIATE_TEST_SUITE_P(Cases, Transfer, ::testing::ValuesIn(kCases),
                         [](const auto& param) { return CaseName(param.param.name); });

namespace
{
// Faults put into a transfer through its test seam: each step named here
// fails with the error number for sources whose name starts with the prefix
// ("" for all); -1 makes the step press Cancel instead, -2 writes to the
// source, and a fault with `once` hits only its first time.
struct Fault
{
    const char* step;
    const char* prefix;
    int err;
    bool once = false;
};

struct FaultCase
{
    const char* name;
    CFileTransfer::Operation op;
    Tree before;
    QStringList sources;
    QString destination;
    QList<Fault> faults;
    QList<CFileTransfer::ErrorAnswer> answers; // given to the failures in turn
    QList<CFileTransfer::Reply> replies;       // given to the conflicts in turn
    bool expectOk;
    Tree after;
    const char* expectInError; // a piece of the error text, or nullptr for none
};

// A move between folders of one file system, made to act as across two.
const Fault kOtherFileSystem{"rename", "", EXDEV};

const FaultCase kFaultCases[] = {
    {"a move across file systems copies all, then removes the sources",
     CFileTransfer::Move,
     {{"s/a", A}, {"s/sub/b", B}, {"d/", {}}},
     {"s"},
     "d",
     {kOtherFileSystem},
     {},
     {},
     true,
     {{"d/", {}}, {"d/s/", {}}, {"d/s/a", A}, {"d/s/sub/", {}}, {"d/s/sub/b", B}},
     nullptr},
    {"a cancel during a move across file systems keeps every source",
     CFileTransfer::Move,
     {{"s/a", A}, {"s/sub/b", B}, {"d/", {}}},
     {"s"},
     "d",
     {kOtherFileSystem, {"open", "b", -1}},
     {},
     {},
     false,
     {{"s/", {}}, {"s/a", A}, {"s/sub/", {}}, {"s/sub/b", B}, {"d/", {}}},
     nullptr},
    {"a failure during a move across file systems keeps every source",
     CFileTransfer::Move,
     {{"s/a", A}, {"s/sub/b", B}, {"d/", {}}},
     {"s"},
     "d",
     {kOtherFileSystem, {"open", "b", EIO}},
     {},
     {},
     false,
     {{"s/", {}}, {"s/a", A}, {"s/sub/", {}}, {"s/sub/b", B}, {"d/", {}}},
     "Nothing was moved"},
    {"a cancel at an error question during a move keeps every source",
     CFileTransfer::Move,
     {{"s/a", A}, {"s/b", B}, {"d/", {}}},
     {"s"},
     "d",
     {kOtherFileSystem, {"open", "b", EACCES}},
     {CFileTransfer::CancelTransfer},
     {},
     false,
     {{"s/", {}}, {"s/a", A}, {"s/b", B}, {"d/", {}}},
     nullptr},
    {"a cancel at the question about the last source is a cancel, not a failure",
     CFileTransfer::Copy,
     {{"a", A}, {"b", B}, {"d/", {}}},
     {"a", "b"},
     "d",
     {{"open", "b", EACCES}},
     {CFileTransfer::CancelTransfer},
     {},
     false,
     {{"a", A}, {"b", B}, {"d/", {}}, {"d/a", A}},
     nullptr},
    {"a skipped failure moves the rest and keeps the failed file",
     CFileTransfer::Move,
     {{"s/a", A}, {"s/b", B}, {"s/c", C}, {"d/", {}}},
     {"s"},
     "d",
     {kOtherFileSystem, {"open", "b", EACCES}},
     {CFileTransfer::SkipEntry},
     {},
     false,
     {{"s/", {}}, {"s/b", B}, {"d/", {}}, {"d/s/", {}}, {"d/s/a", A}, {"d/s/c", C}},
     "2 of 3 items were moved"},
    {"a skipped vanished source leaves the others copied",
     CFileTransfer::Copy,
     {{"a", A}, {"c", C}, {"d/", {}}},
     {"a", "gone", "c"},
     "d",
     {},
     {CFileTransfer::SkipEntry},
     {},
     false,
     {{"a", A}, {"c", C}, {"d/", {}}, {"d/a", A}, {"d/c", C}},
     "Cannot find"},
    {"skip all goes past every later failure without asking",
     CFileTransfer::Copy,
     {{"s/x1", A}, {"s/x2", A}, {"s/y", B}, {"d/", {}}},
     {"s/*"},
     "d",
     {{"open", "x", EACCES}},
     {CFileTransfer::SkipAllEntries},
     {},
     false,
     {{"s/", {}}, {"s/x1", A}, {"s/x2", A}, {"s/y", B}, {"d/", {}}, {"d/y", B}},
     "1 of 3 items were copied"},
    {"retry carries the file once it can be read",
     CFileTransfer::Copy,
     {{"a", A}, {"d/", {}}},
     {"a"},
     "d",
     {{"open", "a", EACCES, true}},
     {CFileTransfer::RetryEntry},
     {},
     true,
     {{"a", A}, {"d/", {}}, {"d/a", A}},
     nullptr},
    {"a file that changes while it is copied is not kept",
     CFileTransfer::Copy,
     {{"a", A}, {"d/", {}}},
     {"a"},
     "d",
     {{"copied", "a", -2}},
     {},
     {},
     false,
     {{"a", A + A}, {"d/", {}}},
     "changed while it was copied"},
    {"a source that changes after its copy keeps both",
     CFileTransfer::Move,
     {{"s/a", A}, {"s/b", B}, {"d/", {}}},
     {"s"},
     "d",
     {kOtherFileSystem, {"unlink", "a", -2}},
     {},
     {},
     false,
     {{"s/", {}}, {"s/a", A + A}, {"d/", {}}, {"d/s/", {}}, {"d/s/a", A}, {"d/s/b", B}},
     "both kept"},
    {"a source that cannot be removed keeps its copy",
     CFileTransfer::Move,
     {{"s/a", A}, {"d/", {}}},
     {"s/a"},
     "d",
     {kOtherFileSystem, {"unlink", "a", EACCES}},
     {},
     {},
     false,
     {{"s/", {}}, {"s/a", A}, {"d/", {}}, {"d/a", A}},
     "cannot remove"},
    {"links are carried as links",
     CFileTransfer::Copy,
     {{"s/t", A}, {"s/l", "->t"}, {"s/ld", "->sub"}, {"s/sub/", {}}, {"s/dangling", "->gone"}, {"d/", {}}},
     {"s"},
     "d",
     {},
     {},
     {},
     true,
     {{"s/", {}},
      {"s/t", A},
      {"s/l", "->t"},
      {"s/ld", "->sub"},
      {"s/sub/", {}},
      {"s/dangling", "->gone"},
      {"d/", {}},
      {"d/s/", {}},
      {"d/s/t", A},
      {"d/s/l", "->t"},
      {"d/s/ld", "->sub"},
      {"d/s/sub/", {}},
      {"d/s/dangling", "->gone"}},
     nullptr},
    {"a destination without links takes a linked file and leaves the other links out",
     CFileTransfer::Copy,
     {{"s/t", A}, {"s/l", "->t"}, {"s/ld", "->sub"}, {"s/sub/", {}}, {"s/dangling", "->gone"}, {"d/", {}}},
     {"s"},
     "d",
     {{"symlink", "", EPERM}},
     {},
     {},
     false,
     {{"s/", {}},
      {"s/t", A},
      {"s/l", "->t"},
      {"s/ld", "->sub"},
      {"s/sub/", {}},
      {"s/dangling", "->gone"},
      {"d/", {}},
      {"d/s/", {}},
      {"d/s/t", A},
      {"d/s/l", A},
      {"d/s/sub/", {}}},
     "2 symbolic links"},
    {"a link replaces a file in one step",
     CFileTransfer::Copy,
     {{"l", "->t2"}, {"d/l", B}},
     {"l"},
     "d",
     {},
     {},
     {{CFileTransfer::Replace, false}},
     true,
     {{"l", "->t2"}, {"d/", {}}, {"d/l", "->t2"}},
     nullptr},
    {"a link that cannot be made keeps the file it was to replace",
     CFileTransfer::Copy,
     {{"l", "->t2"}, {"d/l", B}},
     {"l"},
     "d",
     {{"symlink", "", ENOSPC}},
     {},
     {{CFileTransfer::Replace, false}},
     false,
     {{"l", "->t2"}, {"d/", {}}, {"d/l", B}},
     "Cannot create the link"},
    {"a file replaces a link, not the file it points at",
     CFileTransfer::Copy,
     {{"s/f", A}, {"d/s/f", "->../t"}, {"d/t", B}},
     {"s"},
     "d",
     {},
     {},
     {{CFileTransfer::Replace, false}},
     true,
     {{"s/", {}}, {"s/f", A}, {"d/", {}}, {"d/s/", {}}, {"d/s/f", A}, {"d/t", B}},
     nullptr},
    {"a destination reached through a link into the source is refused",
     CFileTransfer::Copy,
     {{"s/a", A}, {"ln", "->s"}},
     {"s"},
     "ln/inner",
     {},
     {},
     {},
     false,
     {{"s/", {}}, {"s/a", A}, {"ln", "->s"}},
     "into itself"},
    {"a cancel halfway through a folder copy keeps the completed files",
     CFileTransfer::Copy,
     {{"s/a", A}, {"s/b", B}, {"d/", {}}},
     {"s"},
     "d",
     {{"open", "b", -1}},
     {},
     {},
     false,
     {{"s/", {}}, {"s/a", A}, {"s/b", B}, {"d/", {}}, {"d/s/", {}}, {"d/s/a", A}},
     nullptr},
    {"a cancel after the last file changes nothing",
     CFileTransfer::Move,
     {{"s/a", A}, {"d/", {}}},
     {"s"},
     "d",
     {kOtherFileSystem, {"unlink", "a", -1}},
     {},
     {},
     true,
     {{"d/", {}}, {"d/s/", {}}, {"d/s/a", A}},
     nullptr},
};

class FaultTransfer : public ::testing::TestWithParam<FaultCase>
{
protected:
    void TearDown() override { CFileTransfer::SetFaultHook(nullptr); }
};
} // namespace

TEST_P(FaultTransfer, KeepsEverySourceByteAndLeavesNothingHalfWritten)
{
    const FaultCase& c = GetParam();
    const Scratch dir(c.before);
    ASSERT_TRUE(dir.isValid());
    CFileTransfer transfer = dir.Transfer(c.op, c.sources, c.destination);
    QList<Fault> faults = c.faults;
    CFileTransfer::SetFaultHook(
        [&](const char* step, const QByteArray& path)
        {
            const QByteArray name = path.mid(path.lastIndexOf('/') + 1);
            for (qsizetype i = 0; i < faults.size(); ++i)
            {
                const Fault f = faults[i];
                if (strcmp(f.step, step) != 0 || !name.startsWith(f.prefix))
                    continue;
                if (f.once)
                    faults.removeAt(i);
                if (f.err == -1)
                    transfer.Stop();
                else if (f.err == -2) // the file is written to meanwhile
                {
                    QFile file(QString::fromLocal8Bit(path));
                    if (file.open(QIODevice::Append))
                        file.write(A);
                }
                else
                    return f.err;
                return 0;
            }
            return 0;
        });
    QList<CFileTransfer::ErrorAnswer> answers = c.answers;
    QList<CFileTransfer::Reply> replies = c.replies;
    int questions = 0;
    transfer.SetErrorHandler(
        [&](const CFileTransfer::Error& error)
        {
            EXPECT_FALSE(error.text.isEmpty());
            ++questions;
            return answers.isEmpty() ? CFileTransfer::CancelTransfer : answers.takeFirst();
        });
    if (!c.answers.isEmpty() || !c.replies.isEmpty())
        AnswerConflicts(transfer, replies, questions);
    if (c.answers.isEmpty())
        transfer.SetErrorHandler(nullptr); // nobody to ask: the first failure stops it
    const bool ok = transfer.Run();
    EXPECT_EQ(ok, c.expectOk) << qPrintable(transfer.ErrorText());
    EXPECT_EQ(Read(dir.path()), c.after);
    EXPECT_EQ(questions, int(c.answers.size() + c.replies.size()));
    if (c.expectInError)
        EXPECT_TRUE(transfer.ErrorText().contains(QLatin1String(c.expectInError)))
            << qPrintable(transfer.ErrorText());
    else
        EXPECT_TRUE(transfer.ErrorText().isEmpty()) << qPrintable(transfer.ErrorText());
}

INSTANTIATE_TEST_SUITE_P(Cases, FaultTransfer, ::testing::ValuesIn(kFaultCases),
                         [](const auto& param) { return CaseName(param.param.name); });

TEST(TransferTest, CancelDuringAReplaceLeavesTheOldFileAndNoTemporaryFile)
{
    const Scratch dir({{"big", QByteArray(4 << 20, 'x')}, {"d/big", B}});
    CFileTransfer transfer = dir.Transfer(CFileTransfer::Copy, {"big"}, "d");
    transfer.SetConflictHandler(
        [&](const CFileTransfer::Conflict&)
        {
            transfer.Stop(); // the user cancels while the copy starts
            return CFileTransfer::Reply{CFileTransfer::Replace, false};
        });
    EXPECT_FALSE(transfer.Run());
    EXPECT_EQ(Read(dir.At("d")), (Tree{{"big", B}}));
}

TEST(TransferTest, KeepsPermissionsAndModificationTime)
{
    const Scratch dir({{"run.sh", A}});
    const QByteArray src = QFile::encodeName(dir.At("run.sh"));
    ASSERT_EQ(chmod(src.constData(), 0750), 0);
    const struct timespec times[2] = {{1000000000, 0}, {1000000000, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, src.constData(), times, 0), 0);
    CFileTransfer transfer = dir.Transfer(CFileTransfer::Copy, {"run.sh"}, "out/");
    ASSERT_TRUE(transfer.Run());
    struct stat st;
    ASSERT_EQ(stat(QFile::encodeName(dir.At("out/run.sh")).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0750u);
    EXPECT_EQ(st.st_mtim.tv_sec, 1000000000);
    EXPECT_EQ(transfer.DoneBytes(), transfer.TotalBytes());
}

TEST(TransferTest, MoveAcrossFileSystemsRemovesTheSourceAfterTheCopy)
{
    const Scratch here({{"s/a", A}, {"s/sub/b", B}});
    QTemporaryDir there(QStringLiteral("/dev/shm/vistrel-XXXXXX"));
    struct stat a, b;
    if (!there.isValid() || stat(QFile::encodeName(here.path()).constData(), &a) != 0 ||
        stat(QFile::encodeName(there.path()).constData(), &b) != 0 || a.st_dev == b.st_dev)
        GTEST_SKIP() << "no second file system";
    CFileTransfer transfer(CFileTransfer::Move, {here.At("s")}, there.path());
    ASSERT_TRUE(transfer.Run()) << qPrintable(transfer.ErrorText());
    EXPECT_EQ(Read(here.path()), Tree{});
    EXPECT_EQ(Read(there.path()), (Tree{{"s/", {}}, {"s/a", A}, {"s/sub/", {}}, {"s/sub/b", B}}));
}

namespace
{
// A small tmpfs of its own where the test may mount one (as root), else nothing.
class ScopedTmpfs
{
public:
    explicit ScopedTmpfs(const QString& where, const char* size)
        : m_path(QFile::encodeName(where))
    {
        const QByteArray options = QByteArray("size=") + size;
        m_bMounted = geteuid() == 0 &&
                     mount("tmpfs", m_path.constData(), "tmpfs", 0, options.constData()) == 0;
    }
    ~ScopedTmpfs()
    {
        if (m_bMounted)
            umount2(m_path.constData(), MNT_DETACH);
    }
    bool Mounted() const { return m_bMounted; }

private:
    QByteArray m_path;
    bool m_bMounted = false;
};

// Runs as an unprivileged user for the scope when the test runs as root, so
// permissions hold; the folder is opened to that user.
class ScopedUnprivileged
{
public:
    explicit ScopedUnprivileged(const QString& root)
    {
        chmod(QFile::encodeName(root).constData(), 0777);
        m_bSwitched = geteuid() == 0 && setegid(65534) == 0 && seteuid(65534) == 0;
    }
    ~ScopedUnprivileged()
    {
        if (m_bSwitched)
        {
            seteuid(0);
            setegid(0);
        }
    }

private:
    bool m_bSwitched = false;
};

// Whether anything below root is one of the transfer's temporary names.
bool HasTemporaries(const QString& root)
{
    for (const auto& [rel, content] : Read(root))
        if (rel.contains(QLatin1String(".vistrel-")))
            return true;
    return false;
}

mode_t ModeOf(const QString& path)
{
    struct stat st;
    return stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode & 07777 : 0;
}

// Stops the transfer as it opens a file whose path ends in tail.
void StopWhenOpening(CFileTransfer& transfer, const char* tail)
{
    CFileTransfer::SetFaultHook(
        [&transfer, tail](const char* step, const QByteArray& path)
        {
            if (strcmp(step, "open") == 0 && path.endsWith(tail))
                transfer.Stop();
            return 0;
        });
}
} // namespace

TEST(TransferTest, AFullDiskFailsTheFileAndKeepsTheOthers)
{
    const Scratch dir({{"s/a", A}, {"s/big", QByteArray(256 << 10, 'x')}, {"s/c", C}, {"d/", {}}});
    ScopedTmpfs disk(dir.At("d"), "128k");
    // Without a tmpfs the size limit of the process gives the same failure.
    std::optional<ScopedFileSizeLimit> limit;
    if (!disk.Mounted())
        limit.emplace(128 << 10);
    CFileTransfer transfer = dir.Transfer(CFileTransfer::Copy, {"s"}, "d");
    QStringList errors;
    transfer.SetErrorHandler(
        [&](const CFileTransfer::Error& error)
        {
            errors.append(error.text);
            return CFileTransfer::SkipEntry;
        });
    EXPECT_FALSE(transfer.Run());
    limit.reset();
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors[0].contains(QLatin1String("big"))) << qPrintable(errors[0]);
    EXPECT_TRUE(transfer.ErrorText().contains(QLatin1String("2 of 3 items were copied")))
        << qPrintable(transfer.ErrorText());
    EXPECT_EQ(Read(dir.At("d")), (Tree{{"s/", {}}, {"s/a", A}, {"s/c", C}}));
}

TEST(TransferTest, AMoveOntoAFullFileSystemKeepsEverySource)
{
    const Tree source{{"s/", {}}, {"s/a", QByteArray(60 << 10, 'a')},
                      {"s/b", QByteArray(200 << 10, 'b')}};
    const Scratch dir(source);
    QDir().mkpath(dir.At("d"));
    ScopedTmpfs disk(dir.At("d"), "128k");
    if (!disk.Mounted())
        GTEST_SKIP() << "cannot mount a tmpfs here";
    CFileTransfer transfer = dir.Transfer(CFileTransfer::Move, {"s"}, "d");
    EXPECT_FALSE(transfer.Run());
    EXPECT_TRUE(transfer.ErrorText().contains(QLatin1String("Nothing was moved")))
        << qPrintable(transfer.ErrorText());
    Tree left = Read(dir.path());
    EXPECT_EQ(left, (Tree{{"s/", {}}, {"s/a", source.at("s/a")}, {"s/b", source.at("s/b")},
                          {"d/", {}}}));
}

TEST(TransferTest, PermissionsDeniedAreReportedAndChangeNothing)
{
    const Scratch dir({{"secret", A}, {"open", B}, {"ro/", {}}, {"rw/", {}}});
    chmod(QFile::encodeName(dir.At("secret")).constData(), 0);
    chmod(QFile::encodeName(dir.At("ro")).constData(), 0555);
    chmod(QFile::encodeName(dir.At("rw")).constData(), 0777);
    ScopedUnprivileged user(dir.path());
    if (access(QFile::encodeName(dir.At("secret")).constData(), R_OK) == 0)
        GTEST_SKIP() << "permissions do not apply to this user";
    struct
    {
        const char* source;
        const char* destination;
        const char* error;
    } const cases[] = {{"secret", "rw", "Cannot read"}, {"open", "ro", "Cannot write into"}};
    for (const auto& c : cases)
    {
        CFileTransfer transfer = dir.Transfer(CFileTransfer::Copy, {c.source}, c.destination);
        EXPECT_FALSE(transfer.Run()) << c.source;
        EXPECT_TRUE(transfer.ErrorText().startsWith(QLatin1String(c.error)))
            << qPrintable(transfer.ErrorText());
    }
    EXPECT_EQ(Read(dir.At("ro")), Tree{});
    EXPECT_EQ(Read(dir.At("rw")), Tree{});
}

TEST(TransferTest, AMoveBetweenRealFileSystemsCancelledHalfwayKeepsTheSource)
{
    const Scratch dir({{"s/a", A}, {"s/b", B}, {"d/", {}}});
    ScopedTmpfs disk(dir.At("d"), "1m");
    if (!disk.Mounted())
        GTEST_SKIP() << "cannot mount a tmpfs here";
    CFileTransfer transfer = dir.Transfer(CFileTransfer::Move, {"s"}, "d");
    StopWhenOpening(transfer, "/b");
    EXPECT_FALSE(transfer.Run());
    CFileTransfer::SetFaultHook(nullptr);
    EXPECT_TRUE(transfer.IsCancelled());
    EXPECT_EQ(Read(dir.path()), (Tree{{"s/", {}}, {"s/a", A}, {"s/b", B}, {"d/", {}}}));
}

TEST(TransferTest, AFileBeingWrittenHasNoNameAndStaleTemporariesGo)
{
    // Left by runs that were killed: one whose process is gone, one of an
    // older version not written for long; a live process's name stays.
    const QString gone = ".x.jpg.vistrel-" + QString::number(std::numeric_limits<int>::max()) +
                         "-Ab12Cd";
    const QString live = ".y.jpg.vistrel-" + QString::number(getpid()) + "-Ab12Cd";
    const Scratch dir(
        {{"a.jpg", A}, {"d/" + gone, B}, {"d/.z.jpg.vistrel-Ab12Cd", B}, {"d/" + live, B}});
    const struct timespec old[2] = {{1000000000, 0}, {1000000000, 0}};
    utimensat(AT_FDCWD, QFile::encodeName(dir.At("d/.z.jpg.vistrel-Ab12Cd")).constData(), old, 0);
    bool bUnnamed = true;
    CFileTransfer::SetFaultHook(
        [&](const char* step, const QByteArray&)
        {
            if (strcmp(step, "copied") == 0)
                bUnnamed = Read(dir.At("d")) == Tree{{live, B}};
            return 0;
        });
    CFileTransfer transfer = dir.Transfer(CFileTransfer::Copy, {"a.jpg"}, "d");
    EXPECT_TRUE(transfer.Run()) << qPrintable(transfer.ErrorText());
    CFileTransfer::SetFaultHook(nullptr);
    EXPECT_EQ(Read(dir.At("d")), (Tree{{"a.jpg", A}, {live, B}}));
    // tmpfs and the usual disk file systems write without a name.
    struct statfs fs;
    if (statfs(QFile::encodeName(dir.path()).constData(), &fs) == 0 &&
        (fs.f_type == TMPFS_MAGIC || fs.f_type == EXT4_SUPER_MAGIC ||
         fs.f_type == XFS_SUPER_MAGIC || fs.f_type == BTRFS_SUPER_MAGIC))
    {
        EXPECT_TRUE(bUnnamed);
    }
}

TEST(TransferTest, FoldersHaveTheirModeEvenWhenTheCopyStopsHalfway)
{
    const Scratch dir({{"s/open/a", A}, {"s/open/b", B}, {"s/ro/c", C}});
    chmod(QFile::encodeName(dir.At("s/open")).constData(), 0750);
    chmod(QFile::encodeName(dir.At("s/ro")).constData(), 0555);
    CFileTransfer whole = dir.Transfer(CFileTransfer::Copy, {"s"}, "whole/");
    ASSERT_TRUE(whole.Run()) << qPrintable(whole.ErrorText());
    EXPECT_EQ(ModeOf(dir.At("whole/s/ro")), 0555u);
    EXPECT_EQ(Read(dir.At("whole/s/ro")), (Tree{{"c", C}}));

    CFileTransfer stopped = dir.Transfer(CFileTransfer::Copy, {"s/open"}, "half/");
    StopWhenOpening(stopped, "/b");
    EXPECT_FALSE(stopped.Run());
    CFileTransfer::SetFaultHook(nullptr);
    EXPECT_EQ(Read(dir.At("half")), (Tree{{"open/", {}}, {"open/a", A}}));
    EXPECT_EQ(ModeOf(dir.At("half/open")), 0750u);
    EXPECT_FALSE(HasTemporaries(dir.path()));
    for (const char* folder : {"s/ro", "whole/s/ro"})
        chmod(QFile::encodeName(dir.At(folder)).constData(), 0755); // so the folder can go
}

TEST(TransferTest, ACancelWhileCountingLeavesNoFolders)
{
    const Scratch dir({{"s/a", A}});
    CFileTransfer transfer = dir.Transfer(CFileTransfer::Copy, {"s"}, "new/deep/");
    transfer.Stop();
    EXPECT_FALSE(transfer.Run());
    EXPECT_TRUE(transfer.IsCancelled());
    EXPECT_EQ(Read(dir.path()), (Tree{{"s/", {}}, {"s/a", A}}));
}

TEST(TransferDialogTest, QuestionsFromTheWorkerAndCancelReachTheUser)
{
    const struct
    {
        const char* what;
        int answer;          // to the question about the unreadable file; 0: none asked
        bool bClickCancel;   // press the progress dialog's Cancel meanwhile
        QStringList expectBoxes; // a piece of each box's text, in turn
        bool bReported;
    } cases[] = {
        {"skip goes on and says what was not copied", IDIGNORE, false,
         {"Cannot read", "1 of 2 items were copied"}, true},
        {"cancel at the question says nothing more", IDABORT, false, {"Cannot read"}, false},
        {"the progress dialog's cancel stops it", 0, true, {}, false},
    };
    for (const auto& c : cases)
    {
        const Scratch dir({{"s/a", A}, {"s/b", B}, {"d/", {}}});
        CFileTransfer::SetFaultHook(
            [&](const char* step, const QByteArray& path)
            {
                if (strcmp(step, "open") != 0 || !path.endsWith("/b"))
                    return 0;
                if (!c.bClickCancel)
                    return EACCES;
                QThread::msleep(1500); // long enough for the dialog to show and be cancelled
                return 0;
            });
        QStringList boxes;
        MessageBoxHook::Install(
            [&](const QString& text, int)
            {
                boxes.append(text);
                return c.answer;
            });
        QTimer clicker;
        QObject::connect(&clicker, &QTimer::timeout,
                         [&]
                         {
                             for (QWidget* w : QApplication::topLevelWidgets())
                                 if (w->isVisible() && w->windowTitle() == "Copying")
                                     if (auto* b = w->findChild<QDialogButtonBox*>())
                                         b->button(QDialogButtonBox::Cancel)->click();
                         });
        if (c.bClickCancel)
            clicker.start(50);
        CFileName name;
        EXPECT_EQ(name.ShellCopyFiles(nullptr, dir.At("s"), dir.At("d")), 0) << c.what;
        clicker.stop();
        MessageBoxHook::Install(nullptr);
        CFileTransfer::SetFaultHook(nullptr);
        ASSERT_EQ(boxes.size(), c.expectBoxes.size()) << c.what << ": " << qPrintable(boxes.join('|'));
        for (qsizetype i = 0; i < boxes.size(); ++i)
            EXPECT_TRUE(boxes[i].contains(c.expectBoxes[i])) << c.what << ": " << qPrintable(boxes[i]);
        EXPECT_EQ(name.ReportedFailure(), c.bReported) << c.what;
        EXPECT_EQ(Read(dir.At("d")), (Tree{{"s/", {}}, {"s/a", A}})) << c.what;
    }
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
