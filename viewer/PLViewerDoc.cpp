#include "PLViewerDoc.h"

#include "BmpPyramid.h"
#include "DrawDibBmp.h"
#include "FileName.h"
#include "MDIChildWnd.h"
#include "IImageHost.h"
#include "MessageBox.h"
#include "NativePath.h"
#include "OrientedRows.h"
#include "PLView.h"
#include "RecentFileList.h"
#include "Resource.h"
#include "TextException.h"
#include "WinApp.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QTimer>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <utility>

namespace
{
/// What the user is told of a file that cannot be shown: its name, then the
/// decoder's text, or, for a file that cannot be opened, the system's reason.
QString FailureText(const QString& path, int nCode, const std::string& error)
{
    QString reason = QString::fromLocal8Bit(error.c_str()).trimmed();
    if (nCode >= 3 && nCode <= 5) // the file could not be opened or mapped
    {
        const int fd = ::open(NativePath::Encode(path).constData(), O_RDONLY | O_CLOEXEC);
        struct stat st;
        if (fd < 0)
        {
            reason = QString::fromLocal8Bit(std::strerror(errno));
        }
        else
        {
            if (fstat(fd, &st) == 0 && S_ISDIR(st.st_mode))
                reason = QString::fromLocal8Bit(std::strerror(EISDIR));
            else if (fstat(fd, &st) == 0 && st.st_size == 0)
                reason = QStringLiteral("The file is empty.");
            ::close(fd);
        }
    }
    return QStringLiteral("%1: %2").arg(NativePath::ForDisplay(QFileInfo(path).fileName()), reason);
}

/// The file's size in bytes (0 when it cannot be read), its name's bytes kept.
qint64 FileSize(const QString& path)
{
    CFileStatus status;
    return CFileName::GetFileStatus(path, status) ? status.size : 0;
}
} // namespace

CPLViewerDoc::CPLViewerDoc(IImageHost& host)
    : m_host(host),
      m_loader([this](const std::shared_ptr<CPictureLoader::Pass>& pass) { OnPass(pass); }),
      m_player([this](CAnimationPlayer::Frame frame) { return ShowFrame(std::move(frame)); })
{
    OnCommand(Id::ID_SAVE_AS_BMP, [this] { SaveAsBmp(); });
    OnUpdate(Id::ID_SAVE_AS_BMP, [this](CCmdUI& ui) { ui.Enable(m_pBmp != nullptr); });
    OnCommand(Id::ID_VIEW_ANIMATION_PLAY, [this] { m_player.SetPlaying(!m_player.IsPlaying()); });
    OnUpdate(Id::ID_VIEW_ANIMATION_PLAY,
             [this](CCmdUI& ui)
             {
                 ui.Enable(m_player.IsAnimation());
                 ui.SetCheck(m_player.IsPlaying() ? 1 : 0);
             });
    const auto paused = [this](CCmdUI& ui)
    { ui.Enable(m_player.IsAnimation() && !m_player.IsPlaying()); };
    OnCommand(Id::ID_VIEW_ANIMATION_NEXT, [this] { m_player.StepForward(); });
    OnUpdate(Id::ID_VIEW_ANIMATION_NEXT, paused);
    OnCommand(Id::ID_VIEW_ANIMATION_PREVIOUS, [this] { m_player.StepBack(); });
    OnUpdate(Id::ID_VIEW_ANIMATION_PREVIOUS, paused);
}

CPLViewerDoc::~CPLViewerDoc() = default;

bool CPLViewerDoc::OnOpenDocument(const QString& path)
{
    DeleteContents();
    m_nFileSize = FileSize(path);
    // The window takes its place in the recent-file list now, in the order
    // the files were opened; a failed decode takes it out again.
    const CRecentFileList* pMRU = CWinApp::Get() ? CWinApp::Get()->GetRecentFileList() : nullptr;
    const QString full = QFileInfo(path).absoluteFilePath();
    m_bWasRecent = false;
    for (int i = 0; pMRU && i < pMRU->GetSize(); i++)
        m_bWasRecent = m_bWasRecent || (*pMRU)[i] == full;
    SetOpened(path, true);
    m_loader.Start(NativePath::Encode(path).toStdString(), CPictureLoader::FirstPassSize());
    return true;
}

void CPLViewerDoc::OnPass(const std::shared_ptr<CPictureLoader::Pass>& pass)
{
    if (m_onArrival)
        std::exchange(m_onArrival, {})(pass->pBmp != nullptr);
    if (!pass->pBmp)
    {
        FailOpen(FailureText(GetPathName(), pass->nCode, pass->error));
        return;
    }
    m_pictureSize = pass->fullSize;
    if (pass->bFinal)
    {
        m_pBmp = std::move(pass->pBmp);
        m_pDisplay = std::move(pass->pDisplay);
        m_pPyramid = std::move(pass->pPyramid);
        m_pFirstPass.reset();
        StartPlayer(GetPathName());
    }
    else
    {
        m_pFirstPass = std::move(pass->pBmp);
    }
    NotifyViews(pass->bFinal);
}

