#pragma once
#include <QWizardPage>
#include <memory>

class CProjectWizSheet;

namespace Ui
{
class CProjectWizPage2;
}

/// Page 2 of the new-project wizard: "Verify project creation settings...".
class CProjectWizPage2 : public QWizardPage
{
    Q_OBJECT
public:
    // Control ids of dialog 105.
    static constexpr int IDD = 105;
    static constexpr int IDC_FILE_NAME = 1019;
    static constexpr int IDC_FILE_PATH = 1020;
    static constexpr int IDC_BROWSE = 1103;
    static constexpr int IDC_SOURCE = 1104;

    explicit CProjectWizPage2(CProjectWizSheet* pSheet);
    ~CProjectWizPage2() override;

    void initializePage() override;
    bool validatePage() override;

private:
    void OnBrowse();

    std::unique_ptr<Ui::CProjectWizPage2> m_ui;
    CProjectWizSheet* m_pSheet;
};
