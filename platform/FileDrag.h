#pragma once
#include <QString>
#include <QStringList>

class QMimeData;
class QWidget;

/// The data of files dragged or put on the clipboard by the program, readable
/// by any drop target:
/// - "text/uri-list": one file:// URL per path, the file name's bytes
///   percent-encoded (so names that are not UTF-8 survive);
/// - "text/plain": the paths, one a line;
/// - "application/x-vistrel-file-list": the paths as bytes, each ended by a
///   zero byte; present only when the files come from the program's file list,
///   whose files are copied on a drop, never moved;
/// - on the clipboard also "x-special/gnome-copied-files" ("copy" or "cut",
///   then the URLs, one a line) and, for a cut, "application/x-kde-cutselection",
///   which is how the desktop's file managers tell a cut from a copy.
class CFileDrag
{
public:
    static constexpr const char* kListFormat = "application/x-vistrel-file-list";

    /// New data naming the paths; bFromList adds the file list's own format.
    static QMimeData* Create(const QStringList& paths, bool bFromList);
    /// Clipboard data naming the paths, for a copy or (bCut) a move.
    static QMimeData* CreateForClipboard(const QStringList& paths, bool bCut);
    /// Whether clipboard data asks for a move (a cut here or in a file manager).
    static bool IsCut(const QMimeData* pData);
    /// The local paths the data names (the list's format, else its URLs).
    static QStringList Paths(const QMimeData* pData);
    static bool IsFromFileList(const QMimeData* pData);

    /// Drops the data's files on a tree item whose path is itemPath: they are
    /// copied into it when it is a folder, beside it when it is a file. An
    /// item outside the file system (empty path), one that no longer exists,
    /// and a cancelled copy give "Action canceled!" (a failed copy has said
    /// why and what was copied). Nonzero when copied.
    static int DropOnItem(QWidget* pOwner, const QMimeData* pData, const QString& itemPath);
};
