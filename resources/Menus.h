#pragma once
#include <QList>
#include <QString>
#include <functional>

class QPoint;
class QWidget;

class QAction;
class QMenu;
class QToolBar;
class QWidget;

/// One entry of a menu table: a command (id > 0), a separator (id 0 and no
/// text) or a popup (text and items).
struct MenuEntry
{
    MenuEntry() = default;
    MenuEntry(int nID) : id(nID) {}
    MenuEntry(int nID, const char* text, QList<MenuEntry> sub)
        : id(nID), popup(text), items(std::move(sub))
    {
    }

    int id = 0;
    const char* popup = nullptr;
    QList<MenuEntry> items;
};

namespace Menus
{
/// The top-level popups of a menu resource: 128 (no document) or 3 (image).
const QList<MenuEntry>& MenuResource(int id);
/// The bar menus: 114 (file list), 232 (project bar), 104 (project tree).
const QList<MenuEntry>& BarMenu(int id);
/// Toolbar resources 128 (main) and 165 (full screen); 0 is a separator.
const QList<int>& ToolbarResource(int id);

/// Fills the menu with the entries; actionOf gives the action of a command.
void Populate(QMenu* menu, const QList<MenuEntry>& entries,
              const std::function<QAction*(int)>& actionOf);
void PopulateToolBar(QToolBar* bar, const QList<int>& buttons,
                     const std::function<QAction*(int)>& actionOf);
/// Shows bar menu `id` over `parent` at the global point, its commands'
/// states brought up to date first; what is chosen runs as the program's
/// command.
void ExecBarMenu(int id, QWidget* parent, const QPoint& at,
                 const QString& accessibleName = QString());
} // namespace Menus
