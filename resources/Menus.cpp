#include "Menus.h"

#include "Resource.h"
#include "WinApp.h"

#include <QMenu>
#include <QToolBar>

using namespace Id;

namespace
{
const QList<MenuEntry> kProjectBarSub = {
    {ID_PROJECTBAR_SHOWHIDE}, {ID_PROJECTBAR_DOCKFLOAT}, {ID_PROJECTBAR_ALLOWDOCKING}};
const QList<MenuEntry> kListBarSub = {{ID_LISTBAR_SHOWHIDE}, {ID_LISTBAR_DOCKFLOAT},
                                      {ID_LISTBAR_ALLOWDOCKING}, {},
                                      {ID_LISTBAR_THUMBNAILS}, {ID_LISTBAR_DETAILS}};
const QList<MenuEntry> kRecentFiles = {
    {ID_FILE_MRU_FILE1}, {ID_FILE_MRU_FILE1 + 1}, {ID_FILE_MRU_FILE1 + 2}, {ID_FILE_MRU_FILE4}};

QList<MenuEntry> Concat(std::initializer_list<QList<MenuEntry>> parts)
{
    QList<MenuEntry> out;
    for (const auto& part : parts)
        out += part;
    return out;
}

const QList<MenuEntry> kMainMenu = {
    {0, "&File",
     Concat({{{ID_FILE_NEW},
              {ID_FILE_OPEN},
              {ID_PROJECT_OPEN},
              {ID_PROJECT_SAVE},
              {ID_PROJECT_SAVE_AS},
              {ID_PROJECT_CLOSE},
              {},
              {ID_FILE_PRINT_SETUP},
              {}},
             kRecentFiles,
             {{}, {ID_APP_EXIT}}})},
    {0,
     "&View",
     {{ID_VIEW_TOOLBAR},
      {ID_VIEW_STATUS_BAR},
      {},
      {0, "Pro&ject Bar", kProjectBarSub},
      {0, "&List Bar", kListBarSub},
      {},
      {ID_PREFERENCES}}},
    {0, "&Help", {{ID_APP_ABOUT}}},
};

const QList<MenuEntry> kImageMenu = {
    {0, "&File",
     Concat({{{ID_FILE_OPEN},
              {ID_FILE_CLOSE},
              {},
              {ID_SAVE_AS_BMP},
              {},
              {ID_FILE_PRINT},
              {ID_FILE_PRINT_PREVIEW},
              {ID_FILE_PRINT_SETUP},
              {}},
             kRecentFiles,
             {{}, {ID_APP_EXIT}}})},
    {0, "&Edit", {{ID_EDIT_COPY}}},
    {0,
     "&View",
     {{ID_VIEW_TOOLBAR},
      {ID_VIEW_STATUS_BAR},
      {},
      {ID_VIEW_DITHER},
      {ID_VIEW_FIT},
      {},
      {ID_VIEW_ZOOM_IN},
      {ID_VIEW_ZOOM_OUT},
      {ID_VIEW_ZOOM_FIT},
      {ID_VIEW_ZOOM_ACTUAL},
      {},
      {ID_VIEW_ROTATE_LEFT},
      {ID_VIEW_ROTATE_RIGHT},
      {ID_VIEW_FLIP_HORIZONTAL},
      {ID_VIEW_FLIP_VERTICAL},
      {},
      {ID_VIEW_ANIMATION_PLAY},
      {ID_VIEW_ANIMATION_NEXT},
      {ID_VIEW_ANIMATION_PREVIOUS},
      {},
      {0, "Pro&ject Bar", kProjectBarSub},
      {0, "&List Bar", kListBarSub},
      {},
      {ID_VIEW_FULLSCREEN},
      {ID_SLIDESHOW}}},
    {0, "&Window", {{ID_WINDOW_CASCADE}, {ID_WINDOW_TILE_HORZ}, {ID_WINDOW_ARRANGE}}},
    {0, "&Help", {{ID_APP_ABOUT}}},
};

const QList<MenuEntry> kListBarMenu = {{ID_SLIDESHOW_SELECT},
                                       {ID_LISTBAR_SHOW},
                                       {ID_LISTBAR_COPY},
                                       {ID_LISTBAR_MOVECUT},
                                       {},
                                       {0, "&List Bar", kListBarSub},
                                       {},
                                       {ID_SLIDESHOW},
                                       {},
                                       {ID_LISTBAR_DELETE}};

const QList<MenuEntry> kProjectBarMenu = Concat({{{ID_PROJECTTREE_NEWFOLDER},
                                                  {ID_PROJECTTREE_RENAME},
                                                  {ID_PROJECTTREE_DELETE},
                                                  {ID_PROJECTTREE_COPY},
                                                  {ID_PROJECTTREE_PASTE},
                                                  {ID_PROJECTTREE_SHOW},
                                                  {},
                                                  {ID_FOLDERTREE_NEWFOLDER},
                                                  {}},
                                                 kProjectBarSub});

const QList<MenuEntry> kProjectTreeMenu = {
    {ID_PROJECTTREE_SHOW}, {}, {ID_PROJECTTREE_NEWFOLDER}, {}, {ID_PROJECTTREE_COPY},
    {ID_PROJECTTREE_PASTE}, {ID_PROJECTTREE_RENAME}, {},
    {0, "Pr&oject bar window", kProjectBarSub}, {}, {ID_PROJECTTREE_DELETE}};

const QList<int> kMainToolbar = {ID_FILE_OPEN,
                                 ID_PROJECT_OPEN_ACCEL,
                                 0,
                                 ID_EDIT_CUT,
                                 ID_EDIT_COPY,
                                 ID_EDIT_PASTE,
                                 ID_FILE_PRINT,
                                 0,
                                 ID_TOGGLE_WORKSPACE,
                                 ID_TOGGLE_LISTBAR,
                                 ID_LISTBAR_VIEWTOGGLE,
                                 0,
                                 ID_LISTBAR_SHOW,
                                 ID_SLIDESHOW,
                                 ID_SLIDESHOW_STOP,
                                 ID_SLIDESHOW_PAUSE,
                                 ID_SLIDESHOW_RESUME,
                                 0,
                                 ID_VIEW_FULLSCREEN,
                                 ID_DIRECTORY_MOVE_DOWN,
                                 ID_DIRECTORY_MOVE_UP,
                                 ID_SYNC_SCROLL_DOWN,
                                 ID_SYNC_SCROLL_UP,
                                 ID_SYNC_SCROLL_LEFT,
                                 ID_SYNC_SCROLL_RIGHT,
                                 0,
                                 ID_AUTOSCROLL_START,
                                 ID_AUTOSCROLL_STOP,
                                 0,
                                 ID_PREFERENCES,
                                 ID_APP_ABOUT};

const QList<int> kFullScreenToolbar = {
    ID_VIEW_FULLSCREEN,   ID_SLIDESHOW,        ID_SLIDESHOW_STOP, ID_DIRECTORY_MOVE_DOWN,
    ID_DIRECTORY_MOVE_UP, ID_AUTOSCROLL_START, ID_AUTOSCROLL_STOP};

const QList<MenuEntry> kNone;
const QList<int> kNoButtons;
} // namespace

