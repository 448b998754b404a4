#include "MessageBox.h"

#include "Termination.h"
#include "WinApp.h"

#include <QApplication>
#include <QMessageBox>

namespace
{
// While the program is ending a box is not shown and a question counts as
// declined: nothing is replaced, saved or deleted that the user did not confirm.
int DeclinedAnswer(int type)
{
    switch (type & 0xF)
    {
    case MB_OK:
        return IDOK;
    case MB_YESNO:
    case MB_YESNOCANCEL:
        return IDNO;
    default:
        return IDCANCEL;
    }
}

MessageBoxHook::Hook& CurrentHook()
{
    static MessageBoxHook::Hook hook;
    return hook;
}
} // namespace

void MessageBoxHook::Install(Hook hook)
{
    CurrentHook() = std::move(hook);
}

bool MessageBoxHook::IsInstalled()
{
    return bool(CurrentHook());
}

int AfxMessageBox(const QString& text, int type, QWidget* parent)
{
    if (CurrentHook())
        return CurrentHook()(text, type);

    if (Termination::IsRequested())
        return DeclinedAnswer(type);

    QMessageBox box(parent ? parent : QApplication::activeWindow());
    box.setWindowTitle(CWinApp::Get() ? CWinApp::Get()->GetAppName()
                                      : QApplication::applicationName());
    box.setText(text);
    switch (type & 0xF0)
    {
    case MB_ICONERROR:
        box.setIcon(QMessageBox::Critical);
        break;
    case MB_ICONQUESTION:
        box.setIcon(QMessageBox::Question);
        break;
    case MB_ICONWARNING:
        box.setIcon(QMessageBox::Warning);
        break;
    case MB_ICONINFORMATION:
        box.setIcon(QMessageBox::Information);
        break;
    default:
        break;
    }
    switch (type & 0xF)
    {
    case MB_OKCANCEL:
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        break;
    case MB_YESNOCANCEL:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        break;
    case MB_YESNO:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        break;
    default:
        box.setStandardButtons(QMessageBox::Ok);
        break;
    }
    const int result = box.exec();
    if (Termination::IsRequested())
        return DeclinedAnswer(type);
    switch (result)
    {
    case QMessageBox::Yes:
        return IDYES;
    case QMessageBox::No:
        return IDNO;
    case QMessageBox::Cancel:
        return IDCANCEL;
    default:
        return IDOK;
    }
}
