#include "MDIWindowList.h"

#include "MDIChildWnd.h"
#include "MDIFrameWnd.h"

#include <QAction>
#include <QInputDialog>
#include <QMdiArea>
#include <QMenu>
#include <QPointer>

namespace
{
constexpr int kMaxListed = 9;
const char* const kListProperty = "windowListEntry";

QString ShownName(const CMDIChildWnd* pChild)
{
    QString name = pChild->windowTitle();
    return name.replace(QLatin1Char('&'), QStringLiteral("&&"));
}
} // namespace

CMDIWindowList::CMDIWindowList(CMDIFrameWnd* pFrame,
                               std::function<bool(const CMDIChildWnd*)> bListed)
    : QObject(pFrame), m_pFrame(pFrame), m_bListed(std::move(bListed))
{
}

void CMDIWindowList::Attach(QMenu* pMenu)
{
    connect(pMenu, &QMenu::aboutToShow, this, [this, pMenu] { Refill(pMenu); });
}

QList<CMDIChildWnd*> CMDIWindowList::ListedFrames() const
{
    QList<CMDIChildWnd*> frames;
    for (QMdiSubWindow* pWindow : m_pFrame->MdiArea()->subWindowList(QMdiArea::CreationOrder))
        if (auto* pChild = dynamic_cast<CMDIChildWnd*>(pWindow);
            pChild && !pChild->IsDestroying() && m_bListed(pChild))
            frames.append(pChild);
    return frames;
}

void CMDIWindowList::Choose(CMDIChildWnd* pChild) const
{
    if (pChild->isHidden() || pChild->isMinimized())
        pChild->showNormal();
    m_pFrame->MDIActivate(pChild);
    pChild->setFocus();
}

void CMDIWindowList::Refill(QMenu* pMenu)
{
    for (QAction* pAction : pMenu->actions())
        if (pAction->property(kListProperty).toBool())
            delete pAction;

    const QList<CMDIChildWnd*> frames = ListedFrames();
    if (frames.isEmpty())
        return;
    const CMDIChildWnd* pActive = m_pFrame->MDIGetActive();
    auto add = [pMenu](QAction* pAction)
    {
        pAction->setProperty(kListProperty, true);
        pMenu->addAction(pAction);
    };
    add(new QAction(pMenu));
    pMenu->actions().last()->setSeparator(true);
    for (int i = 0; i < frames.size() && i < kMaxListed; ++i)
    {
        auto* pAction =
            new QAction(QStringLiteral("&%1 %2").arg(i + 1).arg(ShownName(frames[i])), pMenu);
        pAction->setCheckable(true);
        pAction->setChecked(frames[i] == pActive);
        QPointer<CMDIChildWnd> pChild = frames[i];
        connect(pAction, &QAction::triggered, this,
                [this, pChild]
                {
                    if (pChild && !pChild->IsDestroying())
                        Choose(pChild);
                });
        add(pAction);
    }
    if (frames.size() > kMaxListed)
    {
        auto* pMore = new QAction(QStringLiteral("&More Windows..."), pMenu);
        connect(pMore, &QAction::triggered, this, &CMDIWindowList::ChooseFromAll);
        add(pMore);
    }
}

void CMDIWindowList::ChooseFromAll()
{
    const QList<CMDIChildWnd*> frames = ListedFrames();
    QStringList names;
    int current = 0;
    for (int i = 0; i < frames.size(); ++i)
    {
        names.append(QStringLiteral("%1 %2").arg(i + 1).arg(frames[i]->windowTitle()));
        if (frames[i] == m_pFrame->MDIGetActive())
            current = i;
    }
    bool ok = false;
    const QString chosen =
        QInputDialog::getItem(m_pFrame, QStringLiteral("Select Window"),
                              QStringLiteral("&Select Window:"), names, current, false, &ok);
    const qsizetype index = names.indexOf(chosen);
    QPointer<CMDIChildWnd> pChild = ok && index >= 0 ? frames[index] : nullptr;
    if (pChild && !pChild->IsDestroying())
        Choose(pChild);
}
