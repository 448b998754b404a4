#pragma once
#include "CmdTarget.h"

class CDocument;
class CMDIChildWnd;
class QWidget;

/// A view of a document: a widget inside a child frame. The widget class
/// derives from both its Qt base and CView.
class CView : public CCmdTarget
{
public:
    ~CView() override;

    CDocument* GetDocument() const { return m_pDocument; }
    virtual QWidget* GetWidget() = 0;
    /// Called once before the frame is first shown.
    virtual void OnInitialUpdate() {}
    virtual void OnActivateView(bool /*bActivate*/) {}
    /// The child frame that holds the view, or null.
    CMDIChildWnd* GetParentFrame();

private:
    friend class CDocument;
    CDocument* m_pDocument = nullptr;
};
