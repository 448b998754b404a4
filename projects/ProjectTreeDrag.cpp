#include "ProjectTreeCtrl.h"

#include "FileDrag.h"
#include "FileName.h"
#include "IBrowser.h"
#include "MessageBox.h"

#include <QApplication>
#include <QCursor>
#include <QKeyEvent>
#include <QLabel>
#include <QMimeData>
#include <QMouseEvent>

#include <chrono>

// Dragging an item with the mouse: within the tree it moves its file or
// folder into the folder it is dropped on; dropped anywhere else it shows.
// Files dragged in from the list or another program are copied.

namespace
{
constexpr quint32 kDragDelayMs = 80;

quint32 TickCount()
{
    using namespace std::chrono;
    return quint32(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}
} // namespace

void CProjectTreeCtrl::mousePressEvent(QMouseEvent* event)
{
    QTreeWidgetItem* pHit = itemAt(event->position().toPoint());
    if (event->button() == Qt::LeftButton)
    {
        m_dwButtonDownTime = TickCount();
        m_hPressItem = pHit;
        m_ptPress = event->position().toPoint();
        m_bDragTried = false;
    }
    m_hPrevItem = m_hCurItem;
    m_hCurItem = pHit;
    // The right button only makes the item current; the selection stays.
    if (event->button() == Qt::RightButton)
    {
        event->accept();
        return;
    }
    QTreeWidget::mousePressEvent(event);
}

void CProjectTreeCtrl::mouseMoveEvent(QMouseEvent* event)
{
    if (m_bDragging)
    {
        DragMove(event->globalPosition().toPoint());
        return;
    }
    if (!(event->buttons() & Qt::LeftButton))
    {
        QTreeWidget::mouseMoveEvent(event);
        return;
    }
    if (!m_bDragTried && m_hPressItem &&
        (event->position().toPoint() - m_ptPress).manhattanLength() >=
            QApplication::startDragDistance())
    {
        m_bDragTried = true;
        BeginDrag(m_hPressItem, event->globalPosition().toPoint());
    }
}

void CProjectTreeCtrl::mouseReleaseEvent(QMouseEvent* event)
{
    if (m_bDragging && event->button() == Qt::LeftButton)
    {
        EndDrag(event->globalPosition().toPoint(), true);
        setFocus();
        return;
    }
    m_hPressItem = nullptr;
    QTreeWidget::mouseReleaseEvent(event);
}

void CProjectTreeCtrl::keyPressEvent(QKeyEvent* event)
{
    if (m_bDragging && event->key() == Qt::Key_Escape)
    {
        EndDrag(QCursor::pos(), false);
        return;
    }
    QTreeWidget::keyPressEvent(event);
}

void CProjectTreeCtrl::BeginDrag(QTreeWidgetItem* pItem, const QPoint& globalPos)
{
    // A press let go of at once is a click, not a drag.
    if (quint32(TickCount() - m_dwButtonDownTime) < kDragDelayMs)
        return;
    // The root and placeholders have no file of their own to move.
    if (pItem == GetRootItem() || pItem->text(0).isEmpty() || !HasProject())
        return;
    m_hDragItem = pItem;
    if (m_pBrowser)
        m_pBrowser->SetCurrentImage(GetItemPath(pItem));

    delete m_pDragImage;
    m_pDragImage = new QLabel;
    m_pDragImage->setWindowFlags(Qt::ToolTip | Qt::FramelessWindowHint |
                                 Qt::WindowTransparentForInput);
    m_pDragImage->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_pDragImage->setWindowOpacity(0.7);
    m_pDragImage->setText(pItem->text(0));
    m_pDragImage->adjustSize();
    m_pDragImage->move(globalPos - QPoint(8, 8));
    m_pDragImage->show();

    m_hDropItem = nullptr;
    m_bDragging = true;
    m_pDropWnd = this;
    grabMouse(Qt::ClosedHandCursor);
}

QWidget* CProjectTreeCtrl::WindowUnder(const QPoint& globalPos) const
{
    QWidget* pWidget = QApplication::widgetAt(globalPos);
    if (pWidget && m_pDragImage && pWidget->window() == m_pDragImage)
    {
        m_pDragImage->hide();
        pWidget = QApplication::widgetAt(globalPos);
        m_pDragImage->show();
    }
    return pWidget;
}

void CProjectTreeCtrl::SetDropHighlight(QTreeWidgetItem* pItem)
{
    if (m_hDropItem == pItem)
        return;
    if (m_hDropItem)
        m_hDropItem->setData(0, Qt::BackgroundRole, QVariant());
    m_hDropItem = pItem;
    if (m_hDropItem)
        m_hDropItem->setData(0, Qt::BackgroundRole, palette().brush(QPalette::Highlight));
}

void CProjectTreeCtrl::DragMove(const QPoint& globalPos)
{
    if (m_pDragImage)
        m_pDragImage->move(globalPos - QPoint(8, 8));
    QWidget* pWindow = WindowUnder(globalPos);
    m_pDropWnd = pWindow;
    if (pWindow == viewport())
        SetDropHighlight(itemAt(viewport()->mapFromGlobal(globalPos)));
    else
        SetDropHighlight(nullptr);
}

void CProjectTreeCtrl::EndDrag(const QPoint& globalPos, bool bDrop)
{
    delete m_pDragImage;
    m_pDragImage = nullptr;
    releaseMouse();
    m_bDragging = false;
    QTreeWidgetItem* pDropItem = m_hDropItem;
    SetDropHighlight(nullptr);
    const QString path = GetItemPath(m_hCurItem);
    if (bDrop)
    {
        QWidget* pWindow = WindowUnder(globalPos);
        if (pWindow == viewport() || pWindow == this)
        {
            pDropItem = itemAt(viewport()->mapFromGlobal(globalPos));
            DropOnTree(pDropItem);
        }
        else if (!path.isEmpty())
        {
            // Anywhere else, inside the program or outside, shows it.
            if (m_pBrowser)
                m_pBrowser->OpenImage(path, false);
        }
    }
    m_hDragItem = nullptr;
    m_hPressItem = nullptr;
    viewport()->update();
}

void CProjectTreeCtrl::DropOnTree(QTreeWidgetItem* pDropItem)
{
    QTreeWidgetItem* pDragged = m_hDragItem;
    if (!pDragged)
        return;
    QTreeWidgetItem* pTarget = !pDropItem || ImageOf(pDropItem) == kRootImage ? GetRootItem()
                               : ImageOf(pDropItem) == kFileImage             ? pDropItem->parent()
                               : pDropItem->text(0).isEmpty()                 ? pDropItem->parent()
                                                                              : pDropItem;
    for (QTreeWidgetItem* p = pTarget; p; p = p->parent())
        if (p == pDragged)
        {
            AfxMessageBox(
                QStringLiteral("\"%1\" cannot be moved into itself.").arg(pDragged->text(0)),
                MB_OK | MB_ICONINFORMATION);
            return;
        }
    if (pTarget == pDragged->parent())
        return; // it is there already

    const QString from = GetItemPath(pDragged);
    const QString to = FolderPath(pTarget);
    const QString name = pDragged->text(0);
    const bool bFolder = ImageOf(pDragged) == kFolderImage;
    if (!CFileName().MoveDirectory(this, from, to))
        return;

    // An expanded folder takes the moved branch as it stands; a collapsed
    // one is read from disk as it opens.
    QTreeWidgetItem* pMoved = nullptr;
    if (pTarget->isExpanded())
    {
        pMoved = CopyBranch(pDragged, pTarget, SortedIndex(pTarget, name, bFolder));
        DeleteItem(pDragged);
    }
    else
    {
        DeleteItem(pDragged);
        pTarget->setExpanded(true);
        for (int i = 0; i < pTarget->childCount() && !pMoved; ++i)
            if (pTarget->child(i)->text(0) == name)
                pMoved = pTarget->child(i);
    }
    if (pMoved)
    {
        setCurrentItem(pMoved);
        scrollToItem(pMoved);
    }
}

QTreeWidgetItem* CProjectTreeCtrl::CopyItem(QTreeWidgetItem* pItem, QTreeWidgetItem* pParent,
                                            int index)
{
    // The copy takes the item's text, images and data, not its children.
    auto* pNew = new QTreeWidgetItem(*pItem);
    pNew->setData(0, Qt::BackgroundRole, QVariant());
    pParent->insertChild(index, pNew);
    return pNew;
}

QTreeWidgetItem* CProjectTreeCtrl::CopyBranch(QTreeWidgetItem* pItem, QTreeWidgetItem* pParent,
                                              int index)
{
    QTreeWidgetItem* pNew = CopyItem(pItem, pParent, index);
    for (int i = 0; i < pItem->childCount(); ++i)
        CopyBranch(pItem->child(i), pNew, pNew->childCount());
    if (pItem->isExpanded())
    {
        m_bKeepChildren = true;
        pNew->setExpanded(true);
        m_bKeepChildren = false;
    }
    return pNew;
}

// ---- Files dropped from other programs ----------------------------------------

void CProjectTreeCtrl::dragEnterEvent(QDragEnterEvent* event)
{
    if (HasProject() && event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void CProjectTreeCtrl::dragMoveEvent(QDragMoveEvent* event)
{
    if (HasProject() && event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void CProjectTreeCtrl::dropEvent(QDropEvent* event)
{
    // Files from the file list or another program are copied into the
    // folder under the cursor (beside a file; into the project for none).
    QTreeWidgetItem* pFolder = FolderOf(itemAt(event->position().toPoint()));
    if (pFolder && pFolder->text(0).isEmpty())
        pFolder = pFolder->parent();
    if (!HasProject() || !pFolder)
        return;
    event->acceptProposedAction();
    if (CFileDrag::DropOnItem(this, event->mimeData(), FolderPath(pFolder)))
        Reload(pFolder);
}
