#pragma once
#include <QString>
#include <functional>

class QWidget;

// Button sets and answers of a message box.
inline constexpr int MB_OK = 0x0;
inline constexpr int MB_OKCANCEL = 0x1;
inline constexpr int MB_ABORTRETRYIGNORE = 0x2;
inline constexpr int MB_YESNOCANCEL = 0x3;
inline constexpr int MB_YESNO = 0x4;
inline constexpr int MB_ICONERROR = 0x10;
inline constexpr int MB_ICONQUESTION = 0x20;
inline constexpr int MB_ICONWARNING = 0x30;
inline constexpr int MB_ICONINFORMATION = 0x40;
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;
inline constexpr int IDABORT = 3;
inline constexpr int IDRETRY = 4;
inline constexpr int IDIGNORE = 5;
inline constexpr int IDYES = 6;
inline constexpr int IDNO = 7;

/// Shows a modal message box with the program's title and returns the button
/// pressed. While a hook is installed the hook answers instead and no dialog
/// appears (tests read the texts and choose the answers through it).
int AfxMessageBox(const QString& text, int type = MB_OK, QWidget* parent = nullptr);

namespace MessageBoxHook
{
using Hook = std::function<int(const QString& text, int type)>;
/// Installs the hook (an empty function removes it).
void Install(Hook hook);
bool IsInstalled();
} // namespace MessageBoxHook
