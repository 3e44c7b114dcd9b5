// CMenu (menus as plain item lists), the C++ side of a window's menu bar, and the
// window's own system menu, shown as a popup on Alt+Space (the window manager owns the
// real one on Linux); its items send WM_SYSCOMMAND to the window.
#include <QMenu>

#include "platform/ui/peer.h"

namespace {
const char* const kSystemMenuName = "systemMenu";   // object name of the popup
}

BOOL CMenu::AppendMenu(UINT flags, UINT_PTR id, const char* text)
{
    Item item{ flags, (flags & MF_SEPARATOR) ? 0u : static_cast<UINT>(id),
               (flags & MF_SEPARATOR) || text == nullptr ? std::string() : std::string(text),
               nullptr };
    m_items.push_back(std::move(item));
    return TRUE;
}

std::unique_ptr<CMenu> BuildMenu(const MenuTemplate& menu)
{
    auto bar = std::make_unique<CMenu>();
    for (const PopupMenuTemplate& popup : menu.popups) {
        auto items = std::make_unique<CMenu>();
        for (const MenuItemTemplate& item : popup.items) {
            const bool separator = item.commandId == 0 && item.text.empty();
            items->AppendMenu(separator ? MF_SEPARATOR : MF_STRING, item.commandId,
                              item.text.c_str());
        }
        bar->m_items.push_back(CMenu::Item{ MF_STRING, static_cast<UINT>(-1), popup.text,
                                            std::move(items) });
    }
    return bar;
}

// The items a fixed-size window's system menu starts with.
static std::unique_ptr<CMenu> DefaultSystemMenu(CWnd& wnd)
{
    auto menu = std::make_unique<CMenu>();
    menu->AppendMenu(MF_STRING, SC_MOVE, "移动(&M)");
    if (wnd.GetStyle() & WS_MINIMIZEBOX)
        menu->AppendMenu(MF_STRING, SC_MINIMIZE, "最小化(&N)");
    menu->AppendMenu(MF_SEPARATOR);
    menu->AppendMenu(MF_STRING, SC_CLOSE, "关闭(&C)\tAlt+F4");
    return menu;
}

CMenu* CWnd::GetSystemMenu(BOOL revert)
{
    if ((m_style & WS_SYSMENU) == 0)
        return nullptr;
    if (revert) {
        m_impl->systemMenu.reset();
        return nullptr;
    }
    if (!m_impl->systemMenu)
        m_impl->systemMenu = DefaultSystemMenu(*this);
    return m_impl->systemMenu.get();
}

void ShowSystemMenuPopup(CWnd& wnd)
{
    auto* peer = static_cast<QWidget*>(wnd.PeerWidget());
    CMenu* menu = wnd.GetSystemMenu(FALSE);
    if (peer == nullptr || menu == nullptr)
        return;
    delete peer->findChild<QMenu*>(QString::fromLatin1(kSystemMenuName),
                                   Qt::FindDirectChildrenOnly);
    auto* popup = new QMenu(peer);
    popup->setObjectName(QString::fromLatin1(kSystemMenuName));
    AddMenuActions(*popup, *menu, wnd, WM_SYSCOMMAND);
    popup->popup(peer->mapToGlobal(QPoint(0, 0)));
}

void AddMenuActions(QMenu& shown, const CMenu& menu, CWnd& wnd, UINT message)
{
    for (const CMenu::Item& item : menu.m_items) {
        if (item.flags & MF_SEPARATOR) {
            shown.addSeparator();
            continue;
        }
        QAction* action = shown.addAction(ToQString(item.text));
        const UINT id = item.id;
        QObject::connect(action, &QAction::triggered, &shown,
                         [&wnd, message, id] { wnd.SendMessage(message, id); });
    }
}
