#include "DocManager.h"

#include "DocTemplate.h"
#include "Document.h"
#include "MDIChildWnd.h"
#include "View.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>

CDocManager::~CDocManager()
{
    qDeleteAll(m_templates);
}

void CDocManager::AddDocTemplate(CDocTemplate* pTemplate)
{
    m_templates.append(pTemplate);
}

QList<CDocManager::Filter> CDocManager::BuildFilters(QString* pDefaultExt,
                                                     CDocTemplate* pOnly) const
{
    QList<Filter> filters;
    for (CDocTemplate* pTemplate : m_templates)
    {
        if (pOnly && pTemplate != pOnly)
            continue;
        QString name, exts;
        if (!pTemplate->GetDocString(name, CDocTemplate::filterName) ||
            !pTemplate->GetDocString(exts, CDocTemplate::filterExt))
            continue;
        if (filters.isEmpty() && pDefaultExt)
        {
            *pDefaultExt = exts.section(QLatin1Char(';'), 0, 0);
            if (pDefaultExt->startsWith(QLatin1Char('.')))
                pDefaultExt->remove(0, 1);
        }
        filters.append({name, QLatin1Char('*') + exts});
    }
    filters.append({QStringLiteral("All Files (*.*)"), QStringLiteral("*.*")});
    return filters;
}

bool CDocManager::DoPromptFileName(QString& fileName, const QString& title, bool bOpenFileDialog,
                                   CDocTemplate*)
{
    QString defaultExt;
    QStringList qtFilters;
    for (const Filter& filter : BuildFilters(&defaultExt))
    {
        // "*.*" would skip files without a dot here.
        QString patterns = filter.patterns == QLatin1String("*.*") ? QStringLiteral("*")
                                                                    : filter.patterns;
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        qtFilters.append(filter.name + QStringLiteral(" (") + patterns + QLatin1Char(')'));
    }
    QFileDialog dialog(QApplication::activeWindow(), title);
    dialog.setAcceptMode(bOpenFileDialog ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
    dialog.setFileMode(bOpenFileDialog ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    dialog.setNameFilters(qtFilters);
    dialog.setDefaultSuffix(defaultExt);
    if (!fileName.isEmpty())
        dialog.selectFile(fileName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return false;
    fileName = dialog.selectedFiles().first();
    return true;
}

CDocument* CDocManager::OpenDocumentFile(const QString& path)
{
    const QString full = QFileInfo(path).absoluteFilePath();
    for (CDocTemplate* pTemplate : m_templates)
    {
        for (CDocument* pDoc : pTemplate->GetDocuments())
        {
            if (!pDoc->GetPathName().isEmpty() && pDoc->GetPathName() == full)
            {
                if (CView* pView = pDoc->GetFirstView())
                    if (CMDIChildWnd* pFrame = pView->GetParentFrame())
                        pFrame->ActivateFrame(-1);
                return pDoc;
            }
        }
    }
    CDocTemplate* pChosen = nullptr;
    for (CDocTemplate* pTemplate : m_templates)
        if (!pChosen && pTemplate->MatchesFile(path))
            pChosen = pTemplate;
    if (!pChosen && !m_templates.isEmpty())
        pChosen = m_templates.first();
    return pChosen ? pChosen->OpenDocumentFile(path, true) : nullptr;
}

bool CDocManager::SaveAllModified()
{
    for (CDocTemplate* pTemplate : m_templates)
        for (CDocument* pDoc : pTemplate->GetDocuments())
            if (!pDoc->SaveModified())
                return false;
    return true;
}

void CDocManager::CloseAllDocuments(bool bEndSession)
{
    for (CDocTemplate* pTemplate : m_templates)
        pTemplate->CloseAllDocuments(bEndSession);
}

int CDocManager::GetOpenDocumentCount() const
{
    int n = 0;
    for (CDocTemplate* pTemplate : m_templates)
        n += int(pTemplate->GetDocuments().size());
    return n;
}
