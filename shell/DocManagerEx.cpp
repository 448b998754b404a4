#include "DocManagerEx.h"

#include "FileListCtrl.h"
#include "PreviewFileDlg.h"

#include <QApplication>

bool CDocManagerEx::DoPromptFileName(QString& fileName, const QString& title, bool bOpenFileDialog,
                                     CDocTemplate* pTemplate)
{
    QString defaultExt;
    QStringList filters;
    const QList<Filter> templateFilters = BuildFilters(&defaultExt, pTemplate);
    for (const Filter& filter : templateFilters)
    {
        // "*.*" would skip files without a dot here.
        QString patterns =
            filter.patterns == QLatin1String("*.*") ? QStringLiteral("*") : filter.patterns;
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        // The pictures' entry lists every type the list opens (GIF too).
        if (&filter == &templateFilters.first() && !pTemplate)
            for (const QString& ext : CFileListCtrl::ImageExtensions())
                if (!patterns.split(QLatin1Char(' ')).contains(QLatin1Char('*') + ext))
                    patterns += QStringLiteral(" *") + ext;
        // Qt reads the patterns from the last parentheses and, hiding them,
        // shows the name as the template gives it.
        filters.append(filter.name + QStringLiteral(" (") + patterns + QLatin1Char(')'));
    }
    CPreviewFileDlg dialog(bOpenFileDialog, defaultExt, fileName, filters,
                           QApplication::activeWindow());
    dialog.setWindowTitle(title);
    if (dialog.exec() != QDialog::Accepted || dialog.GetPathName().isEmpty())
        return false;
    // Paths are not cut to a length: a shortened path names another file.
    fileName = dialog.GetPathName();
    return true;
}
