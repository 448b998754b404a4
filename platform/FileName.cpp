#include "FileName.h"

#include "MessageBox.h"

#include <QFile>
#include <QFileInfo>

int CFileName::Exist(const QString& path) const
{
    const QString& p = path.isEmpty() ? m_strName : path;
    return !p.isEmpty() && QFileInfo::exists(p) ? 1 : 0;
}

int CFileName::IsFolder(const QString& path) const
{
    return QFileInfo(path).isDir() ? 1 : 0;
}

int CFileName::IsFile(const QString& path) const
{
    return QFileInfo(path).isFile() ? 1 : 0;
}

void CFileName::AlterExtension(QString& name, const QString& extension)
{
    const int slash = int(name.lastIndexOf(QLatin1Char('/')));
    const int dot = int(name.lastIndexOf(QLatin1Char('.')));
    if (dot > slash + 1)
        name.truncate(dot);
    name += extension.startsWith(QLatin1Char('.')) ? extension : QLatin1Char('.') + extension;
}

QStringList CFileName::SplitPathList(const QString& paths)
{
    return paths.split(QChar(0), Qt::SkipEmptyParts);
}

int CFileName::ShellDeleteItems(QWidget* pOwner, const QString& paths, int)
{
    const QStringList items = SplitPathList(paths);
    if (items.isEmpty())
        return 0;
    const QString question =
        items.size() == 1
            ? QStringLiteral("Are you sure you want to move '%1' to the Trash?")
                  .arg(QFileInfo(items.first()).fileName())
            : QStringLiteral("Are you sure you want to move these %1 items to the Trash?")
                  .arg(items.size());
    if (AfxMessageBox(question, MB_YESNO | MB_ICONQUESTION, pOwner) != IDYES)
        return 0;
    int moved = 0;
    for (const QString& item : items)
        moved += QFile::moveToTrash(item) ? 1 : 0;
    return moved == items.size() ? 1 : 0;
}
