// The main window as the user meets it: start-up state, the application's start-up, the
// keys and routes that end the window, the row colours (custom draw and one rendered
// check), the minimised icon's position, and the About box from both routes.
#include "main_window_harness.h"

#include <QCoreApplication>
#include <QImage>
#include <QTableView>
#include <QWidget>

#include "app/peldmark_app.h"
#include "app/resource_ids.h"
#include "app/resources.h"
#include "reader/call_record.h"
#include "tests/support/fixtures.h"

namespace {

TEST_F(MainWindowTest, StartsWithCaptionEmptySixColumnListAndAboutInSystemMenu)
{
    EXPECT_EQ(title(), "Orsane手机通话记录恢复软件");
    EXPECT_EQ(statusLine(), "");
    EXPECT_EQ(rowCount(), 0);
    EXPECT_TRUE(OpenFilePath.empty());

    CListCtrl& list = m_dialog->m_listCalls;
    EXPECT_EQ(m_dialog->GetDlgItem(IDC_LIST_CALLS), &list);
    const char* const titles[] = {"姓名", "来电或去电", "通话时间", "通话时长", "归属地", "通话号码"};
    const int widths[] = {80, 80, 150, 80, 100, 120};
    ASSERT_EQ(list.GetColumnCount(), 6);
    for (int column = 0; column < 6; ++column) {
        EXPECT_EQ(list.GetColumnHeading(column), titles[column]);
        EXPECT_EQ(list.GetColumnWidth(column), widths[column]);
    }
    EXPECT_EQ(list.GetExtendedStyle(), 0x31u);
    const DWORD reportStyles = LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS;
    EXPECT_EQ(list.GetStyle() & reportStyles, reportStyles);

    CMenu* systemMenu = m_dialog->GetSystemMenu(FALSE);
    ASSERT_NE(systemMenu, nullptr);
    const std::vector<CMenu::Item>& items = systemMenu->m_items;
    ASSERT_GE(items.size(), 2u);
    EXPECT_EQ(items[items.size() - 2].flags, MF_SEPARATOR);
    EXPECT_EQ(items.back().id, IDM_ABOUTBOX);
    EXPECT_EQ(items.back().text, "关于 Peldmark(&A)...");

    EXPECT_NE(m_dialog->m_hAppIcon, nullptr);
    EXPECT_EQ(m_dialog->GetIcon(TRUE), m_dialog->m_hAppIcon);
    EXPECT_EQ(m_dialog->GetIcon(FALSE), m_dialog->m_hAppIcon);
    EXPECT_EQ(reinterpret_cast<HICON>(m_dialog->SendMessage(WM_QUERYDRAGICON)),
              m_dialog->m_hAppIcon);
}

// Without a text for string 101 the system menu stays as the platform made it: no
// separator and no About item.
TEST(MainWindowSystemMenu, EmptyString101AddsNeitherSeparatorNorAboutItem)
{
    RegisterPeldmarkResources();
    const std::string aboutText = *FindStringResource(IDS_ABOUTBOX);
    CDialog plain(IDD_PELDMARK_DIALOG);
    ASSERT_TRUE(plain.Create());
    const std::size_t platformItems = plain.GetSystemMenu(FALSE)->m_items.size();

    RegisterStringResource(IDS_ABOUTBOX, "");
    CPeldmarkDlg dialog;
    const bool created = dialog.Create(IDD_PELDMARK_DIALOG);
    RegisterStringResource(IDS_ABOUTBOX, aboutText);
    ASSERT_TRUE(created);
    EXPECT_EQ(dialog.GetSystemMenu(FALSE)->m_items.size(), platformItems);
}

TEST(ApplicationStartUp, RunsMainWindowModallyAsMainWindowAndReturnsFalse)
{
    ScopedModalUi modal;
    CWnd* mainWindowSeen = nullptr;
    std::string captionSeen;
    modal.ui.onModalDialog = [&](CDialog& dialog) {
        mainWindowSeen = AfxGetMainWnd();
        captionSeen = dialog.GetWindowText();
        EXPECT_EQ(mainWindowSeen, &dialog);
        dialog.SendMessage(WM_COMMAND, IDCANCEL);
    };
    EXPECT_EQ(theApp.InitInstance(), FALSE);
    EXPECT_EQ(modal.ui.modalDialogs, std::vector<UINT>{IDD_PELDMARK_DIALOG});
    EXPECT_NE(mainWindowSeen, nullptr);
    EXPECT_EQ(captionSeen, "Orsane手机通话记录恢复软件");
    EXPECT_EQ(AfxGetMainWnd(), nullptr);
}

// Enter does nothing; Escape, the Exit command and the close box each end the dialog.
TEST(MainWindowKeys, EnterDoesNothingAndEveryCloseRouteEndsWithCancel)
{
    const struct { const char* route; UINT message; WPARAM wParam; } routes[] = {
        {"Escape", WM_COMMAND, IDCANCEL},
        {"退出(&Q)", WM_COMMAND, ID_APP_EXIT_COMMAND},
        {"close box", WM_SYSCOMMAND, SC_CLOSE},
    };
    RegisterPeldmarkResources();
    for (const auto& route : routes) {
        ScopedModalUi modal;
        CPeldmarkDlg dialog;
        bool stillRunningAfterEnter = false;
        modal.ui.onModalDialog = [&](CDialog& running) {
            running.SendMessage(WM_COMMAND, IDOK);
            stillRunningAfterEnter = running.ModalResult() == 0;
            running.SendMessage(route.message, route.wParam);
        };
        EXPECT_EQ(dialog.DoModal(), IDCANCEL) << route.route;
        EXPECT_TRUE(stillRunningAfterEnter) << route.route;
        EXPECT_TRUE(modal.ui.messageBoxes.empty()) << route.route;
    }
}

TEST_F(MainWindowTest, CustomDrawAsksForItemsAndColoursRowsFromFirstRecoveredIndexRed)
{
    COLORREF colour = 0;
    EXPECT_EQ(customDraw(CDDS_PREPAINT, 0, colour), CDRF_NOTIFYITEMDRAW);

    const COLORREF black = 0x000000, red = 0x0000FF;
    const struct { std::int32_t firstRecovered; std::vector<COLORREF> rows; } cases[] = {
        {3, {black, black, black, red, red}},
        {0, {red, red, red, red, red}},
        {5, {black, black, black, black, black}},
    };
    for (const auto& c : cases) {
        CallRecordTable.firstRecoveredIndex = c.firstRecovered;
        for (int row = 0; row < static_cast<int>(c.rows.size()); ++row) {
            EXPECT_EQ(customDraw(CDDS_ITEMPREPAINT, row, colour), CDRF_DODEFAULT);
            EXPECT_EQ(colour, c.rows[row]) << "first " << c.firstRecovered << " row " << row;
        }
    }
    // Other stages leave the colour alone.
    EXPECT_EQ(customDraw(0x00010002 /* CDDS_ITEMPOSTPAINT */, 0, colour), CDRF_DODEFAULT);
    EXPECT_EQ(colour, CLR_DEFAULT);
    CallRecordTable.firstRecoveredIndex = 0;
}

// The view asks the same handler: rows at or past firstRecoveredIndex are painted red.
TEST_F(MainWindowTest, RenderedListShowsRedTextOnlyInRecoveredRows)
{
    fixtures::TempDir folder;
    std::vector<fixtures::AndroidCall> calls;
    for (int i = 0; i < 4; ++i)
        calls.push_back({u8"13800000000", 1577836800000LL + i * 60000LL, 30, 1, u8"张三",
                         u8"北京"});
    fixtures::BuildAndroidDatabase(folder.File("contacts2.db"), fixtures::AndroidLayout::Calls40,
                                   calls);
    openThroughMenu(folder.File("contacts2.db"));
    ASSERT_EQ(rowCount(), 4);
    // As a recovery leaves it: the last two rows are the appended ones.
    CallRecordTable.firstRecoveredIndex = 2;

    auto* window = static_cast<QWidget*>(m_dialog->PeerWidget());
    ASSERT_NE(window, nullptr);
    window->show();
    QCoreApplication::processEvents();   // the view takes the appended rows in batches
    auto* view = window->findChild<QTableView*>();
    ASSERT_NE(view, nullptr);
    const QImage image = view->viewport()->grab().toImage();
    auto redPixelsIn = [&](int row) {
        const QRect band = view->visualRect(view->model()->index(row, 5));
        int count = 0;
        for (int y = band.top(); y <= band.bottom(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                const QColor pixel = image.pixelColor(x, y);
                count += pixel.red() > 160 && pixel.green() < 90 && pixel.blue() < 90;
            }
        return count;
    };
    EXPECT_EQ(redPixelsIn(0), 0);
    EXPECT_EQ(redPixelsIn(1), 0);
    EXPECT_GT(redPixelsIn(2), 0);
    EXPECT_GT(redPixelsIn(3), 0);
}

TEST(MinimisedIcon, IsCentredWithDivisionTruncatingTowardZero)
{
    const struct { int client, icon, origin; } cases[] = {
        {37, 32, 3}, {36, 32, 2}, {20, 32, -5}, {32, 32, 0}, {0, 32, -15},
    };
    for (const auto& c : cases)
        EXPECT_EQ(centredIconOrigin(c.client, c.icon), c.origin) << c.client;
}

TEST_F(MainWindowTest, AboutBoxFromMenuAndSystemMenuEndsByOkOrEscape)
{
    // How the box is closed: OK (the button or Enter), Escape, or its close box.
    struct CloseRoute { UINT message; WPARAM wParam; };
    const CloseRoute ok = {WM_COMMAND, IDOK}, escape = {WM_COMMAND, IDCANCEL},
                     closeBox = {WM_SYSCOMMAND, SC_CLOSE};
    const struct {
        const char* route; UINT message; WPARAM wParam; CloseRoute close; int result;
    } cases[] = {
        {"menu, OK", WM_COMMAND, ID_APP_ABOUT, ok, IDOK},
        {"menu, Escape", WM_COMMAND, ID_APP_ABOUT, escape, IDCANCEL},
        {"menu, close box", WM_COMMAND, ID_APP_ABOUT, closeBox, IDCANCEL},
        {"system menu, OK", WM_SYSCOMMAND, IDM_ABOUTBOX, ok, IDOK},
        {"system menu, low bits set", WM_SYSCOMMAND, IDM_ABOUTBOX | 0x3, escape, IDCANCEL},
    };
    for (const auto& c : cases) {
        m_modal.ui.modalDialogs.clear();
        int result = 0;
        std::string caption;
        m_modal.ui.onModalDialog = [&](CDialog& about) {
            caption = about.GetWindowText();
            about.SendMessage(c.close.message, c.close.wParam);
            result = about.ModalResult();
        };
        m_dialog->SendMessage(c.message, c.wParam);
        EXPECT_EQ(m_modal.ui.modalDialogs, std::vector<UINT>{IDD_ABOUTBOX}) << c.route;
        EXPECT_EQ(caption, "关于") << c.route;
        EXPECT_EQ(result, c.result) << c.route;
        EXPECT_EQ(m_dialog->ModalResult(), 0) << c.route;
        EXPECT_EQ(title(), "Orsane手机通话记录恢复软件");
    }
    EXPECT_TRUE(m_modal.ui.messageBoxes.empty());
}

}  // namespace
