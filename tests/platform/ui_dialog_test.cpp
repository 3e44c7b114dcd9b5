// Dialogs on Qt's offscreen platform: creation from a template with control binding,
// dialog units, keys, the close box, menu and system-menu commands, icons and painting,
// and modal loops (scripted and real, nested).
#include <QAction>
#include <QApplication>
#include <QFontMetrics>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTableView>
#include <QTimer>

#include <gtest/gtest.h>

#include "tests/support/scripted_modal_ui.h"
#include "platform/ui/resources.h"
#include "platform/ui/winapp.h"
#include "platform/ui/wnd.h"

namespace {

constexpr int kMainTemplate = 9102;
constexpr int kAboutTemplate = 9100;
constexpr int kMenuId = 9129;
constexpr int kIconId = 9005;
constexpr int kListId = 1000;
constexpr int kStatusId = 1001;
constexpr UINT kOpenCommand = 32779;
constexpr UINT kAboutCommand = 57664;
constexpr UINT kAboutSysCommand = 0x10;
constexpr std::uint32_t kOpaqueGreen = 0xFF00FF00u;   // premultiplied ARGB

void RegisterTestResources()
{
    const DWORD child = WS_CHILD | WS_VISIBLE;
    RegisterDialogResource({ kMainTemplate, WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX,
                             WS_EX_APPWINDOW, 0, 0, 379, 286, "测试窗口", "MS Shell Dlg", 9, kMenuId,
                             { { kListId, ControlKind::ListView, 7, 7, 365, 266, child | WS_BORDER, "" },
                               { kStatusId, ControlKind::Static, 7, 274, 169, 11, child, "" } } });
    RegisterDialogResource({ kAboutTemplate, WS_POPUP | WS_CAPTION | WS_SYSMENU, 0, 0, 0, 170, 62, "关于",
                             "MS Shell Dlg", 9, 0,
                             { { -1, ControlKind::IconStatic, 14, 14, 20, 20, child, std::to_string(kIconId) },
                               { IDOK, ControlKind::PushButton, 113, 41, 50, 14, child | BS_DEFPUSHBUTTON, "确定" } } });
    RegisterMenuResource({ kMenuId, { { "文件(&F)", { { kOpenCommand, "打开(&O)" }, { 0, "" } } },
                                      { "帮助(&H)", { { kAboutCommand, "关于(&A)" } } } } });
    RegisterIconResource({ kIconId, { { 32, std::vector<std::uint32_t>(32 * 32, kOpaqueGreen) } } });
    RegisterStringResource(101, "关于 测试(&A)...");
}

class AboutDialog : public CDialogEx
{
public:
    AboutDialog() : CDialogEx(kAboutTemplate) {}
};

class MainDialog : public CDialogEx
{
public:
    MainDialog() : CDialogEx(kMainTemplate) {}
    CListCtrl m_list;
    std::vector<std::string> events;
    bool drawIcon = false;
    INT_PTR aboutResult = 0;

