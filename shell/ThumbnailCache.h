#pragma once
#include <QByteArray>
#include <QImage>
#include <QString>

/// The desktop's shared thumbnail cache (the freedesktop Thumbnail Managing
/// Standard): $XDG_CACHE_HOME/thumbnails (default ~/.cache/thumbnails) with
/// "normal" (128 pixels) and "large" (256) thumbnails, each a PNG named for
/// the MD5 of the file's URI and stamped with the URI and the file's
/// modification time, so that every program on the desktop shares them.
///
/// Every operation may run on any thread: the object holds only its root.
/// Nothing is reported: a cache that cannot be written (read-only home, full
/// disk, a file in the way) just keeps nothing.
class CThumbnailCache
{
public:
    static constexpr int kNormal = 128;
    static constexpr int kLarge = 256;

    /// The picture a thumbnail stands for, as the cache stamps it.
    struct Source
    {
        QString path;     // absolute, undecodable bytes escaped (NativePath)
        qint64 mtime = 0; // seconds since the epoch
        qint64 size = 0;  // bytes
    };

    /// root: the "thumbnails" folder; empty takes the desktop's.
    explicit CThumbnailCache(QString root = QString());
    static QString DefaultRoot();
    const QString& GetRoot() const { return m_strRoot; }

    /// The stamp of a file as it is now; false when it is gone or no file.
    static bool StatSource(const QString& path, Source& source);
    /// "file://" and the path's bytes, percent-encoded as the desktop does
    /// (everything but letters, digits and -._~!$&'()*+,=:@/).
    static QByteArray UriOf(const QString& path);
    /// Where the thumbnail of that size (kNormal or kLarge) lives.
    QString PathFor(const QString& path, int size) const;
    /// Where this program records that a file could not be thumbnailed.
    QString FailurePathFor(const QString& path) const;
    /// True for the cache folder and everything in it, which get no thumbnails.
    bool Contains(const QString& path) const;

    /// The cached thumbnail when it is fresh (same URI, modification time
    /// and, when stamped, size) and a sound PNG no larger than the size; a
    /// null image otherwise, and the caller makes it again.
    QImage Load(const Source& source, int size) const;
    /// True when a failure entry stands for the file as it is now.
    bool HasFailure(const Source& source) const;

    /// Writes the thumbnail under a temporary name and renames it into
    /// place (files 0600, folders 0700). width, height: the picture's own
    /// size; mimeType may be empty. False when nothing could be written.
    bool Store(const Source& source, int size, const QImage& thumbnail, int width, int height,
               const QString& mimeType) const;
    bool StoreFailure(const Source& source) const;

private:
    QString FolderFor(int size) const;
    /// Writes the PNG (with its stamps) under a temporary name beside file
    /// and renames it over file, making its folders first.
    bool WriteAtomically(const QString& folder, const QString& file, QImage image,
                         const Source& source, int width, int height,
                         const QString& mimeType) const;
    /// The stamps of a cached PNG match the file as it is now.
    static bool Matches(const QImage& image, const Source& source);

    QString m_strRoot;
};
