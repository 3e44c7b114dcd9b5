// The window layer over Qt 6 Widgets, as the program's own code sees it: command
// targets with message maps, windows, dialogs, the report list, static text, menus,
// the file dialog, message boxes, icons and painting. No Qt type appears here, so
// reader/ and recovery/ can include this header without seeing Qt.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/file.h"
#include "platform/windows_types.h"

struct HWND__;
typedef HWND__* HWND;              // the window's peer; null while no window exists
struct HICON__;
typedef HICON__* HICON;            // a loaded icon resource; shared, never destroyed
typedef HICON HCURSOR;
struct HDC__;
typedef HDC__* HDC;
typedef std::intptr_t INT_PTR;
typedef std::uintptr_t UINT_PTR;
typedef std::uintptr_t DWORD_PTR;

struct RECT { long left, top, right, bottom; };

// Messages (values as on Windows).
constexpr UINT WM_CLOSE = 0x0010;
constexpr UINT WM_PAINT = 0x000F;
constexpr UINT WM_ICONERASEBKGND = 0x0027;
constexpr UINT WM_QUERYDRAGICON = 0x0037;
constexpr UINT WM_NOTIFY = 0x004E;
constexpr UINT WM_SETICON = 0x0080;
constexpr UINT WM_COMMAND = 0x0111;
constexpr UINT WM_SYSCOMMAND = 0x0112;
constexpr WPARAM ICON_SMALL = 0;
constexpr WPARAM ICON_BIG = 1;
constexpr UINT ID_APP_ABOUT = 0xE140;   // 57664
constexpr UINT ID_HELP = 0xE146;        // 57670
constexpr int SM_CXICON = 11;
constexpr int SM_CYICON = 12;
// System commands (WM_SYSCOMMAND wParam; the low four bits are the system's own).
constexpr UINT SC_MOVE = 0xF010;
constexpr UINT SC_MINIMIZE = 0xF020;
constexpr UINT SC_KEYMENU = 0xF100;     // lParam ' ': the system menu from the keyboard
constexpr UINT SC_CLOSE = 0xF060;
constexpr UINT SC_RESTORE = 0xF120;
constexpr int SW_HIDE = 0;
constexpr int SW_SHOW = 5;
constexpr int SW_MINIMIZE = 6;
constexpr int SW_RESTORE = 9;
constexpr COLORREF CLR_DEFAULT = 0xFF000000u;   // "the list's own colour"

constexpr std::uint16_t LOWORD(WPARAM value) { return static_cast<std::uint16_t>(value); }

// WM_NOTIFY records.
struct NMHDR { HWND hwndFrom; UINT_PTR idFrom; UINT code; };
constexpr UINT NM_CUSTOMDRAW = static_cast<UINT>(-12);
struct NMCUSTOMDRAW {
    NMHDR hdr; DWORD dwDrawStage; HDC hdc; RECT rc; DWORD_PTR dwItemSpec;
    UINT uItemState; LPARAM lItemlParam;
};
struct NMLVCUSTOMDRAW { NMCUSTOMDRAW nmcd; COLORREF clrText; COLORREF clrTextBk; int iSubItem; };
constexpr DWORD CDDS_PREPAINT = 0x00000001;
constexpr DWORD CDDS_ITEM = 0x00010000;
constexpr DWORD CDDS_ITEMPREPAINT = CDDS_ITEM | CDDS_PREPAINT;
constexpr LRESULT CDRF_DODEFAULT = 0x0;
constexpr LRESULT CDRF_NOTIFYITEMDRAW = 0x20;

// ---------------------------------------------------------------------------------
// Message maps. A class declares DECLARE_MESSAGE_MAP() and defines its table with
// BEGIN_MESSAGE_MAP(theClass, baseClass) ... END_MESSAGE_MAP(). Entries:
//   ON_COMMAND(id, &C::Handler)              void Handler()
//   ON_NOTIFY(code, id, &C::Handler)         void Handler(NMHDR*, LRESULT*)
//   ON_WM_SYSCOMMAND()                       void OnSysCommand(UINT nID, LPARAM lParam)
//   ON_WM_PAINT()                            void OnPaint()
//   ON_WM_QUERYDRAGICON()                    HCURSOR OnQueryDragIcon()
// A message is looked up in the class's table, then in its base's, and so on; the first
// entry that matches handles it. A CException (or std::bad_alloc) that a handler lets
// out is caught by the dispatch and shown in the standard error message box.
// (The macro definitions are in msgmap.h.)
// ---------------------------------------------------------------------------------
#include "platform/ui/msgmap.h"

class CDataExchange;
class CMenu;

class CCmdTarget
{
public:
    virtual ~CCmdTarget() = default;
    // The root of every map chain (an empty table); DECLARE_MESSAGE_MAP overrides it.
    static const AFX_MSGMAP* GetThisMessageMap();
    virtual const AFX_MSGMAP* GetMessageMap() const;
    // Runs the first entry of this object's map chain that handles the message; returns
    // FALSE when none does. Exceptions pass through (the window dispatch reports them).
    BOOL OnCmdMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);
};

