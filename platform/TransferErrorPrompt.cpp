#include "TransferErrorPrompt.h"

#include "MessageBox.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

CFileTransfer::ErrorAnswer CTransferErrorPrompt::Ask(QWidget* pOwner,
                                                     const CFileTransfer::Error& error)
{
    if (MessageBoxHook::IsInstalled())
    {
        switch (AfxMessageBox(error.text, MB_ABORTRETRYIGNORE | MB_ICONERROR, pOwner))
        {
        case IDIGNORE:
            return CFileTransfer::SkipEntry;
        case IDRETRY:
            return CFileTransfer::RetryEntry;
        default:
            return CFileTransfer::CancelTransfer;
        }
    }

    QMessageBox box(pOwner ? pOwner : QApplication::activeWindow());
    box.setWindowTitle(QApplication::applicationDisplayName());
    box.setIcon(QMessageBox::Warning);
    box.setText(error.text);
    box.setAccessibleName(QStringLiteral("Transfer error"));
    QPushButton* skip = box.addButton(QStringLiteral("&Skip"), QMessageBox::AcceptRole);
    QPushButton* skipAll = box.addButton(QStringLiteral("Skip &All"), QMessageBox::AcceptRole);
    QPushButton* retry = box.addButton(QStringLiteral("&Retry"), QMessageBox::ActionRole);
    box.addButton(QMessageBox::Cancel);
    box.setDefaultButton(skip);
    box.exec();
    if (box.clickedButton() == skip)
        return CFileTransfer::SkipEntry;
    if (box.clickedButton() == skipAll)
        return CFileTransfer::SkipAllEntries;
    if (box.clickedButton() == retry)
        return CFileTransfer::RetryEntry;
    return CFileTransfer::CancelTransfer;
}
