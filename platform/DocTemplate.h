#pragma once
#include <QList>
#include <QString>
#include <functional>

class CDocument;
class CMDIChildWnd;
class CView;

/// A multi-document template: makes documents, their frames and views of
/// one kind, and owns the documents it made.
class CDocTemplate
{
public:
    using DocFactory = std::function<CDocument*()>;
    using FrameFactory = std::function<CMDIChildWnd*()>;
    using ViewFactory = std::function<CView*()>;

    /// Fields of the "\n"-separated document string.
    enum DocStringIndex
    {
        windowTitle,
        docName,
        fileNewName,
        filterName,
        filterExt,
        regFileTypeId,
        regFileTypeName
    };

    CDocTemplate(int nIDResource, const QString& docString, DocFactory doc, FrameFactory frame,
                 ViewFactory view);
    virtual ~CDocTemplate();
    CDocTemplate(const CDocTemplate&) = delete;
    CDocTemplate& operator=(const CDocTemplate&) = delete;

    int GetResourceId() const { return m_nIDResource; }
    /// The field, or false when it is empty.
    bool GetDocString(QString& out, DocStringIndex index) const;
    /// Whether the template's filter extensions name the file's extension.
    bool MatchesFile(const QString& path) const;

    /// Opens a document, or a new empty one for an empty path; null when the
    /// open failed (frame and document are gone again).
    virtual CDocument* OpenDocumentFile(const QString& path, bool bMakeVisible = true);
    /// A new document of the template's kind, among its documents.
    CDocument* CreateNewDocument();
    /// A frame holding a new view of the document, not yet shown.
    virtual CMDIChildWnd* CreateNewFrame(CDocument* pDoc);
    /// Gives the frame's view its first update and, when asked, shows the frame.
    virtual void InitialUpdateFrame(CMDIChildWnd* pFrame, CDocument* pDoc,
                                    bool bMakeVisible = true);

    const QList<CDocument*>& GetDocuments() const { return m_docList; }
    /// Closes every document; with bEndSession false a modified one may cancel
    /// (false is returned then and nothing more is closed).
    bool CloseAllDocuments(bool bEndSession);
    void AddDocument(CDocument* pDoc);
    void RemoveDocument(CDocument* pDoc);

private:
    int m_nIDResource;
    QString m_strDocStrings;
    DocFactory m_docFactory;
    FrameFactory m_frameFactory;
    ViewFactory m_viewFactory;
    QList<CDocument*> m_docList;
};
