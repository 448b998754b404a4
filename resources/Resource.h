#pragma once
#include "AfxIds.h"

// Command, resource and control ids of the program. Framework ids come from
// AfxIds.h; these are the program's own.
namespace Id
{
using namespace AfxId;

// Resources.
inline constexpr int IDR_VISTRETYPE = 3; // image documents: menu, document string
inline constexpr int IDD_ABOUTBOX = 100;
inline constexpr int IDR_MAINFRAME = 128;   // main menu, toolbar, accelerators, icon
inline constexpr int IDR_PROJECTTYPE = 130; // project documents
inline constexpr int IDB_TREEIMAGES = 130;  // image list of the tree bar
inline constexpr int IDB_SPLASH = 140;
inline constexpr int IDR_FULLSCREEN = 165;   // full-screen toolbar
inline constexpr int IDR_LISTBAR_MENU = 114; // context menu of the file list
inline constexpr int IDR_PROJECTBAR_MENU = 232;
inline constexpr int IDR_PROJECTTREE_MENU = 104;   // the project tree's context menu

// Commands.
inline constexpr int ID_VIEW_FIT = 32770;
inline constexpr int ID_TOGGLE_WORKSPACE = 32772;
inline constexpr int ID_VIEW_DITHER = 32773;
inline constexpr int ID_VIEW_FULLSCREEN = 32776;
inline constexpr int ID_DIRECTORY_MOVE_UP = 32780;
inline constexpr int ID_DIRECTORY_MOVE_DOWN = 32781;
inline constexpr int ID_PROJECT_SAVE = 32782;
inline constexpr int ID_PROJECTBAR_SHOWHIDE = 32784;
inline constexpr int ID_LISTBAR_SHOWHIDE = 32785;
inline constexpr int ID_PROJECT_OPEN = 32786;
inline constexpr int ID_PROJECT_OPEN_ACCEL = 32787;
inline constexpr int ID_PROJECT_SAVE_AS = 32790;
inline constexpr int ID_PROJECTTREE_COPY = 32796;
inline constexpr int ID_PROJECTTREE_PASTE = 32798;
inline constexpr int ID_PROJECT_CLOSE = 32799;
inline constexpr int ID_FOLDERTREE_NEWFOLDER = 32804;
inline constexpr int ID_PROJECTTREE_RENAME = 32808;
inline constexpr int ID_PROJECTTREE_NEWFOLDER = 32809;
inline constexpr int ID_EDIT_DOCUMENT = 32814;
inline constexpr int ID_CYCLE_WINDOWS = 32830;
inline constexpr int ID_TILE_HORIZONTALLY = 32853;
inline constexpr int ID_SYNC_SCROLL_DOWN = 32854;
inline constexpr int ID_SYNC_SCROLL_UP = 32855;
inline constexpr int ID_SYNC_SCROLL_LEFT = 32856;
inline constexpr int ID_SYNC_SCROLL_RIGHT = 32857;
inline constexpr int ID_TILE_VERTICALLY = 32858;
inline constexpr int ID_LISTBAR_DELETE = 32886;
inline constexpr int ID_LISTBAR_SHOW = 32887;
inline constexpr int ID_PROJECTBAR_DOCKFLOAT = 32891;
inline constexpr int ID_LISTBAR_DOCKFLOAT = 32894;
inline constexpr int ID_PROJECTTREE_SHOW = 32896;
inline constexpr int ID_LISTBAR_COPY = 32916;
inline constexpr int ID_PROJECTBAR_ALLOWDOCKING = 32917;
inline constexpr int ID_LISTBAR_ALLOWDOCKING = 32918;
inline constexpr int ID_LISTBAR_MOVECUT = 32938;
inline constexpr int ID_PROJECTTREE_DELETE = 32943;
inline constexpr int ID_SLIDESHOW = 32950;
inline constexpr int ID_SLIDESHOW_STOP = 32952;
inline constexpr int ID_AUTOSCROLL_START = 32953;
inline constexpr int ID_AUTOSCROLL_STOP = 32954;
inline constexpr int ID_PREFERENCES = 32955;
inline constexpr int ID_SLIDESHOW_SELECT = 32956;
inline constexpr int ID_SAVE_AS_BMP = 32957;
inline constexpr int ID_SLIDESHOW_PAUSE = 32958;
inline constexpr int ID_SLIDESHOW_RESUME = 32959;
inline constexpr int ID_TOGGLE_LISTBAR = 1216;
// The list bar's two looks (radio items) and the toolbar's switch between them.
inline constexpr int ID_LISTBAR_THUMBNAILS = 32960;
inline constexpr int ID_LISTBAR_DETAILS = 32961;
inline constexpr int ID_LISTBAR_VIEWTOGGLE = 32962;

// Zoom, turning and flipping of an image view.
inline constexpr int ID_VIEW_ZOOM_IN = 33100;
inline constexpr int ID_VIEW_ZOOM_OUT = 33101;
inline constexpr int ID_VIEW_ZOOM_FIT = 33102;
inline constexpr int ID_VIEW_ZOOM_ACTUAL = 33103;
inline constexpr int ID_VIEW_ROTATE_LEFT = 33104;
inline constexpr int ID_VIEW_ROTATE_RIGHT = 33105;
inline constexpr int ID_VIEW_FLIP_HORIZONTAL = 33106;
inline constexpr int ID_VIEW_FLIP_VERTICAL = 33107;
// Playing an animated picture, and stepping its frames while it is paused.
inline constexpr int ID_VIEW_ANIMATION_PLAY = 33108;
inline constexpr int ID_VIEW_ANIMATION_NEXT = 33109;
inline constexpr int ID_VIEW_ANIMATION_PREVIOUS = 33110;

// Status bar pane of the image description.
inline constexpr int ID_INDICATOR_IMAGEINFO = 57346;
// Status bar panes of the zoom and of the picture's place in the list.
inline constexpr int ID_INDICATOR_ZOOM = 57347;
inline constexpr int ID_INDICATOR_POSITION = 57348;

// Controls and bars.
inline constexpr int IDW_TOOLBAR = 59392;
inline constexpr int IDW_STATUSBAR = 59393;
inline constexpr int IDW_TREEBAR = 59396;
inline constexpr int IDW_LISTBAR = 59400;
inline constexpr int IDC_TREEBAR_TABS = 100;
inline constexpr int IDC_FOLDER_TREE = 138;
inline constexpr int IDC_PROJECT_TREE = 139;
inline constexpr int IDC_FILE_LIST = 32774;
} // namespace Id
