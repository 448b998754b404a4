#include "FileDrag.h"

#include "FileName.h"
#include "MessageBox.h"
#include "NativePath.h"

#include <QMimeData>
#include <QUrl>

namespace
{
const QString kUriList = QStringLiteral("text/uri-list");
const QString kGnomeCopied = QStringLiteral("x-special/gnome-copied-files");
const QString kKdeCut = QStringLiteral("application/x-kde-cutselection");

// Characters left as they are in a file URL's path.
const QByteArray kUrlSafe = QByteArrayLiteral("/-._~!$&'()*+,;=:@");
} // namespace

QMimeData* CFileDrag::Create(const QStringList& paths, bool bFromList)
{
    auto* pData = new QMimeData;
    QByteArray uris, list;
    QString text;
    for (const QString& path : paths)
    {
        const QByteArray native = NativePath::Encode(path);
        uris += "file://" + native.toPercentEncoding(kUrlSafe) + "\r\n";
        list += native + '\0';
        text += (text.isEmpty() ? QString() : QStringLiteral("\n")) + path;
    }
    pData->setData(kUriList, uris);
    pData->setText(text);
    if (bFromList)
        pData->setData(QString::fromLatin1(kListFormat), list);
    return pData;
}

QMimeData* CFileDrag::CreateForClipboard(const QStringList& paths, bool bCut)
{
    QMimeData* pData = Create(paths, false);
    QByteArray gnome = bCut ? "cut" : "copy";
    for (const QByteArray& uri : pData->data(kUriList).split('\n'))
        if (!uri.trimmed().isEmpty())
            gnome += '\n' + uri.trimmed();
    pData->setData(kGnomeCopied, gnome);
    if (bCut)
        pData->setData(kKdeCut, "1");
    return pData;
}

bool CFileDrag::IsCut(const QMimeData* pData)
{
    if (!pData)
        return false;
    if (pData->hasFormat(kGnomeCopied))
        return pData->data(kGnomeCopied).split('\n').first().trimmed() == "cut";
    return pData->data(kKdeCut).startsWith('1');
}

bool CFileDrag::IsFromFileList(const QMimeData* pData)
{
    return pData && pData->hasFormat(QString::fromLatin1(kListFormat));
}

QStringList CFileDrag::Paths(const QMimeData* pData)
{
    QStringList out;
    if (!pData)
        return out;
    if (IsFromFileList(pData))
    {
        for (const QByteArray& native : pData->data(QString::fromLatin1(kListFormat)).split('\0'))
            if (!native.isEmpty())
                out.append(NativePath::Decode(native));
        return out;
    }
    // Read the URLs' bytes ourselves: QUrl would replace bytes that are not UTF-8.
    // A file manager's copy may come as its own format alone: its lines
    // after the first are the URLs.
    QByteArray uris = pData->data(kUriList);
    if (uris.isEmpty() && pData->hasFormat(kGnomeCopied))
    {
        uris = pData->data(kGnomeCopied);
        uris = uris.mid(uris.indexOf('\n') + 1);
    }
    for (QByteArray line : uris.split('\n'))
    {
        line = line.trimmed();
        if (!line.startsWith("file://") || line.startsWith('#'))
            continue;
        QByteArray rest = line.mid(7);
        const qsizetype slash = rest.indexOf('/');
        if (slash < 0)
            continue;
        const QByteArray host = rest.left(slash);
        if (!host.isEmpty() && host != "localhost")
            continue; // another machine's file
        out.append(NativePath::Decode(QByteArray::fromPercentEncoding(rest.mid(slash))));
    }
    return out;
}

int CFileDrag::DropOnItem(QWidget* pOwner, const QMimeData* pData, const QString& itemPath)
{
    CFileName name;
    QString destination;
    if (name.IsFolder(itemPath))
        destination = itemPath + QStringLiteral("/*.*");
    else if (name.IsFile(itemPath))
        destination = itemPath.left(itemPath.lastIndexOf(QLatin1Char('/')) + 1);
    const QStringList paths = Paths(pData);
    const int result =
        destination.isEmpty() || paths.isEmpty()
            ? 0
            : name.ShellCopyFiles(pOwner, CFileName::JoinPathList(paths), destination);
    // A failure has already said what happened and what was copied.
    if (!result && !name.ReportedFailure())
        AfxMessageBox(QStringLiteral("Action canceled!"), MB_OK, pOwner);
    return result;
}
