#pragma once
#include <QPersistentModelIndex>
#include <QPixmap>
#include <QPoint>
#include <QPointer>
#include <QString>
#include <QTreeWidget>
#include <functional>

class IBrowser;
class IPendingFiles;
class QLabel;

/// The "Project" tab of the tree bar: the open project's folder on disk as a
/// tree, a bold root named after the project and folders loaded when they are
/// expanded. Every item stands for a path made from the item texts; the tree
/// keeps no list of files of its own. Pictures open in the browser it is
/// given, and a paste takes the pending files it is given (either may be
/// null: then nothing opens, and a paste takes only the clipboard).
class CProjectTreeCtrl : public QTreeWidget
{
    Q_OBJECT
public:
    /// Item kinds, by their image in the tree bar's image list.
    enum Image
    {
        kRootImage = 0,
        kFileImage = 2,
        kFolderImage = 5,
        kOpenFolderImage = 6
    };

    explicit CProjectTreeCtrl(QWidget* pParent = nullptr, IBrowser* pBrowser = nullptr,
                              IPendingFiles* pPending = nullptr);
    ~CProjectTreeCtrl() override;

    /// The tree of the program's tree bar (its project host's), or null.
    static CProjectTreeCtrl* FromApp();
    /// Gives the tree the tree bar's images (16 x 16, by index).
    void SetImageList(const std::function<QPixmap(int)>& image);

    /// One bold item "No Open Project"; no project is open.
    void ResetToNoProject();
    /// Takes the project from its file's full path: directory and name.
    void LoadProject(const QString& projectFile);
    /// Rebuilds the tree with the project's root, collapsed.
    void ShowProjectRoot();

    /// The full path the item stands for; empty for none or with no project.
    QString GetItemPath(const QTreeWidgetItem* pItem) const;
    /// Reloads the folder of the current item; with bUpdateList the list bar
    /// then shows it when it is the selected one.
    void RefreshCurrentFolder(bool bUpdateList);

    void OnShow();
    void OnNewFolder();
    void OnRename();
    void OnDeleteItem();
    // The clipboard (ProjectTreeClipboard.cpp).
    void OnCopy();
    /// Copies or moves files into the current folder: the file list's
    /// multi-file copy or cut, else paths on the clipboard. True when the
    /// copy or move reported success.
    bool OnPaste();

    /// Whether the key event is for the label edit box or the drag, which
    /// take keys before the program's shortcuts and key routing.
    bool WantsKey(QObject* pTarget) const;

    static int ImageOf(const QTreeWidgetItem* pItem);
    QTreeWidgetItem* GetRootItem() const { return topLevelItem(0); }
    bool HasProject() const { return !m_strProjectFile.isEmpty(); }
    const QString& GetProjectDir() const { return m_strProjectDir; }
    const QString& GetProjectFile() const { return m_strProjectFile; }
    /// Why the entry at `path` must keep its name: it is the project's
    /// folder or its project file. Empty when it may be renamed.
    QString RenameRefusal(const QString& path) const;
    /// Follows a rename on disk: of a folder above the project (its paths
    /// change) or of an entry inside it whose item is loaded (its label).
    void FollowRename(const QString& from, const QString& to);
    bool IsDragging() const { return m_bDragging; }

    QTreeWidgetItem* m_hPrevItem = nullptr;
    QTreeWidgetItem* m_hCurItem = nullptr;

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override;

protected slots:
    void commitData(QWidget* editor) override;
    void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override;

private:
    void DeleteAllItems();
    QTreeWidgetItem* NewItem(const QString& text, int image) const;
    /// Where a folder or file of that name goes among pParent's children.
    static int SortedIndex(const QTreeWidgetItem* pParent, const QString& name, bool bFolder);
    bool AddPlaceholderIfNotEmpty(QTreeWidgetItem* pItem, const QString& dir);
    int FillFolder(QTreeWidgetItem* pItem, const QString& dir);
    void DeleteChildren(QTreeWidgetItem* pItem);
    void DeleteItem(QTreeWidgetItem* pItem);
    /// Points every remembered item inside pItem's branch at pReplacement.
    void ForgetItemsIn(QTreeWidgetItem* pItem, QTreeWidgetItem* pReplacement, bool bWithSelf);
    void Reload(QTreeWidgetItem* pFolder);
    /// Reloads the loaded folder item of that path, if there is one.
    void RefreshFolderAt(const QString& path);
    /// The folder a command on pItem acts in: the item, or a file's parent.
    QTreeWidgetItem* FolderOf(QTreeWidgetItem* pItem) const;
    bool CheckProjectOpen() const;

    void OnItemExpanded(QTreeWidgetItem* pItem);
    void OnItemCollapsed(QTreeWidgetItem* pItem);
    void OnCurrentItemChanged(QTreeWidgetItem* pCurrent, QTreeWidgetItem* pPrevious);

    /// The directory of a folder item (the root's is the project folder).
    QString FolderPath(const QTreeWidgetItem* pFolder) const;

    // Editing a label (ProjectTreeCtrl.cpp): what the edit is for, and from
    // its start to its end the item, the path it stood for and the text the
    // box committed.
    struct LabelEdit
    {
        enum Purpose
        {
            kNone,
            kRename,
            kNewFolder
        };
        Purpose purpose = kNone;
        QTreeWidgetItem* pItem = nullptr;
        QString path;
        QString text;
        bool bCommitted = false;
    };
    /// Opens the edit box on the item; false when none opened (the tree is hidden).
    bool BeginLabelEdit(QTreeWidgetItem* pItem, LabelEdit::Purpose purpose);
    void OnEndLabelEdit(QTreeWidgetItem* pItem, const QString& text, bool bCancelled);
    bool CreateFolderForItem(QTreeWidgetItem* pItem);

    // Dragging an item (ProjectTreeDrag.cpp).
    void BeginDrag(QTreeWidgetItem* pItem, const QPoint& globalPos);
    void DragMove(const QPoint& globalPos);
    void EndDrag(const QPoint& globalPos, bool bDrop);
    void DropOnTree(QTreeWidgetItem* pDropItem);
    void SetDropHighlight(QTreeWidgetItem* pItem);
    QWidget* WindowUnder(const QPoint& globalPos) const;

    QTreeWidgetItem* CopyItem(QTreeWidgetItem* pItem, QTreeWidgetItem* pParent, int index);
    QTreeWidgetItem* CopyBranch(QTreeWidgetItem* pItem, QTreeWidgetItem* pParent, int index);

    IBrowser* m_pBrowser;
    IPendingFiles* m_pPending;
    std::function<QPixmap(int)> m_image;
    quint32 m_dwButtonDownTime = 0;
    QString m_strProjectDir;
    QString m_strProjectFile;
    QString m_strProjectName;

    LabelEdit m_edit;
    // Expansions made by the tree itself that must not reload the folder.
    bool m_bKeepChildren = false;
    // Deletions made by the tree itself; selection changes are not followed.
    int m_nDeleting = 0;

    // Dragging an item.
    QTreeWidgetItem* m_hPressItem = nullptr;
    QPoint m_ptPress;
    bool m_bDragTried = false;
    QLabel* m_pDragImage = nullptr;
    bool m_bDragging = false;
    QTreeWidgetItem* m_hDragItem = nullptr;
    QTreeWidgetItem* m_hDropItem = nullptr;
    QPointer<QWidget> m_pDropWnd;
};