class CWnd : public CCmdTarget
{
public:
    CWnd();
    ~CWnd() override;
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    HWND m_hWnd = nullptr;
    HWND GetSafeHwnd() const { return m_hWnd; }

    // Dispatches through the message map at once (there is one thread); returns the
    // handler's result, or that of the default processing.
    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
    // The default processing of any message: WM_SYSCOMMAND SC_CLOSE sends WM_CLOSE,
    // SC_MINIMIZE / SC_RESTORE change the window state, SC_KEYMENU shows the system
    // menu; WM_CLOSE on a dialog sends WM_COMMAND IDCANCEL, on another window destroys
    // it; WM_SETICON stores the icon and returns the previous one; others return 0.
    virtual LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);

    // The handlers ON_WM_SYSCOMMAND / ON_WM_PAINT / ON_WM_QUERYDRAGICON call; these base
    // versions do the default processing (the dialog paints itself; no drag icon).
    void OnSysCommand(UINT nID, LPARAM lParam);
    void OnPaint();
    HCURSOR OnQueryDragIcon();

    // Destroys the peer; the C++ object lives on (m_hWnd becomes null).
    BOOL DestroyWindow();
    BOOL ShowWindow(int showCommand);
    // The window that receives this control's notifications (the dialog), or null.
    CWnd* GetParent() const;

    // A modal message box owned by this window (a window-less CWnd works too). caption
    // null: the application's name; "" stays empty. Goes through the modal-UI seam.
    int MessageBox(const char* text, const char* caption = nullptr, UINT type = MB_OK);

    void SetWindowText(const char* text);     // code page 936
    std::string GetWindowText() const;

    // The child window with this control id: after DDX_Control, the bound member object.
    CWnd* GetDlgItem(int id) const;
    int GetDlgCtrlID() const { return m_controlId; }

    CMenu* GetSystemMenu(BOOL revert);
    CMenu* GetMenu();
    HICON SetIcon(HICON icon, BOOL bigIcon);  // sends WM_SETICON
    HICON GetIcon(BOOL bigIcon) const;
    BOOL IsIconic() const;
    void GetClientRect(RECT* rect) const;
    DWORD GetStyle() const { return m_style; }
    BOOL ModifyStyle(DWORD remove, DWORD add, UINT flags = 0);
    virtual void DoDataExchange(CDataExchange* dx);

    // The peer widget behind this window (QWidget*), for platform/ui only.
    void* PeerWidget() const;

protected:
    friend class CDialog;
    friend struct WndAccess;     // the window layer's own code (platform/ui/peer.h)
    int m_controlId = 0;
    DWORD m_style = 0;
    std::string m_text;
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

// The application's main window, as the framework knows it (CWinApp::m_pMainWnd); null
// while no application object exists.
CWnd* AfxGetMainWnd();
// The application's name, the caption of a message box without one of its own: the
// application object's m_pszAppName when set, else the name given to AfxSetAppName
// (AfxWinMain gives the executable's file name without its extension), else "Peldmark".
std::string AfxGetAppName();
void AfxSetAppName(const std::string& name);
// The standard error message box for an exception a message handler let out: its
// ErrorText, captioned with the application's name, through the modal-UI seam.
void AfxReportException(CWnd* owner, const CException& error);

// What DoDataExchange binds controls of: the dialog. The program's dialogs exchange no
// values, only bind their controls, once, when they are created.
class CDataExchange
{
public:
    CWnd* m_pDlgWnd;
};
// Binds control id of the dialog to the member object: the control's window becomes
// that object's, and GetDlgItem(id) returns it from then on.
void DDX_Control(CDataExchange* dx, int controlId, CWnd& control);

class CStatic : public CWnd {};

// ---------------------------------------------------------------------------------
// Report list. Rows live here as plain texts (a vector of rows of columns) and are
// shown through a Qt model/view pair, so a window-less CListCtrl keeps rows too. The
// text colour of each row is asked of the owner through NM_CUSTOMDRAW. Rows appended
// at the end reach the view together when the event loop next runs (a message box, the
// modal loop, or QApplication::processEvents in a test); the texts here are current at
// once.
constexpr DWORD LVS_REPORT = 0x0001;
constexpr DWORD LVS_SINGLESEL = 0x0004;
constexpr DWORD LVS_SHOWSELALWAYS = 0x0008;
constexpr DWORD LVS_EX_GRIDLINES = 0x0001;
constexpr DWORD LVS_EX_HEADERDRAGDROP = 0x0010;
constexpr DWORD LVS_EX_FULLROWSELECT = 0x0020;
constexpr int LVCFMT_LEFT = 0;

