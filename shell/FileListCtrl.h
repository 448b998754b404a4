#pragma once
#include "ISlideSource.h"

#include <QElapsedTimer>
#include <QStringList>
#include <QTimer>
#include <QTreeView>

#include <functional>
#include <random>

class CFileListModel;
class QFileSystemWatcher;

/// The file list of the list bar: every entry of one folder in report view
/// (folders first, sorted as the file manager sorts), opening pictures, the
/// steps to the next and previous picture, the slideshow's picks, and the list
/// side of the file operations (copy, cut, delete, drag onto a tree).
///
/// It is the slideshow's source: the show calls PickRandom or PickNext for
/// each slide, BeginShow when it starts (the picks start again at the first
/// entry) and EndShow when it stops (the next show takes the whole list).
class CFileListCtrl : public QTreeView, public ISlideSource
{
    Q_OBJECT
public:
    explicit CFileListCtrl(QWidget* parent = nullptr);
    ~CFileListCtrl() override;

    /// Shows the folder's entries and makes it the program's current directory.
    void SetDirectory(const QString& path);
    /// Reads the folder again (F5, and shortly after the folder changes on
    /// disk), keeping the selection, the current item, the cut marks and the
    /// scroll position of the entries that are still there.
    void Reload();
    /// Renames the entry on disk (F2 edits the name in place); a bad or taken
    /// name is refused with a message and nothing changes.
    void RenameEntry(const QString& oldName, const QString& newName);
    /// A file or folder was renamed: the list shows the folder under its new
    /// path, and the file last picked keeps being found.
    void FollowRename(const QString& from, const QString& to);
    /// Lists the parent folder with the folder we came from selected
    /// (Backspace, Alt+Up).
    void GoToParent();
    /// Selects only the entry of that name (exactly), when there is one.
    void SelectNamed(const QString& name);
    const QString& GetDirectory() const { return m_strDirectory; }
    QString GetFullPath(const QString& name) const;
    /// A picture by name: not a folder, and the lower-cased extension from the
    /// last "." is one the program opens.
    static bool IsImageFile(const QString& path);
    static bool HasImageExtension(const QString& name);
    /// The lower-cased extensions, with their dots, that HasImageExtension takes.
    static const QStringList& ImageExtensions();

    int GetItemCount() const override;
    /// The item's name (the file name, as NativePath keeps it).
    QString GetItemText(int index) const;
    /// The first selected item's name, or empty.
    QString GetSelectedName() const;
    /// The file last picked, opened or stepped to (m_strPicked).
    const QString& GetCurrentFile() const { return m_strPicked; }
    /// Index of the item named as the path's last part (case-insensitive);
    /// the previous answer when none matches.
    int FindItemByName(const QString& path);
    /// Opens the next (direction 0) or previous (1) item after the named one
    /// in place of the active picture, when it is a picture, and selects it.
    void StepToNeighbour(const QString& name, int direction);
    /// The picture's place among the list's pictures (1 for the first) and
    /// their number, when the path is one of the list's pictures; else false.
    bool GetPicturePosition(const QString& path, int& nIndex, int& nCount) const;

    /// One selected item: its path goes to the clipboard. Several: their
    /// paths fill m_selection. Returns the number selected.
    int CopySelection();
    /// Whether a copy of several files waits for a paste.
    bool HasMultiCopy() const { return m_bMultiCopy; }
    /// Takes the copy of several files for a paste: their paths, which are
    /// used up by this; empty when there is none.
    QStringList TakeMultiCopy();
    /// Gathers the selected paths for moving (m_strDragFiles), shows them dimmed.
    void CutSelection();
    /// The paths gathered for moving, each ended by a zero character; empty
    /// when none are.
    const QString& GetPendingCut() const { return m_strDragFiles; }
    /// Moves the selected items to the trash after asking; nonzero when deleted.
    int DeleteSelection(int nFlags);
    void RemoveSelectedItems();
    /// These files were deleted: their rows go, the selection goes on to the
    /// entry after them, and when the active image window showed one of them
    /// it shows the next picture of the list instead (the previous one at
    /// the end), or closes when none is left.
    void RemoveDeleted(const QStringList& paths);
    /// Removes the items of these full paths (files moved away).
    void RemoveNamedItems(const QStringList& paths);
    /// These files of the pending cut have moved: their rows go and the cut
    /// keeps only the others.
    void ForgetMovedFiles(const QStringList& moved);
    void RemoveItem(int index);
    void SelectForSlideshow();
    /// The slideshow selection: full paths in list order.
    const QStringList& GetSlideshowSelection() const { return m_selection; }
    /// Whether the picks draw from the slideshow selection.
    bool IsUsingSelection() const { return m_bUseSelection; }

