#include "ProjectTreeCtrl.h"

#include "FileDrag.h"
#include "FileName.h"
#include "IPendingFiles.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QMimeData>
#include <QUrl>

// The clipboard: an item's path out, and into a folder the file list's
// pending copy or cut or the paths on the clipboard.

void CProjectTreeCtrl::OnCopy()
{
    const int image = ImageOf(m_hCurItem);
    if (image != kFileImage && image != kFolderImage)
        return;
    const QString path = GetItemPath(m_hCurItem);
    if (path.isEmpty())
        return;
    QApplication::clipboard()->setMimeData(CFileDrag::Create({path}, false));
}

bool CProjectTreeCtrl::OnPaste()
{
    if (!HasProject())
        return false;
    QTreeWidgetItem* pTarget = FolderOf(m_hCurItem);
    if (!pTarget)
        return false;
    CFileName name;

    // The file list's multi-file copy is taken over and used up at once.
    if (const QStringList copy = m_pPending ? m_pPending->TakeMultiCopy() : QStringList();
        !copy.isEmpty())
    {
        const bool bDone = name.ShellCopyList(this, copy, FolderPath(pTarget), 2) != 0;
        Reload(pTarget);
        return bDone;
    }
    // Its pending cut is moved, and used up only when the move is done.
    if (const QString cut = m_pPending ? m_pPending->GetPendingCut() : QString(); !cut.isEmpty())
    {
        const bool bDone = name.ShellMoveFiles(this, cut, FolderPath(pTarget)) != 0;
        if (bDone)
            m_pPending->CutMoved();
        Reload(pTarget);
        return bDone;
    }

    // Paths on the clipboard: file URLs, else a path (or file URLs) as text.
    const QMimeData* pData = QApplication::clipboard()->mimeData();
    QStringList candidates = pData ? CFileDrag::Paths(pData) : QStringList();
    if (candidates.isEmpty() && pData && pData->hasText())
    {
        QString text = pData->text();
        text.truncate(text.indexOf(QChar(0)) < 0 ? text.size() : text.indexOf(QChar(0)));
        for (const QString& line : text.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        {
            const QString trimmed = line.trimmed();
            const QUrl url(trimmed);
            candidates.append(url.isLocalFile() ? url.toLocalFile() : trimmed);
        }
    }
    QStringList paths;
    for (const QString& path : candidates)
        if (name.IsFolder(path) || name.IsFile(path))
            paths.append(QDir::cleanPath(path));
    const bool bDone =
        !paths.isEmpty() && name.ShellCopyList(this, paths, FolderPath(pTarget), 2) != 0;
    Reload(pTarget);
    return bDone;
}