namespace Menus
{
const QList<MenuEntry>& MenuResource(int id)
{
    return id == IDR_MAINFRAME ? kMainMenu : id == IDR_VISTRETYPE ? kImageMenu : kNone;
}

const QList<MenuEntry>& BarMenu(int id)
{
    return id == IDR_LISTBAR_MENU       ? kListBarMenu
           : id == IDR_PROJECTBAR_MENU  ? kProjectBarMenu
           : id == IDR_PROJECTTREE_MENU ? kProjectTreeMenu
                                        : kNone;
}

const QList<int>& ToolbarResource(int id)
{
    return id == IDR_MAINFRAME    ? kMainToolbar
           : id == IDR_FULLSCREEN ? kFullScreenToolbar
                                  : kNoButtons;
}

void Populate(QMenu* menu, const QList<MenuEntry>& entries,
              const std::function<QAction*(int)>& actionOf)
{
    for (const MenuEntry& entry : entries)
    {
        if (entry.popup)
            Populate(menu->addMenu(QString::fromUtf8(entry.popup)), entry.items, actionOf);
        else if (entry.id == 0)
            menu->addSeparator();
        else if (QAction* action = actionOf(entry.id))
            menu->addAction(action);
    }
}

void PopulateToolBar(QToolBar* bar, const QList<int>& buttons,
                     const std::function<QAction*(int)>& actionOf)
{
    for (int id : buttons)
    {
        if (id == 0)
            bar->addSeparator();
        else if (QAction* action = actionOf(id))
            bar->addAction(action);
    }
}

void ExecBarMenu(int id, QWidget* parent, const QPoint& at, const QString& accessibleName)
{
    CWinApp* pApp = CWinApp::Get();
    if (!pApp)
        return;
    pApp->Router().UpdateAll();
    QMenu menu(parent);
    if (!accessibleName.isEmpty())
        menu.setAccessibleName(accessibleName);
    Populate(&menu, BarMenu(id), [pApp](int nID) { return pApp->Router().Action(nID); });
    menu.exec(at);
}
} // namespace Menus
