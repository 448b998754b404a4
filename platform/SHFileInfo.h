#pragma once
#include <QIcon>
#include <QString>

struct CDirEntry;

/// What the file manager shows of a file: name, size, type and date texts in
/// the user's locale, and the icon theme's icon for its type (from the MIME
/// database). Types are looked up by extension and kept per extension, so a
/// folder of thousands of pictures costs one lookup.
class CSHFileInfo
{
public:
    /// Reads the file's status.
    explicit CSHFileInfo(const QString& path);
    /// From an entry already read (no file access, unless the name has no extension).
    CSHFileInfo(const QString& folder, const CDirEntry& entry);

    const QIcon& GetIcon() const;
    const QString& GetDisplayName() const { return m_strName; }
    /// Size text ("1.5 MiB"); empty for folders.
    QString GetFileSize() const;
    /// Type text from the MIME database ("PNG image", "Folder").
    const QString& GetDescription() const;
    QString GetLastWriteTime() const;

    static QString SizeText(qint64 bytes);
    static QString TimeText(qint64 secondsSinceEpoch);

    /// A MIME type's texts and icon, shared by every file of that type.
    struct Type
    {
        QString description;
        QIcon icon;
    };
    /// The type of a file or folder; path is read only when the name has no
    /// extension to go by. Call on the user-interface thread only.
    static const Type& TypeOf(const QString& path, const QString& name, bool bFolder);

private:
    QString m_strPath;
    QString m_strName;
    qint64 m_nSize = 0;
    qint64 m_nTime = 0;
    bool m_bFolder = false;
    mutable const Type* m_pType = nullptr; // looked up on first use
};