    void DoDataExchange(CDataExchange* dx) override { DDX_Control(dx, kListId, m_list); }
    BOOL OnInitDialog() override
    {
        CDialogEx::OnInitDialog();
        CMenu* system = GetSystemMenu(FALSE);
        system->AppendMenu(MF_SEPARATOR);
        system->AppendMenu(MF_STRING, kAboutSysCommand, FindStringResource(101)->c_str());
        return TRUE;
    }
    void OnSysCommand(UINT nID, LPARAM lParam)
    {
        if ((nID & 0xFFF0) == kAboutSysCommand)
            OnAbout();
        else
            CDialogEx::OnSysCommand(nID, lParam);
    }
    void OnPaint()
    {
        if (!drawIcon)
            return CDialogEx::OnPaint();
        CPaintDC dc(this);
        dc.DrawIcon(2, 3, AfxGetApp()->LoadIcon(kIconId));
    }
    void OnEnter() { events.push_back("enter"); }
    void OnOpen() { events.push_back("open"); }
    void OnAbout()
    {
        AboutDialog about;
        aboutResult = about.DoModal();
        events.push_back("about");
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(MainDialog, CDialogEx)
    ON_WM_SYSCOMMAND()
    ON_WM_PAINT()
    ON_COMMAND(IDOK, &MainDialog::OnEnter)
    ON_COMMAND(kOpenCommand, &MainDialog::OnOpen)
    ON_COMMAND(kAboutCommand, &MainDialog::OnAbout)
END_MESSAGE_MAP()

QWidget* Peer(CWnd& wnd) { return static_cast<QWidget*>(wnd.PeerWidget()); }

void PressKey(QWidget* target, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QKeyEvent press(QEvent::KeyPress, key, modifiers);
    QApplication::sendEvent(target, &press);
}

QAction* ActionNamed(QWidget* root, const QString& text)
{
    for (QAction* action : root->findChildren<QAction*>()) {
        if (action->text() == text)
            return action;
    }
    return nullptr;
}

class DialogTest : public ::testing::Test
{
protected:
    void SetUp() override { RegisterTestResources(); }
    CWinApp m_app{ "Peldmark" };
    ScopedModalUi m_modal;
};

TEST_F(DialogTest, CreateBuildsTheWindowAndBindsControls)
{
    MainDialog dialog;
    ASSERT_TRUE(dialog.Create());
    QWidget* window = Peer(dialog);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->windowTitle(), QStringLiteral("测试窗口"));
    EXPECT_EQ(dialog.GetWindowText(), "测试窗口");
    EXPECT_EQ(dialog.GetDlgItem(kListId), &dialog.m_list);
    ASSERT_NE(dialog.m_list.m_hWnd, nullptr);
    EXPECT_NE(qobject_cast<QTableView*>(Peer(dialog.m_list)), nullptr);

    CWnd* status = dialog.GetDlgItem(kStatusId);
    ASSERT_NE(status, nullptr);
    status->SetWindowText("共成功导出：25 条通话记录");
    auto* label = qobject_cast<QLabel*>(Peer(*status));
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->text(), QStringLiteral("共成功导出：25 条通话记录"));