void CPLViewerDoc::FailOpen(const QString& text)
{
    m_pFirstPass.reset();
    m_pictureSize = QSize();
    NotifyViews(true);
    // A failed decode leaves the recent-file list as the open found it.
    if (CRecentFileList* pMRU = CWinApp::Get() ? CWinApp::Get()->GetRecentFileList() : nullptr;
        pMRU && !m_bWasRecent && (*pMRU)[0] == GetPathName())
        pMRU->Remove(0);
    // The message and the close come in a turn of their own: this runs
    // inside the loader, which goes with the document.
    CView* pView = GetFirstView();
    QObject* pContext = pView ? pView->GetWidget() : nullptr;
    if (!pContext)
        return;
    QPointer<QObject> guard(pContext);
    QTimer::singleShot(0, pContext,
                       [this, guard, text]
                       {
                           AfxMessageBox(text, MB_OK);
                           if (!guard)
                               return;
                           // A window whose picture never came keeps no placement.
                           if (CView* pFirst = GetFirstView(); pFirst && pFirst->GetParentFrame())
                               pFirst->GetParentFrame()->setProperty("failedOpen", true);
                           OnCloseDocument();
                       });
}

void CPLViewerDoc::NotifyViews(bool bFinal)
{
    for (CView* pView : GetViews())
        if (auto* pImageView = dynamic_cast<CPLView*>(pView))
            pImageView->OnPictureChanged(bFinal);
}

const CBmpPyramid* CPLViewerDoc::GetPyramid()
{
    if (!m_pPyramid && m_pBmp)
    {
        m_pPyramid = std::make_unique<CBmpPyramid>();
        m_pPyramid->Build(*GetDisplayBitmap());
    }
    return m_pPyramid.get();
}

void CPLViewerDoc::Turn(int orientation)
{
    if (!m_pBmp)
        return;
    // An animation stops on the frame it turns: its frames come as stored.
    m_player.Stop();
    m_pDisplay.reset();
    auto pTurned = std::make_unique<CDrawDibBmp>();
    try
    {
        COrientedRows::Turn(*m_pBmp, *pTurned, orientation);
    }
    catch (const CTextException& e)
    {
        AfxMessageBox(QString::fromLocal8Bit(e.GetText().c_str()), MB_OK);
        return;
    }
    m_pBmp = std::move(pTurned);
    m_pDisplay = CDrawDibBmp::ForDisplay(*m_pBmp);
    m_pPyramid.reset();
    m_pictureSize = QSize(m_pBmp->GetWidth(), m_pBmp->GetHeight());
    NotifyViews(true);
}

void CPLViewerDoc::OpenDecoded(const QString& path, CPictureLoader::Pass&& pass)
{
    DeleteContents();
    m_pBmp = std::move(pass.pBmp);
    if (m_pBmp)
    {
        m_pictureSize = QSize(m_pBmp->GetWidth(), m_pBmp->GetHeight());
        // The copies the worker could not make are made here (the reduced
        // ones when first drawn).
        m_pDisplay = pass.pPyramid ? std::move(pass.pDisplay) : CDrawDibBmp::ForDisplay(*m_pBmp);
        m_pPyramid = std::move(pass.pPyramid);
    }
    m_nFileSize = FileSize(path);
    SetOpened(path, false);
    if (m_pBmp)
        StartPlayer(path);
}

void CPLViewerDoc::StartPlayer(const QString& path)
{
    // The player's worker finds out from the file's first bytes whether it
    // animates; for any other picture it ends at once.
    m_player.Start(NativePath::Encode(path).toStdString());
}

CAnimationPlayer::Frame CPLViewerDoc::ShowFrame(CAnimationPlayer::Frame frame)
{
    CAnimationPlayer::Frame shown;
    shown.pBmp = std::exchange(m_pBmp, std::move(frame.pBmp));
    shown.pDisplay = std::exchange(m_pDisplay, std::move(frame.pDisplay));
    m_pPyramid.reset();
    for (CView* pView : GetViews())
        if (auto* pImageView = dynamic_cast<CPLView*>(pView))
            pImageView->OnFrameChanged();
    return shown;
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
    m_player.Stop();
    m_pBmp.reset();
    m_pDisplay.reset();
    m_pFirstPass.reset();
    m_pPyramid.reset();
    m_pictureSize = QSize();
}

bool CPLViewerDoc::SaveAsBmp()
{
    if (!m_pBmp || GetPathName().isEmpty())
        return false;
    QString target = GetPathName();
    CFileName::AlterExtension(target, QStringLiteral(".bmp"));
    // The name keeps its bytes (QFile::encodeName would replace those of a
    // name that is not UTF-8 and write another file).
    const QByteArray native = NativePath::Encode(target);
    struct stat status;
    if (lstat(native.constData(), &status) == 0)
    {
        const QString question =
            QStringLiteral("%1 already exists.\nDo you want to replace it?")
                .arg(NativePath::ForDisplay(target.mid(target.lastIndexOf(QLatin1Char('/')) + 1)));
        if (AfxMessageBox(question, MB_YESNO | MB_ICONWARNING) != IDYES)
            return false;
    }

    // Write beside the target and rename over it, so that a failed write
    // never leaves a damaged or half-written file under the target's name.
    QByteArray tmpl = native + ".XXXXXX";
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
        if (error.isEmpty() && std::rename(tmpl.constData(), native.constData()) != 0)
            error = QString::fromLocal8Bit(std::strerror(errno));
        if (!error.isEmpty())
            std::remove(tmpl.constData());
    }
    if (!error.isEmpty())
    {
        AfxMessageBox(
            QStringLiteral("Could not save %1.\n%2").arg(NativePath::ForDisplay(target), error),
            MB_OK | MB_ICONERROR);
        return false;
    }
    return true;
}
