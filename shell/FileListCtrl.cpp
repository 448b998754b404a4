#include "FileListCtrl.h"

#include "Document.h"
#include "FileDrag.h"
#include "FileListModel.h"
#include "FileName.h"
#include "LabelEditDelegate.h"
#include "MainFrame.h"
#include "Menus.h"
#include "MessageBox.h"
#include "NativePath.h"
#include "PictureLoader.h"
#include "Resource.h"
#include "SHFileInfo.h"
#include "Settings.h"
#include "Strings.h"
#include "View.h"
#include "VistrelApp.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDir>
#include <QDrag>
#include <QFileSystemWatcher>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMimeData>
#include <QScrollBar>
#include <QStyle>
#include <QSet>

#include <algorithm>
#include <numeric>
#include <utility>
#include <unistd.h>

namespace
{
constexpr int kDragDelayMs = 80;
constexpr int kMaxName = 255; // characters; the file system refuses a name over 255 bytes
constexpr int kMinWidths[CFileListModel::ColumnCount] = {150, 90, 125, 150};
const QString kSection = QStringLiteral("ListBar");
const QString kWidthsEntry = QStringLiteral("column widths");
} // namespace

CFileListCtrl::CFileListCtrl(QWidget* parent)
    : QTreeView(parent), m_pModel(new CFileListModel(this)),
      m_pWatcher(new QFileSystemWatcher(this)), m_random(std::random_device{}())
{
    setObjectName(QStringLiteral("FileList"));
    setAccessibleName(QStringLiteral("File List"));
    setModel(m_pModel);
    // Report view: a flat list with its column headers.
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers); // F2 only, see keyPressEvent
    setItemDelegateForColumn(CFileListModel::NameColumn,
                             new CLabelEditDelegate(kMaxName, QStringLiteral("File name"), this));
    // Queued: the rename may ask questions, and reads the folder again,
    // which must not happen while the edit box is closing.
    connect(m_pModel, &CFileListModel::RenameRequested, this, &CFileListCtrl::RenameEntry,
            Qt::QueuedConnection);
    setDragEnabled(true);
    setDragDropMode(QAbstractItemView::DragOnly);
    setTextElideMode(Qt::ElideMiddle);
    header()->setStretchLastSection(false);
    header()->setSectionsMovable(false);
    header()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    LoadColumnWidths();
    connect(header(), &QHeaderView::sectionResized, this, [this] { SaveColumnWidths(); });
    connect(this, &QAbstractItemView::activated, this, &CFileListCtrl::OnActivated);
    m_reloadTimer.setSingleShot(true);
    connect(&m_reloadTimer, &QTimer::timeout, this, &CFileListCtrl::Reload);
    connect(m_pWatcher, &QFileSystemWatcher::directoryChanged, this,
            &CFileListCtrl::OnFolderChanged);
}

CFileListCtrl::~CFileListCtrl() = default;

void CFileListCtrl::LoadColumnWidths()
{
    const QStringList stored =
        Settings::GetProfileString(kSection, kWidthsEntry).split(QLatin1Char(','));
    for (int c = 0; c < CFileListModel::ColumnCount; ++c)
    {
        bool ok = false;
        const int width = c < stored.size() ? stored[c].toInt(&ok) : 0;
        header()->resizeSection(c, ok && width > 0 ? width : DefaultColumnWidth(c));
    }
}

