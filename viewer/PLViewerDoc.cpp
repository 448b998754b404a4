#include "PLViewerDoc.h"

#include "DrawDibBmp.h"
#include "FileName.h"
#include "IImageHost.h"
#include "MessageBox.h"
#include "NativePath.h"
#include "PicDecoder.h"
#include "Resource.h"
#include "TextException.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

CPLViewerDoc::CPLViewerDoc(IImageHost& host) : m_host(host)
{
    OnCommand(Id::ID_SAVE_AS_BMP, [this] { SaveAsBmp(); });
    OnUpdate(Id::ID_SAVE_AS_BMP, [this](CCmdUI& ui) { ui.Enable(m_pBmp != nullptr); });
}

CPLViewerDoc::~CPLViewerDoc() = default;

bool CPLViewerDoc::OnOpenDocument(const QString& path)
{
    DeleteContents();
    m_pBmp = std::make_unique<CDrawDibBmp>();
    try
    {
        m_host.GetDecoder().DecodeFile(NativePath::Encode(path).toStdString(), *m_pBmp, 0);
    }
    catch (const CTextException& e)
    {
        AfxMessageBox(QString::fromLocal8Bit(e.GetText().c_str()), MB_OK);
        DeleteContents();
        return false;
    }
    catch (const std::exception& e)
    {
        AfxMessageBox(QString::fromLocal8Bit(e.what()), MB_OK);
        DeleteContents();
        return false;
    }
    SetOpened(path, true);
    return true;
}

void CPLViewerDoc::OpenDecoded(const QString& path, std::unique_ptr<CDrawDibBmp> pBmp)
{
    DeleteContents();
    m_pBmp = std::move(pBmp);
    SetOpened(path, false);
}

void CPLViewerDoc::SetOpened(const QString& path, bool bAddToMRU)
{
    SetPathName(path, bAddToMRU);
    SetModifiedFlag(false);
    const QString dir = QFileInfo(GetPathName()).absolutePath();
    if (!dir.isEmpty())
        QDir::setCurrent(dir);
}

void CPLViewerDoc::DeleteContents()
{
    m_pBmp.reset();
}

bool CPLViewerDoc::SaveAsBmp()
{
    if (!m_pBmp || GetPathName().isEmpty())
        return false;
    QString target = GetPathName();
    CFileName::AlterExtension(target, QStringLiteral(".bmp"));
    const QFileInfo info(target);
    if (info.exists())
    {
        const QString question =
            QStringLiteral("%1 already exists.\nDo you want to replace it?").arg(info.fileName());
        if (AfxMessageBox(question, MB_YESNO | MB_ICONWARNING) != IDYES)
            return false;
    }

    // Write beside the target and rename over it, so that a failed write
    // never leaves a damaged or half-written file under the target's name.
    QByteArray tmpl = QFile::encodeName(target) + ".XXXXXX";
    const int fd = mkstemp(tmpl.data());
    QString error;
    if (fd < 0)
    {
        error = QString::fromLocal8Bit(std::strerror(errno));
    }
    else
    {
        // mkstemp creates the file for the owner only; give it the usual mode.
        const mode_t mask = umask(0);
        umask(mask);
        fchmod(fd, 0666 & ~mask);
        std::FILE* file = fdopen(fd, "wb");
        try
        {
            if (!file)
                throw std::system_error(errno, std::generic_category());
            m_pBmp->SaveAsBmp(file);
            if (std::fflush(file) != 0 || fsync(fileno(file)) != 0)
                throw std::system_error(errno, std::generic_category());
        }
        catch (const std::exception& e)
        {
            error = QString::fromLocal8Bit(e.what());
        }
        if (file ? std::fclose(file) != 0 : ::close(fd) != 0)
            if (error.isEmpty())
                error = QString::fromLocal8Bit(std::strerror(errno));
        if (error.isEmpty() && std::rename(tmpl.constData(), QFile::encodeName(target)) != 0)
            error = QString::fromLocal8Bit(std::strerror(errno));
        if (!error.isEmpty())
            std::remove(tmpl.constData());
    }
    if (!error.isEmpty())
    {
        AfxMessageBox(QStringLiteral("Could not save %1.\n%2").arg(target, error),
                      MB_OK | MB_ICONERROR);
        return false;
    }
    return true;
}
