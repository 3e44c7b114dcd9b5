// Resources as C++ data: dialog templates (in dialog units), menus, the string table and
// icons. A module registers its resources once at start-up; windows load them by id.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/windows_types.h"

// Window styles used by the templates (values as on Windows).
constexpr DWORD WS_POPUP = 0x80000000u;
constexpr DWORD WS_CHILD = 0x40000000u;
constexpr DWORD WS_VISIBLE = 0x10000000u;
constexpr DWORD WS_CAPTION = 0x00C00000u;
constexpr DWORD WS_BORDER = 0x00800000u;
constexpr DWORD WS_SYSMENU = 0x00080000u;
constexpr DWORD WS_GROUP = 0x00020000u;
constexpr DWORD WS_TABSTOP = 0x00010000u;
constexpr DWORD WS_MINIMIZEBOX = 0x00020000u;   // same bit as WS_GROUP, on a top-level window
constexpr DWORD WS_EX_APPWINDOW = 0x00040000u;
constexpr DWORD DS_MODALFRAME = 0x80u;
constexpr DWORD DS_SETFONT = 0x40u;
constexpr DWORD DS_FIXEDSYS = 0x0008u;
constexpr DWORD SS_LEFT = 0x0u;
constexpr DWORD SS_ICON = 0x3u;
constexpr DWORD BS_DEFPUSHBUTTON = 0x1u;
constexpr DWORD LVS_ALIGNLEFT = 0x0800u;

enum class ControlKind { ListView, Static, IconStatic, PushButton };

struct DialogItemTemplate
{
    int id;                 // -1 for a control without an id
    ControlKind kind;
    int x, y, cx, cy;       // dialog units
    DWORD style;
    std::string text;       // code page 936; for IconStatic the icon resource id in decimal
};

struct DialogTemplate
{
    int id;
    DWORD style;
    DWORD exStyle;
    int x, y, cx, cy;       // dialog units
    std::string caption;    // code page 936
    std::string fontName;
    int pointSize;
    int menuId;             // 0: no menu
    std::vector<DialogItemTemplate> items;
};

struct MenuItemTemplate
{
    UINT commandId;          // 0 with an empty text: a separator
    std::string text;        // code page 936, '&' marks the mnemonic
};

struct PopupMenuTemplate
{
    std::string text;
    std::vector<MenuItemTemplate> items;
};

struct MenuTemplate
{
    int id;
    std::vector<PopupMenuTemplate> popups;
};

// An icon resource: square images of several sizes, each 32-bit ARGB premultiplied
// pixels, row by row from the top (size * size entries).
struct IconImage
{
    int size;
    std::vector<std::uint32_t> argb;
};

struct IconTemplate
{
    int id;
    std::vector<IconImage> images;
};

void RegisterDialogResource(DialogTemplate dialog);
void RegisterMenuResource(MenuTemplate menu);
void RegisterStringResource(UINT id, std::string text);
void RegisterIconResource(IconTemplate icon);

// Null, or the registered resource.
const DialogTemplate* FindDialogResource(int id);
const MenuTemplate* FindMenuResource(int id);
const std::string* FindStringResource(UINT id);
const IconTemplate* FindIconResource(int id);
