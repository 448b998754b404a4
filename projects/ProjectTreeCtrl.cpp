#include "ProjectTreeCtrl.h"

#include "DirectoryReader.h"
#include "FileDrag.h"
#include "FileListCtrl.h"
#include "FileName.h"
#include "LabelEditDelegate.h"
#include "MainFrame.h"
#include "Menus.h"
#include "MessageBox.h"
#include "NativePath.h"
#include "Resource.h"
#include "Strings.h"
#include "TreeBar.h"
#include "TreeItemPath.h"
#include "VistrelApp.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QTreeWidgetItemIterator>
#include <QUrl>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <dirent.h>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace
{
const char kNoOpenProject[] = "No Open Project";
const char kNoProjectMessage[] = "No open project, command canceled!";
constexpr quint32 kDragDelayMs = 80;
constexpr int kImageRole = Qt::UserRole + 1;

quint32 TickCount()
{
    using namespace std::chrono;
    return quint32(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

// One directory's entries as the file system names them (bytes), "." and
// ".." left out. False when the directory cannot be read.
struct DirEntries
{
    std::vector<std::string> folders;
    std::vector<std::string> files;
};

bool IsDirectoryEntry(const std::string& dir, const dirent* pEntry)
{
    if (pEntry->d_type == DT_DIR)
        return true;
    if (pEntry->d_type != DT_LNK && pEntry->d_type != DT_UNKNOWN)
        return false;
    // A link counts as what it points at.
    struct stat st = {};
    const std::string path = dir + '/' + pEntry->d_name;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool IsDotOrDotDot(const char* name)
{
    return name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0));
}

bool ReadDirectory(const QString& dir, DirEntries& out)
{
    const std::string path = NativePath::Encode(dir).toStdString();
    DIR* pDir = ::opendir(path.c_str());
    if (!pDir)
        return false;
    while (const dirent* pEntry = ::readdir(pDir))
    {
        if (IsDotOrDotDot(pEntry->d_name))
            continue;
        (IsDirectoryEntry(path, pEntry) ? out.folders : out.files).emplace_back(pEntry->d_name);
    }
    ::closedir(pDir);
    return true;
}

} // namespace

CProjectTreeCtrl::CProjectTreeCtrl(QWidget* pParent) : QTreeWidget(pParent)
{
    setObjectName(QStringLiteral("Tree%1").arg(Id::IDC_PROJECT_TREE));
    setAccessibleName(QStringLiteral("Project"));
    setHeaderHidden(true);
    setRootIsDecorated(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setItemDelegate(new CLabelEditDelegate(256, QStringLiteral("Item name"), this));
    setAcceptDrops(true);
    setDropIndicatorShown(false);
    setUniformRowHeights(true);

    connect(this, &QTreeWidget::itemExpanded, this, &CProjectTreeCtrl::OnItemExpanded);
    connect(this, &QTreeWidget::itemCollapsed, this, &CProjectTreeCtrl::OnItemCollapsed);
    connect(this, &QTreeWidget::currentItemChanged, this, &CProjectTreeCtrl::OnCurrentItemChanged);
}

CProjectTreeCtrl::~CProjectTreeCtrl()
{
    delete m_pDragImage;
}

CProjectTreeCtrl* CProjectTreeCtrl::FromApp()
{
    CVistrelApp* pApp = CVistrelApp::Get();
    CMainFrame* pFrame = pApp ? pApp->GetMainFrame() : nullptr;
    return pFrame && pFrame->GetTreeBar() ? pFrame->GetTreeBar()->GetProjectTree() : nullptr;
}

void CProjectTreeCtrl::SetImageList(const std::function<QPixmap(int)>& image)
{
    m_image = image;
}

int CProjectTreeCtrl::ImageOf(const QTreeWidgetItem* pItem)
{
    return pItem ? pItem->data(0, kImageRole).toInt() : -1;
}

QTreeWidgetItem* CProjectTreeCtrl::NewItem(const QString& text, int image) const
{
    auto* pItem = new QTreeWidgetItem(QStringList(text));
    pItem->setData(0, kImageRole, image);
    if (m_image)
    {
        QIcon icon(m_image(image));
        if (image == kFolderImage && !text.isEmpty())
            icon.addPixmap(m_image(kOpenFolderImage), QIcon::Selected);
        pItem->setIcon(0, icon);
    }
    return pItem;
}

// ---- The project and the items ---------------------------------------------

void CProjectTreeCtrl::DeleteAllItems()
{
    ++m_nDeleting;
    m_hPrevItem = m_hCurItem = m_hDragItem = m_hDropItem = m_hPressItem = m_hEditItem = nullptr;
    clear();
    --m_nDeleting;
}

void CProjectTreeCtrl::ResetToNoProject()
{
    DeleteAllItems();
    QTreeWidgetItem* pRoot = NewItem(QString::fromLatin1(kNoOpenProject), kRootImage);
    QFont bold = pRoot->font(0);
    bold.setBold(true);
    pRoot->setFont(0, bold);
    insertTopLevelItem(0, pRoot);
    m_strProjectName.clear();
    m_strProjectFile.clear();
    m_strProjectDir.clear();
}

void CProjectTreeCtrl::LoadProject(const QString& projectFile)
{
    m_strProjectFile = projectFile;
    const int slash = int(projectFile.lastIndexOf(QLatin1Char('/')));
    m_strProjectDir = slash > 0 ? projectFile.left(slash) : QStringLiteral("/");
    QString stem = projectFile;
    const int dot = int(stem.lastIndexOf(QLatin1Char('.')));
    if (dot > slash)
        stem.truncate(dot);
    m_strProjectName = stem.mid(slash + 1);
    if (QTreeWidgetItem* pRoot = GetRootItem())
        pRoot->setText(0, m_strProjectName);
    QDir::setCurrent(m_strProjectDir);
}

void CProjectTreeCtrl::ShowProjectRoot()
{
    DeleteAllItems();
    QTreeWidgetItem* pRoot = NewItem(m_strProjectName, kRootImage);
    QFont bold = pRoot->font(0);
    bold.setBold(true);
    pRoot->setFont(0, bold);
    addTopLevelItem(pRoot);
    AddPlaceholderIfNotEmpty(pRoot, m_strProjectDir);
}

QString CProjectTreeCtrl::GetItemPath(const QTreeWidgetItem* pItem) const
{
    if (!pItem || !HasProject())
        return QString();
    QString path = TreeItemPath(pItem);
    // Item texts start at the root, which stands for the project folder.
    if (!path.startsWith(QLatin1Char('/')))
        path.prepend(m_strProjectDir.left(m_strProjectDir.lastIndexOf(QLatin1Char('/')) + 1));
    return path;
}

bool CProjectTreeCtrl::AddPlaceholderIfNotEmpty(QTreeWidgetItem* pItem, const QString& dir)
{
    if (!CDirectoryReader::HasEntries(dir, CDirectoryReader::AllEntries))
        return false;
    pItem->addChild(NewItem(QString(), kFolderImage));
    return true;
}

int CProjectTreeCtrl::SortedIndex(const QTreeWidgetItem* pParent, const QString& name, bool bFolder)
{
    // Folders come first, in case-insensitive order; then the files, in
    // byte order of their names.
    const QByteArray bytes = NativePath::Encode(name);
    int i = 0;
    for (; i < pParent->childCount(); ++i)
    {
        const QTreeWidgetItem* pChild = pParent->child(i);
        const bool bChildFolder = ImageOf(pChild) == kFolderImage;
        if (bFolder ? !bChildFolder || pChild->text(0).compare(name, Qt::CaseInsensitive) > 0
                    : !bChildFolder && NativePath::Encode(pChild->text(0)) > bytes)
            break;
    }
    return i;
}

int CProjectTreeCtrl::FillFolder(QTreeWidgetItem* pItem, const QString& dir)
{
    DirEntries entries;
    if (!ReadDirectory(dir, entries))
    {
        if (pItem == GetRootItem())
            pItem->addChild(NewItem(QString(), kFolderImage));
        return 0;
    }
    const std::string skip =
        NativePath::Encode(m_strProjectName + QStringLiteral(".vrp")).toStdString();
    std::vector<QString> folders;
    folders.reserve(entries.folders.size());
    for (const std::string& name : entries.folders)
        folders.push_back(NativePath::Decode(name.data(), qsizetype(name.size())));
    std::stable_sort(folders.begin(), folders.end(),
                     [](const QString& a, const QString& b)
                     { return a.compare(b, Qt::CaseInsensitive) < 0; });
    std::sort(entries.files.begin(), entries.files.end());

    QList<QTreeWidgetItem*> items;
    items.reserve(qsizetype(folders.size() + entries.files.size()));
    for (const QString& name : folders)
    {
        QTreeWidgetItem* pFolder = NewItem(name, kFolderImage);
        AddPlaceholderIfNotEmpty(pFolder, dir + QLatin1Char('/') + name);
        items.append(pFolder);
    }
    for (const std::string& name : entries.files)
        if (name != skip)
            items.append(
                NewItem(NativePath::Decode(name.data(), qsizetype(name.size())), kFileImage));
    pItem->addChildren(items);
    return int(folders.size());
}

void CProjectTreeCtrl::ForgetItemsIn(QTreeWidgetItem* pItem, QTreeWidgetItem* pReplacement,
                                     bool bWithSelf)
{
    auto inside = [pItem, bWithSelf](const QTreeWidgetItem* p)
    {
        if (!p)
            return false;
        if (!bWithSelf && p == pItem)
            return false;
        for (; p; p = p->parent())
            if (p == pItem)
                return true;
        return false;
    };
    for (QTreeWidgetItem** pp : {&m_hPrevItem, &m_hCurItem, &m_hPressItem, &m_hDropItem})
        if (inside(*pp))
            *pp = pReplacement;
    if (inside(m_hDragItem))
        m_hDragItem = nullptr;
    if (inside(m_hEditItem))
        m_hEditItem = nullptr;
}

void CProjectTreeCtrl::DeleteChildren(QTreeWidgetItem* pItem)
{
    ForgetItemsIn(pItem, pItem, false);
    ++m_nDeleting;
    qDeleteAll(pItem->takeChildren());
    --m_nDeleting;
}

void CProjectTreeCtrl::DeleteItem(QTreeWidgetItem* pItem)
{
    ForgetItemsIn(pItem, pItem->parent(), true);
    ++m_nDeleting;
    delete pItem;
    --m_nDeleting;
}

void CProjectTreeCtrl::Reload(QTreeWidgetItem* pFolder)
{
    DeleteChildren(pFolder);
    FillFolder(pFolder, GetItemPath(pFolder));
}

void CProjectTreeCtrl::RefreshFolderAt(const QString& path)
{
    for (QTreeWidgetItemIterator it(this); *it; ++it)
        if (ImageOf(*it) != kFileImage && !(*it)->text(0).isEmpty() && FolderPath(*it) == path)
        {
            Reload(*it);
            return;
        }
}

QTreeWidgetItem* CProjectTreeCtrl::FolderOf(QTreeWidgetItem* pItem) const
{
    if (!pItem)
        return GetRootItem();
    return ImageOf(pItem) == kFileImage ? pItem->parent() : pItem;
}

bool CProjectTreeCtrl::CheckProjectOpen() const
{
    if (HasProject())
        return true;
    AfxMessageBox(QString::fromLatin1(kNoProjectMessage), MB_OK | MB_ICONINFORMATION);
    return false;
}

// ---- Expanding and selecting -------------------------------------------------

void CProjectTreeCtrl::OnItemExpanded(QTreeWidgetItem* pItem)
{
    if (m_bKeepChildren || !HasProject())
        return;
    // Everything goes before the folder is read again, so that a folder
    // loaded while it was collapsed shows each entry once.
    Reload(pItem);
}

void CProjectTreeCtrl::OnItemCollapsed(QTreeWidgetItem* pItem)
{
    if (!HasProject())
        return;
    DeleteChildren(pItem);
    if (pItem->parent())
        AddPlaceholderIfNotEmpty(pItem, GetItemPath(pItem));
    else
        pItem->addChild(NewItem(QString(), kFolderImage));
}

void CProjectTreeCtrl::OnCurrentItemChanged(QTreeWidgetItem* pCurrent, QTreeWidgetItem* pPrevious)
{
    if (m_nDeleting)
        return;
    m_hPrevItem = pPrevious;
    m_hCurItem = pCurrent;
    const QString path = GetItemPath(pCurrent);
    if (path.isEmpty())
        return;
    QDir::setCurrent(path);
    CVistrelApp* pApp = CVistrelApp::Get();
    if (pApp)
        pApp->m_strCurrentImage = path;
    if (!CFileName().IsFolder(path) || pCurrent == GetRootItem())
        return;
    if (pApp)
    {
        if (CMainFrame* pFrame = pApp->GetMainFrame())
            pFrame->SetListDirectory(path);
    }
}

void CProjectTreeCtrl::RefreshCurrentFolder(bool bUpdateList)
{
    if (!HasProject())
        return;
    QTreeWidgetItem* pCur = m_hCurItem;
    QTreeWidgetItem* pFolder =
        pCur && CFileName().IsFolder(GetItemPath(pCur)) ? pCur : (pCur ? pCur->parent() : nullptr);
    if (!pFolder)
        pFolder = GetRootItem();
    if (!pFolder)
        return;
    const bool bShown = currentItem() == pFolder || currentItem() == pCur;
    Reload(pFolder);
    if (bUpdateList && bShown)
        if (CMainFrame* pFrame = CVistrelApp::Get() ? CVistrelApp::Get()->GetMainFrame() : nullptr)
            pFrame->SetListDirectory(GetItemPath(pFolder));
}

// ---- Commands ---------------------------------------------------------------

void CProjectTreeCtrl::OnShow()
{
    const QString path = GetItemPath(m_hCurItem);
    if (CFileListCtrl::IsImageFile(path))
        CVistrelApp::Get()->OpenImage(path, false);
}

void CProjectTreeCtrl::OnNewFolder()
{
    if (!CheckProjectOpen())
        return;
    QTreeWidgetItem* pParent = FolderOf(m_hCurItem);
    if (!pParent)
        return;
    // The folder is read first, so that the new item stays in place.
    if (!pParent->isExpanded())
        pParent->setExpanded(true);
    m_bNewFolder = true;
    const QString newName = QString::fromLatin1(Str::kNewFolderName);
    QTreeWidgetItem* pItem = NewItem(newName, kFolderImage);
    pParent->insertChild(SortedIndex(pParent, newName, true), pItem);
    m_bKeepChildren = true;
    pParent->setExpanded(true);
    m_bKeepChildren = false;
    setCurrentItem(pItem);
    m_hCurItem = pItem;
    scrollToItem(pItem);
    editItem(pItem);
    if (m_hEditItem != pItem)
    {
        // No edit box (the tree is hidden): the folder takes its first name.
        OnEndLabelEdit(pItem, pItem->text(0), false);
    }
}

void CProjectTreeCtrl::OnRename()
{
    m_bRenaming = true;
    m_bNewFolder = false;
    if (!CheckProjectOpen())
    {
        m_bRenaming = false;
        return;
    }
    QTreeWidgetItem* pItem = m_hCurItem;
    if (!pItem || pItem == GetRootItem() || pItem->text(0).isEmpty())
    {
        // The project folder keeps the project's name; Save As copies it under another.
        m_bRenaming = false;
        return;
    }
    editItem(pItem);
    if (m_hEditItem != pItem)
        m_bRenaming = false;
}

bool CProjectTreeCtrl::edit(const QModelIndex& index, EditTrigger trigger, QEvent* event)
{
    QTreeWidgetItem* pItem = itemFromIndex(index);
    if (!pItem || (!m_bRenaming && !m_bNewFolder))
        return false;
    pItem->setFlags(pItem->flags() | Qt::ItemIsEditable);
    m_strEditPath = GetItemPath(pItem);
    m_hEditItem = pItem;
    m_strEditText.clear();
    m_bEditCommitted = false;
    if (QTreeWidget::edit(index, trigger, event))
        return true;
    pItem->setFlags(pItem->flags() & ~Qt::ItemIsEditable);
    m_hEditItem = nullptr;
    return false;
}

void CProjectTreeCtrl::commitData(QWidget* editor)
{
    // The text is applied when the edit ends, not by the model.
    if (auto* pLine = qobject_cast<QLineEdit*>(editor))
    {
        m_strEditText = pLine->text();
        m_bEditCommitted = true;
    }
}

void CProjectTreeCtrl::closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint)
{
    QTreeWidgetItem* pItem = m_hEditItem;
    QString text = m_strEditText;
    const bool bCancelled = !m_bEditCommitted;
    if (bCancelled)
        if (auto* pLine = qobject_cast<QLineEdit*>(editor))
            text = pLine->text();
    m_hEditItem = nullptr;
    // The edit ends here: no other item's edit follows it.
    (void)hint;
    QTreeWidget::closeEditor(editor, QAbstractItemDelegate::NoHint);
    if (pItem)
    {
        pItem->setFlags(pItem->flags() & ~Qt::ItemIsEditable);
        OnEndLabelEdit(pItem, text, bCancelled);
    }
    setFocus();
}

void CProjectTreeCtrl::OnEndLabelEdit(QTreeWidgetItem* pItem, const QString& text, bool bCancelled)
{
    const bool bNewFolder = m_bNewFolder;
    m_bNewFolder = m_bRenaming = false;
    if (bNewFolder)
    {
        // Escape still makes the folder, with the name in the box.
        pItem->setText(0, text);
        CreateFolderForItem(pItem);
        return;
    }
    const QString oldText = pItem->text(0);
    // Escape keeps the old name.
    if (bCancelled || text == oldText)
        return;
    // A failed rename has said why; the label keeps the name on disk.
    if (CFileName().RenameEntry(this, m_strEditPath, text))
    {
        pItem->setText(0, text);
        m_hCurItem = pItem;
    }
}

bool CProjectTreeCtrl::CreateFolderForItem(QTreeWidgetItem* pItem)
{
    if (!pItem->parent())
        return false;
    const QString path = CFileName::MakeFolder(this, FolderPath(pItem->parent()), pItem->text(0));
    if (path.isEmpty())
    {
        // The item goes: the tree shows only what is on disk.
        DeleteItem(pItem);
        return false;
    }
    AddPlaceholderIfNotEmpty(pItem, path);
    return true;
}

void CProjectTreeCtrl::OnDeleteItem()
{
    if (!CheckProjectOpen())
        return;
    QTreeWidgetItem* pItem = m_hCurItem;
    // The project folder itself is not deleted from its own tree.
    if (!pItem || pItem == GetRootItem() || pItem->text(0).isEmpty())
        return;
    QTreeWidgetItem* pParent = pItem->parent();
    const QString path = GetItemPath(pItem);
    m_hPrevItem = nullptr;
    m_hCurItem = pParent;
    CFileName name;
    const bool bFolder = name.IsFolder(path);
    name.ShellDeleteItems(bFolder ? nullptr : this, path, 0);
    if (name.Exist(path) || QFileInfo(path).isSymLink())
    {
        m_hPrevItem = m_hCurItem = pParent;
        return;
    }
    DeleteItem(pItem);
    m_hCurItem = pParent;
    if (!bFolder)
        RefreshCurrentFolder(true);
}

void CProjectTreeCtrl::OnCopy()
{
    const int image = ImageOf(m_hCurItem);
    if (image != kFileImage && image != kFolderImage)
        return;
    const QString path = GetItemPath(m_hCurItem);
    if (path.isEmpty())
        return;
    QApplication::clipboard()->setMimeData(CFileDrag::Create({path}, false));
}

bool CProjectTreeCtrl::OnPaste()
{
    if (!HasProject())
        return false;
    QTreeWidgetItem* pTarget = FolderOf(m_hCurItem);
    if (!pTarget)
        return false;
    CVistrelApp* pApp = CVistrelApp::Get();
    CFileListCtrl* pList = pApp->GetFileList();
    CFileName name;

    // The file list's multi-file copy is taken over and used up at once.
    if (pList && pList->m_bMultiCopy)
    {
        pApp->m_pCutList = std::make_unique<QStringList>(pList->m_selection);
        pList->m_selection.clear();
        pList->m_bMultiCopy = false;
        const bool bDone = name.ShellCopyList(this, *pApp->m_pCutList, FolderPath(pTarget), 2) != 0;
        pApp->m_pCutList.reset();
        Reload(pTarget);
        return bDone;
    }
    // Its pending cut is moved, and used up only when the move is done.
    if (pList && !pList->m_strDragFiles.isEmpty())
    {
        const QStringList cut = CFileName::SplitPathList(pList->m_strDragFiles);
        const bool bDone =
            name.ShellMoveFiles(this, pList->m_strDragFiles, FolderPath(pTarget)) != 0;
        // Exactly the files that moved leave the list; the cut keeps the rest.
        QStringList moved, kept;
        for (const QString& path : cut)
            (name.Exist(path) ? kept : moved).append(path);
        pList->RemoveNamedItems(moved);
        pList->m_strDragFiles = CFileName::JoinPathList(kept);
        Reload(pTarget);
        return bDone;
    }

    // Paths on the clipboard: file URLs, else a path (or file URLs) as text.
    const QMimeData* pData = QApplication::clipboard()->mimeData();
    QStringList candidates = pData ? CFileDrag::Paths(pData) : QStringList();
    if (candidates.isEmpty() && pData && pData->hasText())
    {
        QString text = pData->text();
        text.truncate(text.indexOf(QChar(0)) < 0 ? text.size() : text.indexOf(QChar(0)));
        for (const QString& line : text.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        {
            const QString trimmed = line.trimmed();
            const QUrl url(trimmed);
            candidates.append(url.isLocalFile() ? url.toLocalFile() : trimmed);
        }
    }
    QStringList paths;
    for (const QString& path : candidates)
        if (name.IsFolder(path) || name.IsFile(path))
            paths.append(QDir::cleanPath(path));
    const bool bDone =
        !paths.isEmpty() && name.ShellCopyList(this, paths, FolderPath(pTarget), 2) != 0;
    Reload(pTarget);
    return bDone;
}

QString CProjectTreeCtrl::FolderPath(const QTreeWidgetItem* pFolder) const
{
    return pFolder == GetRootItem() ? m_strProjectDir : GetItemPath(pFolder);
}

bool CProjectTreeCtrl::WantsKey(QObject* pTarget) const
{
    if (m_bDragging)
        return true;
    auto* pWidget = qobject_cast<QWidget*>(pTarget);
    return m_hEditItem && pWidget && pWidget->parentWidget() == viewport();
}

// ---- Mouse, keys and the context menu ----------------------------------------

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

void CProjectTreeCtrl::mouseDoubleClickEvent(QMouseEvent* event)
{
    m_hCurItem = itemAt(event->position().toPoint());
    OnShow();
    QTreeWidget::mouseDoubleClickEvent(event);
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

void CProjectTreeCtrl::contextMenuEvent(QContextMenuEvent* event)
{
    event->accept();
    if (event->reason() == QContextMenuEvent::Mouse)
    {
        m_hPrevItem = m_hCurItem;
        m_hCurItem = itemAt(event->pos());
    }
    Menus::ExecBarMenu(Id::IDR_PROJECTTREE_MENU, window(), event->globalPos());
}

// ---- Dragging an item ---------------------------------------------------------

void CProjectTreeCtrl::BeginDrag(QTreeWidgetItem* pItem, const QPoint& globalPos)
{
    // A press let go of at once is a click, not a drag.
    if (quint32(TickCount() - m_dwButtonDownTime) < kDragDelayMs)
        return;
    // The root and placeholders have no file of their own to move.
    if (pItem == GetRootItem() || pItem->text(0).isEmpty() || !HasProject())
        return;
    m_hDragItem = pItem;
    CVistrelApp::Get()->m_strCurrentImage = GetItemPath(pItem);

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
    // The viewport gets the tree's mouse events; a grab on the tree itself
    // would leave the release unseen.
    viewport()->grabMouse(Qt::ClosedHandCursor);
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
    viewport()->releaseMouse();
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
            CVistrelApp::Get()->OpenImage(path, false);
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
    QTreeWidgetItem* pSource = pDragged->parent();
    const bool bMoved = CFileName().MoveDirectory(this, from, to) != 0;
    // Both folders are read again whatever happened: a skipped file or a
    // merged folder leaves the disk otherwise than the items would guess.
    auto inside = [](const QTreeWidgetItem* p, const QTreeWidgetItem* pAncestor)
    {
        for (; p; p = p->parent())
            if (p == pAncestor)
                return true;
        return false;
    };
    if (inside(pTarget, pSource))
    {
        // Reading the source again would take the target with it.
        if (!CFileName().Exist(from))
            DeleteItem(pDragged);
    }
    else if (pSource && !inside(pSource, pTarget))
    {
        Reload(pSource);
    }
    Reload(pTarget);
    if (!bMoved)
        return;
    pTarget->setExpanded(true);
    QTreeWidgetItem* pMoved = nullptr;
    for (int i = 0; i < pTarget->childCount() && !pMoved; ++i)
        if (pTarget->child(i)->text(0) == name)
            pMoved = pTarget->child(i);
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
    // The drag ends before the copy runs, so the program the files came from
    // is not held; the data and the folder's path are taken now.
    auto* pCopy = new QMimeData;
    for (const QString& format : event->mimeData()->formats())
        pCopy->setData(format, event->mimeData()->data(format));
    const QString folder = FolderPath(pFolder);
    QMetaObject::invokeMethod(
        this,
        [this, pCopy, folder]
        {
            std::unique_ptr<QMimeData> dropped(pCopy);
            if (CFileDrag::DropOnItem(this, dropped.get(), folder))
                RefreshFolderAt(folder);
        },
        Qt::QueuedConnection);
}
