// The trash: every name can go there and be put back (its info file names
// where it came from), and what cannot go there is deleted for good only
// after a second question.
#include "AppTestSupport.h"
#include "DirectoryReader.h"
#include "FileName.h"
#include "MessageBox.h"
#include "NativePath.h"
#include "Trash.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
QByteArray DataTrash()
{
    return NativePath::Encode(
               QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)) +
           "/Trash";
}

// Emptied with every name in it, those that are not UTF-8 too.
void EmptyTrash()
{
    std::error_code ec;
    std::filesystem::remove_all(DataTrash().toStdString(), ec);
}

bool Exists(const QByteArray& path)
{
    struct stat st;
    return lstat(path.constData(), &st) == 0;
}

void WriteFile(const QByteArray& path, const QByteArray& content)
{
    const int fd = open(path.constData(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
    ASSERT_GE(fd, 0) << path.constData();
    ASSERT_EQ(write(fd, content.constData(), size_t(content.size())), content.size());
    close(fd);
}

QByteArray ReadFile(const QByteArray& path)
{
    QByteArray out;
    const int fd = open(path.constData(), O_RDONLY);
    char buffer[4096];
    for (ssize_t n; fd >= 0 && (n = read(fd, buffer, sizeof buffer)) > 0;)
        out.append(buffer, n);
    if (fd >= 0)
        close(fd);
    return out;
}

// The trashed entries of a trash folder: name in files/ -> the Path of its info file.
std::map<QByteArray, QByteArray> Trashed(const QByteArray& trash)
{
    std::map<QByteArray, QByteArray> out;
    std::vector<QByteArray> names;
    CDirectoryReader::ReadNames(trash + "/files", names);
    for (const QByteArray& native : names)
    {
        const QByteArray info = ReadFile(trash + "/info/" + native + ".trashinfo");
        const qsizetype at = info.indexOf("\nPath=");
        out[native] = at < 0 ? QByteArray("?")
                             : QByteArray::fromPercentEncoding(
                                   info.mid(at + 6, info.indexOf('\n', at + 6) - at - 6));
    }
    return out;
}
} // namespace

TEST(TrashTest, EveryNameGoesToTheTrashWithItsOrigin)
{
    QTemporaryDir dir;
    const QByteArray root = NativePath::Encode(dir.path());
    EmptyTrash();
    const struct
    {
        const char* what;
        QByteArray name;
    } cases[] = {
        {"a plain name", "plain.jpg"},
        {"a name too long for its info file", QByteArray(250, 'n') + ".jpg"},
        {"a long name of two-byte characters", QByteArray(100, 'x') + QByteArray("\xc3\xa9").repeated(77)},
        {"a name that is not UTF-8", "caf\xe9 \xff.jpg"},
        {"a folder", "folder"},
    };
    for (const auto& c : cases)
    {
        const QByteArray path = root + '/' + c.name.left(NAME_MAX);
        if (c.name == "folder")
        {
            ASSERT_EQ(mkdir(path.constData(), 0755), 0);
            WriteFile(path + "/inside", "in");
        }
        else
        {
            WriteFile(path, c.what);
        }
        ASSERT_EQ(CTrash::MoveToTrash(NativePath::Decode(path)), 0) << c.what;
        EXPECT_FALSE(Exists(path)) << c.what;
    }
    const auto trashed = Trashed(DataTrash());
    ASSERT_EQ(trashed.size(), std::size(cases));
    for (const auto& c : cases)
    {
        const QByteArray path = root + '/' + c.name.left(NAME_MAX);
        const auto it = std::find_if(trashed.begin(), trashed.end(),
                                     [&](const auto& entry) { return entry.second == path; });
        ASSERT_NE(it, trashed.end()) << c.what;
        EXPECT_LE(it->first.size() + qsizetype(strlen(".trashinfo")), NAME_MAX) << c.what;
        const QByteArray kept = DataTrash() + "/files/" + it->first;
        EXPECT_EQ(c.name == "folder" ? ReadFile(kept + "/inside") : ReadFile(kept),
                  c.name == "folder" ? QByteArray("in") : QByteArray(c.what));
    }
}

TEST(TrashTest, TheSameNameTwiceKeepsBoth)
{
    QTemporaryDir dir;
    const QByteArray path = NativePath::Encode(dir.path()) + "/same.jpg";
    EmptyTrash();
    for (const char* content : {"first", "second"})
    {
        WriteFile(path, content);
        ASSERT_EQ(CTrash::MoveToTrash(NativePath::Decode(path)), 0);
    }
    QStringList kept;
    for (const auto& [name, origin] : Trashed(DataTrash()))
    {
        EXPECT_EQ(origin, path);
        kept.append(QString::fromLatin1(ReadFile(DataTrash() + "/files/" + name)));
    }
    kept.sort();
    EXPECT_EQ(kept, (QStringList{"first", "second"}));
}

TEST(TrashTest, AnotherFileSystemHasItsOwnTrash)
{
    QTemporaryDir dir;
    const QByteArray mnt = NativePath::Encode(dir.path());
    if (geteuid() != 0 || mount("tmpfs", mnt.constData(), "tmpfs", 0, "size=1m") != 0)
        GTEST_SKIP() << "cannot mount a tmpfs here";
    WriteFile(mnt + "/pic.jpg", "pic");
    EXPECT_EQ(CTrash::MoveToTrash(NativePath::Decode(mnt + "/pic.jpg")), 0);
    const QByteArray trash = mnt + "/.Trash-" + QByteArray::number(geteuid());
    EXPECT_EQ(ReadFile(trash + "/files/pic.jpg"), "pic");
    // Paths in a file system's own trash are relative to its top.
    EXPECT_TRUE(ReadFile(trash + "/info/pic.jpg.trashinfo").contains("\nPath=pic.jpg\n"));
    umount2(mnt.constData(), MNT_DETACH);
}

TEST(TrashTest, WithoutATrashTheUserIsAskedBeforeDeletingForGood)
{
    QTemporaryDir dir;
    const QString root = dir.path();
    // A file where the trash folder should be: no trash can be made.
    const QString data = root + "/data";
    QDir().mkpath(data);
    WriteFile(NativePath::Encode(data) + "/Trash", "in the way");
    const QByteArray oldData = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", QFile::encodeName(data));

    const struct
    {
        const char* what;
        int answerForGood;
        bool bGone;
    } cases[] = {{"no keeps it", IDNO, false}, {"yes deletes it", IDYES, true}};
    for (const auto& c : cases)
    {
        const QString path = root + "/pic.jpg";
        WriteFile(QFile::encodeName(path), "pic");
        QStringList texts;
        MessageBoxHook::Install(
            [&](const QString& text, int)
            {
                texts.append(text);
                return texts.size() == 1 ? IDYES : c.answerForGood;
            });
        CFileName name;
        EXPECT_EQ(name.ShellDeleteItems(nullptr, path, 0), c.bGone ? 1 : 0) << c.what;
        MessageBoxHook::Install(nullptr);
        ASSERT_EQ(texts.size(), 2) << c.what;
        EXPECT_TRUE(texts[1].startsWith("'pic.jpg' cannot be moved to the Trash.")) << c.what;
        EXPECT_EQ(!name.Exist(path), c.bGone) << c.what;
        EXPECT_FALSE(name.ReportedFailure()) << c.what;
    }
    qputenv("XDG_DATA_HOME", oldData);
}
