#include "ListBar.h"

#include "FileListCtrl.h"
#include "Settings.h"
#include "ThumbnailCache.h"
#include "ThumbnailView.h"
#include "VistrelApp.h"

#include <QEvent>
#include <QMainWindow>
#include <QScrollBar>
#include <QStackedWidget>

namespace
{
const QString kSection = QStringLiteral("ListBar");
const QString kViewEntry = QStringLiteral("view");
const QString kThumbnails = QStringLiteral("thumbnails");
const QString kDetails = QStringLiteral("details");
const QString kSizeEntry = QStringLiteral("thumbnail size");
} // namespace

CListBar::CListBar() : CSizeControlBar(4) {}

bool CListBar::Create(const QString& windowName, QWidget* pParent, int nID)
{
    CSizeControlBar::Create(windowName, pParent, nID);
    setAccessibleName(windowName);
    m_pLooks = new QStackedWidget(this);
    m_wndList = new CFileListCtrl(m_pLooks);
    m_pThumbnails = new CThumbnailView(m_wndList, m_pLooks);
    m_pLooks->addWidget(m_wndList);
    m_pLooks->addWidget(m_pThumbnails);
    for (QWidget* look : {static_cast<QWidget*>(m_wndList), static_cast<QWidget*>(m_pThumbnails)})
        look->installEventFilter(this);
    setWidget(m_pLooks);
    m_pThumbnails->SetThumbnailSize(Settings::GetProfileInt(kSection, kSizeEntry,
                                                            CThumbnailCache::kNormal));
    connect(m_pThumbnails, &CThumbnailView::SizeRequested, this, &CListBar::SetThumbnailSize);
    SetThumbnailMode(Settings::GetProfileString(kSection, kViewEntry, kDetails) == kThumbnails);
    return true;
}

bool CListBar::IsThumbnailMode() const
{
    return m_pLooks->currentWidget() == m_pThumbnails;
}

void CListBar::SetThumbnailMode(bool bThumbnails)
{
    if (bThumbnails == IsThumbnailMode())
        return;
    Settings::WriteProfileString(kSection, kViewEntry, bThumbnails ? kThumbnails : kDetails);
    // The file at the top of one look is at the top of the other.
    const bool bHadFocus = m_pLooks->currentWidget()->hasFocus();
    int top = -1;
    if (bThumbnails)
    {
        const QModelIndex index = m_wndList->indexAt(QPoint(1, 1));
        top = index.isValid() ? index.row() : -1;
    }
    else
        top = m_pThumbnails->FirstVisibleRow();
    QWidget* pShown = bThumbnails ? static_cast<QWidget*>(m_pThumbnails) : m_wndList;
    m_pLooks->setCurrentWidget(pShown);
    if (top >= 0 && bThumbnails)
        m_pThumbnails->ScrollToRow(top);
    else if (top >= 0)
        m_wndList->scrollTo(m_wndList->model()->index(top, 0), QAbstractItemView::PositionAtTop);
    if (bHadFocus)
        pShown->setFocus();
    WidenForOneColumn();
}

void CListBar::WidenForOneColumn()
{
    // A bar docked at a side that is narrower than one thumbnail would
    // scroll sideways: it grows to hold one column.
    auto* pFrame = qobject_cast<QMainWindow*>(parentWidget());
    if (!IsThumbnailMode() || isFloating() || !pFrame ||
        !(pFrame->dockWidgetArea(this) & (Qt::LeftDockWidgetArea | Qt::RightDockWidgetArea)))
        return;
    const int needed = m_pThumbnails->gridSize().width() +
                       m_pThumbnails->verticalScrollBar()->sizeHint().width() +
                       2 * m_pThumbnails->frameWidth() + (width() - m_pThumbnails->width());
    if (width() < needed)
        pFrame->resizeDocks({this}, {needed}, Qt::Horizontal);
}

void CListBar::SetThumbnailSize(int size)
{
    size = size > CThumbnailCache::kNormal ? CThumbnailCache::kLarge : CThumbnailCache::kNormal;
    Settings::WriteProfileInt(kSection, kSizeEntry, size);
    m_pThumbnails->SetThumbnailSize(size);
    WidenForOneColumn();
}

void CListBar::SetDirectory(const QString& path)
{
    m_wndList->SetDirectory(path);
}

const QString& CListBar::GetDirectory() const
{
    return m_wndList->GetDirectory();
}

QString CListBar::GetSelectedPath() const
{
    const QString name = m_wndList->GetSelectedName();
    return name.isEmpty() ? QString() : m_wndList->GetFullPath(name);
}

bool CListBar::eventFilter(QObject* pWatched, QEvent* pEvent)
{
    // Follow the folder chosen in a tree when the list gets the focus.
    if ((pWatched == m_wndList || pWatched == m_pThumbnails) && pEvent->type() == QEvent::FocusIn)
    {
        CVistrelApp* pApp = CVistrelApp::Get();
        if (pApp && pApp->m_strBrowseDir != GetDirectory())
            SetDirectory(pApp->m_strBrowseDir);
    }
    return CSizeControlBar::eventFilter(pWatched, pEvent);
}
