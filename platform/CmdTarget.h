#pragma once
#include <QString>
#include <functional>
#include <unordered_map>

/// State of one command's user-interface items, filled by an update handler.
class CCmdUI
{
public:
    explicit CCmdUI(int nID) : m_nID(nID) {}

    void Enable(bool bOn = true) { m_bEnabled = bOn; }
    /// 0 unchecked, 1 checked.
    void SetCheck(int nCheck = 1) { m_nCheck = nCheck; }
    void SetText(const QString& text)
    {
        m_strText = text;
        m_bTextSet = true;
    }
    void SetVisible(bool bOn) { m_bVisible = bOn; }

    int m_nID;
    bool m_bEnabled = true;
    int m_nCheck = -1; // -1: the handler did not set a check state
    bool m_bVisible = true;
    bool m_bTextSet = false;
    QString m_strText;
};

/// Something that commands are routed to. Handlers are registered per id;
/// a command may have a handler, an update handler, or both.
class CCmdTarget
{
public:
    virtual ~CCmdTarget() = default;

    /// Runs the command's handler; false when this target has none.
    virtual bool OnCmdMsg(int nID);
    /// Runs the command's update handler; false when this target has none.
    virtual bool OnUpdateCmdMsg(int nID, CCmdUI& ui);
    virtual bool HasCommandHandler(int nID) const;

protected:
    void OnCommand(int nID, std::function<void()> handler);
    void OnUpdate(int nID, std::function<void(CCmdUI&)> handler);

private:
    struct Entry
    {
        std::function<void()> command;
        std::function<void(CCmdUI&)> update;
    };
    std::unordered_map<int, Entry> m_handlers;
};
