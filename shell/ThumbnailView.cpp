#include "ThumbnailView.h"

#include "FileListCtrl.h"
#include "FileListModel.h"
#include "FolderThumbnails.h"
#include "Menus.h"
#include "Resource.h"
#include "ThumbnailCache.h"
#include "ThumbnailDelegate.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QPointer>
#include <QScrollBar>
#include <QTimer>
#include <QWheelEvent>

namespace
{
constexpr int kMaxName = 255; // characters, as the details look allows
}

CThumbnailView::CThumbnailView(CFileListCtrl* pList, QWidget* pParent, int threads,
                               const QString& cacheRoot)
    : QListView(pParent), m_pList(pList),
      m_pThumbnails(new CFolderThumbnails(pList->GetModel(), this, threads, cacheRoot))
{
    setObjectName(QStringLiteral("ThumbnailList"));
    setAccessibleName(QStringLiteral("File Thumbnails"));
    pList->SetOtherLookEditing([view = QPointer<CThumbnailView>(this)]
                               { return view && view->state() == EditingState; });
    setModel(pList->model());
    setSelectionModel(pList->selectionModel());
    setModelColumn(CFileListModel::NameColumn);
    setViewMode(QListView::IconMode);
    setMovement(QListView::Static);
    setResizeMode(QListView::Adjust);
    setUniformItemSizes(true);
    setWrapping(true);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers); // F2 only
    setDragEnabled(true);
    setDragDropMode(QAbstractItemView::DragOnly);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    setItemDelegate(new CThumbnailDelegate(m_pThumbnails, kMaxName, this));
    SetThumbnailSize(CThumbnailCache::kNormal);
    connect(this, &QAbstractItemView::activated, this,
            [this](const QModelIndex& index) { m_pList->Activate(index); });
    connect(m_pThumbnails, &CFolderThumbnails::RowChanged, this,
            [this](int row) { update(model()->index(row, CFileListModel::NameColumn)); });
    // The current item moved by the other look, a step or a search: show it.
    connect(selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current)
            {
                if (isVisible() && current.isValid())
                    scrollTo(current.siblingAtColumn(CFileListModel::NameColumn));
            });
    // A re-read of the same folder (F5, the watcher) keeps the file at the
    // top where it was; a new folder starts at its top.
    connect(model(), &QAbstractItemModel::modelAboutToBeReset, this,
            [this]
            {
                const int top = FirstVisibleRow();
                m_strTopFolder = m_pList->GetModelFolder();
                m_strTopName = top >= 0 ? m_pList->GetItemText(top) : QString();
            });
    connect(model(), &QAbstractItemModel::modelReset, this,
            [this]
            {
                const bool bSameFolder = m_pList->GetModelFolder() == m_strTopFolder;
                const QString name = m_strTopName;
                // Laid out after the model has told every view.
                QTimer::singleShot(0, this,
                                   [this, bSameFolder, name]
                                   {
                                       const QList<int> rows = m_pList->RowsNamed({name});
                                       if (bSameFolder && !rows.isEmpty())
                                           ScrollToRow(rows.first());
                                       else
                                           scrollToTop();
                                       UpdateVisibleRows();
                                   });
            });
}

CThumbnailView::~CThumbnailView() = default;

void CThumbnailView::SetThumbnailSize(int size)
{
    m_pThumbnails->SetSize(size);
    const int first = FirstVisibleRow();
    setIconSize(QSize(GetThumbnailSize(), GetThumbnailSize()));
    setGridSize(CThumbnailDelegate::CellSize(GetThumbnailSize(), fontMetrics()));
    if (first >= 0)
        ScrollToRow(first);
    UpdateVisibleRows();
}

int CThumbnailView::GetThumbnailSize() const
{
    return m_pThumbnails->GetSize();
}

int CThumbnailView::FirstVisibleRow() const
{
    const QSize grid = gridSize();
    const QModelIndex index = indexAt(QPoint(grid.width() / 2, 1));
    if (index.isValid())
        return index.row();
    return model()->rowCount() > 0 ? 0 : -1;
}

