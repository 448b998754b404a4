#include "DocManagerEx.h"

#include "PreviewFileDlg.h"

#include <QApplication>

bool CDocManagerEx::DoPromptFileName(QString& fileName, const QString& title, bool bOpenFileDialog,
                                     CDocTemplate* pTemplate)
{
    QString defaultExt;
    QStringList filters;
    for (const Filter& filter : BuildFilters(&defaultExt, pTemplate))
    {
        // "*.*" would skip files without a dot here.
        QString patterns =
            filter.patterns == QLatin1String("*.*") ? QStringLiteral("*") : filter.patterns;
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        // Qt reads the patterns from the last parentheses and, hiding them,
        // shows the name as the template gives it.
        filters.append(filter.name + QStringLiteral(" (") + patterns + QLatin1Char(')'));
    }
    CPreviewFileDlg dialog(bOpenFileDialog, defaultExt, fileName, filters,
                           QApplication::activeWindow());
    dialog.setWindowTitle(title);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return false;
    // Paths are not cut to a length: a shortened path names another file.
    fileName = dialog.selectedFiles().first();
    return true;
}
