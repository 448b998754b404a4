#pragma once
#include "CmdTarget.h"
#include "CommandRouter.h"

#include <QObject>
#include <QString>
#include <memory>
#include <vector>

class CDocManager;
class CDocTemplate;
class CDocument;
class CMDIFrameWnd;
class CRecentFileList;
class QPrinter;

/// The application object: settings, recent files, documents, the main
/// window and the routing of commands. There is one at a time; it is created
/// after the QApplication and reached through Get().
class CWinApp : public QObject, public CCmdTarget
{
    Q_OBJECT
public:
    explicit CWinApp(const QString& appName);
    ~CWinApp() override;

    static CWinApp* Get() { return s_pApp; }

    /// Start-up; false ends the program.
    virtual bool InitInstance() { return true; }
    /// Sees every event of the program before it is delivered; true consumes it.
    virtual bool PreTranslateMessage(QObject* pTarget, QEvent* pEvent);

    void SetRegistryKey(const QString& maker);
    void LoadStdProfileSettings(int nMaxMRU);
    QString GetProfileString(const QString& section, const QString& entry,
                             const QString& def = QString()) const;
    int GetProfileInt(const QString& section, const QString& entry, int def) const;
    bool WriteProfileString(const QString& section, const QString& entry, const QString& value);
    bool WriteProfileInt(const QString& section, const QString& entry, int value);

    CRecentFileList* GetRecentFileList() const { return m_pRecentFileList.get(); }
    virtual void AddToRecentFileList(const QString& path);

    CDocManager* GetDocManager() const { return m_pDocManager.get(); }
    void SetDocManager(CDocManager* pManager);
    void AddDocTemplate(CDocTemplate* pTemplate);
    /// Opens a file through the document manager; the path enters the recent
    /// list on success.
    virtual CDocument* OpenDocumentFile(const QString& path);

    CMDIFrameWnd* GetMainWnd() const { return m_pMainWnd; }
    void SetMainWnd(CMDIFrameWnd* pWnd) { m_pMainWnd = pWnd; }

    CCommandRouter& Router() { return m_router; }
    /// Active view, its document, its frame, the main frame, the application.
    std::vector<CCmdTarget*> RoutingChain() const;

    /// The printer shared by printing, preview and print setup.
    QPrinter& GetPrinter();

    const QString& GetAppName() const { return m_strAppName; }

protected:
    bool eventFilter(QObject* pWatched, QEvent* pEvent) override;
    void OnFileOpen();
    /// After File > Open has opened the document.
    virtual void OnFileOpened(CDocument*) {}
    void OnFilePrintSetup();
    void OnOpenRecentFile(int index);

    CMDIFrameWnd* m_pMainWnd = nullptr;

private:
    static CWinApp* s_pApp;
    QString m_strAppName;
    std::unique_ptr<CRecentFileList> m_pRecentFileList;
    std::unique_ptr<CDocManager> m_pDocManager;
    std::unique_ptr<QPrinter> m_pPrinter;
    CCommandRouter m_router;
};
