#include "ProjectWizPage1.h"

#include "DirectoryDialog.h"
#include "MessageBox.h"
#include "ProjectDoc.h"
#include "ProjectWizSheet.h"
#include "ui_ProjectWizPage1.h"

#include <QDir>

CProjectWizPage1::CProjectWizPage1(CProjectWizSheet* pSheet)
    : QWizardPage(pSheet), m_ui(std::make_unique<Ui::CProjectWizPage1>()), m_pSheet(pSheet)
{
    m_ui->setupUi(this);
    m_ui->browseButton->setIcon(QIcon::fromTheme(QStringLiteral("folder-open"),
                                                 QIcon(QStringLiteral(":/icons/folder-open.png"))));
    m_ui->dirEdit->setText(CProjectDoc::ProjectsDirectory());
    connect(m_ui->browseButton, &QToolButton::clicked, this, &CProjectWizPage1::OnBrowse);
}

CProjectWizPage1::~CProjectWizPage1() = default;

QString CProjectWizPage1::CheckProjectName(const QString& name)
{
    if (name.isEmpty())
        return QStringLiteral("This project needs a name!");
    if (name.contains(QLatin1Char('/')) || name == QLatin1String(".") ||
        name == QLatin1String(".."))
        return QStringLiteral("A project name cannot contain \"/\" or be \".\" or \"..\".");
    // The project file's first line, with its line end, fits 256 bytes.
    if (name.toLocal8Bit().size() > 253)
        return QStringLiteral("A project name can be at most 253 bytes long.");
    return QString();
}

void CProjectWizPage1::initializePage()
{
    m_ui->nameEdit->setFocus();
}

bool CProjectWizPage1::validatePage()
{
    const QString name = m_ui->nameEdit->text();
    const QString error = CheckProjectName(name);
    if (!error.isEmpty())
    {
        AfxMessageBox(error, MB_OK | MB_ICONINFORMATION, this);
        m_ui->nameEdit->setFocus();
        return false;
    }
    // An empty box means the projects folder; a relative one lies in it.
    const QString dir = m_ui->dirEdit->text();
    m_pSheet->m_strParentDir = dir.isEmpty() ? CProjectDoc::ProjectsDirectory()
                                             : QDir(CProjectDoc::ProjectsDirectory()).filePath(dir);
    m_pSheet->m_strName = name;
    return true;
}

void CProjectWizPage1::OnBrowse()
{
    CDirectoryDialog dialog(this);
    dialog.m_strInitialDir = m_ui->dirEdit->text();
    if (dialog.exec() == QDialog::Accepted)
        m_ui->dirEdit->setText(dialog.m_strPath);
    else
        AfxMessageBox(QStringLiteral("Browse directories canceled"), MB_OK | MB_ICONINFORMATION,
                      this);
}
