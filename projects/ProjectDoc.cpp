#include "ProjectDoc.h"

#include "DocTemplate.h"
#include "FileName.h"
#include "IProjectHost.h"
#include "MDIFrameWnd.h"
#include "MessageBox.h"
#include "NativePath.h"
#include "ProjectTreeCtrl.h"
#include "ProjectView.h"
#include "ProjectWizSheet.h"
#include "RecentFileList.h"
#include "WinApp.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

#include <cerrno>
#include <filesystem>
#include <sys/stat.h>
#include <system_error>

namespace
{
const char kCreateFailed[] = "Create Project failed.";

// The recent projects, read from the settings or (bRead false) empty.
CRecentFileList RecentProjects(bool bRead = true)
{
    CRecentFileList list(4, QStringLiteral("Recent Project List"), QStringLiteral("Project%1"));
    if (bRead)
        list.ReadList();
    return list;
}

// The platform's file dialog on the projects folder; false when cancelled.
bool PromptProjectFile(bool bOpen, QString& path)
{
    const QString dir = CProjectDoc::ProjectsDirectory();
    QDir::setCurrent(dir);
    QFileDialog dialog(QApplication::activeWindow(),
                       bOpen ? QStringLiteral("Open Project") : QStringLiteral("Project Save As"));
    dialog.setAcceptMode(bOpen ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
    dialog.setFileMode(bOpen ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    dialog.setDirectory(dir);
    dialog.setNameFilter(QStringLiteral(".vrp Files (*.vrp *.VRP)"));
    dialog.setDefaultSuffix(QStringLiteral("vrp"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return false;
    path = QFileInfo(dialog.selectedFiles().first()).absoluteFilePath();
    return true;
}

} // namespace

QString CProjectDoc::ProjectsDirectory()
{
    const QString dir = QDir(QStandardPaths::writableLocation(QStandardPaths::PicturesLocation))
                            .filePath(QStringLiteral("Vistrel Projects"));
    QDir().mkpath(dir);
    return dir;
}

CProjectDoc* CProjectDoc::GetOpenProject()
{
    IProjectHost* pHost = IProjectHost::Get();
    if (!pHost || !pHost->GetProjectTemplate() ||
        pHost->GetProjectTemplate()->GetDocuments().isEmpty())
        return nullptr;
    return static_cast<CProjectDoc*>(pHost->GetProjectTemplate()->GetDocuments().first());
}

QByteArray CProjectDoc::NewProjectText(const QString& name)
{
    return name.toLocal8Bit() + "\r\n";
}

CProjectView* CProjectDoc::GetView() const
{
    return dynamic_cast<CProjectView*>(GetFirstView());
}

bool CProjectDoc::OnOpenDocument(const QString& path)
{
    if (!CDocument::OnOpenDocument(path))
        return false;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxTextSize)
    {
        AfxMessageBox(
            file.isOpen()
                ? QStringLiteral("The file %1 is too large to open as a project.").arg(path)
                : QStringLiteral("Cannot open the file %1: %2.").arg(path, file.errorString()),
            MB_OK | MB_ICONERROR);
        return false;
    }
    const QByteArray text = file.readAll();
    if (file.error() != QFileDevice::NoError)
    {
        AfxMessageBox(QStringLiteral("Cannot read the file %1: %2.").arg(path, file.errorString()),
                      MB_OK | MB_ICONERROR);
        return false;
    }
    if (CProjectView* pView = GetView())
        pView->SetProjectText(text);
    if (CProjectTreeCtrl* pTree = CProjectTreeCtrl::FromApp())
    {
        pTree->LoadProject(QFileInfo(path).absoluteFilePath());
        pTree->ShowProjectRoot();
    }
    SetModifiedFlag(false);
    return true;
}

bool CProjectDoc::OnSaveDocument(const QString& path)
{
    const QByteArray text = GetView() ? GetView()->GetProjectText() : QByteArray();
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.commit())
    {
        AfxMessageBox(QStringLiteral("Cannot save the file %1: %2.").arg(path, file.errorString()),
                      MB_OK | MB_ICONERROR);
        return false;
    }
    SetModifiedFlag(false);
    return true;
}

void CProjectDoc::SetPathName(const QString& path, bool bAddToMRU)
{
    if (!path.isEmpty())
        RecentProjects().Add(path);
    CDocument::SetPathName(path, bAddToMRU);
}

QString CProjectDoc::RenameRefusal(const QString& path)
{
    CProjectTreeCtrl* pTree = CProjectTreeCtrl::FromApp();
    return pTree ? pTree->RenameRefusal(path) : QString();
}

void CProjectDoc::FollowRename(const QString& from, const QString& to)
{
    if (CProjectTreeCtrl* pTree = CProjectTreeCtrl::FromApp())
        pTree->FollowRename(from, to);
    if (IProjectHost* pHost = IProjectHost::Get())
        if (const QString path = CFileName::RenamedPath(pHost->GetProjectPath(), from, to);
            !path.isEmpty())
            pHost->SetProjectPath(path);
    if (CProjectDoc* pDoc = GetOpenProject())
        if (const QString path = CFileName::RenamedPath(pDoc->GetPathName(), from, to);
            !path.isEmpty())
            pDoc->CDocument::SetPathName(path, false);

    // The recent projects keep their order under their new paths.
    const CRecentFileList recent = RecentProjects();
    QStringList paths;
    bool bChanged = false;
    for (int i = 0; !recent[i].isEmpty(); ++i)
    {
        const QString now = CFileName::RenamedPath(recent[i], from, to);
        bChanged = bChanged || !now.isEmpty();
        paths.append(now.isEmpty() ? recent[i] : now);
    }
    if (!bChanged)
        return;
    CRecentFileList renamed = RecentProjects(false);
    for (auto it = paths.crbegin(); it != paths.crend(); ++it)
        renamed.Add(*it);
}

// ---- Creating a project ---------------------------------------------------------

bool CProjectDoc::EnsureProjectDirectory(const QString& path)
{
    if (CFileName().IsFolder(path) || CFileName::ChainCreateDirectory(path))
        return true;
    AfxMessageBox(QString::fromLatin1(kCreateFailed), MB_OK);
    return false;
}

bool CProjectDoc::CreateProjectFile(const QString& dir, const QString& name)
{
    const QString path = QDir(dir).filePath(name + QStringLiteral(".vrp"));
    IProjectHost* pHost = IProjectHost::Get();
    if (CFileName().IsFile(path))
    {
        // An existing project file opens as it is.
        pHost->SetProjectPath(path);
        pHost->OpenProjectFile(path);
        return true;
    }
    QSaveFile file(path);
    const QByteArray text = NewProjectText(name);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.commit())
        return false;
    pHost->OpenProjectFile(path);
    return true;
}

void CProjectDoc::CreateProject()
{
    CProjectWizSheet sheet(QApplication::activeWindow());
    // Until the new project opens, the tree keeps what it shows.
    if (sheet.exec() != QDialog::Accepted)
        return;

    const QString name = sheet.m_strName;
    const QString dir = QDir::cleanPath(sheet.m_strParentDir + QLatin1Char('/') + name);
    if (!EnsureProjectDirectory(dir))
        return;
    const QString source = sheet.m_strSourceDir;
    if (!CreateProjectFile(dir, name))
    {
        AfxMessageBox(QString::fromLatin1(kCreateFailed), MB_OK);
        return;
    }
    CFileName copier;
    const bool bCopied = source.isEmpty() || copier.ShellCopyFiles(CWinApp::Get()->GetMainWnd(),
                                                                   QDir::cleanPath(source), dir);
    if (!source.isEmpty())
        if (CProjectTreeCtrl* pTree = CProjectTreeCtrl::FromApp(); pTree && pTree->HasProject())
            pTree->ShowProjectRoot();
    // A copy that failed has said why and what was copied; only a cancel is
    // a cancel.
    if (!bCopied && copier.ReportedFailure())
        AfxMessageBox(name + QStringLiteral(" project directory created, but the chosen files "
                                            "were not all copied into it."),
                      MB_OK | MB_ICONWARNING);
    else
        AfxMessageBox(name + (bCopied ? QStringLiteral(" project directory successfully created.")
                                      : QStringLiteral(" project directory copy canceled!")),
                      MB_OK | MB_ICONINFORMATION);
}

// ---- The project commands ------------------------------------------------------

void CProjectDoc::OnNewProject()
{
    CProjectDoc* pDoc = GetOpenProject();
    if (!pDoc)
        pDoc = static_cast<CProjectDoc*>(
            IProjectHost::Get()->GetProjectTemplate()->OpenDocumentFile(QString(), true));
    if (!pDoc)
        return;
    pDoc->CreateProject();
    // A wizard that made nothing leaves no untitled project behind.
    if (CProjectDoc* pOpen = GetOpenProject(); pOpen && pOpen->GetPathName().isEmpty())
        pOpen->OnCloseDocument();
}

void CProjectDoc::OnOpenProject()
{
    QString path;
    if (!PromptProjectFile(true, path))
        return;
    IProjectHost::Get()->OpenProjectFile(path);
    if (CProjectTreeCtrl* pTree = CProjectTreeCtrl::FromApp())
        pTree->update();
}

void CProjectDoc::OnSaveProject()
{
    CProjectDoc* pDoc = GetOpenProject();
    if (pDoc && pDoc->OnSaveDocument(pDoc->GetPathName()))
        AfxMessageBox(QStringLiteral("Project save complete."), MB_OK | MB_ICONINFORMATION);
}

void CProjectDoc::OnSaveProjectAs()
{
    IProjectHost* pHost = IProjectHost::Get();
    CProjectDoc* pOpen = GetOpenProject();
    if (!pOpen)
        return;
    pOpen->OnCloseDocument();
    // From here the project is closed: the tree must not go on showing it.
    auto showNoProject = []
    {
        if (CProjectTreeCtrl* pTree = CProjectTreeCtrl::FromApp())
            pTree->ResetToNoProject();
    };

    QString path;
    if (!PromptProjectFile(false, path))
    {
        showNoProject();
        return;
    }
    const int dot = int(path.lastIndexOf(QLatin1Char('.')));
    const QString newDir = dot > path.lastIndexOf(QLatin1Char('/')) ? path.left(dot) : path;
    const QString title = QFileInfo(newDir).fileName();
    const QString oldPath = pHost->GetProjectPath();
    const QString oldDir = QFileInfo(oldPath).absolutePath();
    const QString oldName = QFileInfo(oldPath).fileName();

    // A single new folder: its parent must exist, and it must not exist yet.
    // Nor may it lie inside the project it copies.
    const bool bInside = newDir.startsWith(oldDir + QLatin1Char('/'));
    if (bInside || mkdir(NativePath::Encode(newDir).constData(), 0777) != 0)
    {
        const int err = errno;
        AfxMessageBox(
            bInside || err == EEXIST
                ? QStringLiteral("OOOPs")
                : QStringLiteral("Cannot create the project folder \"%1\": %2")
                      .arg(newDir, QString::fromStdString(std::generic_category().message(err))),
            MB_OK);
        showNoProject();
        return;
    }
    CFileName name;
    CMDIFrameWnd* pMainWnd = CWinApp::Get()->GetMainWnd();
    const QString newPath = QDir(newDir).filePath(title + QStringLiteral(".vrp"));
    const bool bCopied = name.ShellCopyFiles(pMainWnd, oldDir + QStringLiteral("/*"), newDir) != 0;
    const bool bCancelled = !bCopied && !name.ReportedFailure();
    if (!bCopied || !name.ShellRenameFiles(pMainWnd, QDir(newDir).filePath(oldName), newPath))
    {
        // The folder is this command's own and holds only copies: it goes,
        // and the project that was open opens again.
        std::error_code ec;
        std::filesystem::remove_all(NativePath::Encode(newDir).toStdString(), ec);
        const bool bReopened =
            pHost->GetProjectTemplate()->OpenDocumentFile(oldPath, true) != nullptr;
        if (!bReopened)
            showNoProject();
        QString text = bCancelled ? QStringLiteral("Project Save As canceled")
                                  : QStringLiteral("Project Save As failed");
        text += QStringLiteral(": the project was not saved as \"%1\"").arg(title);
        if (bReopened)
            text += QStringLiteral(", and \"%1\" is open again")
                        .arg(QFileInfo(oldPath).completeBaseName());
        AfxMessageBox(text + QLatin1Char('.'),
                      MB_OK | (bCancelled ? MB_ICONINFORMATION : MB_ICONERROR));
        return;
    }

    pHost->OpenProjectFile(newPath);
    CProjectDoc* pDoc = GetOpenProject();
    if (!pDoc)
    {
        showNoProject(); // an image window kept its unsaved changes open
        return;
    }
    pDoc->SetModifiedFlag(true);
    pDoc->OnSaveDocument(newPath);
}

void CProjectDoc::OnCloseProject()
{
    if (CProjectDoc* pDoc = GetOpenProject())
    {
        if (pDoc->IsModified())
            pDoc->SaveModified();
        pDoc->OnCloseDocument();
    }
    CWinApp::Get()->WriteProfileString(QStringLiteral("Startup"), QStringLiteral("ProjectOnExit"),
                                       QStringLiteral("no"));
    if (CProjectTreeCtrl* pTree = CProjectTreeCtrl::FromApp())
        pTree->ResetToNoProject();
}
