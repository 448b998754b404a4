#pragma once
#include <QList>
#include <QString>

class CDocTemplate;
class CDocument;

/// The document manager: the templates in registration order, the file
/// prompt, and opening a file with the template that fits it.
class CDocManager
{
public:
    CDocManager() = default;
    virtual ~CDocManager();
    CDocManager(const CDocManager&) = delete;
    CDocManager& operator=(const CDocManager&) = delete;

    /// Takes ownership of the template.
    void AddDocTemplate(CDocTemplate* pTemplate);
    const QList<CDocTemplate*>& GetTemplates() const { return m_templates; }

    /// Asks for a file name; true when the user confirmed.
    virtual bool DoPromptFileName(QString& fileName, const QString& title, bool bOpenFileDialog,
                                  CDocTemplate* pTemplate);
    /// Activates the document when it is open already, else opens it with the
    /// template whose extensions match (the first template otherwise).
    virtual CDocument* OpenDocumentFile(const QString& path);
    bool SaveAllModified();
    void CloseAllDocuments(bool bEndSession);
    int GetOpenDocumentCount() const;

    /// The filter list as (name, patterns) pairs: each template that has both
    /// a filter name and extensions, then "All Files".
    struct Filter
    {
        QString name;
        QString patterns; // ";"-separated, e.g. "*.bmp;*.dib"
    };
    /// With pOnly, that template's filter alone (then "All Files").
    QList<Filter> BuildFilters(QString* pDefaultExt = nullptr, CDocTemplate* pOnly = nullptr) const;

private:
    QList<CDocTemplate*> m_templates;
};