class CListCtrl : public CWnd
{
public:
    CListCtrl();
    ~CListCtrl() override;
    int InsertColumn(int column, const char* heading, int format = LVCFMT_LEFT,
                     int width = -1, int subItem = -1);
    BOOL SetColumnWidth(int column, int width);
    int GetColumnWidth(int column) const;
    int GetColumnCount() const;
    std::string GetColumnHeading(int column) const;
    DWORD SetExtendedStyle(DWORD exStyle);   // returns the previous extended style
    DWORD GetExtendedStyle() const;
    // Appends a row with the text of column 0; returns its index. The program inserts
    // rows and columns only at the end, so the index given is not consulted.
    int InsertItem(int index, const char* text);
    BOOL SetItemText(int item, int subItem, const char* text);
    std::string GetItemText(int item, int subItem) const;
    BOOL DeleteAllItems();
    int GetItemCount() const;
    // The colour the owner's NM_CUSTOMDRAW handler gives row `item`, by the protocol the
    // view paints with: CDDS_PREPAINT, then (when the owner answered CDRF_NOTIFYITEMDRAW)
    // CDDS_ITEMPREPAINT with dwItemSpec = item and clrText starting as CLR_DEFAULT.
    // CLR_DEFAULT: the owner chose none (or the list has no owner).
    COLORREF QueryItemTextColor(int item);

    struct Rows;
    std::unique_ptr<Rows> m_rows;
};

// ---------------------------------------------------------------------------------
constexpr UINT MF_STRING = 0x0000;
constexpr UINT MF_SEPARATOR = 0x0800;

class CMenu
{
public:
    BOOL AppendMenu(UINT flags, UINT_PTR id = 0, const char* text = nullptr);

    // The items in order: a separator has id 0 and no text, a popup id -1.
    struct Item { UINT flags; UINT id; std::string text; std::unique_ptr<CMenu> popup; };
    std::vector<Item> m_items;
};

// ---------------------------------------------------------------------------------
class CDialog : public CWnd
{
public:
    explicit CDialog(UINT templateId, CWnd* parent = nullptr);
    ~CDialog() override;

    // Creates the window from the template, runs OnInitDialog and a modal loop until
    // EndDialog; returns its result, or -1 when the window cannot be created.
    virtual INT_PTR DoModal();
    // Creates the window and runs OnInitDialog without a modal loop (for tests and
    // modeless use). Returns FALSE when the template is missing.
    BOOL Create(UINT templateId = 0, CWnd* parent = nullptr);
    virtual BOOL OnInitDialog();       // runs DoDataExchange
    virtual void OnOK();               // EndDialog(IDOK)
    virtual void OnCancel();           // EndDialog(IDCANCEL)
    // Ends the dialog with `result`: the window is destroyed, the object lives on.
    void EndDialog(int result);
    // WM_CLOSE becomes WM_COMMAND IDCANCEL, as a dialog's window procedure does.
    LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    bool IsModalLoopRunning() const;
    int ModalResult() const { return m_modalResult; }
    UINT TemplateId() const { return m_templateId; }

    DECLARE_MESSAGE_MAP()

protected:
    UINT m_templateId;
    CWnd* m_parent;
    int m_modalResult = 0;
};

class CDialogEx : public CDialog
{
public:
    using CDialog::CDialog;
    DECLARE_MESSAGE_MAP()
};

// ---------------------------------------------------------------------------------
constexpr DWORD OFN_OVERWRITEPROMPT = 0x00000002;
constexpr DWORD OFN_HIDEREADONLY = 0x00000004;

class CFileDialog
{
public:
    // filter: "Title|pattern|...||" as the framework takes it.
    CFileDialog(BOOL openFileDialog, const char* defaultExt = nullptr,
                const char* fileName = nullptr, DWORD flags = OFN_HIDEREADONLY,
                const char* filter = nullptr, CWnd* parent = nullptr, DWORD size = 0,
                BOOL vistaStyle = TRUE);
    INT_PTR DoModal();                 // IDOK or IDCANCEL; goes through the modal-UI seam
    std::string GetPathName() const;   // code page 936

    BOOL m_bOpenFileDialog;
    std::string m_defaultExt, m_fileName, m_filter;
    DWORD m_flags;
    std::string m_path;
};

// ---------------------------------------------------------------------------------
class CPaintDC
{
public:
    explicit CPaintDC(CWnd* wnd);
    ~CPaintDC();
    BOOL DrawIcon(int x, int y, HICON icon);
    HDC m_hDC = nullptr;
    CWnd* m_wnd;
};

int GetSystemMetrics(int index);

constexpr INT_PTR kShellExecuteSucceeded = 42;   // any value above 32 means success
constexpr INT_PTR SE_ERR_NOASSOC = 31;            // nothing could open the file

// Opens `file` with `verb` ("open": a web address in the default browser). Returns a
// value above 32 on success. Goes through the modal-UI seam.
INT_PTR ShellExecuteA(HWND owner, const char* verb, const char* file, const char* parameters,
                      const char* directory, int showCommand);
