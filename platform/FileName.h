#pragma once
#include <QDateTime>
#include <QString>
#include <QStringList>

#include <functional>

class QWidget;

/// What GetFileStatus reports of a file or folder.
struct CFileStatus
{
    QDateTime ctime;   // status change
    QDateTime mtime;   // last write
    QDateTime atime;   // last access
    qint64 size = 0;   // bytes; 0 for folders
    unsigned mode = 0; // st_mode: type and permission bits
};

/// File helpers of the shell layer, usable from any window. Paths are full
/// paths ("/" separated); names that are not valid UTF-8 are passed as
/// NativePath escapes. The owner is the window that the progress dialog and
/// the questions belong to, or none.
///
/// The copy and move operations never lose a file: they ask before replacing
/// anything, show a cancellable progress dialog for long work while the
/// window stays live, and leave no partial file on cancel or failure (see
/// CFileTransfer for the rules). They return nonzero when done, 0 when failed
/// or cancelled; a failure's reason has been shown to the user.
class CFileName
{
public:
    explicit CFileName(const QString& name = QString()) : m_strName(name) {}

    /// Nonzero when the path (or, for an empty path, this object's own name) exists.
    int Exist(const QString& path = QString()) const;
    int IsFolder(const QString& path) const;
    int IsFile(const QString& path) const;
    /// Replaces the extension of name in place ("a/b.png", ".bmp" -> "a/b.bmp");
    /// a name without one gets the extension appended.
    static void AlterExtension(QString& name, const QString& extension);

    /// Copies what `from` names (one path, or paths each ended by a zero
    /// character; a last component "*" or "*.*" names a folder's entries) into
    /// the folder `to` (which may end in "/" or "/*.*"), or, for one source
    /// and a `to` that is not a folder, to that new path. A folder is copied
    /// with its contents, into the destination.
    int ShellCopyFiles(QWidget* pOwner, const QString& from, const QString& to);
    /// As ShellCopyFiles, but moves: a rename within one file system, else a
    /// copy of everything that then removes the sources.
    int ShellMoveFiles(QWidget* pOwner, const QString& from, const QString& to);
    /// Copies every listed path into the folder `to`; nFlags is kept for callers.
    int ShellCopyList(QWidget* pOwner, const QStringList& paths, const QString& to, int nFlags);
    /// Gives one file or folder a new full path; refuses (with a message) when
    /// something of that name exists.
    int ShellRenameFiles(QWidget* pOwner, const QString& from, const QString& to);
    int ShellRenameDirectory(QWidget* pOwner, const QString& from, const QString& to);
    /// Moves a file or folder into the folder `to`.
    int MoveDirectory(QWidget* pOwner, const QString& from, const QString& to);

    /// Moves what `paths` names (one path, or paths each ended by a zero
    /// character) to the desktop's trash after the user confirmed; what cannot
    /// go to a trash is deleted for good only after a second question, and a
    /// delete that then fails says why. Callers judge success by Exist afterwards.
    int ShellDeleteItems(QWidget* pOwner, const QString& paths, int nFlags);

    /// Whether the last operation failed and has told the user why (false
    /// after a success and after a cancel or a No), so the caller need not
    /// say more.
    bool ReportedFailure() const { return m_bReportedFailure; }

    /// Creates one folder; nonzero when it exists afterwards.
    static int CreateNewDirectory(const QString& path);
    /// Creates the folder and every missing level above it; nonzero when it exists.
    static int ChainCreateDirectory(const QString& path);
    /// Writes the 96-byte "Index.txt" that marks a folder made from a tree
    /// (an existing one is replaced); false when it cannot be written.
    static bool WriteIndexFile(const QString& folder);
    /// Times, size and mode of the path; false when it cannot be read.
    static bool GetFileStatus(const QString& path, CFileStatus& status);

    /// Why `name` cannot name an entry of a folder (empty, with "/", "." or
    /// ".."), in words for the user; empty when it can. `kind` is "file" or
    /// "folder".
    static QString InvalidNameReason(const QString& name, const QString& kind);

    /// Gives the file or folder at `path` the name `newName` in its folder,
    /// after checking the name; says why when it cannot. Whatever shows the
    /// old path follows through the rename listener. Nonzero when renamed.
    int RenameEntry(QWidget* pOwner, const QString& path, const QString& newName);
    /// Told of every RenameEntry that succeeded (open pictures, the list).
    using RenameListener = std::function<void(const QString& from, const QString& to)>;
    static void SetRenameListener(RenameListener listener);
    /// Asked before every RenameEntry: why the entry at the path must keep
    /// its name (an open project's folder), or empty when it may be renamed.
    using RenameGuard = std::function<QString(const QString& path)>;
    static void SetRenameGuard(RenameGuard guard);
    /// Where `path` is after `from` was renamed to `to` (the entry itself or
    /// something inside the folder); empty when the rename did not touch it.
    static QString RenamedPath(const QString& path, const QString& from, const QString& to);
    /// Makes the folder `name` inside `parent`, with its "Index.txt", after
    /// checking the name; says why when it cannot. The new folder's path, or
    /// empty.
    static QString MakeFolder(QWidget* pOwner, const QString& parent, const QString& name);

    /// The name inside the folder: folder + "/" + name, one "/" between.
    static QString JoinPath(const QString& folder, const QString& name);

    /// Splits a path list: one path or zero-separated paths.
    static QStringList SplitPathList(const QString& paths);
    /// Joins paths into a list of paths each ended by a zero character.
    static QString JoinPathList(const QStringList& paths);

private:
    int Transfer(QWidget* pOwner, int op, const QStringList& from, const QString& to);

    QString m_strName;
    bool m_bReportedFailure = false;
};
