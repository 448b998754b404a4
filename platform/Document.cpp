#include "Document.h"

#include "DocTemplate.h"
#include "MDIChildWnd.h"
#include "MessageBox.h"
#include "View.h"
#include "WinApp.h"

#include <QFileInfo>

CDocument::CDocument() = default;

CDocument::~CDocument()
{
    for (CView* pView : m_views)
        pView->m_pDocument = nullptr;
    if (m_pDocTemplate)
        m_pDocTemplate->RemoveDocument(this);
}

bool CDocument::OnNewDocument()
{
    DeleteContents();
    m_strPathName.clear();
    SetModifiedFlag(false);
    return true;
}

bool CDocument::OnOpenDocument(const QString& path)
{
    DeleteContents();
    const QFileInfo info(path);
    if (!info.isFile() || !info.isReadable())
    {
        AfxMessageBox(QStringLiteral("Cannot open the file %1.").arg(path), MB_OK | MB_ICONERROR);
        return false;
    }
    SetModifiedFlag(false);
    return true;
}

bool CDocument::SaveModified()
{
    if (!IsModified())
        return true;
    const QString name = m_strTitle.isEmpty() ? QStringLiteral("Untitled") : m_strTitle;
    switch (AfxMessageBox(QStringLiteral("Save changes to %1?").arg(name),
                          MB_YESNOCANCEL | MB_ICONQUESTION))
    {
    case IDCANCEL:
        return false;
    case IDYES:
        return OnSaveDocument(m_strPathName);
    default:
        return true;
    }
}

bool CDocument::OnSaveDocument(const QString&)
{
    SetModifiedFlag(false);
    return true;
}

void CDocument::OnCloseDocument()
{
    if (m_bClosing)
        return;
    m_bClosing = true;
    // Destroying a frame removes its views from m_views.
    while (!m_views.isEmpty())
    {
        CView* pView = m_views.first();
        CMDIChildWnd* pFrame = pView->GetParentFrame();
        if (pFrame)
            pFrame->DestroyWindow();
        m_views.removeAll(pView);
        pView->m_pDocument = nullptr;
    }
    DeleteContents();
    delete this;
}

void CDocument::SetPathName(const QString& path, bool bAddToMRU)
{
    m_strPathName = path.isEmpty() ? path : QFileInfo(path).absoluteFilePath();
    m_strTitle = QFileInfo(path).fileName();
    if (bAddToMRU && CWinApp::Get())
        CWinApp::Get()->AddToRecentFileList(m_strPathName);
}

void CDocument::AddView(CView* pView)
{
    if (!m_views.contains(pView))
        m_views.append(pView);
    pView->m_pDocument = this;
}

void CDocument::RemoveView(CView* pView)
{
    m_views.removeAll(pView);
    if (pView->m_pDocument == this)
        pView->m_pDocument = nullptr;
}