int CFileListCtrl::DefaultColumnWidth(int column) const
{
    // Wide enough for the longest texts the column usually shows, in the
    // list's own font: a size in bytes, a type, a date with two-digit parts.
    QStringList samples;
    switch (column)
    {
    case CFileListModel::SizeColumn:
        samples = {CSHFileInfo::SizeText(1000), CSHFileInfo::SizeText(999999),
                   CSHFileInfo::SizeText(999LL * 1024 * 1024 + 1)};
        break;
    case CFileListModel::TypeColumn:
        samples = {QStringLiteral("Windows BMP image"), QStringLiteral("Folder")};
        break;
    case CFileListModel::ModifiedColumn:
        samples = {CSHFileInfo::TimeText(QDateTime(QDate(2026, 12, 28), QTime(23, 58)).toSecsSinceEpoch())};
        break;
    default:
        samples = {QStringLiteral("IMG_20261228_235859.jpeg")};
        break;
    }
    samples.append(m_pModel->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString());
    int width = kMinWidths[column];
    const int margin = 3 * style()->pixelMetric(QStyle::PM_FocusFrameHMargin) + 12 +
                       (column == CFileListModel::NameColumn ? style()->pixelMetric(QStyle::PM_SmallIconSize) + 8 : 0);
    for (const QString& text : samples)
        width = std::max(width, fontMetrics().horizontalAdvance(text) + margin);
    return width;
}

void CFileListCtrl::SaveColumnWidths() const
{
    QStringList widths;
    for (int c = 0; c < CFileListModel::ColumnCount; ++c)
        widths.append(QString::number(header()->sectionSize(c)));
    Settings::WriteProfileString(kSection, kWidthsEntry, widths.join(QLatin1Char(',')));
}

void CFileListCtrl::SetDirectory(const QString& path)
{
    m_strDirectory = path;
    // The open dialog and relative names start here, as they always have.
    // A folder that cannot be entered still lists what can be read.
    if (!path.isEmpty() && chdir(NativePath::Encode(path).constData()) != 0)
        qDebug("Cannot enter %s", qUtf8Printable(path));
    if (!m_pWatcher->directories().isEmpty())
        m_pWatcher->removePaths(m_pWatcher->directories());
    if (!path.isEmpty())
        m_pWatcher->addPath(path);
    m_reloadTimer.stop();
    ReadEntries(path);
    m_bAtFirst = m_bAtLast = false;
    if (m_pModel->Count() > 0)
        scrollToTop();
}

bool CFileListCtrl::ReadEntries(const QString& path, bool bOnlyIfChanged)
{
    QElapsedTimer clock;
    clock.start();
    std::vector<CDirEntry> entries;
    if (!path.isEmpty())
        CDirectoryReader::Read(path, CDirectoryReader::VisibleEntries, entries);
    m_nReadMs = clock.elapsed();
    if (bOnlyIfChanged && entries == m_pModel->Entries())
        return false;
    m_pModel->SetEntries(path, std::move(entries));
    return true;
}

void CFileListCtrl::OnFolderChanged()
{
    // A copy into the folder changes it many times: read at most every
    // 300 ms, and never more than a third of the time for a huge folder.
    if (!m_reloadTimer.isActive())
        m_reloadTimer.start(int(std::max<qint64>(300, 2 * m_nReadMs)));
}

void CFileListCtrl::Reload()
{
    m_reloadTimer.stop();
    if (m_strDirectory.isEmpty())
        return;
    // A name being typed is not thrown away: the reading waits for it.
    if (state() == EditingState || (m_otherLookEditing && m_otherLookEditing()))
    {
        m_reloadTimer.start(300);
        return;
    }
    QSet<QString> selected, cut;
    for (int row : SelectedRows())
        selected.insert(m_pModel->Entry(row).name);
    for (int row = 0; row < m_pModel->Count(); ++row)
        if (m_pModel->IsCut(row))
            cut.insert(m_pModel->Entry(row).name);
    const QModelIndex current = currentIndex();
    const QString currentName = current.isValid() ? m_pModel->Entry(current.row()).name : QString();
    const int scroll = verticalScrollBar()->value();
    // A folder that is gone and made again is watched afresh.
    if (m_pWatcher->directories().isEmpty())
        m_pWatcher->addPath(m_strDirectory);

    // Changes the list does not show (a hidden file, a write) leave it be.
    if (!ReadEntries(m_strDirectory, true))
        return;

    QItemSelection selection;
    QList<int> cutRows;
    QModelIndex newCurrent;
    for (int row = 0; row < m_pModel->Count(); ++row)
    {
        const QString& name = m_pModel->Entry(row).name;
        if (selected.contains(name))
            selection.select(m_pModel->index(row, 0),
                             m_pModel->index(row, CFileListModel::ColumnCount - 1));
        if (cut.contains(name))
            cutRows.append(row);
        if (!currentName.isEmpty() && name == currentName)
            newCurrent = m_pModel->index(row, 0);
    }
    if (!cutRows.isEmpty())
        m_pModel->SetCutRows(cutRows);
    if (newCurrent.isValid())
        selectionModel()->setCurrentIndex(newCurrent, QItemSelectionModel::NoUpdate);
    selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
    verticalScrollBar()->setValue(scroll);
}

