#include "FilePaste.h"

#include "FileDrag.h"
#include "FileName.h"
#include "MessageBox.h"

#include <QApplication>
#include <QClipboard>
#include <QMimeData>

#include <algorithm>

namespace FilePaste
{
bool CanPaste()
{
    return !CFileDrag::Paths(QApplication::clipboard()->mimeData()).isEmpty();
}

int PasteInto(QWidget* pOwner, const QString& folder)
{
    const QMimeData* pData = QApplication::clipboard()->mimeData();
    const QStringList paths = CFileDrag::Paths(pData);
    const bool bCut = CFileDrag::IsCut(pData);
    CFileName file;
    if (paths.isEmpty() || !file.IsFolder(folder))
        return 0;
    // A file pasted into its own folder would be asked to replace itself.
    const QString into = CFileName::JoinPath(folder, QString());
    QStringList elsewhere;
    for (const QString& path : paths)
        if (path.left(path.lastIndexOf(QLatin1Char('/')) + 1) != into && into != path + '/')
            elsewhere.append(path);
    if (elsewhere.isEmpty())
    {
        AfxMessageBox(QStringLiteral("The files are already in this folder."), MB_OK, pOwner);
        return 0;
    }
    const int result = bCut ? file.ShellMoveFiles(pOwner, CFileName::JoinPathList(elsewhere), into)
                            : file.ShellCopyList(pOwner, elsewhere, into, 0);
    // Once every file has moved the clipboard names nothing that is there;
    // a file skipped at the replace question can still be pasted elsewhere.
    if (bCut && std::none_of(elsewhere.begin(), elsewhere.end(),
                             [&file](const QString& path) { return file.Exist(path); }))
        QApplication::clipboard()->clear();
    return result;
}
} // namespace FilePaste
