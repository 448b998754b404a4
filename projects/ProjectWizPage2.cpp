#include "ProjectWizPage2.h"

#include "DirectoryDialog.h"
#include "MessageBox.h"
#include "ProjectWizSheet.h"
#include "ui_ProjectWizPage2.h"

CProjectWizPage2::CProjectWizPage2(CProjectWizSheet* pSheet)
    : QWizardPage(pSheet), m_ui(std::make_unique<Ui::CProjectWizPage2>()), m_pSheet(pSheet)
{
    m_ui->setupUi(this);
    m_ui->browseButton->setIcon(QIcon::fromTheme(QStringLiteral("folder-open"),
                                                 QIcon(QStringLiteral(":/icons/folder-open.png"))));
    connect(m_ui->browseButton, &QToolButton::clicked, this, &CProjectWizPage2::OnBrowse);
    setFinalPage(true);
}

CProjectWizPage2::~CProjectWizPage2() = default;

void CProjectWizPage2::initializePage()
{
    const QString& name = m_pSheet->m_strName;
    QString dir = m_pSheet->m_strParentDir;
    if (!dir.endsWith(QLatin1Char('/')))
        dir += QLatin1Char('/');
    m_ui->fileName->setText(name + QStringLiteral(".vrp"));
    m_ui->filePath->setText(dir + name + QLatin1Char('/') + name + QStringLiteral(".vrp"));
}

bool CProjectWizPage2::validatePage()
{
    m_pSheet->m_strSourceDir = m_ui->sourceEdit->text();
    return true;
}

void CProjectWizPage2::OnBrowse()
{
    CDirectoryDialog dialog(this);
    if (dialog.exec() == QDialog::Accepted)
        m_ui->sourceEdit->setText(dialog.m_strPath);
    else
        AfxMessageBox(QStringLiteral("Browse directories canceled"), MB_OK | MB_ICONINFORMATION,
                      this);
}
