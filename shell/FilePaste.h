#pragma once
#include <QString>

class QWidget;

/// Paste of files from the clipboard into a folder of the file system (the
/// folder tree's folder or the list's): what a copy in the program or in a
/// file manager put there is copied, what a cut put there is moved, through
/// the shell operations (nothing is replaced without asking).
namespace FilePaste
{
/// Whether the clipboard names local files.
bool CanPaste();
/// Copies or moves the clipboard's files into the folder; nonzero when done.
/// A move that took every file empties the clipboard.
int PasteInto(QWidget* pOwner, const QString& folder);
} // namespace FilePaste
