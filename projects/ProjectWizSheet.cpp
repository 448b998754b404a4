#include "ProjectWizSheet.h"

#include "ProjectWizPage1.h"
#include "ProjectWizPage2.h"

CProjectWizSheet::CProjectWizSheet(QWidget* pParent) : QWizard(pParent)
{
    setObjectName(QStringLiteral("ProjectWizard"));
    setWindowTitle(QStringLiteral("Wizard"));
    setAccessibleName(QStringLiteral("Wizard"));
    setOptions(options() | QWizard::NoBackButtonOnStartPage);
    addPage(new CProjectWizPage1(this));
    addPage(new CProjectWizPage2(this));
}
