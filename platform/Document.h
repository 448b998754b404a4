#pragma once
#include "CmdTarget.h"

#include <QList>
#include <QString>

class CDocTemplate;
class CView;
class CMDIChildWnd;

/// A document: a file's contents with its path, title, modified flag and
/// the views that show it. Documents are owned by their template.
class CDocument : public CCmdTarget
{
public:
    CDocument();
    ~CDocument() override;
    CDocument(const CDocument&) = delete;
    CDocument& operator=(const CDocument&) = delete;

    virtual bool OnNewDocument();
    /// Loads the file; false leaves nothing behind. The base checks that the
    /// file can be read.
    virtual bool OnOpenDocument(const QString& path);
    virtual void DeleteContents() {}
    virtual bool IsModified() const { return m_bModified; }
    virtual void SetModifiedFlag(bool bModified = true) { m_bModified = bModified; }
    /// Gives a modified document the chance to be saved; false cancels.
    virtual bool SaveModified();
    virtual bool OnSaveDocument(const QString& path);
    /// Closes every frame of the document, empties it and deletes it.
    virtual void OnCloseDocument();

    const QString& GetPathName() const { return m_strPathName; }
    /// Sets the path and the title (the file name); adds the path to the
    /// application's recent-file list when asked.
    virtual void SetPathName(const QString& path, bool bAddToMRU = true);
    const QString& GetTitle() const { return m_strTitle; }
    void SetTitle(const QString& title) { m_strTitle = title; }

    const QList<CView*>& GetViews() const { return m_views; }
    CView* GetFirstView() const { return m_views.isEmpty() ? nullptr : m_views.first(); }
    void AddView(CView* pView);
    void RemoveView(CView* pView);
    CDocTemplate* GetDocTemplate() const { return m_pDocTemplate; }

private:
    friend class CDocTemplate;
    QString m_strPathName;
    QString m_strTitle;
    bool m_bModified = false;
    bool m_bClosing = false;
    QList<CView*> m_views;
    CDocTemplate* m_pDocTemplate = nullptr;
};
