// The Qt peer of a dialog, built from its template: a top-level window with the menu
// bar, a client area of the template's size in which the controls sit, and the keys,
// clicks, menu actions, close box and paints turned into the dialog's messages.
// Dialog units become pixels as Windows computes them: x * baseX / 4, y * baseY / 8,
// with baseX the dialog font's average character width and baseY its height.
#include <QCloseEvent>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

#include "platform/ui/peer.h"
#include "platform/ui/winapp.h"

namespace {

constexpr int kDialogIconSize = 32;   // an SS_ICON static shows the standard icon size
constexpr int kLetterCount = 52;      // A-Z and a-z, the text Windows measures baseX by

struct DialogUnits
{
    int baseX;
    int baseY;
    int x(int units) const { return units * baseX / 4; }
    int y(int units) const { return units * baseY / 8; }
};

DialogUnits MeasureDialogUnits(const QFont& font)
{
    const QFontMetrics metrics(font);
    const int letters = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    // Windows rounds the average to the nearest pixel: (width / 26 + 1) / 2.
    return DialogUnits{ (letters / (kLetterCount / 2) + 1) / 2, metrics.height() };
}

// Enter, Escape, F1 and Alt+Space anywhere in the window become the dialog's commands,
// before any control can take them.
class KeyRouter : public QObject
{
public:
    KeyRouter(CWnd& wnd, QObject* parent) : QObject(parent), m_wnd(wnd) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::KeyPress)
            return QObject::eventFilter(watched, event);
        const auto* key = static_cast<QKeyEvent*>(event);
        const bool alt = (key->modifiers() & Qt::AltModifier) != 0;
        switch (key->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter: m_wnd.SendMessage(WM_COMMAND, IDOK); return true;
        case Qt::Key_Escape: m_wnd.SendMessage(WM_COMMAND, IDCANCEL); return true;
        case Qt::Key_F1: m_wnd.SendMessage(WM_COMMAND, ID_HELP); return true;
        case Qt::Key_Space:
            if (!alt)
                break;
            m_wnd.SendMessage(WM_SYSCOMMAND, SC_KEYMENU, ' ');
            return true;
        default: break;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    CWnd& m_wnd;
};

// The top-level window: its close box asks the dialog (WM_SYSCOMMAND SC_CLOSE).
class DialogWindow : public QWidget
{
public:
    DialogWindow(CWnd& wnd, QWidget* parent, Qt::WindowFlags flags)
        : QWidget(parent, flags), m_wnd(wnd) {}

protected:
    void closeEvent(QCloseEvent* event) override
    {
        event->ignore();
        m_wnd.SendMessage(WM_SYSCOMMAND, SC_CLOSE);
    }

private:
    CWnd& m_wnd;
};

// The client area: each paint is the dialog's WM_PAINT (CPaintDC draws on it).
class ClientArea : public QWidget
{
public:
    ClientArea(CWnd& wnd, QWidget* parent) : QWidget(parent), m_wnd(wnd) {}

protected:
    void paintEvent(QPaintEvent*) override
    {
        WndAccess::Impl& state = WndAccess::Of(m_wnd);
        state.painting = true;
        m_wnd.SendMessage(WM_PAINT);
        state.painting = false;
    }

private:
    CWnd& m_wnd;
};

Qt::WindowFlags WindowFlagsFor(const DialogTemplate& templ)
{
    Qt::WindowFlags flags = (templ.exStyle & WS_EX_APPWINDOW) ? Qt::Window : Qt::Dialog;
    flags |= Qt::CustomizeWindowHint | Qt::WindowTitleHint;
    if (templ.style & WS_SYSMENU)
        flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    if (templ.style & WS_MINIMIZEBOX)
        flags |= Qt::WindowMinimizeButtonHint;
    return flags;
}

// The Qt bar of the window's menu: one pull-down per popup item of `bar`.
QMenuBar* CreateMenuBar(CWnd& wnd, const CMenu& bar, QWidget* window)
{
    auto* shown = new QMenuBar(window);
    for (const CMenu::Item& popup : bar.m_items) {
        QMenu* pullDown = shown->addMenu(ToQString(popup.text));
        if (popup.popup)
            AddMenuActions(*pullDown, *popup.popup, wnd, WM_COMMAND);
    }
    return shown;
}

QWidget* CreateControlWidget(CWnd& dialog, const DialogItemTemplate& item, QWidget* client)
{
    switch (item.kind) {
    case ControlKind::ListView:
        return CreateListView(client);
    case ControlKind::IconStatic: {
        auto* label = new QLabel(client);
        const HICON icon = LoadIconResource(std::atoi(item.text.c_str()));
        if (icon != nullptr)
            label->setPixmap(QPixmap::fromImage(IconToImage(icon, kDialogIconSize)));
        return label;
    }
    case ControlKind::PushButton: {
        auto* button = new QPushButton(ToQString(item.text), client);
        button->setDefault((item.style & BS_DEFPUSHBUTTON) != 0);
        const UINT id = static_cast<UINT>(item.id);
        QObject::connect(button, &QPushButton::clicked, client,
                         [&dialog, id] { dialog.SendMessage(WM_COMMAND, id); });
        return button;
    }
    case ControlKind::Static:
        break;
    }
    auto* label = new QLabel(ToQString(item.text), client);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
}

// The object that stands for a control until DDX_Control binds a member to it.
std::unique_ptr<CWnd> MakeStandIn(ControlKind kind)
{
    if (kind == ControlKind::ListView)
        return std::make_unique<CListCtrl>();
    if (kind == ControlKind::Static || kind == ControlKind::IconStatic)
        return std::make_unique<CStatic>();
    return std::make_unique<CWnd>();
}

void AddControl(CWnd& dialog, const DialogItemTemplate& item, QWidget* client,
                const DialogUnits& units, KeyRouter* keys)
{
    QWidget* widget = CreateControlWidget(dialog, item, client);
    widget->setGeometry(units.x(item.x), units.y(item.y), units.x(item.cx), units.y(item.cy));
    widget->installEventFilter(keys);
    if (item.id == -1)
        return;
    std::unique_ptr<CWnd> standIn = MakeStandIn(item.kind);
    WndAccess::Impl& state = WndAccess::Of(*standIn);
    state.peer = widget;
    state.parent = &dialog;
    standIn->m_hWnd = reinterpret_cast<HWND>(widget);
    WndAccess::ControlId(*standIn) = item.id;
    WndAccess::Style(*standIn) = item.style;
    WndAccess::Text(*standIn) = item.kind == ControlKind::IconStatic ? std::string() : item.text;
    if (auto* list = dynamic_cast<CListCtrl*>(standIn.get()))
        AttachListView(*list, static_cast<QTableView*>(widget));
    WndAccess::Impl& dialogState = WndAccess::Of(dialog);
    dialogState.children[item.id] = standIn.get();
    dialogState.standIns.push_back(std::move(standIn));
}

// A dialog without a parent window of its own stays above the main window.
QWidget* OwnerWindow(CDialog& dialog, CWnd* parent)
{
    CWnd* owner = parent != nullptr ? parent : AfxGetMainWnd();
    if (owner == nullptr || owner == &dialog)
        return nullptr;
    auto* widget = static_cast<QWidget*>(owner->PeerWidget());
    return widget != nullptr ? widget->window() : nullptr;
}

}  // namespace

