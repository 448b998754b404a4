#include "ListBar.h"

#include "FileListCtrl.h"
#include "VistrelApp.h"

#include <QEvent>

CListBar::CListBar() : CSizeControlBar(4) {}

bool CListBar::Create(const QString& windowName, QWidget* pParent, int nID)
{
    CSizeControlBar::Create(windowName, pParent, nID);
    setAccessibleName(windowName);
    m_wndList = new CFileListCtrl(this);
    m_wndList->installEventFilter(this);
    setWidget(m_wndList);
    return true;
}

void CListBar::SetDirectory(const QString& path)
{
    m_wndList->SetDirectory(path);
}

const QString& CListBar::GetDirectory() const
{
    return m_wndList->GetDirectory();
}

QString CListBar::GetCurrentFile() const
{
    return m_wndList->GetCurrentFile();
}

QString CListBar::GetSelectedPath() const
{
    const QString name = m_wndList->GetSelectedName();
    return name.isEmpty() ? QString() : m_wndList->GetFullPath(name);
}

bool CListBar::RemoveItemByName(const QString& path)
{
    const int index = m_wndList->FindItemByName(path);
    if (path.isEmpty() || m_wndList->GetFullPath(m_wndList->GetItemText(index)) != path)
        return false;
    m_wndList->RemoveItem(index);
    return true;
}

bool CListBar::eventFilter(QObject* pWatched, QEvent* pEvent)
{
    // Follow the folder chosen in a tree when the list gets the focus.
    if (pWatched == m_wndList && pEvent->type() == QEvent::FocusIn)
    {
        CVistrelApp* pApp = CVistrelApp::Get();
        if (pApp && pApp->m_strBrowseDir != GetDirectory())
            SetDirectory(pApp->m_strBrowseDir);
    }
    return CSizeControlBar::eventFilter(pWatched, pEvent);
}
