#include "DocTemplate.h"

#include "Document.h"
#include "MDIChildWnd.h"
#include "MDIFrameWnd.h"
#include "NativePath.h"
#include "View.h"
#include "WinApp.h"

#include <QFileInfo>
#include <QMdiArea>
#include <QPointer>
#include <QStringList>

CDocTemplate::CDocTemplate(int nIDResource, const QString& docString, DocFactory doc,
                           FrameFactory frame, ViewFactory view)
    : m_nIDResource(nIDResource), m_strDocStrings(docString), m_docFactory(std::move(doc)),
      m_frameFactory(std::move(frame)), m_viewFactory(std::move(view))
{
}

CDocTemplate::~CDocTemplate()
{
    while (!m_docList.isEmpty())
    {
        CDocument* pDoc = m_docList.takeFirst();
        pDoc->m_pDocTemplate = nullptr;
        pDoc->OnCloseDocument();
    }
}

bool CDocTemplate::GetDocString(QString& out, DocStringIndex index) const
{
    const QStringList fields = m_strDocStrings.split(QLatin1Char('\n'));
    out = index < fields.size() ? fields[index] : QString();
    return !out.isEmpty();
}

bool CDocTemplate::MatchesFile(const QString& path) const
{
    QString exts;
    if (!GetDocString(exts, filterExt))
        return false;
    const QString suffix = QLatin1Char('.') + QFileInfo(path).suffix();
    for (QString ext : exts.split(QLatin1Char(';'), Qt::SkipEmptyParts))
    {
        if (ext.startsWith(QLatin1Char('*')))
            ext.remove(0, 1);
        if (ext.compare(suffix, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

CDocument* CDocTemplate::OpenDocumentFile(const QString& path, bool bMakeVisible)
{
    CWinApp* pApp = CWinApp::Get();
    QPointer<CMDIChildWnd> pWasActive =
        pApp && pApp->GetMainWnd() ? pApp->GetMainWnd()->MDIGetActive() : nullptr;
    CDocument* pDoc = CreateNewDocument();
    CMDIChildWnd* pFrame = CreateNewFrame(pDoc);
    if (!pFrame)
    {
        delete pDoc;
        return nullptr;
    }
    const bool ok = path.isEmpty() ? pDoc->OnNewDocument() : pDoc->OnOpenDocument(path);
    if (!ok)
    {
        pFrame->DestroyWindow();
        delete pDoc;
        // The error message took the activation: give it back to the window
        // that had it, so its menus and commands come back at once.
        if (pWasActive && !pWasActive->IsDestroying() && pWasActive->isVisible())
            pApp->GetMainWnd()->MDIActivate(pWasActive);
        return nullptr;
    }
    if (!path.isEmpty() && pDoc->GetPathName().isEmpty())
        pDoc->SetPathName(path, false);
    InitialUpdateFrame(pFrame, pDoc, bMakeVisible);
    return pDoc;
}

CMDIChildWnd* CDocTemplate::CreateNewFrame(CDocument* pDoc)
{
    CWinApp* pApp = CWinApp::Get();
    CMDIFrameWnd* pMain = pApp ? pApp->GetMainWnd() : nullptr;
    if (!pMain || !m_frameFactory || !m_viewFactory)
        return nullptr;
    CMDIChildWnd* pFrame = m_frameFactory();
    CView* pView = m_viewFactory();
    if (pDoc)
        pDoc->AddView(pView);
    pFrame->setWidget(pView->GetWidget());
    pFrame->SetActiveView(pView);
    pMain->AddChildFrame(pFrame);
    return pFrame;
}

void CDocTemplate::InitialUpdateFrame(CMDIChildWnd* pFrame, CDocument* pDoc, bool bMakeVisible)
{
    if (pDoc)
        pFrame->setWindowTitle(NativePath::ForDisplay(pDoc->GetTitle()));
    if (CView* pView = pFrame->GetActiveView())
        pView->OnInitialUpdate();
    if (bMakeVisible)
        pFrame->ActivateFrame(-1);
}

bool CDocTemplate::CloseAllDocuments(bool bEndSession)
{
    const QList<CDocument*> docs = m_docList;
    for (CDocument* pDoc : docs)
    {
        if (!m_docList.contains(pDoc))
            continue;
        if (!bEndSession && !pDoc->SaveModified())
            return false;
        pDoc->OnCloseDocument();
    }
    return true;
}

CDocument* CDocTemplate::CreateNewDocument()
{
    CDocument* pDoc = m_docFactory();
    AddDocument(pDoc);
    return pDoc;
}

void CDocTemplate::AddDocument(CDocument* pDoc)
{
    if (!m_docList.contains(pDoc))
        m_docList.append(pDoc);
    pDoc->m_pDocTemplate = this;
}

void CDocTemplate::RemoveDocument(CDocument* pDoc)
{
    m_docList.removeAll(pDoc);
    if (pDoc->m_pDocTemplate == this)
        pDoc->m_pDocTemplate = nullptr;
}
