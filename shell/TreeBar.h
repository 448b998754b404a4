#pragma once
#include "SizeControlBar.h"

#include <QPixmap>

class CFolderTreeCtrl;
class CProjectTreeCtrl;
class QTabWidget;
class QTreeWidget;

/// The tree bar "Project Bar": tabs "Project" (the project tree) and
/// "Desktop" (the folder tree).
class CTreeBar : public CSizeControlBar
{
    Q_OBJECT
public:
    CTreeBar();

    bool Create(const QString& windowName, QWidget* pParent, int nID);
    QTabWidget* GetTabs() const { return m_wndTabs; }
    CProjectTreeCtrl* GetProjectTree() const { return m_pProjectTree; }
    CFolderTreeCtrl* GetFolderTree() const { return m_pFolderTree; }
    /// 0 "Project", 1 "Desktop".
    int GetCurrentTab() const;
    /// Image i of the bar's image list (16 x 16, magenta transparent).
    QPixmap Image(int index) const;

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    QTabWidget* m_wndTabs = nullptr;
    QPixmap m_imageList;
    CFolderTreeCtrl* m_pFolderTree = nullptr;
    CProjectTreeCtrl* m_pProjectTree = nullptr;
};
