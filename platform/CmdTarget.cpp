#include "CmdTarget.h"

bool CCmdTarget::OnCmdMsg(int nID)
{
    const auto it = m_handlers.find(nID);
    if (it == m_handlers.end() || !it->second.command)
        return false;
    // Copy: the handler may replace the entry (or destroy this target).
    const auto handler = it->second.command;
    handler();
    return true;
}

bool CCmdTarget::OnUpdateCmdMsg(int nID, CCmdUI& ui)
{
    const auto it = m_handlers.find(nID);
    if (it == m_handlers.end() || !it->second.update)
        return false;
    it->second.update(ui);
    return true;
}

bool CCmdTarget::HasCommandHandler(int nID) const
{
    const auto it = m_handlers.find(nID);
    return it != m_handlers.end() && bool(it->second.command);
}

void CCmdTarget::OnCommand(int nID, std::function<void()> handler)
{
    m_handlers[nID].command = std::move(handler);
}

void CCmdTarget::OnUpdate(int nID, std::function<void(CCmdUI&)> handler)
{
    m_handlers[nID].update = std::move(handler);
}
