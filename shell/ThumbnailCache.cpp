#include "ThumbnailCache.h"

#include "NativePath.h"
#include "Strings.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QDir>
#include <QImageReader>
#include <QImageWriter>

#include <atomic>
#include <cerrno>
#include <string>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
const QString kUriKey = QStringLiteral("Thumb::URI");
const QString kMTimeKey = QStringLiteral("Thumb::MTime");
const QString kSizeKey = QStringLiteral("Thumb::Size");
const QString kMimeKey = QStringLiteral("Thumb::Mimetype");
const QString kWidthKey = QStringLiteral("Thumb::Image::Width");
const QString kHeightKey = QStringLiteral("Thumb::Image::Height");
const QString kSoftwareKey = QStringLiteral("Software");
// "fail/vistrel-<version>": failures are this version's own.
const QString kFailFolder =
    QStringLiteral("fail/vistrel-") + QString::fromLatin1(Str::kVersion).section(QLatin1Char(' '), -1);
/// The largest cached PNG read at all; a thumbnail is at most 256 x 256.
constexpr int kMaxReadMiB = 1;

bool IsUriSafe(unsigned char c)
{
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))
        return true;
    return std::char_traits<char>::find("-._~!$&'()*+,=:@/", 17, char(c)) != nullptr;
}

/// Makes the folder and the missing ones above it, each new one 0700.
bool MakeFolders(const QString& folder)
{
    const QByteArray bytes = NativePath::Encode(folder);
    struct stat st;
    if (stat(bytes.constData(), &st) == 0)
        return S_ISDIR(st.st_mode);
    const qsizetype slash = folder.lastIndexOf(QLatin1Char('/'));
    if (slash > 0 && !MakeFolders(folder.left(slash)))
        return false;
    return mkdir(bytes.constData(), 0700) == 0 || errno == EEXIST;
}

bool WriteAll(int fd, const QByteArray& data)
{
    const char* p = data.constData();
    qsizetype left = data.size();
    while (left > 0)
    {
        const ssize_t n = write(fd, p, size_t(left));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        p += n;
        left -= n;
    }
    return true;
}
} // namespace

CThumbnailCache::CThumbnailCache(QString root)
    : m_strRoot(root.isEmpty() ? DefaultRoot() : QDir::cleanPath(root))
{
}

QString CThumbnailCache::DefaultRoot()
{
    // XDG_CACHE_HOME when it is an absolute path, else ~/.cache.
    const QByteArray xdg = qgetenv("XDG_CACHE_HOME");
    QString base = xdg.startsWith('/') ? NativePath::Decode(xdg)
                                       : QDir::homePath() + QStringLiteral("/.cache");
    return QDir::cleanPath(base + QStringLiteral("/thumbnails"));
}

