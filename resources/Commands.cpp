#include "Commands.h"

#include "Resource.h"

#include <QAction>
#include <QIcon>
#include <QString>

using namespace Id;

namespace
{
const QList<CommandInfo> kCommands = {
    {ID_FILE_NEW, "&New Project\tCtrl+N", "Create a new Vistrel Project\nNew", nullptr},
    {ID_FILE_OPEN, "&Open...\tCtrl+O", "Open an existing image", "document-open"},
    {ID_FILE_CLOSE, "&Close", "Close the active image", nullptr},
    {ID_FILE_SAVE, "&Save\tCtrl+S", "Save the active document", nullptr},
    {ID_SAVE_AS_BMP, "Save file as &BMP", "Save file as BMP", nullptr},
    {ID_FILE_PRINT, "&Print...\tCtrl+P", "Print the active image", "document-print"},
    {ID_FILE_PRINT_PREVIEW, "Print Pre&view", "Display full pages", nullptr},
    {ID_FILE_PRINT_SETUP, "P&rint Setup...", "Change the printer and printing options", nullptr},
    {ID_FILE_MRU_FILE1, "Recent File", "Open this document", nullptr},
    {ID_FILE_MRU_FILE1 + 1, "Recent File", "Open this document", nullptr},
    {ID_FILE_MRU_FILE1 + 2, "Recent File", "Open this document", nullptr},
    {ID_FILE_MRU_FILE4, "Recent File", "Open this document", nullptr},
    {ID_APP_EXIT, "E&xit", "Quit the application", nullptr},
    {ID_EDIT_COPY, "&Copy\tCtrl+C", "Copy the picture to the clipboard", "edit-copy"},
    {ID_EDIT_CUT, "Cu&t\tCtrl+X", "Cut the selection", "edit-cut"},
    {ID_EDIT_PASTE, "&Paste\tCtrl+V", "Insert the clipboard contents", "edit-paste"},
    {ID_EDIT_UNDO, "&Undo\tCtrl+Z", "Undo the last action", nullptr},
    {ID_VIEW_TOOLBAR, "&Toolbar", "Show or hide the toolbar", nullptr},
    {ID_VIEW_STATUS_BAR, "&Status Bar", "Show or hide the status bar", nullptr},
    {ID_VIEW_DITHER, "&Dither", "Draw smoothly (dithered) or plainly", nullptr},
    {ID_VIEW_FIT, "Fit &Image to Window", "Stretch the picture to the window", nullptr},
    {ID_VIEW_ZOOM_IN, "Zoom I&n", "Show the picture larger", "zoom-in"},
    {ID_VIEW_ZOOM_OUT, "Zoom &Out", "Show the picture smaller", "zoom-out"},
    {ID_VIEW_ZOOM_FIT, "&Zoom to Fit", "Show the whole picture in its proportions", "zoom-fit-best"},
    {ID_VIEW_ZOOM_ACTUAL, "&Actual Size", "Show the picture at 1:1", "zoom-original"},
    {ID_VIEW_ROTATE_LEFT, "&Rotate Left", "Turn the picture a quarter to the left",
     "object-rotate-left"},
    {ID_VIEW_ROTATE_RIGHT, "Rotate Ri&ght", "Turn the picture a quarter to the right",
     "object-rotate-right"},
    {ID_VIEW_FLIP_HORIZONTAL, "Flip &Horizontally", "Mirror the picture left to right",
     "object-flip-horizontal"},
    {ID_VIEW_FLIP_VERTICAL, "Flip &Vertically", "Mirror the picture top to bottom",
     "object-flip-vertical"},
    {ID_VIEW_ANIMATION_PLAY, "&Play Animation\tCtrl+Shift+P", "Play or pause the animation",
     "media-playback-start"},
    {ID_VIEW_ANIMATION_NEXT, "Next Fra&me\tCtrl+.", "Show the animation's next frame",
     "media-skip-forward"},
    {ID_VIEW_ANIMATION_PREVIOUS, "Previo&us Frame\tCtrl+,", "Show the animation's previous frame",
     "media-skip-backward"},
    {ID_VIEW_FULLSCREEN, "&Full Screen", "Full Screen", "view-fullscreen"},
    {ID_WINDOW_CASCADE, "&Cascade", "Arrange windows so they overlap", nullptr},
    {ID_WINDOW_TILE_HORZ, "&Tile", "Arrange windows as non-overlapping tiles", nullptr},
    {ID_WINDOW_ARRANGE, "&Arrange Icons", "Arrange icons at the bottom of the window", nullptr},
    {ID_APP_ABOUT, "&About Vistrel", "Display program information, version number and copyright",
     "help-about"},
    {ID_HELP, "&Help Topics", "List Help topics", nullptr},
    {ID_CONTEXT_HELP, "&What's This?", "Display help for clicked on buttons, menus and windows",
     nullptr},
    {ID_NEXT_PANE, "Next Pane", "Switch to the next window pane", nullptr},
    {ID_PREV_PANE, "Previous Pane", "Switch back to the previous window pane", nullptr},
    {ID_PROJECT_OPEN, "Open &Project", "Open Framewick Project\nOpen Project", nullptr},
    {ID_PROJECT_OPEN_ACCEL, "Open &Project",
     "Open a project...ctrl+alt+P\nOpen a project...ctrl+alt+P", "folder-open"},
    {ID_PROJECT_SAVE, "Sa&ve Project", "Saves the currently open project", nullptr},
    {ID_PROJECT_SAVE_AS, "Pro&ject Save As", "Save the project under a new name", nullptr},
    {ID_PROJECT_CLOSE, "C&lose Image Project", "Close the project", nullptr},
    {ID_EDIT_DOCUMENT, "&Edit Document", "Edit the document", nullptr},
    {ID_TILE_HORIZONTALLY, "Tile windows horizontaly", "Tile windows horizontaly..ctrl+Divide",
     nullptr},
    {ID_TILE_VERTICALLY, "Tile windows verticaly", "Tile windows verticaly...ctrl+Multiply",
     nullptr},
    {ID_SYNC_SCROLL_DOWN, "Sync-scroll down", "Sync-scroll down...Ctrl+Down", "go-down"},
    {ID_SYNC_SCROLL_UP, "Sync-scroll up", "Sync-scroll up...ctrl+Up", "go-up"},
    {ID_SYNC_SCROLL_LEFT, "Sync-scroll left", "Sync-scroll left...ctrl+Left", "go-previous"},
    {ID_SYNC_SCROLL_RIGHT, "Sync-scroll right", "Sync-scroll right...ctrl+Right", "go-next"},
    {ID_DIRECTORY_MOVE_DOWN, "Directory move down", "Directory move down", "media-skip-forward"},
    {ID_DIRECTORY_MOVE_UP, "Directory move up", "Directory move up", "media-skip-backward"},
    {ID_CYCLE_WINDOWS, "Cycle thru open windows", "Cycle thru open windows", nullptr},
    {ID_PREFERENCES, "&Preferences", "Preferences", "preferences-system"},
    {ID_TOGGLE_WORKSPACE, "Toggle Workspace", "Show or hide Workspace", "folder"},
    {ID_TOGGLE_LISTBAR, "Toggle ListBar", "Show or hide Listbar", "format-justify-fill"},
    {ID_PROJECTBAR_SHOWHIDE, "&Show  / Hide Project bar", nullptr, nullptr},
    {ID_PROJECTBAR_DOCKFLOAT, "&Dock / Float Project bar", nullptr, nullptr},
    {ID_PROJECTBAR_ALLOWDOCKING, "&Allow Docking", nullptr, nullptr},
    {ID_LISTBAR_SHOWHIDE, "&Show / Hide Listbar", nullptr, nullptr},
    {ID_LISTBAR_DOCKFLOAT, "&Dock / Float List bar", nullptr, nullptr},
    {ID_LISTBAR_ALLOWDOCKING, "&Allow Docking", nullptr, nullptr},
    {ID_LISTBAR_THUMBNAILS, "Thumbnails", "Show the list's pictures as thumbnails", nullptr},
    {ID_LISTBAR_DETAILS, "Details", "Show the list's names, sizes, types and dates", nullptr},
    {ID_LISTBAR_VIEWTOGGLE, "Thumbnails / Details",
     "Switch the list between thumbnails and details\nThumbnails", "view-grid"},
    {ID_LISTBAR_SHOW, "&Show", "Show the selected file", "image-x-generic"},
    {ID_LISTBAR_DELETE, "&Delete", "Delete the selected files", nullptr},
    {ID_LISTBAR_COPY, "&Copy", "Copy the selected files", nullptr},
    {ID_LISTBAR_MOVECUT, "&Move-Cut", "Moves selected files", nullptr},
    {ID_PROJECTTREE_PASTE, "&Paste", "Paste into the project", nullptr},
    {ID_PROJECTTREE_NEWFOLDER, "New &Folder", "New folder in the project", nullptr},
    {ID_PROJECTTREE_RENAME, "&Rename", "Rename the item", nullptr},
    {ID_PROJECTTREE_DELETE, "&Delete Item", "Delete the item", nullptr},
    {ID_PROJECTTREE_COPY, "&Copy", "Copy the item", nullptr},
    {ID_PROJECTTREE_SHOW, "&Show", "Show in on-board browser", nullptr},
    {ID_FOLDERTREE_NEWFOLDER, "New &Folder", "New folder below the selected folder", nullptr},
    {ID_SLIDESHOW, "Slidesho&w", "Cycle through current directory", "media-playback-start"},
    {ID_SLIDESHOW_STOP, "Stop Slideshow", "Stop Slideshow", "media-playback-stop"},
    {ID_SLIDESHOW_SELECT, "Selec&t for Slideshow", "The selected files will be the slideshow files",
     nullptr},
    {ID_SLIDESHOW_PAUSE, "Pause Slideshow", "Pause Slideshow", "media-playback-pause"},
    {ID_SLIDESHOW_RESUME, "Resume Slideshow", "Resume Slideshow", "media-seek-forward"},
    {ID_AUTOSCROLL_START, "Starts AutoScrolling", "Starts AutoScrolling", "view-refresh"},
    {ID_AUTOSCROLL_STOP, "Stops AutoScrolling", "Stops AutoScrolling", "process-stop"},
};

QKeySequence Key(int combined)
{
    return QKeySequence(combined);
}
} // namespace

