#include "View.h"

#include "Document.h"
#include "MDIChildWnd.h"

#include <QWidget>

CView::~CView()
{
    if (m_pDocument)
        m_pDocument->RemoveView(this);
}

CMDIChildWnd* CView::GetParentFrame()
{
    for (QWidget* w = GetWidget() ? GetWidget()->parentWidget() : nullptr; w; w = w->parentWidget())
        if (auto* pFrame = dynamic_cast<CMDIChildWnd*>(w))
            return pFrame;
    return nullptr;
}
