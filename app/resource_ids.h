// Resource and command ids of the application: the dialogs, the controls of the main
// window, menu 129 with its commands, string 101 and icon 5. The values are the ids the
// windows, menus and message maps agree on; nothing else may number them.
#pragma once

#include "platform/windows_types.h"

constexpr UINT IDD_ABOUTBOX = 100;          // the About box
constexpr UINT IDS_ABOUTBOX = 101;          // "关于 Peldmark(&A)...", the system-menu item
constexpr UINT IDD_PELDMARK_DIALOG = 102;   // the main window
constexpr UINT IDR_MENU = 129;              // the main window's menu
constexpr UINT IDR_MAINFRAME = 5;           // the application icon

constexpr int IDC_LIST_CALLS = 1000;        // the six-column call list
constexpr int IDC_STATUS = 1001;            // the status line
constexpr int IDC_STATUS_SPARE = 1006;      // a second static that nothing writes

constexpr UINT ID_OPEN_DATABASE = 32779;
constexpr UINT ID_RECOVER_DELETED = 32780;
constexpr UINT ID_EXPORT_RECORDS = 32781;
constexpr UINT ID_APP_EXIT_COMMAND = 32783;
constexpr UINT ID_HOME_PAGE = 32784;
constexpr UINT ID_USAGE_PAGE = 32785;

// The About item that OnInitDialog appends to the system menu; system commands carry
// it in the bits above the low four (nID & 0xFFF0).
constexpr UINT IDM_ABOUTBOX = 0x0010;
constexpr UINT kSystemCommandMask = 0xFFF0;
