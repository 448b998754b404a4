#include "WinApp.h"

#include "AfxIds.h"
#include "DocManager.h"
#include "DocTemplate.h"
#include "Document.h"
#include "MDIChildWnd.h"
#include "MDIFrameWnd.h"
#include "NativePath.h"
#include "RecentFileList.h"
#include "Settings.h"
#include "View.h"

#include <QApplication>
#include <QFileInfo>
#include <QPageSetupDialog>
#include <QPrinter>

CWinApp* CWinApp::s_pApp = nullptr;

CWinApp::CWinApp(const QString& appName) : m_strAppName(appName)
{
    s_pApp = this;
    // No application display name: Qt would append it to every window
    // title, and the main window's title already starts with the name.
    m_router.SetChain([this] { return RoutingChain(); });
    qApp->installEventFilter(this);

    OnCommand(AfxId::ID_FILE_OPEN, [this] { OnFileOpen(); });
    OnCommand(AfxId::ID_FILE_PRINT_SETUP, [this] { OnFilePrintSetup(); });
    for (int id = AfxId::ID_FILE_MRU_FILE1; id <= AfxId::ID_FILE_MRU_FILE4; ++id)
    {
        const int index = id - AfxId::ID_FILE_MRU_FILE1;
        OnCommand(id, [this, index] { OnOpenRecentFile(index); });
        OnUpdate(id, [this, index](CCmdUI& ui) {
            const QString path = m_pRecentFileList ? (*m_pRecentFileList)[index] : QString();
            if (path.isEmpty())
            {
                // The first item stands for the empty list, disabled.
                ui.SetText(QStringLiteral("Recent File"));
                ui.Enable(false);
                ui.SetVisible(index == 0);
                return;
            }
            QString shown = NativePath::ForDisplay(path);
            shown.replace(QLatin1Char('&'), QStringLiteral("&&"));
            ui.SetText(QStringLiteral("&%1 %2").arg(index + 1).arg(shown));
            ui.SetVisible(true);
        });
    }
}

CWinApp::~CWinApp()
{
    qApp->removeEventFilter(this);
    m_pDocManager.reset();
    if (s_pApp == this)
        s_pApp = nullptr;
}

bool CWinApp::PreTranslateMessage(QObject*, QEvent*)
{
    return false;
}

bool CWinApp::eventFilter(QObject* pWatched, QEvent* pEvent)
{
    return PreTranslateMessage(pWatched, pEvent);
}

void CWinApp::SetRegistryKey(const QString& maker)
{
    Settings::SetRegistryKey(maker, m_strAppName);
}

void CWinApp::LoadStdProfileSettings(int nMaxMRU)
{
    m_pRecentFileList = std::make_unique<CRecentFileList>(nMaxMRU);
    m_pRecentFileList->ReadList();
}

QString CWinApp::GetProfileString(const QString& section, const QString& entry,
                                  const QString& def) const
{
    return Settings::GetProfileString(section, entry, def);
}

int CWinApp::GetProfileInt(const QString& section, const QString& entry, int def) const
{
    return Settings::GetProfileInt(section, entry, def);
}

bool CWinApp::WriteProfileString(const QString& section, const QString& entry,
                                 const QString& value)
{
    return Settings::WriteProfileString(section, entry, value);
}

bool CWinApp::WriteProfileInt(const QString& section, const QString& entry, int value)
{
    return Settings::WriteProfileInt(section, entry, value);
}

void CWinApp::AddToRecentFileList(const QString& path)
{
    if (m_pRecentFileList)
        m_pRecentFileList->Add(path);
}

void CWinApp::SetDocManager(CDocManager* pManager)
{
    m_pDocManager.reset(pManager);
}

void CWinApp::AddDocTemplate(CDocTemplate* pTemplate)
{
    if (!m_pDocManager)
        m_pDocManager = std::make_unique<CDocManager>();
    m_pDocManager->AddDocTemplate(pTemplate);
}

CDocument* CWinApp::OpenDocumentFile(const QString& path)
{
    if (!m_pDocManager || path.isEmpty())
        return nullptr;
    CDocument* pDoc = m_pDocManager->OpenDocumentFile(path);
    if (pDoc)
        AddToRecentFileList(pDoc->GetPathName().isEmpty() ? path : pDoc->GetPathName());
    return pDoc;
}

std::vector<CCmdTarget*> CWinApp::RoutingChain() const
{
    std::vector<CCmdTarget*> chain;
    if (m_pMainWnd)
    {
        if (CMDIChildWnd* pFrame = m_pMainWnd->MDIGetActive())
        {
            if (CView* pView = pFrame->GetActiveView())
            {
                chain.push_back(pView);
                if (CDocument* pDoc = pView->GetDocument())
                    chain.push_back(pDoc);
            }
            chain.push_back(pFrame);
        }
        chain.push_back(m_pMainWnd);
    }
    chain.push_back(const_cast<CWinApp*>(this));
    return chain;
}

QPrinter& CWinApp::GetPrinter()
{
    if (!m_pPrinter)
        m_pPrinter = std::make_unique<QPrinter>(QPrinter::HighResolution);
    return *m_pPrinter;
}

void CWinApp::OnFileOpen()
{
    if (!m_pDocManager)
        return;
    QString fileName;
    if (!m_pDocManager->DoPromptFileName(fileName, QStringLiteral("Open"), true, nullptr))
        return;
    if (CDocument* pDoc = OpenDocumentFile(fileName))
        OnFileOpened(pDoc);
}

void CWinApp::OnFilePrintSetup()
{
    QPageSetupDialog dialog(&GetPrinter(), QApplication::activeWindow());
    dialog.exec();
}

void CWinApp::OnOpenRecentFile(int index)
{
    if (!m_pRecentFileList)
        return;
    const QString path = (*m_pRecentFileList)[index];
    if (path.isEmpty())
        return;
    if (!OpenDocumentFile(path))
        m_pRecentFileList->Remove(index);
}
