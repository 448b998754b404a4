#pragma once
#include <QString>
#include <QWizardPage>
#include <memory>

class CProjectWizSheet;

namespace Ui
{
class CProjectWizPage1;
}

/// Page 1 of the new-project wizard: "Name and Directory of new project...".
class CProjectWizPage1 : public QWizardPage
{
    Q_OBJECT
public:
    // Control ids of dialog 104.
    static constexpr int IDD = 104;
    static constexpr int IDC_BROWSE = 1007;
    static constexpr int IDC_DIRECTORY = 1013;
    static constexpr int IDC_NAME = 1015;

    explicit CProjectWizPage1(CProjectWizSheet* pSheet);
    ~CProjectWizPage1() override;

    /// Why the name cannot be a project's name, or empty when it can.
    static QString CheckProjectName(const QString& name);

    void initializePage() override;
    bool validatePage() override;

private:
    void OnBrowse();

    std::unique_ptr<Ui::CProjectWizPage1> m_ui;
    CProjectWizSheet* m_pSheet;
};
