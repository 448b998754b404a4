#include "SizeControlBar.h"

#include "AfxIds.h"

CSizeControlBar::CSizeControlBar(int nStyle) : m_nStyle(nStyle) {}

bool CSizeControlBar::Create(const QString& windowName, QWidget* pParent, int nID)
{
    setParent(pParent);
    setWindowTitle(windowName);
    setObjectName(windowName);
    m_nID = nID;
    setFeatures(QDockWidget::DockWidgetClosable | QDockWidget::DockWidgetMovable |
                QDockWidget::DockWidgetFloatable);
    return true;
}

void CSizeControlBar::EnableDocking(unsigned dwDockStyle)
{
    using namespace AfxId;
    m_dwDockStyle = dwDockStyle & CBRS_ALIGN_ANY;
    Qt::DockWidgetAreas areas;
    if (dwDockStyle & CBRS_ALIGN_LEFT)
        areas |= Qt::LeftDockWidgetArea;
    if (dwDockStyle & CBRS_ALIGN_TOP)
        areas |= Qt::TopDockWidgetArea;
    if (dwDockStyle & CBRS_ALIGN_RIGHT)
        areas |= Qt::RightDockWidgetArea;
    if (dwDockStyle & CBRS_ALIGN_BOTTOM)
        areas |= Qt::BottomDockWidgetArea;
    setAllowedAreas(areas);
}

QSize CSizeControlBar::CalcFixedLayout(bool, bool) const
{
    return size();
}
