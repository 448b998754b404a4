#pragma once
#include "SizeControlBar.h"

class QListWidget;

/// The list bar "List Bar": the entries of the folder chosen in a tree.
class CListBar : public CSizeControlBar
{
    Q_OBJECT
public:
    CListBar();

    bool Create(const QString& windowName, QWidget* pParent, int nID);
    QListWidget* GetList() const { return m_wndList; }

    /// Shows the folder's entries.
    void SetDirectory(const QString& path);
    const QString& GetDirectory() const { return m_strDirectory; }
    /// Full path of the current entry, or empty.
    QString GetCurrentFile() const;
    /// Removes the entry of that full path; false when there is none.
    bool RemoveItemByName(const QString& path);

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    bool eventFilter(QObject* pWatched, QEvent* pEvent) override;

private:
    QListWidget* m_wndList = nullptr;
    QString m_strDirectory;
};