void CFileListCtrl::keyPressEvent(QKeyEvent* event)
{
    if (event->modifiers() == Qt::NoModifier && event->key() == Qt::Key_F5)
    {
        Reload();
        return;
    }
    if ((event->modifiers() == Qt::NoModifier && event->key() == Qt::Key_Backspace) ||
        (event->modifiers() == Qt::AltModifier && event->key() == Qt::Key_Up))
    {
        GoToParent();
        return;
    }
    if (event->modifiers() == Qt::NoModifier && event->key() == Qt::Key_F2 &&
        currentIndex().isValid() && state() != EditingState)
    {
        edit(m_pModel->index(currentIndex().row(), CFileListModel::NameColumn));
        return;
    }
    // Delete acts on what is selected here, as the context menu's Delete.
    if (event->modifiers() == Qt::NoModifier && event->key() == Qt::Key_Delete)
    {
        if (CVistrelApp* pApp = CVistrelApp::Get())
            pApp->Router().Route(Id::ID_LISTBAR_DELETE);
        return;
    }
    QTreeView::keyPressEvent(event);
}

void CFileListCtrl::GoToParent()
{
    const QString folder = QDir::cleanPath(m_strDirectory);
    const qsizetype slash = folder.lastIndexOf(QLatin1Char('/'));
    if (folder.isEmpty() || folder == QLatin1String("/") || slash < 0)
        return;
    const QString parent = slash == 0 ? QStringLiteral("/") : folder.left(slash);
    CVistrelApp* pApp = CVistrelApp::Get();
    if (pApp && pApp->GetMainFrame())
        pApp->GetMainFrame()->SetListDirectory(parent);
    else
        SetDirectory(parent);
    // The folder we came from is the one selected.
    SelectNamed(folder.mid(slash + 1));
    if (currentIndex().isValid())
        scrollTo(currentIndex());
}

void CFileListCtrl::RenameEntry(const QString& oldName, const QString& newName)
{
    if (m_strDirectory.isEmpty() || RowsNamed({oldName}).isEmpty())
        return;
    // Open pictures of the file follow it (FollowRename and the application).
    if (!CFileName().RenameEntry(this, GetFullPath(oldName), newName))
        return;
    Reload();
    SelectNamed(newName);
}

void CFileListCtrl::FollowRename(const QString& from, const QString& to)
{
    if (const QString picked = CFileName::RenamedPath(m_strPicked, from, to); !picked.isEmpty())
        m_strPicked = picked;
    if (const QString folder = CFileName::RenamedPath(m_strDirectory, from, to); !folder.isEmpty())
        SetDirectory(folder);
}

void CFileListCtrl::SelectNamed(const QString& name)
{
    const QList<int> rows = RowsNamed({name});
    if (!rows.isEmpty())
        SelectOnly(rows.first());
}

QString CFileListCtrl::GetFullPath(const QString& name) const
{
    return CFileName::JoinPath(m_strDirectory, name);
}