    // Dialog units: x * baseX / 4 and y * baseY / 8 from the dialog font.
    const QFontMetrics metrics(window->font());
    const int baseX = (metrics.horizontalAdvance(QStringLiteral(
                           "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")) / 26 + 1) / 2;
    const int baseY = metrics.height();
    EXPECT_EQ(Peer(dialog.m_list)->geometry(),
              QRect(7 * baseX / 4, 7 * baseY / 8, 365 * baseX / 4, 266 * baseY / 8));
    RECT client;
    dialog.GetClientRect(&client);
    EXPECT_EQ(client.right, 379 * baseX / 4);
    EXPECT_EQ(client.bottom, 286 * baseY / 8);
}

TEST_F(DialogTest, EnterEscapeAndTheCloseBoxBecomeCommands)
{
    MainDialog dialog;
    ASSERT_TRUE(dialog.Create());
    // Keys pressed in the focused list reach the dialog's map.
    PressKey(Peer(dialog.m_list), Qt::Key_Return);
    PressKey(Peer(dialog.m_list), Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(dialog.events, (std::vector<std::string>{ "enter", "enter" }));
    EXPECT_NE(dialog.m_hWnd, nullptr);   // the map's IDOK handler keeps the window
    PressKey(Peer(dialog.m_list), Qt::Key_Escape);
    EXPECT_EQ(dialog.ModalResult(), IDCANCEL);
    EXPECT_EQ(dialog.m_hWnd, nullptr);
    EXPECT_EQ(dialog.m_list.m_hWnd, nullptr);

    MainDialog closed;
    ASSERT_TRUE(closed.Create());
    Peer(closed)->close();
    EXPECT_EQ(closed.ModalResult(), IDCANCEL);
    EXPECT_EQ(closed.m_hWnd, nullptr);
}

TEST_F(DialogTest, MenuActionsAndTheSystemMenuSendTheirCommands)
{
    MainDialog dialog;
    ASSERT_TRUE(dialog.Create());
    ASSERT_NE(dialog.GetMenu(), nullptr);
    const std::vector<CMenu::Item>& file = dialog.GetMenu()->m_items.at(0).popup->m_items;
    EXPECT_EQ(file.at(0).id, kOpenCommand);
    EXPECT_EQ(file.at(1).flags, MF_SEPARATOR);
    QAction* open = ActionNamed(Peer(dialog), QStringLiteral("打开(&O)"));
    ASSERT_NE(open, nullptr);
    open->trigger();
    EXPECT_EQ(dialog.events, (std::vector<std::string>{ "open" }));

    PressKey(Peer(dialog.m_list), Qt::Key_Space, Qt::AltModifier);
    auto* popup = Peer(dialog)->findChild<QMenu*>(QStringLiteral("systemMenu"));
    ASSERT_NE(popup, nullptr);
    QAction* about = ActionNamed(popup, QStringLiteral("关于 测试(&A)..."));
    ASSERT_NE(about, nullptr);
    about->trigger();   // WM_SYSCOMMAND 16 -> the About box, run through the seam
    EXPECT_EQ(dialog.events.back(), "about");
    EXPECT_EQ(m_modal.ui.modalDialogs, (std::vector<UINT>{ kAboutTemplate }));
    EXPECT_EQ(dialog.aboutResult, IDCANCEL);

    QAction* close = ActionNamed(popup, QStringLiteral("关闭(&C)\tAlt+F4"));
    ASSERT_NE(close, nullptr);
    close->trigger();   // SC_CLOSE goes on to the default processing
    EXPECT_EQ(dialog.ModalResult(), IDCANCEL);
}

TEST_F(DialogTest, NestedModalDialogsRunThroughTheScriptedSeam)
{
    MainDialog dialog;
    m_modal.ui.onModalDialog = [](CDialog& running) {
        if (running.TemplateId() == kMainTemplate) {
            running.SendMessage(WM_COMMAND, kAboutCommand);
            running.SendMessage(WM_COMMAND, IDCANCEL);
        } else {
            running.SendMessage(WM_COMMAND, IDOK);   // the About box's default OK
        }
    };
    EXPECT_EQ(dialog.DoModal(), IDCANCEL);
    EXPECT_EQ(m_modal.ui.modalDialogs, (std::vector<UINT>{ kMainTemplate, kAboutTemplate }));
    EXPECT_EQ(dialog.aboutResult, IDOK);
    EXPECT_EQ(dialog.events, (std::vector<std::string>{ "about" }));
    EXPECT_EQ(dialog.m_hWnd, nullptr);
    EXPECT_EQ(CDialog(9999).DoModal(), -1);   // no such template
}

TEST(QtModalLoop, NestedLoopsEndByKeysAndButtons)
{
    RegisterTestResources();
    MainDialog dialog;
    // Inside the main loop: open About, press its OK button, then Escape the main window.
    QTimer::singleShot(0, [&dialog] {
        QTimer::singleShot(0, [] {
            for (QWidget* top : QApplication::topLevelWidgets()) {
                if (top->isVisible() && top->windowTitle() == QStringLiteral("关于"))
                    top->findChild<QPushButton*>()->click();
            }
        });
        dialog.SendMessage(WM_COMMAND, kAboutCommand);
        PressKey(Peer(dialog), Qt::Key_Escape);
    });
    EXPECT_EQ(dialog.DoModal(), IDCANCEL);
    EXPECT_EQ(dialog.aboutResult, IDOK);
}

TEST_F(DialogTest, IconsAndPaintingOnTheClientArea)
{
    MainDialog dialog;
    ASSERT_TRUE(dialog.Create());
    HICON icon = m_app.LoadIcon(kIconId);
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(m_app.LoadIcon(kIconId + 1), nullptr);
    EXPECT_EQ(dialog.SetIcon(icon, TRUE), nullptr);
    EXPECT_EQ(dialog.SetIcon(icon, TRUE), icon);   // returns the previous one
    EXPECT_EQ(dialog.GetIcon(TRUE), icon);
    EXPECT_EQ(dialog.GetIcon(FALSE), nullptr);
    EXPECT_FALSE(Peer(dialog)->windowIcon().isNull());
    EXPECT_EQ(GetSystemMetrics(SM_CXICON), 32);

    dialog.drawIcon = true;
    QWidget* client = Peer(dialog.m_list)->parentWidget();
    Peer(dialog.m_list)->hide();   // the list would cover part of the icon
    const QImage painted = client->grab().toImage();
    EXPECT_EQ(painted.pixelColor(2, 3), QColor(0, 255, 0));
    EXPECT_EQ(painted.pixelColor(2 + 31, 3 + 31), QColor(0, 255, 0));
    EXPECT_NE(painted.pixelColor(2 + 32, 3 + 32), QColor(0, 255, 0));
    EXPECT_FALSE(dialog.IsIconic());
}

}  // namespace
