#include "CommandRouter.h"

#include <QAction>

CCommandRouter::CCommandRouter(QObject* parent) : QObject(parent)
{
    m_idleTimer.setInterval(250);
    connect(&m_idleTimer, &QTimer::timeout, this, &CCommandRouter::UpdateAll);
    m_idleTimer.start();
    m_soonTimer.setSingleShot(true);
    m_soonTimer.setInterval(0);
    connect(&m_soonTimer, &QTimer::timeout, this, &CCommandRouter::UpdateAll);
}

void CCommandRouter::AddAction(int nID, QAction* action)
{
    m_items.push_back({nID, action, action, nullptr});
    connect(action, &QAction::triggered, this, [this, nID] { Route(nID); });
    connect(action, &QObject::destroyed, this, [this, action] {
        std::erase_if(m_items, [action](const Item& item) { return item.action == action; });
    });
}

QAction* CCommandRouter::Action(int nID) const
{
    for (const Item& item : m_items)
        if (item.nID == nID && item.action)
            return item.action;
    return nullptr;
}

void CCommandRouter::AddUpdateItem(int nID, Apply apply)
{
    m_items.push_back({nID, nullptr, nullptr, std::move(apply)});
}

void CCommandRouter::RemoveOwnedBy(QObject* owner)
{
    std::erase_if(m_items, [owner](const Item& item) { return item.owner == owner; });
}

bool CCommandRouter::Route(int nID)
{
    if (!m_chain)
        return false;
    bool handled = false;
    for (CCmdTarget* target : m_chain())
    {
        if (target && target->OnCmdMsg(nID))
        {
            handled = true;
            break;
        }
    }
    UpdateSoon();
    return handled;
}

CCmdUI CCommandRouter::Query(int nID) const
{
    CCmdUI ui(nID);
    if (!m_chain)
    {
        ui.Enable(false);
        return ui;
    }
    const std::vector<CCmdTarget*> chain = m_chain();
    for (CCmdTarget* target : chain)
        if (target && target->OnUpdateCmdMsg(nID, ui))
            return ui;
    bool any = false;
    for (CCmdTarget* target : chain)
        any = any || (target && target->HasCommandHandler(nID));
    ui.Enable(any);
    return ui;
}

void CCommandRouter::ApplyToAction(QAction* action, const CCmdUI& ui)
{
    if (action->isEnabled() != ui.m_bEnabled)
        action->setEnabled(ui.m_bEnabled);
    if (ui.m_nCheck >= 0)
    {
        action->setCheckable(true);
        if (action->isChecked() != (ui.m_nCheck != 0))
            action->setChecked(ui.m_nCheck != 0);
    }
    if (ui.m_bTextSet && action->text() != ui.m_strText)
        action->setText(ui.m_strText);
    if (action->isVisible() != ui.m_bVisible)
        action->setVisible(ui.m_bVisible);
}

void CCommandRouter::UpdateAll()
{
    // Copy: an update handler may register or remove items.
    const std::vector<Item> items = m_items;
    for (const Item& item : items)
    {
        const CCmdUI ui = Query(item.nID);
        if (item.action)
            ApplyToAction(item.action, ui);
        else if (item.apply)
            item.apply(ui);
    }
}

void CCommandRouter::UpdateSoon()
{
    m_soonTimer.start();
}
