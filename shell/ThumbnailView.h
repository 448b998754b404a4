#pragma once
#include <QListView>

class CFileListCtrl;
class CFolderThumbnails;

/// The thumbnail look of the file list: the same model, selection and
/// current item as the details look (CFileListCtrl), shown as a grid of
/// thumbnails with their names. Opening, the context menu, dragging, F2 and
/// the list's other keys do what they do in the details look; Ctrl+wheel and
/// Ctrl+plus/minus switch between 128- and 256-pixel thumbnails.
class CThumbnailView : public QListView
{
    Q_OBJECT
public:
    /// threads, cacheRoot: of the thumbnail workers (0 and empty: one per
    /// core, the desktop's cache).
    explicit CThumbnailView(CFileListCtrl* pList, QWidget* pParent = nullptr, int threads = 0,
                            const QString& cacheRoot = {});
    ~CThumbnailView() override;

    CFolderThumbnails* GetThumbnails() const { return m_pThumbnails; }
    void SetThumbnailSize(int size);
    int GetThumbnailSize() const;
    /// The first row wholly or partly on screen, or -1.
    int FirstVisibleRow() const;
    /// Scrolls so that the row is in the top line.
    void ScrollToRow(int row);

signals:
    /// Ctrl+wheel or Ctrl+plus/minus asked for this size.
    void SizeRequested(int size);

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void startDrag(Qt::DropActions supportedActions) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    /// Tells the thumbnails which rows are on screen.
    void UpdateVisibleRows();
    int LastVisibleRow() const;
    /// +1 or -1 for a Ctrl+plus or Ctrl+minus key, else 0.
    static int ZoomStep(const QKeyEvent* event);

    CFileListCtrl* m_pList;
    CFolderThumbnails* m_pThumbnails;
    QString m_strTopFolder; // the folder and the top file before a re-read
    QString m_strTopName;
};
