#include "TreeBar.h"

#include "CommandRouter.h"
#include "FolderTreeCtrl.h"
#include "Menus.h"
#include "ProjectTreeCtrl.h"
#include "Resource.h"
#include "Strings.h"
#include "VistrelApp.h"

#include <QBitmap>
#include <QContextMenuEvent>
#include <QTabWidget>
#include <QTreeWidget>

CTreeBar::CTreeBar() : CSizeControlBar(4) {}

bool CTreeBar::Create(const QString& windowName, QWidget* pParent, int nID)
{
    CSizeControlBar::Create(windowName, pParent, nID);

    m_imageList = QPixmap(QStringLiteral(":/bitmaps/tree.bmp"));
    if (!m_imageList.isNull())
        m_imageList.setMask(m_imageList.createMaskFromColor(QColor(0xFF, 0x00, 0xFF)));

    m_wndTabs = new QTabWidget(this);
    m_wndTabs->setObjectName(QStringLiteral("TreeBarTabs"));
    m_wndTabs->setTabPosition(QTabWidget::South);
    m_wndTabs->setDocumentMode(true);

    CVistrelApp* pApp = CVistrelApp::Get();
    m_pProjectTree = new CProjectTreeCtrl(m_wndTabs, pApp, pApp);
    m_pProjectTree->SetImageList([this](int i) { return Image(i); });
    m_pProjectTree->ResetToNoProject();
    m_wndTabs->addTab(m_pProjectTree, QIcon(Image(10)), QString::fromLatin1(Str::kProjectTab));
    m_pFolderTree = new CFolderTreeCtrl(m_wndTabs);
    m_wndTabs->addTab(m_pFolderTree, QIcon(Image(4)), QString::fromLatin1(Str::kDesktopTab));
    setWidget(m_wndTabs);
    return true;
}

int CTreeBar::GetCurrentTab() const
{
    return m_wndTabs ? m_wndTabs->currentIndex() : -1;
}

QPixmap CTreeBar::Image(int index) const
{
    if (m_imageList.isNull() || (index + 1) * 16 > m_imageList.width())
        return QPixmap();
    return m_imageList.copy(index * 16, 0, 16, 16);
}

void CTreeBar::contextMenuEvent(QContextMenuEvent* event)
{
    Menus::ExecBarMenu(Id::IDR_PROJECTBAR_MENU, this, event->globalPos());
}