bool CThumbnailCache::StatSource(const QString& path, Source& source)
{
    struct stat st;
    if (stat(NativePath::Encode(path).constData(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    source.path = path;
    source.mtime = qint64(st.st_mtime);
    source.size = qint64(st.st_size);
    return true;
}

QByteArray CThumbnailCache::UriOf(const QString& path)
{
    static const char kHex[] = "0123456789ABCDEF";
    QByteArray uri("file://");
    for (unsigned char c : NativePath::Encode(QDir::cleanPath(path)))
    {
        if (IsUriSafe(c))
            uri.append(char(c));
        else
            uri.append('%').append(kHex[c >> 4]).append(kHex[c & 15]);
    }
    return uri;
}

QString CThumbnailCache::FolderFor(int size) const
{
    return m_strRoot + (size > kNormal ? QStringLiteral("/large") : QStringLiteral("/normal"));
}

namespace
{
QString HashedName(const QString& path)
{
    return QString::fromLatin1(
               QCryptographicHash::hash(CThumbnailCache::UriOf(path), QCryptographicHash::Md5)
                   .toHex()) +
           QStringLiteral(".png");
}
} // namespace

QString CThumbnailCache::PathFor(const QString& path, int size) const
{
    return FolderFor(size) + QLatin1Char('/') + HashedName(path);
}

QString CThumbnailCache::FailurePathFor(const QString& path) const
{
    return m_strRoot + QLatin1Char('/') + kFailFolder + QLatin1Char('/') + HashedName(path);
}

bool CThumbnailCache::Contains(const QString& path) const
{
    const QString clean = QDir::cleanPath(path);
    return clean == m_strRoot || clean.startsWith(m_strRoot + QLatin1Char('/'));
}

bool CThumbnailCache::Matches(const QImage& image, const Source& source)
{
    if (image.text(kUriKey).toLatin1() != UriOf(source.path))
        return false;
    bool ok = false;
    if (image.text(kMTimeKey).toLongLong(&ok) != source.mtime || !ok)
        return false;
    const QString size = image.text(kSizeKey);
    return size.isEmpty() || size.toLongLong() == source.size;
}

namespace
{
/// A sound PNG no larger than size x size, with its stamps (Qt gives keys
/// holding "::" only on the image read, not on the reader).
QImage ReadSmallPng(const QString& path, int size)
{
    QImageReader reader(path, "png");
    reader.setAllocationLimit(kMaxReadMiB);
    // A file whose header lies about its size is not read at all.
    const QSize stored = reader.size();
    if (!stored.isValid() || stored.isEmpty() || stored.width() > size || stored.height() > size)
        return QImage();
    QImage image;
    if (!reader.read(&image) || image.size() != stored)
        return QImage();
    return image;
}
} // namespace

QImage CThumbnailCache::Load(const Source& source, int size) const
{
    QImage image = ReadSmallPng(PathFor(source.path, size), size);
    return !image.isNull() && Matches(image, source) ? image : QImage();
}

bool CThumbnailCache::HasFailure(const Source& source) const
{
    const QImage image = ReadSmallPng(FailurePathFor(source.path), kLarge);
    return !image.isNull() && Matches(image, source);
}

bool CThumbnailCache::WriteAtomically(const QString& folder, const QString& file, QImage image,
                                      const Source& source, int width, int height,
                                      const QString& mimeType) const
{
    if (!MakeFolders(folder))
        return false;
    image.setText(kUriKey, QString::fromLatin1(UriOf(source.path)));
    image.setText(kMTimeKey, QString::number(source.mtime));
    image.setText(kSizeKey, QString::number(source.size));
    if (!mimeType.isEmpty())
        image.setText(kMimeKey, mimeType);
    if (width > 0 && height > 0)
    {
        image.setText(kWidthKey, QString::number(width));
        image.setText(kHeightKey, QString::number(height));
    }
    image.setText(kSoftwareKey, QStringLiteral("Vistrel"));
    QByteArray png;
    {
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter writer(&buffer, "png");
        writer.setCompression(1); // zlib's fastest: thumbnails are small, making them is not
        if (!writer.write(image))
            return false;
    }
    // A temporary name of this process and call, so that workers and other
    // programs never see a half-written thumbnail.
    static std::atomic<unsigned> counter{0};
    const QByteArray target = NativePath::Encode(folder + QLatin1Char('/') + file);
    const QByteArray temp = target + ".vistrel-" + QByteArray::number(getpid()) + '-' +
                            QByteArray::number(counter++);
    const int fd = open(temp.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    const bool written = WriteAll(fd, png);
    if (close(fd) != 0 || !written || rename(temp.constData(), target.constData()) != 0)
    {
        unlink(temp.constData());
        return false;
    }
    return true;
}

bool CThumbnailCache::Store(const Source& source, int size, const QImage& thumbnail, int width,
                            int height, const QString& mimeType) const
{
    if (thumbnail.isNull() || Contains(source.path))
        return false;
    return WriteAtomically(FolderFor(size), HashedName(source.path), thumbnail, source, width,
                           height, mimeType);
}

bool CThumbnailCache::StoreFailure(const Source& source) const
{
    if (Contains(source.path))
        return false;
    QImage mark(1, 1, QImage::Format_ARGB32);
    mark.fill(Qt::transparent);
    return WriteAtomically(m_strRoot + QLatin1Char('/') + kFailFolder, HashedName(source.path),
                           mark, source, 0, 0, QString());
}