const QStringList& CFileListCtrl::ImageExtensions()
{
    static const QStringList kExtensions = {
        QStringLiteral(".jpg"), QStringLiteral(".jpeg"), QStringLiteral(".gif"),
        QStringLiteral(".bmp"), QStringLiteral(".png"),  QStringLiteral(".tif"),
        QStringLiteral(".eps"), QStringLiteral(".tga"),  QStringLiteral(".dib"),
        QStringLiteral(".jif"), QStringLiteral(".pct"),  QStringLiteral(".webp"),
        QStringLiteral(".heic"), QStringLiteral(".heif"), QStringLiteral(".avif"),
        QStringLiteral(".jxl")};
    return kExtensions;
}

bool CFileListCtrl::HasImageExtension(const QString& name)
{
    const QStringList& kExtensions = ImageExtensions();
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot >= 0 && name.indexOf(QLatin1Char('/'), dot) < 0 &&
           kExtensions.contains(name.mid(dot).toLower());
}

bool CFileListCtrl::IsImageFile(const QString& path)
{
    return HasImageExtension(path) && !CFileName().IsFolder(path);
}

int CFileListCtrl::GetItemCount() const
{
    return m_pModel->Count();
}

QString CFileListCtrl::GetItemText(int index) const
{
    return index >= 0 && index < m_pModel->Count() ? m_pModel->Entry(index).name : QString();
}

