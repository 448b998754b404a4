#include "DirectoryDialog.h"

#include "ShellTree.h"
#include "ui_DirectoryDialog.h"

#include <QPushButton>

CDirectoryDialog::CDirectoryDialog(QWidget* pParent)
    : QDialog(pParent), m_ui(std::make_unique<Ui::CDirectoryDialog>())
{
    m_ui->setupUi(this);
    setWindowIcon(QIcon(QStringLiteral(":/icons/vistrel.png")));
    m_pShellTree = m_ui->shellTree;
    connect(m_pShellTree, &QTreeWidget::currentItemChanged, this,
            [this]
            {
                QString path;
                if (m_pShellTree->OnFolderSelected(path))
                    m_ui->pathCombo->setEditText(path);
            });
    connect(m_ui->goButton, &QPushButton::clicked, this,
            [this] { m_pShellTree->TunnelTree(m_ui->pathCombo->currentText()); });
    connect(m_ui->buttons, &QDialogButtonBox::accepted, this, &CDirectoryDialog::OnOK);
}

CDirectoryDialog::~CDirectoryDialog() = default;

void CDirectoryDialog::showEvent(QShowEvent* event)
{
    // The caller sets the initial folder between construction and exec().
    if (!m_bInitialised)
    {
        m_bInitialised = true;
        m_pShellTree->EnableImages();
        m_pShellTree->PopulateTree();
        m_ui->pathCombo->setEditText(m_strPath);
        if (!m_strInitialDir.isEmpty())
            m_pShellTree->TunnelTree(m_strInitialDir);
    }
    QDialog::showEvent(event);
}

void CDirectoryDialog::OnOK()
{
    m_strPath = m_ui->pathCombo->currentText();
    accept();
}