namespace Commands
{
const QList<CommandInfo>& All()
{
    return kCommands;
}

const CommandInfo* Find(int id)
{
    for (const CommandInfo& info : kCommands)
        if (info.id == id)
            return &info;
    return nullptr;
}

QList<QKeySequence> Accelerators(int id)
{
    const int ctrl = int(Qt::CTRL), alt = int(Qt::ALT), shift = int(Qt::SHIFT);
    const int keypad = int(Qt::KeypadModifier);
    switch (id)
    {
    case ID_FILE_OPEN:
        return {Key(ctrl | Qt::Key_O)};
    case ID_PROJECT_OPEN_ACCEL:
        return {Key(ctrl | alt | Qt::Key_P)};
    case ID_FILE_NEW:
        return {Key(ctrl | Qt::Key_N)};
    case ID_FILE_SAVE:
        return {Key(ctrl | Qt::Key_S)};
    case ID_EDIT_COPY:
        return {Key(ctrl | Qt::Key_C), Key(ctrl | Qt::Key_Insert)};
    case ID_EDIT_CUT:
        return {Key(ctrl | Qt::Key_X), Key(shift | Qt::Key_Delete)};
    case ID_EDIT_PASTE:
        return {Key(ctrl | Qt::Key_V), Key(shift | Qt::Key_Insert)};
    case ID_EDIT_UNDO:
        return {Key(ctrl | Qt::Key_Z), Key(alt | Qt::Key_Backspace)};
    case ID_FILE_PRINT:
        return {Key(ctrl | Qt::Key_P)};
    case ID_EDIT_DOCUMENT:
        return {Key(ctrl | alt | Qt::Key_E)};
    case ID_HELP:
        return {Key(Qt::Key_F1)};
    case ID_CONTEXT_HELP:
        return {Key(shift | Qt::Key_F1)};
    case ID_NEXT_PANE:
        return {Key(Qt::Key_F6)};
    case ID_PREV_PANE:
        return {Key(shift | Qt::Key_F6)};
    case ID_SYNC_SCROLL_DOWN:
        return {Key(ctrl | Qt::Key_Down)};
    case ID_SYNC_SCROLL_UP:
        return {Key(ctrl | Qt::Key_Up)};
    case ID_SYNC_SCROLL_LEFT:
        return {Key(ctrl | Qt::Key_Left)};
    case ID_SYNC_SCROLL_RIGHT:
        return {Key(ctrl | Qt::Key_Right)};
    case ID_TILE_VERTICALLY:
        return {Key(ctrl | keypad | Qt::Key_Asterisk)};
    case ID_TILE_HORIZONTALLY:
        return {Key(ctrl | keypad | Qt::Key_Slash)};
    case ID_DIRECTORY_MOVE_DOWN:
        return {Key(ctrl | alt | Qt::Key_Down)};
    case ID_DIRECTORY_MOVE_UP:
        return {Key(ctrl | alt | Qt::Key_Up)};
    case ID_CYCLE_WINDOWS:
        return {Key(ctrl | keypad | Qt::Key_Plus)};
    case ID_VIEW_ZOOM_ACTUAL:
        return {Key(ctrl | Qt::Key_0)};
    case ID_VIEW_ROTATE_LEFT:
        return {Key(ctrl | Qt::Key_L)};
    case ID_VIEW_ROTATE_RIGHT:
        return {Key(ctrl | Qt::Key_R)};
    case ID_VIEW_FLIP_HORIZONTAL:
        return {Key(ctrl | Qt::Key_H)};
    case ID_VIEW_FLIP_VERTICAL:
        return {Key(ctrl | shift | Qt::Key_H)};
    case ID_VIEW_ANIMATION_PLAY:
        return {Key(ctrl | shift | Qt::Key_P)};
    case ID_VIEW_ANIMATION_NEXT:
        return {Key(ctrl | Qt::Key_Period)};
    case ID_VIEW_ANIMATION_PREVIOUS:
        return {Key(ctrl | Qt::Key_Comma)};
    default:
        return {};
    }
}

QAction* CreateAction(int id, QObject* parent)
{
    const CommandInfo* info = Find(id);
    auto* action = new QAction(parent);
    if (!info)
        return action;
    const QString text = QString::fromUtf8(info->text);
    action->setText(text.section(QLatin1Char('\t'), 0, 0));
    action->setShortcuts(Accelerators(id));
    if (info->prompt)
    {
        // "status prompt\ntool tip"; without a tool tip the prompt is both.
        const QString prompt = QString::fromUtf8(info->prompt);
        const QString tip = prompt.section(QLatin1Char('\n'), 1, 1);
        action->setStatusTip(prompt.section(QLatin1Char('\n'), 0, 0));
        action->setToolTip(tip.isEmpty() ? action->statusTip() : tip);
    }
    if (info->icon)
    {
        const QString name = QString::fromUtf8(info->icon);
        action->setIcon(QIcon::fromTheme(name, QIcon(QStringLiteral(":/icons/") + name +
                                                     QStringLiteral(".png"))));
    }
    action->setData(id);
    return action;
}
} // namespace Commands
