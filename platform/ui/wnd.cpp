// CCmdTarget and CWnd: the message-map dispatch with its default processing and its
// exception report, window texts, child controls and data exchange, window state.
// Every CWnd works without a peer; a peer (QWidget) only mirrors the C++ state.
#include <new>

#include <QWidget>

#include "platform/testing.h"
#include "platform/ui/peer.h"
#include "platform/ui/winapp.h"

// ---------------------------------------------------------------------------------
// Message maps

const AFX_MSGMAP* CCmdTarget::GetThisMessageMap()
{
    static const AFX_MSGMAP_ENTRY entries[] = { { 0, 0, 0, nullptr } };
    static const AFX_MSGMAP messageMap = { nullptr, &entries[0] };
    return &messageMap;
}

const AFX_MSGMAP* CCmdTarget::GetMessageMap() const
{
    return GetThisMessageMap();
}

static bool EntryMatches(const AFX_MSGMAP_ENTRY& entry, UINT message, WPARAM wParam,
                         LPARAM lParam)
{
    if (entry.message != message)
        return false;
    if (message == WM_COMMAND)
        return entry.id == LOWORD(wParam);
    if (message == WM_NOTIFY) {
        const NMHDR* header = reinterpret_cast<const NMHDR*>(lParam);
        return header != nullptr && entry.code == header->code && entry.id == header->idFrom;
    }
    return true;
}

const AFX_MSGMAP_ENTRY* AfxFindMessageEntry(const AFX_MSGMAP* map, UINT message,
                                            WPARAM wParam, LPARAM lParam)
{
    for (; map != nullptr; map = map->pfnGetBaseMap ? map->pfnGetBaseMap() : nullptr) {
        for (const AFX_MSGMAP_ENTRY* entry = map->lpEntries; entry->message != 0; ++entry) {
            if (EntryMatches(*entry, message, wParam, lParam))
                return entry;
        }
    }
    return nullptr;
}

BOOL CCmdTarget::OnCmdMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    const AFX_MSGMAP_ENTRY* entry = AfxFindMessageEntry(GetMessageMap(), message, wParam, lParam);
    if (entry == nullptr)
        return FALSE;
    LRESULT value = entry->thunk(this, wParam, lParam);
    if (result != nullptr)
        *result = value;
    return TRUE;
}

void AfxReportException(CWnd* owner, const CException& error)
{
    CurrentModalUi().ShowMessageBox(owner, error.ErrorText(), AfxGetAppName(), MB_OK);
}

// ---------------------------------------------------------------------------------
// CWnd

CWnd::CWnd() : m_impl(std::make_unique<Impl>()) {}

CWnd::~CWnd()
{
    CWinApp* app = AfxGetApp();
    if (app != nullptr && app->m_pMainWnd == this)
        app->m_pMainWnd = nullptr;
    // A control leaves its dialog's table; controls still bound to this window (those
    // that outlive it, and the stand-ins) forget it before the stand-ins go.
    if (CWnd* parent = m_impl->parent) {
        auto& siblings = parent->m_impl->children;
        auto self = siblings.find(m_controlId);
        if (self != siblings.end() && self->second == this)
            siblings.erase(self);
    }
    for (auto& child : m_impl->children)
        child.second->m_impl->parent = nullptr;
    m_impl->children.clear();
    m_impl->standIns.clear();
    delete m_impl->peer.data();
    // Its widgets call back into this object: they go with it, not later.
    delete m_impl->dying.data();
}

void AfxCallGuarded(CWnd* owner, const std::function<void()>& call)
{
    try {
        call();
    } catch (const CException& error) {
        AfxReportException(owner, error);
    } catch (const std::bad_alloc&) {
        AfxReportException(owner, CMemoryException());
    }
}

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    LRESULT result = 0;
    AfxCallGuarded(this, [&] {
        if (OnCmdMsg(message, wParam, lParam, &result))
            return;
        // Commands no window handles go to the application object, as menus and
        // accelerators route them; then the default processing.
        CWinApp* app = AfxGetApp();
        if (message == WM_COMMAND && app != nullptr
            && app->OnCmdMsg(message, wParam, lParam, &result))
            return;
        result = DefWindowProc(message, wParam, lParam);
    });
    return result;
}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_SYSCOMMAND:
        switch (static_cast<UINT>(wParam) & 0xFFF0) {
        case SC_CLOSE: SendMessage(WM_CLOSE); break;
        case SC_MINIMIZE: ShowWindow(SW_MINIMIZE); break;
        case SC_RESTORE: ShowWindow(SW_RESTORE); break;
        case SC_KEYMENU: ShowSystemMenuPopup(*this); break;
        default: break;   // moving and sizing belong to the window manager
        }
        return 0;
    case WM_CLOSE:
        DestroyWindow();
        return 0;
    case WM_SETICON: {
        HICON& slot = wParam == ICON_BIG ? m_impl->bigIcon : m_impl->smallIcon;
        HICON previous = slot;
        slot = reinterpret_cast<HICON>(lParam);
        ApplyWindowIcon(*this);
        return reinterpret_cast<LRESULT>(previous);
    }
    default:
        return 0;
    }
}