int CThumbnailView::LastVisibleRow() const
{
    const QSize grid = gridSize();
    const int columns = std::max(1, viewport()->width() / std::max(1, grid.width()));
    const int lines = viewport()->height() / std::max(1, grid.height()) + 2;
    return std::min(model()->rowCount() - 1, std::max(FirstVisibleRow(), 0) + columns * lines - 1);
}

void CThumbnailView::ScrollToRow(int row)
{
    const QModelIndex index = model()->index(row, CFileListModel::NameColumn);
    if (index.isValid())
        scrollTo(index, QAbstractItemView::PositionAtTop);
}

void CThumbnailView::UpdateVisibleRows()
{
    if (isVisible())
        m_pThumbnails->SetView(std::max(FirstVisibleRow(), 0), LastVisibleRow());
}

void CThumbnailView::scrollContentsBy(int dx, int dy)
{
    QListView::scrollContentsBy(dx, dy);
    UpdateVisibleRows();
}

void CThumbnailView::resizeEvent(QResizeEvent* event)
{
    QListView::resizeEvent(event);
    UpdateVisibleRows();
}

void CThumbnailView::showEvent(QShowEvent* event)
{
    QListView::showEvent(event);
    m_pThumbnails->SetEnabled(true);
    UpdateVisibleRows();
}

void CThumbnailView::hideEvent(QHideEvent* event)
{
    // The details look makes no thumbnails.
    m_pThumbnails->SetEnabled(false);
    QListView::hideEvent(event);
}

int CThumbnailView::ZoomStep(const QKeyEvent* event)
{
    if (!(event->modifiers() & Qt::ControlModifier))
        return 0;
    switch (event->key())
    {
    case Qt::Key_Plus:
    case Qt::Key_Equal: // the plus key without Shift
        return 1;
    case Qt::Key_Minus:
        return -1;
    default:
        return 0;
    }
}

bool CThumbnailView::event(QEvent* event)
{
    // Over the list, Ctrl+plus and minus size the thumbnails before any
    // shortcut of the window takes them.
    if (event->type() == QEvent::ShortcutOverride && ZoomStep(static_cast<QKeyEvent*>(event)))
    {
        event->accept();
        return true;
    }
    return QListView::event(event);
}

void CThumbnailView::keyPressEvent(QKeyEvent* event)
{
    if (const int step = ZoomStep(event))
    {
        emit SizeRequested(step > 0 ? CThumbnailCache::kLarge : CThumbnailCache::kNormal);
        return;
    }
    const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
    if (mods == Qt::NoModifier && event->key() == Qt::Key_F2 && currentIndex().isValid() &&
        state() != EditingState)
    {
        edit(currentIndex().siblingAtColumn(CFileListModel::NameColumn));
        return;
    }
    switch (event->key())
    {
    // Moving through the grid, opening, selecting all: this look's own.
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_Home:
    case Qt::Key_End:
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
        QListView::keyPressEvent(event);
        return;
    default:
        break;
    }
    if (event->matches(QKeySequence::SelectAll))
    {
        QListView::keyPressEvent(event);
        return;
    }
    // Everything else (F5, searching by name, the list's own keys) as in details.
    m_pList->HandleKey(event);
}

void CThumbnailView::wheelEvent(QWheelEvent* event)
{
    if (event->modifiers() & Qt::ControlModifier)
    {
        const int delta = event->angleDelta().y();
        if (delta != 0)
            emit SizeRequested(delta > 0 ? CThumbnailCache::kLarge : CThumbnailCache::kNormal);
        event->accept();
        return;
    }
    QListView::wheelEvent(event);
}

void CThumbnailView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        m_pList->NoteButtonDown(); // the drag delay counts from here
    QListView::mousePressEvent(event);
}

void CThumbnailView::startDrag(Qt::DropActions supportedActions)
{
    m_pList->StartDrag(supportedActions);
}

void CThumbnailView::contextMenuEvent(QContextMenuEvent* event)
{
    const QPoint at = event->reason() == QContextMenuEvent::Keyboard
                          ? viewport()->mapToGlobal(QPoint(5, 5))
                          : event->globalPos();
    Menus::ExecBarMenu(Id::IDR_LISTBAR_MENU, this, at, QStringLiteral("File List menu"));
    event->accept();
}
