#pragma once
#include "CmdTarget.h"

#include <QObject>
#include <QTimer>
#include <functional>
#include <map>
#include <vector>

class QAction;

/// Sends commands along a chain of targets (active view, its document, its
/// frame, the main frame, the application) and keeps the enable and check
/// state of every registered action current, as an idle-time update would:
/// on a short timer and whenever UpdateSoon is called (activation and focus
/// changes).
class CCommandRouter : public QObject
{
    Q_OBJECT
public:
    using Chain = std::function<std::vector<CCmdTarget*>()>;
    using Apply = std::function<void(const CCmdUI&)>;

    explicit CCommandRouter(QObject* parent = nullptr);

    void SetChain(Chain chain) { m_chain = std::move(chain); }

    /// Registers the action of a command: triggering it routes the command.
    void AddAction(int nID, QAction* action);
    /// The first action registered for the id, or null.
    QAction* Action(int nID) const;
    /// Registers another item whose state follows the command (a status pane).
    void AddUpdateItem(int nID, Apply apply);
    /// Removes every action and item that belongs to owner.
    void RemoveOwnedBy(QObject* owner);

    /// Runs the command on the first target that handles it.
    bool Route(int nID);
    /// The command's state: the first update handler along the chain decides;
    /// without one, a command with a handler is enabled and others disabled.
    CCmdUI Query(int nID) const;
    void UpdateAll();
    void UpdateSoon();

private:
    struct Item
    {
        int nID;
        QAction* action; // null for other items
        QObject* owner;
        Apply apply;
    };
    static void ApplyToAction(QAction* action, const CCmdUI& ui);

    Chain m_chain;
    std::vector<Item> m_items;
    QTimer m_idleTimer;
    QTimer m_soonTimer;
};
