#pragma once
#include <QDialog>
#include <QString>
#include <memory>

class CShellTree;

namespace Ui
{
class CDirectoryDialog;
}

/// "Choose Directory" (dialog 102): a tree of the user's folders and a box
/// with the chosen path. Set m_strInitialDir to open the tree at a folder;
/// after OK, m_strPath holds the path.
class CDirectoryDialog : public QDialog
{
    Q_OBJECT
public:
    // Control ids of dialog 102.
    static constexpr int IDD = 102;
    static constexpr int IDC_SHELL_TREE = 1004;
    static constexpr int IDC_PATH = 1012;
    static constexpr int IDC_GO = 1018;

    explicit CDirectoryDialog(QWidget* pParent = nullptr);
    ~CDirectoryDialog() override;

    QString m_strInitialDir;
    QString m_strPath;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void OnOK();

    std::unique_ptr<Ui::CDirectoryDialog> m_ui;
    CShellTree* m_pShellTree = nullptr;
    bool m_bInitialised = false;
};
