#include "ListBar.h"

#include "Menus.h"
#include "Resource.h"
#include "VistrelApp.h"

#include <QContextMenuEvent>
#include <QDir>
#include <QListWidget>
#include <QMenu>

CListBar::CListBar() : CSizeControlBar(4) {}

bool CListBar::Create(const QString& windowName, QWidget* pParent, int nID)
{
    CSizeControlBar::Create(windowName, pParent, nID);
    m_wndList = new QListWidget(this);
    m_wndList->setObjectName(QStringLiteral("FileList"));
    m_wndList->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_wndList->installEventFilter(this);
    setWidget(m_wndList);
    return true;
}

void CListBar::SetDirectory(const QString& path)
{
    m_strDirectory = path;
    m_wndList->clear();
    if (path.isEmpty())
        return;
    const QDir dir(path);
    for (const QString& name :
         dir.entryList(QDir::AllEntries | QDir::NoDotAndDotDot, QDir::DirsFirst | QDir::Name))
        m_wndList->addItem(name);
}

QString CListBar::GetCurrentFile() const
{
    const QListWidgetItem* pItem = m_wndList->currentItem();
    if (!pItem || m_strDirectory.isEmpty())
        return QString();
    return QDir(m_strDirectory).filePath(pItem->text());
}

bool CListBar::RemoveItemByName(const QString& path)
{
    for (int i = 0; i < m_wndList->count(); ++i)
    {
        if (QDir(m_strDirectory).filePath(m_wndList->item(i)->text()) == path)
        {
            delete m_wndList->takeItem(i);
            return true;
        }
    }
    return false;
}

bool CListBar::eventFilter(QObject* pWatched, QEvent* pEvent)
{
    // Follow the folder chosen in a tree when the list gets the focus.
    if (pWatched == m_wndList && pEvent->type() == QEvent::FocusIn)
    {
        CVistrelApp* pApp = CVistrelApp::Get();
        if (pApp && pApp->m_strBrowseDir != m_strDirectory)
            SetDirectory(pApp->m_strBrowseDir);
    }
    return CSizeControlBar::eventFilter(pWatched, pEvent);
}

void CListBar::contextMenuEvent(QContextMenuEvent* event)
{
    CVistrelApp* pApp = CVistrelApp::Get();
    if (!pApp)
        return;
    pApp->Router().UpdateAll();
    QMenu menu(this);
    Menus::Populate(&menu, Menus::BarMenu(Id::IDR_LISTBAR_MENU),
                    [pApp](int id) { return pApp->Router().Action(id); });
    menu.exec(event->globalPos());
}
