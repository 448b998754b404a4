#pragma once
#include <QString>
#include <QWizard>

/// The new-project wizard ("Wizard"): page 1 asks for the name and the
/// folder the project goes in, page 2 shows the project file to be made and
/// asks for a folder whose files are added. The answers are left in the
/// three strings when the wizard ends with Finish.
class CProjectWizSheet : public QWizard
{
    Q_OBJECT
public:
    explicit CProjectWizSheet(QWidget* pParent = nullptr);

    QString m_strSourceDir;
    QString m_strParentDir;
    QString m_strName;
};