bool CreateDialogPeer(CDialog& dialog, const DialogTemplate& templ)
{
    EnsureQtApplication();
    WndAccess::Impl& state = WndAccess::Of(dialog);
    QWidget* owner = OwnerWindow(dialog, dialog.GetParent());
    auto* window = new DialogWindow(dialog, owner, WindowFlagsFor(templ));
    const QFont font = DialogFont(templ.fontName, templ.pointSize);
    window->setFont(font);
    window->setWindowTitle(ToQString(templ.caption));
    if (state.modalRunning)
        window->setWindowModality(Qt::ApplicationModal);
    auto* keys = new KeyRouter(dialog, window);
    window->installEventFilter(keys);

    auto* layout = new QVBoxLayout(window);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    state.menu.reset();
    if (const MenuTemplate* menu = templ.menuId != 0 ? FindMenuResource(templ.menuId) : nullptr) {
        state.menu = BuildMenu(*menu);
        // No key filter on the bar: Escape there leaves the menu, not the window.
        layout->setMenuBar(CreateMenuBar(dialog, *state.menu, window));
    }
    const DialogUnits units = MeasureDialogUnits(font);
    auto* client = new ClientArea(dialog, window);
    client->setFixedSize(units.x(templ.cx), units.y(templ.cy));
    layout->addWidget(client);

    state.peer = window;
    state.client = client;
    dialog.m_hWnd = reinterpret_cast<HWND>(window);
    state.standIns.clear();
    state.children.clear();
    for (const DialogItemTemplate& item : templ.items)
        AddControl(dialog, item, client, units, keys);
    ApplyWindowIcon(dialog);
    return true;
}
