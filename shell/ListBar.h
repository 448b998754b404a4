#pragma once
#include "SizeControlBar.h"

class CFileListCtrl;
class CThumbnailView;
class QStackedWidget;

/// The list bar "List Bar": the entries of the folder chosen in a tree.
class CListBar : public CSizeControlBar
{
    Q_OBJECT
public:
    CListBar();

    bool Create(const QString& windowName, QWidget* pParent, int nID);
    CFileListCtrl* GetList() const { return m_wndList; }
    CThumbnailView* GetThumbnailView() const { return m_pThumbnails; }

    /// Shows the list as thumbnails or as details: one list, one selection,
    /// the same files at the top. Remembered in "ListBar"/"view".
    void SetThumbnailMode(bool bThumbnails);
    bool IsThumbnailMode() const;
    /// 128 or 256 pixels, remembered in "ListBar"/"thumbnail size".
    void SetThumbnailSize(int size);

    /// Shows the folder's entries.
    void SetDirectory(const QString& path);
    const QString& GetDirectory() const;
    /// Full path of the first selected entry, or empty.
    QString GetSelectedPath() const;

protected:
    bool eventFilter(QObject* pWatched, QEvent* pEvent) override;

private:
    /// Widens the bar, docked at a side, to hold one column of thumbnails.
    void WidenForOneColumn();

    CFileListCtrl* m_wndList = nullptr;
    CThumbnailView* m_pThumbnails = nullptr;
    QStackedWidget* m_pLooks = nullptr;
};