QList<int> CFileListCtrl::SelectedRows() const
{
    QList<int> rows;
    for (const QModelIndex& index : selectionModel()->selectedRows())
        rows.append(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

QStringList CFileListCtrl::SelectedPaths() const
{
    QStringList paths;
    for (int row : SelectedRows())
        paths.append(GetFullPath(GetItemText(row)));
    return paths;
}

QString CFileListCtrl::GetSelectedName() const
{
    const QList<int> rows = SelectedRows();
    return rows.isEmpty() ? QString() : GetItemText(rows.first());
}

int CFileListCtrl::FindItemByName(const QString& path)
{
    const QString name = path.section(QLatin1Char('/'), -1);
    for (int i = 0; i < m_pModel->Count(); ++i)
    {
        if (m_pModel->Entry(i).name.compare(name, Qt::CaseInsensitive) == 0)
        {
            m_nSlideIndex = i;
            break;
        }
    }
    return m_nSlideIndex;
}

void CFileListCtrl::SelectOnly(int row)
{
    const QModelIndex index = m_pModel->index(row, 0);
    selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect |
                                                 QItemSelectionModel::Rows);
    scrollTo(index);
}

void CFileListCtrl::OnActivated(const QModelIndex& index)
{
    if (!index.isValid())
        return;
    const CDirEntry& entry = m_pModel->Entry(index.row());
    const QString path = GetFullPath(entry.name);
    CVistrelApp* pApp = CVistrelApp::Get();
    if (entry.bFolder)
    {
        // Into the folder, as the file manager goes.
        if (pApp && pApp->GetMainFrame())
        {
            pApp->GetMainFrame()->SetListDirectory(path);
        }
        else
        {
            SetDirectory(path);
        }
        return;
    }
    if (!HasImageExtension(entry.name))
    {
        m_strPicked = entry.name;
        return;
    }
    m_strPicked = path;
    if (pApp)
        pApp->OpenImage(path, false);
}

void CFileListCtrl::StepToNeighbour(const QString& name, int direction)
{
    m_bAtFirst = m_bAtLast = false;
    // The exact name first: "a.jpg" and "A.jpg" can live side by side.
    const QList<int> exact = RowsNamed({name});
    int i = exact.isEmpty() ? -1 : exact.first();
    for (int r = 0; r < m_pModel->Count() && i < 0; ++r)
        if (m_pModel->Entry(r).name.compare(name, Qt::CaseInsensitive) == 0)
            i = r;
    if (i < 0)
        return;
    const int target = direction == 0 ? i + 1 : i - 1;
    if (target < 0 || target >= m_pModel->Count())
        return;
    const CDirEntry& entry = m_pModel->Entry(target);
    if (!entry.bFolder && HasImageExtension(entry.name))
    {
        m_strPicked = GetFullPath(entry.name);
        if (CVistrelApp* pApp = CVistrelApp::Get())
            pApp->OpenImage(m_strPicked, true);
        // The next picture the same way is decoded while this one is looked
        // at, so that the next step shows it at once.
        const int step = target - i;
        for (int r = target + step; r >= 0 && r < m_pModel->Count(); r += step)
            if (const CDirEntry& next = m_pModel->Entry(r);
                !next.bFolder && HasImageExtension(next.name))
            {
                CPictureLoader::DecodeAhead(
                    NativePath::Encode(GetFullPath(next.name)).toStdString());
                break;
            }
    }
    SelectOnly(target);
    if (direction == 0 && target == m_pModel->Count() - 1)
        m_bAtLast = true;
    if (direction != 0 && target == 0)
        m_bAtFirst = true;
}

bool CFileListCtrl::GetPicturePosition(const QString& path, int& nIndex, int& nCount) const
{
    nIndex = nCount = 0;
    const QFileInfo info(path);
    if (path.isEmpty() || info.absolutePath() != QFileInfo(m_strDirectory).absoluteFilePath())
        return false;
    const QString name = info.fileName();
    for (int r = 0; r < m_pModel->Count(); ++r)
    {
        const CDirEntry& entry = m_pModel->Entry(r);
        if (entry.bFolder || !HasImageExtension(entry.name))
            continue;
        nCount++;
        if (entry.name == name)
            nIndex = nCount;
    }
    return nIndex > 0;
}

int CFileListCtrl::CopySelection()
{
    const QStringList paths = SelectedPaths();
    m_selection.clear();
    // On the clipboard too, so that the folder tree, the list and the
    // desktop's file manager can paste them.
    if (!paths.isEmpty())
        QApplication::clipboard()->setMimeData(CFileDrag::CreateForClipboard(paths, false));
    m_bMultiCopy = paths.size() > 1;
    if (m_bMultiCopy)
        m_selection = paths;
    return int(paths.size());
}

QStringList CFileListCtrl::TakeMultiCopy()
{
    if (!m_bMultiCopy)
        return {};
    m_bMultiCopy = false;
    return std::exchange(m_selection, {});
}

void CFileListCtrl::CutSelection()
{
    const QStringList paths = SelectedPaths();
    m_strDragFiles = CFileName::JoinPathList(paths);
    m_pModel->SetCutRows(SelectedRows());
    if (!paths.isEmpty())
        QApplication::clipboard()->setMimeData(CFileDrag::CreateForClipboard(paths, true));
    m_bMultiCopy = false;
}

int CFileListCtrl::DeleteSelection(int nFlags)
{
    m_bMultiCopy = false;
    const QList<int> rows = SelectedRows();
    int deleted = 0;
    CFileName name;
    // The questions let the list be read again meanwhile: items are found
    // again by name afterwards, not by their rows.
    if (rows.size() == 1)
    {
        const QString item = GetItemText(rows.first());
        const QString path = GetFullPath(item);
        name.ShellDeleteItems(this, path, 0);
        if (name.Exist(path))
        {
            if (!name.ReportedFailure())
                AfxMessageBox(QString::fromLatin1(Str::kDeleteFileCanceled), MB_OK, this);
        }
        else
        {
            RemoveDeleted({path});
            deleted = 1;
        }
    }
    else if (rows.size() > 1)
    {
        const QStringList paths = SelectedPaths();
        name.ShellDeleteItems(this, CFileName::JoinPathList(paths), nFlags);
        // Only the items whose files are gone leave the list.
        QStringList gone;
        for (const QString& path : paths)
            if (!name.Exist(path))
                gone.append(path);
        RemoveDeleted(gone);
        deleted = int(gone.size());
        if (gone.size() < paths.size() && !name.ReportedFailure())
            AfxMessageBox(QString::fromLatin1(Str::kDeleteFilesCanceled), MB_OK, this);
    }
    m_selection.clear();
    return deleted;
}

void CFileListCtrl::RemoveDeleted(const QStringList& paths)
{
    const QSet<QString> gone(paths.begin(), paths.end());
    CVistrelApp* pApp = CVistrelApp::Get();
    const QString shown = pApp ? pApp->GetActiveImagePath() : QString();
    const bool bShownGone = !shown.isEmpty() && gone.contains(shown);
    QList<int> rows;
    int first = -1, shownRow = -1;
    for (int r = 0; r < m_pModel->Count(); ++r)
        if (const QString path = GetFullPath(m_pModel->Entry(r).name); gone.contains(path))
        {
            rows.append(r);
            first = first < 0 ? r : first;
            shownRow = path == shown ? r : shownRow;
        }
    // From where the deleted entries were (the shown picture's place, or the
    // first's) the selection goes on to the next entry that stays, or the one
    // before at the end; with the shown picture gone, to the picture that
    // takes its place, if any is left.
    const int anchor = bShownGone && shownRow >= 0 ? shownRow : first;
    const auto nearest = [&](bool bPicture)
    {
        const auto fits = [&](int r)
        {
            const CDirEntry& entry = m_pModel->Entry(r);
            return !rows.contains(r) &&
                   (!bPicture || (!entry.bFolder && HasImageExtension(entry.name)));
        };
        for (int r = anchor + 1; anchor >= 0 && r < m_pModel->Count(); ++r)
            if (fits(r))
                return r;
        for (int r = anchor - 1; anchor >= 0 && r >= 0; --r)
            if (fits(r))
                return r;
        return -1;
    };
    const int picture = bShownGone && shownRow >= 0 ? nearest(true) : -1;
    const int pick = picture >= 0 ? picture : nearest(false);
    const QString next = pick >= 0 ? m_pModel->Entry(pick).name : QString();
    const QString successor = picture >= 0 ? GetFullPath(next) : QString();
    m_pModel->RemoveRows(rows);
    if (!next.isEmpty())
    {
        SelectNamed(next);
        m_bAtFirst = currentIndex().row() == 0;
        m_bAtLast = currentIndex().row() == m_pModel->Count() - 1;
    }
    if (bShownGone && pApp)
    {
        m_strPicked = successor;
        pApp->ShowInPlaceOfDeleted(successor);
    }
}

QString CFileListCtrl::GetModelFolder() const
{
    return m_pModel->Folder();
}

QList<int> CFileListCtrl::RowsNamed(const QStringList& names) const
{
    const QSet<QString> wanted(names.begin(), names.end());
    QList<int> rows;
    for (int row = 0; row < m_pModel->Count(); ++row)
        if (wanted.contains(m_pModel->Entry(row).name))
            rows.append(row);
    return rows;
}

void CFileListCtrl::RemoveSelectedItems()
{
    m_pModel->RemoveRows(SelectedRows());
    m_strDragFiles.clear();
}

void CFileListCtrl::RemoveNamedItems(const QStringList& paths)
{
    QStringList names;
    for (const QString& path : paths)
        names.append(path.mid(path.lastIndexOf(QLatin1Char('/')) + 1));
    m_pModel->RemoveRows(RowsNamed(names));
}

void CFileListCtrl::ForgetMovedFiles(const QStringList& moved)
{
    RemoveNamedItems(moved);
    QStringList kept = CFileName::SplitPathList(m_strDragFiles);
    kept.removeIf([&moved](const QString& path) { return moved.contains(path); });
    m_strDragFiles = CFileName::JoinPathList(kept);
}

void CFileListCtrl::RemoveItem(int index)
{
    m_pModel->RemoveRows({index});
}

void CFileListCtrl::SelectForSlideshow()
{
    CopySelection();
    m_bUseSelection = true;
}

void CFileListCtrl::BeginShow()
{
    m_nMisses = 0;
    m_nNextIndex = 0;
}

void CFileListCtrl::EndShow()
{
    m_bUseSelection = false;
}

int CFileListCtrl::SourceSize() const
{
    return m_bUseSelection ? int(m_selection.size()) : m_pModel->Count();
}

bool CFileListCtrl::SourceImage(int i, QString& path) const
{
    if (m_bUseSelection)
    {
        path = m_selection[i];
        return IsImageFile(path);
    }
    const CDirEntry& entry = m_pModel->Entry(i);
    path = GetFullPath(entry.name);
    return !entry.bFolder && HasImageExtension(entry.name);
}

QString CFileListCtrl::PickRandom()
{
    const int n = SourceSize();
    const QString last = m_strPicked;
    m_nMisses = 0;
    m_strPicked.clear();
    if (n == 0 || (!m_bUseSelection && n <= 1))
        return m_strPicked;
    // Every entry is tried once, in a fresh random order, so a picture is
    // found whenever the source holds one; the last slide comes again only
    // when it is the only picture.
    std::vector<int> order(static_cast<size_t>(n));
    std::iota(order.begin(), order.end(), 0);
    std::shuffle(order.begin(), order.end(), m_random);
    QString again;
    for (int i : order)
    {
        QString path;
        if (!SourceImage(i, path))
        {
            ++m_nMisses;
            continue;
        }
        if (path == last)
        {
            again = path;
            continue;
        }
        m_strPicked = path;
        break;
    }
    if (m_strPicked.isEmpty())
        m_strPicked = again;
    return m_strPicked;
}

QString CFileListCtrl::PickNext()
{
    const int n = SourceSize();
    m_nMisses = 0;
    m_strPicked.clear();
    for (int tries = 0; tries < n; ++tries)
    {
        if (m_nNextIndex >= n || m_nNextIndex < 0)
            m_nNextIndex = 0;
        QString path;
        if (SourceImage(m_nNextIndex++, path))
        {
            m_strPicked = path;
            if (m_bUseSelection)
                FindItemByName(path);
            break;
        }
        ++m_nMisses;
    }
    return m_strPicked;
}

void CFileListCtrl::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        m_buttonDown.start();
    QTreeView::mousePressEvent(event);
}

