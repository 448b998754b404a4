#pragma once
#include <QKeySequence>
#include <QList>

class QAction;
class QObject;

/// One command of the program's menus and toolbars.
struct CommandInfo
{
    int id;
    const char* text;     // menu text; "\t" separates the shown accelerator
    const char* prompt;   // status-bar prompt, "\n", tool tip; may be null
    const char* icon;     // icon theme name (with an embedded fallback), may be null
};

namespace Commands
{
/// Every command, in id order of the menus and bars.
const QList<CommandInfo>& All();
const CommandInfo* Find(int id);
/// The keys of the accelerator table (resource 128) bound to the command.
QList<QKeySequence> Accelerators(int id);
/// A new action for the command: text, keys, prompt and icon.
QAction* CreateAction(int id, QObject* parent);
} // namespace Commands
