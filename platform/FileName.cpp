#include "FileName.h"

#include "FileTransfer.h"
#include "MessageBox.h"
#include "NativePath.h"
#include "TransferProgressDlg.h"
#include "Trash.h"

#include <QFile>
#include <QDir>
#include <QStandardPaths>

#include <cerrno>
#include <filesystem>
#include <stdio.h>
#include <sys/stat.h>
#include <system_error>

namespace
{
bool PathExists(const QString& path)
{
    struct stat st;
    return !path.isEmpty() && lstat(NativePath::Encode(path).constData(), &st) == 0;
}

QString BaseName(const QString& path)
{
    return path.section(QLatin1Char('/'), -1);
}

QString ErrorText(int err)
{
    return QString::fromStdString(std::generic_category().message(err));
}

CFileName::RenameListener& Listener()
{
    static CFileName::RenameListener listener;
    return listener;
}

CFileName::RenameGuard& Guard()
{
    static CFileName::RenameGuard guard;
    return guard;
}

QDateTime FromTimespec(const struct timespec& ts)
{
    return QDateTime::fromMSecsSinceEpoch(qint64(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000);
}
} // namespace

int CFileName::Exist(const QString& path) const
{
    return PathExists(path.isEmpty() ? m_strName : path) ? 1 : 0;
}

int CFileName::IsFolder(const QString& path) const
{
    struct stat st;
    return !path.isEmpty() && stat(NativePath::Encode(path).constData(), &st) == 0 &&
                   S_ISDIR(st.st_mode)
               ? 1
               : 0;
}

int CFileName::IsFile(const QString& path) const
{
    struct stat st;
    return !path.isEmpty() && stat(NativePath::Encode(path).constData(), &st) == 0 &&
                   !S_ISDIR(st.st_mode)
               ? 1
               : 0;
}

void CFileName::AlterExtension(QString& name, const QString& extension)
{
    const int slash = int(name.lastIndexOf(QLatin1Char('/')));
    const int dot = int(name.lastIndexOf(QLatin1Char('.')));
    if (dot > slash + 1)
        name.truncate(dot);
    name += extension.startsWith(QLatin1Char('.')) ? extension : QLatin1Char('.') + extension;
}

QString CFileName::InvalidNameReason(const QString& name, const QString& kind)
{
    if (name.isEmpty())
        return QStringLiteral("A %1 name cannot be empty.").arg(kind);
    if (name.contains(QLatin1Char('/')))
        return QStringLiteral("A %1 name cannot contain \"/\".").arg(kind);
    if (name == QLatin1String(".") || name == QLatin1String(".."))
        return QStringLiteral("\"%1\" is not a %2 name.").arg(name, kind);
    return QString();
}

void CFileName::SetRenameListener(RenameListener listener)
{
    Listener() = std::move(listener);
}

void CFileName::SetRenameGuard(RenameGuard guard)
{
    Guard() = std::move(guard);
}

QString CFileName::RenamedPath(const QString& path, const QString& from, const QString& to)
{
    if (path == from)
        return to;
    return path.startsWith(from + QLatin1Char('/')) ? to + path.mid(from.size()) : QString();
}

int CFileName::RenameEntry(QWidget* pOwner, const QString& path, const QString& newName)
{
    m_bReportedFailure = false;
    QString reason = InvalidNameReason(
        newName, IsFolder(path) ? QStringLiteral("folder") : QStringLiteral("file"));
    const QString to = JoinPath(path.left(path.lastIndexOf(QLatin1Char('/')) + 1), newName);
    if (reason.isEmpty() && to != path && Guard())
        reason = Guard()(path);
    if (!reason.isEmpty())
    {
        AfxMessageBox(reason, MB_OK | MB_ICONERROR, pOwner);
        m_bReportedFailure = true;
        return 0;
    }
    if (!ShellRenameFiles(pOwner, path, to))
        return 0;
    if (Listener() && to != path)
        Listener()(path, to);
    return 1;
}

QString CFileName::MakeFolder(QWidget* pOwner, const QString& parent, const QString& name)
{
    QString reason = InvalidNameReason(name, QStringLiteral("folder"));
    const QString path = JoinPath(parent, name);
    if (reason.isEmpty() && parent.isEmpty())
        reason = QStringLiteral("Cannot create the folder \"%1\": it has no parent folder.").arg(name);
    if (reason.isEmpty() && PathExists(path))
        reason = QStringLiteral("A folder named \"%1\" already exists.").arg(name);
    if (reason.isEmpty() && mkdir(NativePath::Encode(path).constData(), 0777) != 0)
        reason = QStringLiteral("Cannot create the folder \"%1\": %2").arg(name, ErrorText(errno));
    if (!reason.isEmpty())
    {
        AfxMessageBox(reason, MB_OK | MB_ICONERROR, pOwner);
        return QString();
    }
    WriteIndexFile(path); // a folder without it is still the folder asked for
    return path;
}

QString CFileName::JoinPath(const QString& folder, const QString& name)
{
    return folder.endsWith(QLatin1Char('/')) ? folder + name : folder + QLatin1Char('/') + name;
}

QStringList CFileName::SplitPathList(const QString& paths)
{
    return paths.split(QChar(0), Qt::SkipEmptyParts);
}

QString CFileName::JoinPathList(const QStringList& paths)
{
    QString out;
    for (const QString& path : paths)
        out += path + QChar(0);
    return out;
}

int CFileName::Transfer(QWidget* pOwner, int op, const QStringList& from, const QString& to)
{
    m_bReportedFailure = false;
    if (from.isEmpty() || to.isEmpty())
        return 0;
    CFileTransfer transfer(CFileTransfer::Operation(op), from, to);
    const bool ok = CTransferProgressDlg::Execute(pOwner, transfer);
    m_bReportedFailure = !ok && !transfer.IsCancelled() && !transfer.ErrorText().isEmpty();
    return ok ? 1 : 0;
}

int CFileName::ShellCopyFiles(QWidget* pOwner, const QString& from, const QString& to)
{
    return Transfer(pOwner, CFileTransfer::Copy, SplitPathList(from), to);
}

int CFileName::ShellMoveFiles(QWidget* pOwner, const QString& from, const QString& to)
{
    return Transfer(pOwner, CFileTransfer::Move, SplitPathList(from), to);
}

int CFileName::ShellCopyList(QWidget* pOwner, const QStringList& paths, const QString& to, int)
{
    // A list always goes into a folder, even a list of one.
    return Transfer(pOwner, CFileTransfer::Copy, paths,
                    to.endsWith(QLatin1Char('/')) ? to : to + QLatin1Char('/'));
}

int CFileName::MoveDirectory(QWidget* pOwner, const QString& from, const QString& to)
{
    return Transfer(pOwner, CFileTransfer::Move, {from},
                    to.endsWith(QLatin1Char('/')) ? to : to + QLatin1Char('/'));
}

int CFileName::ShellRenameFiles(QWidget* pOwner, const QString& from, const QString& to)
{
    m_bReportedFailure = false;
    if (from.isEmpty() || to.isEmpty() || !PathExists(from))
        return 0;
    if (from == to)
        return 1;
    if (PathExists(to))
    {
        AfxMessageBox(QStringLiteral("Cannot rename \"%1\": \"%2\" already exists.")
                          .arg(BaseName(from), BaseName(to)),
                      MB_OK | MB_ICONERROR, pOwner);
        m_bReportedFailure = true;
        return 0;
    }
    const int err = CFileTransfer::RenameNoReplace(NativePath::Encode(from), NativePath::Encode(to));
    if (err == 0)
        return 1;
    if (err == EXDEV)
        return Transfer(pOwner, CFileTransfer::Move, {from}, to);
    AfxMessageBox(QStringLiteral("Cannot rename \"%1\": %2").arg(BaseName(from), ErrorText(err)),
                  MB_OK | MB_ICONERROR, pOwner);
    m_bReportedFailure = true;
    return 0;
}

int CFileName::ShellRenameDirectory(QWidget* pOwner, const QString& from, const QString& to)
{
    return ShellRenameFiles(pOwner, from, to);
}

int CFileName::CreateNewDirectory(const QString& path)
{
    if (path.isEmpty())
        return 0;
    const QByteArray native = NativePath::Encode(path);
    struct stat st;
    return mkdir(native.constData(), 0777) == 0 ||
                   (errno == EEXIST && stat(native.constData(), &st) == 0 && S_ISDIR(st.st_mode))
               ? 1
               : 0;
}

int CFileName::ChainCreateDirectory(const QString& path)
{
    if (path.isEmpty())
        return 0;
    std::error_code ec;
    const std::filesystem::path p(NativePath::Encode(path).toStdString());
    std::filesystem::create_directories(p, ec);
    return std::filesystem::is_directory(p, ec) ? 1 : 0;
}

bool CFileName::WriteIndexFile(const QString& folder)
{
    static const char kText[] = "This file was generated by Vistrel,\r\n"
                                "you may use it as an dir. index or delete it at this point.";
    QFile file(folder + QStringLiteral("/Index.txt"));
    if (NativePath::HasEscapes(folder) || !file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    const qint64 size = qint64(sizeof kText) - 1;
    return file.write(kText, size) == size && file.flush();
}

bool CFileName::GetFileStatus(const QString& path, CFileStatus& status)
{
    struct stat st;
    if (path.isEmpty() || stat(NativePath::Encode(path).constData(), &st) != 0)
        return false;
    status.ctime = FromTimespec(st.st_ctim);
    status.mtime = FromTimespec(st.st_mtim);
    status.atime = FromTimespec(st.st_atim);
    status.size = S_ISDIR(st.st_mode) ? 0 : qint64(st.st_size);
    status.mode = st.st_mode;
    return true;
}

int CFileName::ShellDeleteItems(QWidget* pOwner, const QString& paths, int)
{
    m_bReportedFailure = false;
    const QStringList items = SplitPathList(paths);
    if (items.isEmpty())
        return 0;
    const QString question =
        items.size() == 1
            ? QStringLiteral("Are you sure you want to move '%1' to the Trash?")
                  .arg(BaseName(items.first()))
            : QStringLiteral("Are you sure you want to move these %1 items to the Trash?")
                  .arg(items.size());
    if (AfxMessageBox(question, MB_YESNO | MB_ICONQUESTION, pOwner) != IDYES)
        return 0;

    // Items on a file system where no trash can be made are deleted for
    // good only if the user agrees.
    QStringList stuck;
    for (const QString& item : items)
        if (PathExists(item) && CTrash::MoveToTrash(item) != 0)
            stuck.append(item);
    if (!stuck.isEmpty())
    {
        const QString ask =
            stuck.size() == 1
                ? QStringLiteral("'%1' cannot be moved to the Trash.\nDo you want to delete it "
                                 "permanently?")
                      .arg(BaseName(stuck.first()))
                : QStringLiteral("%1 items cannot be moved to the Trash.\nDo you want to delete "
                                 "them permanently?")
                      .arg(stuck.size());
        if (AfxMessageBox(ask, MB_YESNO | MB_ICONWARNING, pOwner) == IDYES)
        {
            QStringList failed;
            for (const QString& item : stuck)
            {
                std::error_code ec;
                std::filesystem::remove_all(NativePath::Encode(item).toStdString(), ec);
                if (ec || PathExists(item))
                    failed.append(QStringLiteral("'%1': %2").arg(
                        BaseName(item), ec ? QString::fromStdString(ec.message()) : QString()));
            }
            if (!failed.isEmpty())
            {
                AfxMessageBox(QStringLiteral("Could not delete:\n") + failed.join('\n'),
                              MB_OK | MB_ICONERROR, pOwner);
                m_bReportedFailure = true;
            }
        }
    }
    int gone = 0;
    for (const QString& item : items)
        gone += PathExists(item) ? 0 : 1;
    return gone == items.size() ? 1 : 0;
}
