#include "ProjectTreeCtrl.h"

#include "DirectoryReader.h"
#include "FileName.h"
#include "IBrowser.h"
#include "IProjectHost.h"
#include "LabelEditDelegate.h"
#include "Menus.h"
#include "MessageBox.h"
#include "NativePath.h"
#include "Resource.h"
#include "Strings.h"
#include "TreeItemPath.h"

#include <QContextMenuEvent>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QTreeWidgetItemIterator>

#include <algorithm>
#include <utility>
#include <vector>

namespace
{
const char kNoOpenProject[] = "No Open Project";
const char kNoProjectMessage[] = "No open project, command canceled!";
constexpr int kImageRole = Qt::UserRole + 1;
} // namespace

CProjectTreeCtrl::CProjectTreeCtrl(QWidget* pParent, IBrowser* pBrowser, IPendingFiles* pPending)
    : QTreeWidget(pParent), m_pBrowser(pBrowser), m_pPending(pPending)
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
    IProjectHost* pHost = IProjectHost::Get();
    return pHost ? pHost->GetProjectTree() : nullptr;
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
    m_hPrevItem = m_hCurItem = m_hDragItem = m_hDropItem = m_hPressItem = m_edit.pItem = nullptr;
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

QString CProjectTreeCtrl::RenameRefusal(const QString& path) const
{
    if (!HasProject())
        return QString();
    const QString clean = QDir::cleanPath(path);
    const QString name = clean.section(QLatin1Char('/'), -1);
    // The project's name is its folder's and its file's: the item paths and
    // the recent projects rely on the three agreeing.
    if (clean == QDir::cleanPath(m_strProjectDir))
        return QStringLiteral("\"%1\" is the folder of the open project. Close the project "
                              "before renaming its folder, or copy the project under another "
                              "name with Project Save As.")
            .arg(name);
    if (clean == QDir::cleanPath(m_strProjectFile))
        return QStringLiteral("\"%1\" is the file of the open project. Close the project "
                              "before renaming it, or copy the project under another name with "
                              "Project Save As.")
            .arg(name);
    return QString();
}

void CProjectTreeCtrl::FollowRename(const QString& from, const QString& to)
{
    if (!HasProject())
        return;
    if (const QString dir = CFileName::RenamedPath(m_strProjectDir, from, to); !dir.isEmpty())
    {
        // Item paths start at the project folder, so they follow with it.
        m_strProjectFile = CFileName::RenamedPath(m_strProjectFile, from, to);
        m_strProjectDir = dir;
        return;
    }
    if (!from.startsWith(m_strProjectDir + QLatin1Char('/')))
        return;
    for (QTreeWidgetItemIterator it(this); *it; ++it)
        if ((*it)->parent() && !(*it)->text(0).isEmpty() && GetItemPath(*it) == from)
        {
            (*it)->setText(0, to.section(QLatin1Char('/'), -1));
            return;
        }
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
    std::vector<CDirEntry> entries;
    if (!CDirectoryReader::Read(dir, CDirectoryReader::AllEntries, entries,
                                CDirectoryReader::Unsorted))
    {
        if (pItem == GetRootItem())
            pItem->addChild(NewItem(QString(), kFolderImage));
        return 0;
    }
    // Folders in case-insensitive order, then files in byte order of their names.
    const QString skip = m_strProjectName + QStringLiteral(".vrp");
    std::vector<QString> folders;
    std::vector<std::pair<QByteArray, QString>> files;
    for (CDirEntry& entry : entries)
        if (entry.bFolder)
            folders.push_back(std::move(entry.name));
        else if (entry.name != skip)
            files.emplace_back(NativePath::Encode(entry.name), std::move(entry.name));
    std::stable_sort(folders.begin(), folders.end(),
                     [](const QString& a, const QString& b)
                     { return a.compare(b, Qt::CaseInsensitive) < 0; });
    std::sort(files.begin(), files.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });

    QList<QTreeWidgetItem*> items;
    items.reserve(qsizetype(folders.size() + files.size()));
    for (const QString& name : folders)
    {
        QTreeWidgetItem* pFolder = NewItem(name, kFolderImage);
        AddPlaceholderIfNotEmpty(pFolder, dir + QLatin1Char('/') + name);
        items.append(pFolder);
    }
    for (const auto& file : files)
        items.append(NewItem(file.second, kFileImage));
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
    if (inside(m_edit.pItem))
        m_edit.pItem = nullptr;
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
    if (m_pBrowser)
        m_pBrowser->SetCurrentImage(path);
    if (!CFileName().IsFolder(path) || pCurrent == GetRootItem())
        return;
    if (m_pBrowser)
        m_pBrowser->ShowFolder(path);
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
    if (bUpdateList && bShown && m_pBrowser)
        m_pBrowser->ShowFolder(GetItemPath(pFolder));
}

