#include "ReplacePrompt.h"

#include "MessageBox.h"

#include <QApplication>
#include <QCheckBox>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>

QString CReplacePrompt::Text(const CFileTransfer::Conflict& conflict)
{
    const QFileInfo target(conflict.target);
    return QStringLiteral("\"%1\" already exists in \"%2\".\nDo you want to replace it?")
        .arg(target.fileName(), target.path());
}

CFileTransfer::Reply CReplacePrompt::Ask(QWidget* pOwner, const CFileTransfer::Conflict& conflict)
{
    if (MessageBoxHook::IsInstalled())
    {
        switch (AfxMessageBox(Text(conflict), MB_YESNOCANCEL | MB_ICONQUESTION, pOwner))
        {
        case IDYES:
            return {CFileTransfer::Replace, false};
        case IDNO:
            return {CFileTransfer::Skip, false};
        default:
            return {CFileTransfer::Cancel, false};
        }
    }

    QMessageBox box(pOwner ? pOwner : QApplication::activeWindow());
    box.setWindowTitle(QApplication::applicationDisplayName());
    box.setIcon(QMessageBox::Question);
    box.setText(Text(conflict));
    box.setAccessibleName(QStringLiteral("Replace file"));
    QPushButton* replace = box.addButton(QStringLiteral("&Replace"), QMessageBox::AcceptRole);
    QPushButton* skip = box.addButton(QStringLiteral("&Skip"), QMessageBox::RejectRole);
    box.addButton(QMessageBox::Cancel);
    box.setDefaultButton(skip);
    auto* all = new QCheckBox(QStringLiteral("&Apply to all"), &box);
    box.setCheckBox(all);
    box.exec();
    const bool bAll = all->isChecked();
    if (box.clickedButton() == replace)
        return {CFileTransfer::Replace, bAll};
    if (box.clickedButton() == skip)
        return {CFileTransfer::Skip, bAll};
    return {CFileTransfer::Cancel, false};
}