void CWnd::OnSysCommand(UINT nID, LPARAM lParam)
{
    DefWindowProc(WM_SYSCOMMAND, nID, lParam);
}

void CWnd::OnPaint()
{
    // The peer paints the dialog's face and controls itself.
}

HCURSOR CWnd::OnQueryDragIcon()
{
    return nullptr;
}

int CWnd::MessageBox(const char* text, const char* caption, UINT type)
{
    const std::string resolved = caption != nullptr ? std::string(caption) : AfxGetAppName();
    return CurrentModalUi().ShowMessageBox(this, text != nullptr ? text : "", resolved, type);
}

void CWnd::SetWindowText(const char* text)
{
    m_text = text != nullptr ? text : "";
    QWidget* peer = m_impl->peer.data();
    if (peer == nullptr)
        return;
    const QString shown = ToQString(m_text);
    if (peer->isWindow())
        peer->setWindowTitle(shown);
    else
        peer->setProperty("text", shown);   // QLabel and QAbstractButton both have it
}

std::string CWnd::GetWindowText() const
{
    return m_text;
}

CWnd* CWnd::GetDlgItem(int id) const
{
    auto found = m_impl->children.find(id);
    return found == m_impl->children.end() ? nullptr : found->second;
}

CWnd* CWnd::GetParent() const
{
    return m_impl->parent;
}

CMenu* CWnd::GetMenu()
{
    return m_impl->menu.get();
}

HICON CWnd::SetIcon(HICON icon, BOOL bigIcon)
{
    return reinterpret_cast<HICON>(SendMessage(WM_SETICON, bigIcon ? ICON_BIG : ICON_SMALL,
                                               reinterpret_cast<LPARAM>(icon)));
}

HICON CWnd::GetIcon(BOOL bigIcon) const
{
    return bigIcon ? m_impl->bigIcon : m_impl->smallIcon;
}

BOOL CWnd::IsIconic() const
{
    QWidget* peer = m_impl->peer.data();
    return peer != nullptr && peer->window()->isMinimized();
}

void CWnd::GetClientRect(RECT* rect) const
{
    QWidget* area = m_impl->client ? m_impl->client.data() : m_impl->peer.data();
    *rect = RECT{ 0, 0, 0, 0 };
    if (area != nullptr) {
        rect->right = area->width();
        rect->bottom = area->height();
    }
}

BOOL CWnd::ModifyStyle(DWORD remove, DWORD add, UINT /*flags: no repositioning here*/)
{
    m_style = (m_style & ~remove) | add;
    if (CListCtrl* list = dynamic_cast<CListCtrl*>(this))
        ApplyListStyles(*list);
    return TRUE;
}

BOOL CWnd::DestroyWindow()
{
    QWidget* peer = m_impl->peer.data();
    if (peer == nullptr)
        return FALSE;
    for (auto& child : m_impl->children) {
        child.second->m_hWnd = nullptr;
        child.second->m_impl->peer = nullptr;   // its widget goes with this window's
    }
    CWinApp* app = AfxGetApp();
    if (app != nullptr && app->m_pMainWnd == this)
        app->m_pMainWnd = nullptr;
    // The peer may be in the middle of its own event (a key, a click): it goes when
    // the event loop next runs, hidden from now on.
    peer->hide();
    peer->deleteLater();
    m_impl->dying = peer;
    m_impl->peer = nullptr;
    m_impl->client = nullptr;
    m_hWnd = nullptr;
    return TRUE;
}

BOOL CWnd::ShowWindow(int showCommand)
{
    QWidget* peer = m_impl->peer.data();
    if (peer == nullptr)
        return FALSE;
    const bool wasVisible = peer->isVisible();
    switch (showCommand) {
    case SW_HIDE: peer->hide(); break;
    case SW_MINIMIZE: peer->showMinimized(); break;
    case SW_RESTORE:
    case SW_SHOWNORMAL: peer->showNormal(); break;
    default: peer->show(); break;
    }
    return wasVisible ? TRUE : FALSE;
}

void* CWnd::PeerWidget() const
{
    return m_impl->peer.data();
}

// ---------------------------------------------------------------------------------
// Data exchange

void CWnd::DoDataExchange(CDataExchange* /*dx: nothing to exchange in a plain window*/) {}

void DDX_Control(CDataExchange* dx, int controlId, CWnd& control)
{
    CWnd* dialog = dx->m_pDlgWnd;
    if (dialog->GetDlgItem(controlId) == &control)
        return;
    AttachControlPeer(*dialog, controlId, control);
}
