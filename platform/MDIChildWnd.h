#pragma once
#include "CmdTarget.h"
#include "WindowPlacement.h"

#include <QMdiSubWindow>

class CDocument;
class CView;

/// A child frame of the main frame's client area holding one view.
class CMDIChildWnd : public QMdiSubWindow, public CCmdTarget
{
    Q_OBJECT
public:
    CMDIChildWnd();
    ~CMDIChildWnd() override;

    /// Shows and activates the frame. -1 is the default request: normal when
    /// hidden, maximised when the active child is maximised.
    virtual void ActivateFrame(int nCmdShow = -1);
    void ShowWindow(int nCmdShow);
    int GetShowCmd() const;

    CView* GetActiveView() const { return m_pView; }
    void SetActiveView(CView* pView);
    CDocument* GetActiveDocument() const;

    /// The placement with the restored rectangle kept while maximised or minimised.
    CWindowPlacement GetWindowPlacement() const;
    void SetWindowPlacement(const CWindowPlacement& wp);

    /// Runs OnDestroy, takes the frame out of the client area and deletes it
    /// once control is back in the event loop.
    void DestroyWindow();
    bool IsDestroying() const { return m_bDestroying; }

protected:
    /// Last chance to read the window's state before it goes.
    virtual void OnDestroy() {}
    void closeEvent(QCloseEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void RememberNormal();

    CView* m_pView = nullptr;
    QRect m_rcNormal;
    bool m_bDestroying = false;
};
