#include "Trash.h"

#include "NativePath.h"

#include <QDateTime>
#include <QDir>
#include <QStandardPaths>

#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
const char kInfoSuffix[] = ".trashinfo";
// Room kept beside a trashed name for its info suffix and a number that makes it unique.
constexpr qsizetype kMaxTrashName = NAME_MAX - qsizetype(sizeof kInfoSuffix - 1) - 8;

QByteArray DirName(const QByteArray& path)
{
    const qsizetype slash = path.lastIndexOf('/');
    return slash <= 0 ? QByteArray("/") : path.left(slash);
}

// A folder of ours: made owner-only when missing; never a link someone put there.
bool UsableFolder(const QByteArray& path)
{
    if (mkdir(path.constData(), 0700) == 0)
        return true;
    struct stat st;
    return errno == EEXIST && lstat(path.constData(), &st) == 0 && S_ISDIR(st.st_mode) &&
           st.st_uid == geteuid();
}

bool UsableTrash(const QByteArray& trash)
{
    return UsableFolder(trash) && UsableFolder(trash + "/files") && UsableFolder(trash + "/info");
}

// The top of the file system holding the entry: its highest folder on the same device.
QByteArray TopDir(const QByteArray& path, dev_t dev)
{
    QByteArray top = DirName(path);
    while (top != "/")
    {
        const QByteArray up = DirName(top);
        struct stat st;
        if (stat(up.constData(), &st) != 0 || st.st_dev != dev)
            break;
        top = up;
    }
    return top;
}

struct Place
{
    QByteArray trash;
    QByteArray topDir; // empty for the home trash, whose info names absolute paths
};

bool FindTrash(const QByteArray& path, const struct stat& st, Place& place)
{
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    QDir().mkpath(data);
    const QByteArray home = NativePath::Encode(data) + "/Trash";
    struct stat dataSt;
    if (stat(NativePath::Encode(data).constData(), &dataSt) == 0 && dataSt.st_dev == st.st_dev)
    {
        place = {home, QByteArray()};
        return UsableTrash(home);
    }
    const QByteArray top = TopDir(path, st.st_dev);
    const QByteArray uid = QByteArray::number(qulonglong(geteuid()));
    // The administrator's shared trash counts only as a real, sticky folder.
    const QByteArray shared = (top == "/" ? QByteArray() : top) + "/.Trash";
    struct stat sharedSt;
    if (lstat(shared.constData(), &sharedSt) == 0 && S_ISDIR(sharedSt.st_mode) &&
        (sharedSt.st_mode & S_ISVTX) && UsableTrash(shared + '/' + uid))
    {
        place = {shared + '/' + uid, top};
        return true;
    }
    place = {(top == "/" ? QByteArray() : top) + "/.Trash-" + uid, top};
    return UsableTrash(place.trash);
}

// The trashed entry's name: its own, cut at a character boundary when the
// info file's name would be too long.
QByteArray TrashName(const QByteArray& path)
{
    QByteArray name = path.mid(path.lastIndexOf('/') + 1);
    if (name.size() > kMaxTrashName)
    {
        qsizetype cut = kMaxTrashName;
        while (cut > 0 && (uchar(name[cut]) & 0xC0) == 0x80)
            --cut;
        name.truncate(cut);
    }
    return name;
}

QByteArray InfoText(const QByteArray& path, const Place& place)
{
    QByteArray shown = path;
    if (!place.topDir.isEmpty() && place.topDir != "/" && path.startsWith(place.topDir + '/'))
        shown = path.mid(place.topDir.size() + 1);
    else if (place.topDir == "/")
        shown = path.mid(1);
    return "[Trash Info]\nPath=" + shown.toPercentEncoding("/") + "\nDeletionDate=" +
           QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-ddThh:mm:ss")).toLatin1() +
           "\n";
}

bool WriteAll(int fd, const QByteArray& bytes)
{
    for (qsizetype done = 0; done < bytes.size();)
    {
        const ssize_t n = write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}
} // namespace

int CTrash::MoveToTrash(const QString& entry)
{
    const QByteArray path = NativePath::Encode(QDir::cleanPath(QDir().absoluteFilePath(entry)));
    struct stat st;
    if (lstat(path.constData(), &st) != 0)
        return errno;
    Place place;
    if (!FindTrash(path, st, place))
        return errno ? errno : EACCES;

    // The info file is made first, with a name nobody else holds; the entry follows it.
    const QByteArray base = TrashName(path);
    for (int n = 1; n < 10000; ++n)
    {
        const QByteArray name = n == 1 ? base : base + '.' + QByteArray::number(n);
        const QByteArray info = place.trash + "/info/" + name + kInfoSuffix;
        const int fd = open(info.constData(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0600);
        if (fd < 0 && errno == EEXIST)
            continue;
        if (fd < 0)
            return errno;
        const bool bWritten = WriteAll(fd, InfoText(path, place));
        const int closeErr = close(fd) == 0 ? 0 : errno;
        if (!bWritten || closeErr != 0)
        {
            const int err = bWritten ? closeErr : (errno ? errno : EIO);
            unlink(info.constData());
            return err;
        }
        const QByteArray target = place.trash + "/files/" + name;
        struct stat taken;
        if (lstat(target.constData(), &taken) == 0)
        {
            unlink(info.constData()); // an entry without its info file holds the name
            continue;
        }
        if (rename(path.constData(), target.constData()) != 0)
        {
            const int err = errno;
            unlink(info.constData());
            return err;
        }
        return 0;
    }
    return EEXIST;
}
