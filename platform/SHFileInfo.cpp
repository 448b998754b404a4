#include "SHFileInfo.h"

#include "DirectoryReader.h"
#include "FileName.h"
#include "NativePath.h"

#include <QApplication>
#include <QDateTime>
#include <QHash>
#include <QLocale>
#include <QMimeDatabase>
#include <QStyle>

#include <sys/stat.h>

namespace
{
CSHFileInfo::Type MakeType(const QMimeType& mime, bool bFolder)
{
    CSHFileInfo::Type type;
    type.description = mime.comment();
    QIcon fallback =
        QApplication::style()->standardIcon(bFolder ? QStyle::SP_DirIcon : QStyle::SP_FileIcon);
    type.icon =
        QIcon::fromTheme(mime.iconName(), QIcon::fromTheme(mime.genericIconName(), fallback));
    return type;
}
} // namespace

const CSHFileInfo::Type& CSHFileInfo::TypeOf(const QString& path, const QString& name, bool bFolder)
{
    static QMimeDatabase db;
    static QHash<QString, Type> byKey; // "/" for folders, ".ext" lower-cased, or "mime:..."
    if (bFolder)
    {
        auto it = byKey.find(QStringLiteral("/"));
        if (it == byKey.end())
            it =
                byKey.insert(QStringLiteral("/"),
                             MakeType(db.mimeTypeForName(QStringLiteral("inode/directory")), true));
        return *it;
    }
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    QString key;
    QMimeType mime;
    if (dot > 0)
    {
        key = name.mid(dot).toLower();
        if (auto it = byKey.constFind(key); it != byKey.cend())
            return *it;
        mime = db.mimeTypeForFile(name, QMimeDatabase::MatchExtension);
    }
    // No extension, or one the database does not know: read the content.
    if (!mime.isValid() || mime.isDefault())
    {
        const QMimeType sniffed =
            NativePath::HasEscapes(path) ? QMimeType() : db.mimeTypeForFile(path);
        if (sniffed.isValid())
            mime = sniffed;
        if (dot <= 0)
            key = QStringLiteral("mime:") + mime.name();
    }
    if (auto it = byKey.constFind(key); it != byKey.cend())
        return *it;
    return *byKey.insert(key, MakeType(mime, false));
}

CSHFileInfo::CSHFileInfo(const QString& path) : m_strPath(path)
{
    m_strName = path.section(QLatin1Char('/'), -1);
    struct stat st;
    const QByteArray native = NativePath::Encode(path);
    if (stat(native.constData(), &st) == 0 || lstat(native.constData(), &st) == 0)
    {
        m_bFolder = S_ISDIR(st.st_mode);
        m_nSize = m_bFolder ? 0 : qint64(st.st_size);
        m_nTime = qint64(st.st_mtim.tv_sec);
    }
}

CSHFileInfo::CSHFileInfo(const QString& folder, const CDirEntry& entry)
    : m_strPath(CFileName::JoinPath(folder, entry.name)),
      m_strName(entry.name), m_nSize(entry.size), m_nTime(entry.mtime), m_bFolder(entry.bFolder)
{
}

const QIcon& CSHFileInfo::GetIcon() const
{
    if (!m_pType)
        m_pType = &TypeOf(m_strPath, m_strName, m_bFolder);
    return m_pType->icon;
}

const QString& CSHFileInfo::GetDescription() const
{
    GetIcon();
    return m_pType->description;
}

QString CSHFileInfo::GetFileSize() const
{
    return m_bFolder ? QString() : SizeText(m_nSize);
}

QString CSHFileInfo::GetLastWriteTime() const
{
    return TimeText(m_nTime);
}

QString CSHFileInfo::SizeText(qint64 bytes)
{
    return QLocale().formattedDataSize(bytes);
}

QString CSHFileInfo::TimeText(qint64 secondsSinceEpoch)
{
    return QLocale().toString(QDateTime::fromSecsSinceEpoch(secondsSinceEpoch),
                              QLocale::ShortFormat);
}
