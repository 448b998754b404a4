#pragma once
#include <QString>

/// The desktop's trash as the freedesktop.org trash layout has it: the home
/// trash (the data folder's "Trash") for entries on its file system, else
/// that file system's own (".Trash/UID" at its top when the administrator
/// made one, else ".Trash-UID"). Each entry gets an info file that names
/// where it came from, so the file manager can put it back. Any name can go
/// there: names that are not UTF-8 and names too long to take the info
/// file's ".trashinfo" are trashed under a shortened name.
class CTrash
{
public:
    /// Moves the file or folder into its trash; 0, or the error number when
    /// it stays where it was (no trash can be made on its file system, say).
    static int MoveToTrash(const QString& path);
};