void CFileListCtrl::startDrag(Qt::DropActions)
{
    // A drag that starts right after the press is a slip of the hand.
    if (!m_buttonDown.isValid() || m_buttonDown.elapsed() < kDragDelayMs)
        return;
    const QStringList paths = SelectedPaths();
    if (paths.isEmpty())
        return;
    m_strDragFiles = CFileName::JoinPathList(paths);
    m_pModel->SetCutRows({});
    auto* drag = new QDrag(this);
    drag->setMimeData(CFileDrag::Create(paths, true));
    const QModelIndex current = currentIndex();
    const QIcon icon =
        current.isValid()
            ? m_pModel->data(m_pModel->index(current.row(), 0), Qt::DecorationRole).value<QIcon>()
            : QIcon();
    if (!icon.isNull())
    {
        drag->setPixmap(icon.pixmap(32, 32));
        drag->setHotSpot(QPoint(8, 8));
    }
    drag->exec(Qt::CopyAction, Qt::CopyAction);
    // The drag is over: its files are no cut waiting for a paste.
    m_strDragFiles.clear();
}

void CFileListCtrl::contextMenuEvent(QContextMenuEvent* event)
{
    const QPoint at = event->reason() == QContextMenuEvent::Keyboard
                          ? viewport()->mapToGlobal(QPoint(5, 5))
                          : event->globalPos();
    Menus::ExecBarMenu(Id::IDR_LISTBAR_MENU, this, at, QStringLiteral("File List menu"));
    event->accept();
}
