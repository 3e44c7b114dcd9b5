// Inside the window layer only: the state behind CWnd and CListCtrl, the Qt peers that
// show them, and the code page 936 <-> QString crossing. Never included outside
// platform/ui, so no other folder sees Qt.
#pragma once

#include <QAbstractTableModel>
#include <QFont>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/ui/resources.h"
#include "platform/ui/wnd.h"

class QMenu;
class QTableView;

// Texts cross into Qt here and only here. Code page 936 <-> UTF-16 through
// platform/codepage (the Windows conversion calls).
QString ToQString(const std::string& cp936);
std::string FromQString(const QString& text);

// The file dialog's filter "Title|*.a;*.b|Other|*.c||" as Qt name filters:
// { "Title (*.a *.b)", "Other (*.c)" }; a title that already shows its patterns in
// parentheses is kept as it is.
QStringList FileDialogNameFilters(const std::string& filter);

// The characters of `text` that code page 936 lacks (each once, in order of first
// appearance); none when FromQString gives the text back unchanged.
std::vector<char32_t> CharactersCodePage936Lacks(const QString& text);

// Creates the process's QApplication when none exists yet (tests and window-less use
// before AfxWinMain); the object is kept for the life of the process. It gets the
// program's name alone as its command line, Qt's own texts in Chinese (qtbase_zh_CN)
// and the Chinese locale, and keeps no settings file.
void EnsureQtApplication();
// The program's name (argv[0]) the QApplication is made with; "Peldmark" when unset.
void SetQtProgramName(const std::string& argv0);
// The font dialogs are laid out in: the template's face when installed, else a CJK face.
QFont DialogFont(const std::string& faceName, int pointSize);

// Runs `call` as a message handler runs: a CException (or std::bad_alloc) it lets out
// is shown in the standard error box owned by `owner`.
void AfxCallGuarded(CWnd* owner, const std::function<void()>& call);

// An icon handle: the registered resource it was loaded from. One handle per resource
// id, never destroyed.
struct HICON__
{
    const IconTemplate* icon;
};
HICON LoadIconResource(int iconId);
// The image of the icon closest to `size` pixels, scaled to it.
QImage IconToImage(HICON icon, int size);

struct CWnd::Impl
{
    QPointer<QWidget> peer;      // top-level window of a dialog, or the control's widget
    QPointer<QWidget> client;    // where controls live and WM_PAINT comes from
    QPointer<QWidget> dying;     // a destroyed window's peer until the event loop frees it
    CWnd* parent = nullptr;      // receives this control's WM_COMMAND / WM_NOTIFY
    std::map<int, CWnd*> children;                 // control id -> bound object
    std::vector<std::unique_ptr<CWnd>> standIns;  // objects for controls nobody bound
    std::unique_ptr<CMenu> systemMenu;
    std::unique_ptr<CMenu> menu;
    HICON bigIcon = nullptr;
    HICON smallIcon = nullptr;
    bool painting = false;                        // inside the client's paintEvent
    // Modal state of a dialog: DoModal sets running; EndDialog sets ended and calls
    // quitModalLoop when the Qt loop installed one.
    bool modalRunning = false;
    bool modalEnded = false;
    std::function<void()> quitModalLoop;
};

// The window layer's access to a CWnd's protected state.
struct WndAccess
{
    using Impl = CWnd::Impl;
    static Impl& Of(CWnd& wnd) { return *wnd.m_impl; }
    static const Impl& Of(const CWnd& wnd) { return *wnd.m_impl; }
    static int& ControlId(CWnd& wnd) { return wnd.m_controlId; }
    static DWORD& Style(CWnd& wnd) { return wnd.m_style; }
    static std::string& Text(CWnd& wnd) { return wnd.m_text; }
};

// Builds the peer of a dialog from its template: the window, its menu bar, the client
// area and the controls (stand-in objects registered as the dialog's children).
bool CreateDialogPeer(CDialog& dialog, const DialogTemplate& templ);
// Re-targets a control's peer to `control` (DDX_Control), taking over the stand-in.
void AttachControlPeer(CWnd& dialog, int controlId, CWnd& control);
// A table view whose paint passes run the custom-draw protocol.
QTableView* CreateListView(QWidget* parent);
// Hands a list view widget to the list object, which makes it show its rows.
void AttachListView(CListCtrl& list, QTableView* view);
// Applies the list's style and extended style to its view (when it has one).
void ApplyListStyles(CListCtrl& list);
// The C++ side of a menu bar: one popup item per pull-down menu.
std::unique_ptr<CMenu> BuildMenu(const MenuTemplate& menu);
// Shows the window's system menu as a popup at the top-left of its window.
void ShowSystemMenuPopup(CWnd& wnd);
// Adds the items of `menu` to `shown`: its separators, and an action per item that sends
// `message` (WM_COMMAND, or WM_SYSCOMMAND for the system menu) with the item's id to wnd.
void AddMenuActions(QMenu& shown, const CMenu& menu, CWnd& wnd, UINT message);
// The window's icon from its WM_SETICON icons.
void ApplyWindowIcon(CWnd& wnd);

// The rows of a report list, and the model that shows them.
class ListModel;

struct CListCtrl::Rows
{
    struct Column { std::string heading; int width; };
    std::vector<Column> columns;
    std::vector<std::vector<std::string>> items;   // per row: the texts, column order
    DWORD exStyle = 0;
    QPointer<QTableView> view;
    QPointer<ListModel> model;                      // owned by the view
};

class ListModel : public QAbstractTableModel
{
public:
    ListModel(CListCtrl& list, QObject* parent);
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // Appended rows are announced together, later (the next pass of the event loop, or
    // flush()).
    void rowsAppended();
    void flush();
    void cellChanged(int row, int column);
    void removeAllRows(const std::function<void()>& change);
    void appendColumn(const std::function<void()>& change);
    // The user dragged a column's edge: the list keeps the new width.
    void columnResized(int column, int width);
    // The list object goes away: the model shows nothing from now on.
    void detach();
    // One paint pass: the owner's CDDS_PREPAINT answer first, then, when it asked for
    // item notifications, one CDDS_ITEMPREPAINT per row painted.
    void beginPaint();
    void endPaint();

private:
    CListCtrl* m_list;
    int m_shownRows = 0;
    bool m_flushQueued = false;
    bool m_inPaint = false;
    bool m_askItems = false;
    mutable std::unordered_map<int, COLORREF> m_paintColors;
};