// ---- Commands ---------------------------------------------------------------

void CProjectTreeCtrl::OnShow()
{
    const QString path = GetItemPath(m_hCurItem);
    if (m_pBrowser && m_pBrowser->IsImageFile(path))
        m_pBrowser->OpenImage(path, false);
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
    const QString newName = QString::fromLatin1(Str::kNewFolderName);
    QTreeWidgetItem* pItem = NewItem(newName, kFolderImage);
    pParent->insertChild(SortedIndex(pParent, newName, true), pItem);
    m_bKeepChildren = true;
    pParent->setExpanded(true);
    m_bKeepChildren = false;
    setCurrentItem(pItem);
    m_hCurItem = pItem;
    scrollToItem(pItem);
    // No edit box (the tree is hidden): the folder takes its first name.
    if (!BeginLabelEdit(pItem, LabelEdit::kNewFolder))
        OnEndLabelEdit(pItem, pItem->text(0), false);
}

void CProjectTreeCtrl::OnRename()
{
    if (!CheckProjectOpen())
        return;
    QTreeWidgetItem* pItem = m_hCurItem;
    if (pItem == GetRootItem())
    {
        AfxMessageBox(RenameRefusal(m_strProjectDir), MB_OK | MB_ICONINFORMATION);
        return;
    }
    if (!pItem || pItem->text(0).isEmpty())
        return;
    if (!BeginLabelEdit(pItem, LabelEdit::kRename))
        m_edit.purpose = LabelEdit::kNone;
}

// ---- Editing a label ------------------------------------------------------------
// The box is the tree bar's CLabelEditDelegate; the tree applies its text
// itself when the edit ends (OnEndLabelEdit), not through the model.

bool CProjectTreeCtrl::BeginLabelEdit(QTreeWidgetItem* pItem, LabelEdit::Purpose purpose)
{
    m_edit.purpose = purpose;
    editItem(pItem);
    return m_edit.pItem == pItem;
}

bool CProjectTreeCtrl::edit(const QModelIndex& index, EditTrigger trigger, QEvent* event)
{
    // Only the tree's own commands edit a label.
    QTreeWidgetItem* pItem = itemFromIndex(index);
    if (!pItem || m_edit.purpose == LabelEdit::kNone)
        return false;
    pItem->setFlags(pItem->flags() | Qt::ItemIsEditable);
    m_edit.path = GetItemPath(pItem);
    m_edit.pItem = pItem;
    m_edit.text.clear();
    m_edit.bCommitted = false;
    if (QTreeWidget::edit(index, trigger, event))
        return true;
    pItem->setFlags(pItem->flags() & ~Qt::ItemIsEditable);
    m_edit.pItem = nullptr;
    return false;
}

void CProjectTreeCtrl::commitData(QWidget* editor)
{
    if (auto* pLine = qobject_cast<QLineEdit*>(editor))
    {
        m_edit.text = pLine->text();
        m_edit.bCommitted = true;
    }
}

void CProjectTreeCtrl::closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint)
{
    QTreeWidgetItem* pItem = m_edit.pItem;
    QString text = m_edit.text;
    const bool bCancelled = !m_edit.bCommitted;
    if (bCancelled)
        if (auto* pLine = qobject_cast<QLineEdit*>(editor))
            text = pLine->text();
    m_edit.pItem = nullptr;
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
    const bool bNewFolder = m_edit.purpose == LabelEdit::kNewFolder;
    m_edit.purpose = LabelEdit::kNone;
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
    if (CFileName().RenameEntry(this, m_edit.path, text))
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

QString CProjectTreeCtrl::FolderPath(const QTreeWidgetItem* pFolder) const
{
    return pFolder == GetRootItem() ? m_strProjectDir : GetItemPath(pFolder);
}

bool CProjectTreeCtrl::WantsKey(QObject* pTarget) const
{
    if (m_bDragging)
        return true;
    auto* pWidget = qobject_cast<QWidget*>(pTarget);
    return m_edit.pItem && pWidget && pWidget->parentWidget() == viewport();
}

// ---- The mouse and the context menu ---------------------------------------------

void CProjectTreeCtrl::mouseDoubleClickEvent(QMouseEvent* event)
{
    m_hCurItem = itemAt(event->position().toPoint());
    OnShow();
    QTreeWidget::mouseDoubleClickEvent(event);
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
