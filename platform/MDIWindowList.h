#pragma once
#include <QObject>
#include <functional>

class CMDIChildWnd;
class CMDIFrameWnd;
class QMenu;

/// The list of child frames at the foot of a frame's Window menu: "&1 name",
/// "&2 name" ... in the order the frames were opened, hidden frames too, the
/// active one checked; past nine, "&More Windows..." chooses from them all.
/// Choosing a frame shows and activates it.
class CMDIWindowList : public QObject
{
    Q_OBJECT
public:
    /// Only frames that bListed accepts are listed.
    CMDIWindowList(CMDIFrameWnd* pFrame, std::function<bool(const CMDIChildWnd*)> bListed);

    /// Refills the list each time the menu is about to show.
    void Attach(QMenu* pMenu);
    /// The frames listed now, in menu order.
    QList<CMDIChildWnd*> ListedFrames() const;
    /// Shows the frame when it is hidden or minimised and activates it.
    void Choose(CMDIChildWnd* pChild) const;

private:
    void Refill(QMenu* pMenu);
    void ChooseFromAll();

    CMDIFrameWnd* m_pFrame;
    std::function<bool(const CMDIChildWnd*)> m_bListed;
};
