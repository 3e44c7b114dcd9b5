// Dialog templates 102 and 100, menu 129 and string 101 of the application, in dialog
// units and code page 936 texts, and their one-time registration together with icon 5.
#include "app/resources.h"

#include <string>

#include "app/resource_ids.h"
#include "platform/ui/wnd.h"

const char* const kMainWindowCaption = "Orsane手机通话记录恢复软件";

namespace {

const char* const kDialogFont = "MS Shell Dlg";
constexpr int kDialogFontPoints = 9;
constexpr DWORD kStaticStyle = WS_CHILD | WS_VISIBLE | WS_GROUP | SS_LEFT;

DialogTemplate mainDialogTemplate()
{
    DialogTemplate dialog;
    dialog.id = IDD_PELDMARK_DIALOG;
    dialog.style = WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX |
                   DS_MODALFRAME | DS_SETFONT | DS_FIXEDSYS;
    dialog.exStyle = WS_EX_APPWINDOW;
    dialog.x = 0;
    dialog.y = 0;
    dialog.cx = 379;
    dialog.cy = 286;
    dialog.caption = kMainWindowCaption;
    dialog.fontName = kDialogFont;
    dialog.pointSize = kDialogFontPoints;
    dialog.menuId = static_cast<int>(IDR_MENU);
    dialog.items = {
        {IDC_LIST_CALLS, ControlKind::ListView, 7, 7, 365, 266,
         WS_CHILD | WS_VISIBLE | WS_BORDER | WS_TABSTOP | LVS_ALIGNLEFT, ""},
        {IDC_STATUS, ControlKind::Static, 7, 274, 169, 11, kStaticStyle, ""},
        {IDC_STATUS_SPARE, ControlKind::Static, 181, 275, 169, 11, kStaticStyle, ""},
    };
    return dialog;
}

DialogTemplate aboutDialogTemplate()
{
    DialogTemplate dialog;
    dialog.id = IDD_ABOUTBOX;
    dialog.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT |
                   DS_FIXEDSYS;
    dialog.exStyle = 0;
    dialog.x = 0;
    dialog.y = 0;
    dialog.cx = 170;
    dialog.cy = 62;
    dialog.caption = "关于";
    dialog.fontName = kDialogFont;
    dialog.pointSize = kDialogFontPoints;
    dialog.menuId = 0;
    dialog.items = {
        // An icon static names its icon resource in decimal.
        {-1, ControlKind::IconStatic, 14, 14, 20, 20, WS_CHILD | WS_VISIBLE | SS_ICON,
         std::to_string(IDR_MAINFRAME)},
        {IDOK, ControlKind::PushButton, 113, 41, 50, 14,
         WS_CHILD | WS_VISIBLE | WS_GROUP | WS_TABSTOP | BS_DEFPUSHBUTTON, "确定"},
    };
    return dialog;
}

MenuTemplate mainMenuTemplate()
{
    MenuTemplate menu;
    menu.id = static_cast<int>(IDR_MENU);
    menu.popups = {
        {"文件(&F)",
         {{ID_OPEN_DATABASE, "打开通话记录数据库文件(&O)"},
          {ID_RECOVER_DELETED, "恢复已删除的通话记录(&R)"},
          {ID_EXPORT_RECORDS, "导出通话记录(&E)"},
          {ID_APP_EXIT_COMMAND, "退出(&Q)"}}},
        {"帮助(&H)",
         {{ID_HOME_PAGE, "官方网址"},
          {ID_USAGE_PAGE, "使用说明"},
          {ID_APP_ABOUT, "关于(&A)"}}},
    };
    return menu;
}

}  // namespace

void RegisterPeldmarkResources()
{
    static bool registered = false;
    if (registered)
        return;
    registered = true;
    RegisterDialogResource(mainDialogTemplate());
    RegisterDialogResource(aboutDialogTemplate());
    RegisterMenuResource(mainMenuTemplate());
    RegisterStringResource(IDS_ABOUTBOX, "关于 Peldmark(&A)...");
    RegisterIconResource(buildApplicationIcon(static_cast<int>(IDR_MAINFRAME)));
}