    QString PickRandom() override;
    QString PickNext() override;
    /// How many entries the picks draw from: the selection's or the list's.
    int SourceSize() const override;
    /// Resets the sequential pick and the miss counter.
    void BeginShow() override;
    /// The next picks draw from the whole list again.
    void EndShow() override;
    /// Misses of the last pick (entries that were no picture).
    int GetMisses() const { return m_nMisses; }
    /// Whether the last step to a neighbour found the first or the last picture.
    bool IsAtFirst() const { return m_bAtFirst; }
    bool IsAtLast() const { return m_bAtLast; }
    /// Seeds the random order (tests); it is seeded once from the system otherwise.
    void SeedRandom(unsigned seed) { m_random.seed(seed); }

    // What the thumbnail look of this same list hands on to it: keys,
    // activation, the press a drag's delay counts from, and the drag.
    void HandleKey(QKeyEvent* event) { keyPressEvent(event); }
    void Activate(const QModelIndex& index) { OnActivated(index); }
    void NoteButtonDown() { m_buttonDown.start(); }
    void StartDrag(Qt::DropActions supportedActions) { startDrag(supportedActions); }
    /// Tells the list whether a name is being edited in the other look, so
    /// that a re-read waits for the edit to end there as well.
    void SetOtherLookEditing(std::function<bool()> isEditing) { m_otherLookEditing = std::move(isEditing); }
    /// The list's model, and the folder whose entries it holds.
    CFileListModel* GetModel() const { return m_pModel; }
    QString GetModelFolder() const;
    /// The rows of the entries with these names.
    QList<int> RowsNamed(const QStringList& names) const;

private:
    QString m_strDirectory;
    QString m_strPicked;
    QString m_strDragFiles; // full paths, each ended by a zero character
    QStringList m_selection;
    bool m_bMultiCopy = false;
    bool m_bUseSelection = false;
    int m_nNextIndex = 0;
    int m_nSlideIndex = 0;
    int m_nMisses = 0; // misses of the last pick (entries that were no picture)
    bool m_bAtFirst = false;
    bool m_bAtLast = false;

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void startDrag(Qt::DropActions supportedActions) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    QList<int> SelectedRows() const;
    QStringList SelectedPaths() const;
    void SelectOnly(int row);
    void OnActivated(const QModelIndex& index);
    /// Whether the pick source's entry i is a picture, and its full path.
    bool SourceImage(int i, QString& path) const;
    /// Reads the folder into the model; with bOnlyIfChanged, leaves the model
    /// alone (false) when it already holds the same entries.
    bool ReadEntries(const QString& path, bool bOnlyIfChanged = false);
    void OnFolderChanged();
    void LoadColumnWidths();
    /// A column's width when none is stored: its usual texts fit.
    int DefaultColumnWidth(int column) const;
    void SaveColumnWidths() const;

    CFileListModel* m_pModel;
    QElapsedTimer m_buttonDown; // since the last left-button press
    QFileSystemWatcher* m_pWatcher;
    QTimer m_reloadTimer;
    qint64 m_nReadMs = 0; // how long the last reading took
    std::mt19937 m_random;
    std::function<bool()> m_otherLookEditing;
};
