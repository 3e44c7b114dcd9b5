// The window layer without windows: message-map dispatch and its base chain, default
// processing, the standard error box for exceptions, message-box captions, the
// application's name and the modal-UI seam.
#include <new>

#include <gtest/gtest.h>

#include "tests/support/scripted_modal_ui.h"
#include "platform/ui/winapp.h"
#include "platform/ui/wnd.h"

namespace {

constexpr UINT kBaseCommand = 100;
constexpr UINT kSharedCommand = 101;
constexpr UINT kThrowingCommand = 102;
constexpr UINT kOutOfMemoryCommand = 103;
constexpr UINT kAppCommand = 104;
constexpr int kListId = 1000;

class BaseWindow : public CWnd
{
public:
    std::vector<std::string> calls;
    void OnBase() { calls.push_back("base"); }
    void OnSharedInBase() { calls.push_back("shared in base"); }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(BaseWindow, CWnd)
    ON_COMMAND(kBaseCommand, &BaseWindow::OnBase)
    ON_COMMAND(kSharedCommand, &BaseWindow::OnSharedInBase)
END_MESSAGE_MAP()

class DerivedWindow : public BaseWindow
{
public:
    UINT lastSysCommand = 0;
    void OnSysCommand(UINT nID, LPARAM lParam)
    {
        lastSysCommand = nID;
        CWnd::OnSysCommand(nID, lParam);
    }
    void OnPaint() { calls.push_back("paint"); }
    HCURSOR OnQueryDragIcon() { return reinterpret_cast<HCURSOR>(this); }

private:
    // Handlers may be private: the table is built inside the class's own member.
    void OnSharedInDerived() { calls.push_back("shared in derived"); }
    void OnThrow() { throw CFileException(CFileException::fileNotFound, 2, "/tmp/gone.db"); }
    void OnOutOfMemory() { throw std::bad_alloc(); }
    void OnNotify(NMHDR* header, LRESULT* result)
    {
        calls.push_back("notify " + std::to_string(header->idFrom));
        *result = CDRF_NOTIFYITEMDRAW;
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(DerivedWindow, BaseWindow)
    ON_WM_SYSCOMMAND()
    ON_WM_PAINT()
    ON_WM_QUERYDRAGICON()
    ON_COMMAND(kSharedCommand, &DerivedWindow::OnSharedInDerived)
    ON_COMMAND(kThrowingCommand, &DerivedWindow::OnThrow)
    ON_COMMAND(kOutOfMemoryCommand, &DerivedWindow::OnOutOfMemory)
    ON_NOTIFY(NM_CUSTOMDRAW, kListId, &DerivedWindow::OnNotify)
END_MESSAGE_MAP()

class TestApp : public CWinApp
{
public:
    int appCommands = 0;
    void OnAppCommand() { ++appCommands; }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(TestApp, CWinApp)
    ON_COMMAND(kAppCommand, &TestApp::OnAppCommand)
END_MESSAGE_MAP()

TEST(MessageMap, DerivedEntriesWinAndBaseEntriesAreFoundThroughTheChain)
{
    DerivedWindow window;
    window.SendMessage(WM_COMMAND, kSharedCommand);
    window.SendMessage(WM_COMMAND, kBaseCommand);
    // The high word (the notification code of a control) does not hide the id.
    window.SendMessage(WM_COMMAND, (1u << 16) | kBaseCommand);
    window.SendMessage(WM_PAINT);
    EXPECT_EQ(window.calls, (std::vector<std::string>{ "shared in derived", "base", "base", "paint" }));
    EXPECT_EQ(window.SendMessage(WM_QUERYDRAGICON), reinterpret_cast<LRESULT>(&window));

    BaseWindow base;
    base.SendMessage(WM_COMMAND, kSharedCommand);
    EXPECT_EQ(base.calls, (std::vector<std::string>{ "shared in base" }));
}

TEST(MessageMap, NotifyMatchesCodeAndControlIdAndReturnsTheResult)
{
    DerivedWindow window;
    struct Case { UINT code; UINT_PTR id; LRESULT expected; size_t calls; };
    const Case cases[] = {
        { NM_CUSTOMDRAW, kListId, CDRF_NOTIFYITEMDRAW, 1 },
        { NM_CUSTOMDRAW, kListId + 1, 0, 1 },        // another control
        { NM_CUSTOMDRAW + 1, kListId, 0, 1 },        // another notification
    };
    for (const Case& c : cases) {
        NMHDR header{ nullptr, c.id, c.code };
        EXPECT_EQ(window.SendMessage(WM_NOTIFY, c.id, reinterpret_cast<LPARAM>(&header)), c.expected);
        EXPECT_EQ(window.calls.size(), c.calls);
    }
}

TEST(MessageMap, UnhandledCommandsGoToTheApplicationObject)
{
    TestApp app;
    DerivedWindow window;
    window.SendMessage(WM_COMMAND, kAppCommand);
    EXPECT_EQ(app.appCommands, 1);
    EXPECT_TRUE(window.calls.empty());
}

TEST(MessageMap, ExceptionsAreReportedInTheStandardErrorBoxAndDispatchGoesOn)
{
    ScopedModalUi modal;
    AfxSetAppName("Peldmark");
    DerivedWindow window;
    EXPECT_EQ(window.SendMessage(WM_COMMAND, kThrowingCommand), 0);
    window.SendMessage(WM_COMMAND, kOutOfMemoryCommand);
    ASSERT_EQ(modal.ui.messageBoxes.size(), 2u);
    const CFileException expected(CFileException::fileNotFound, 2, "/tmp/gone.db");
    EXPECT_EQ(modal.ui.messageBoxes[0].text, expected.ErrorText());
    EXPECT_EQ(modal.ui.messageBoxes[0].caption, "Peldmark");
    EXPECT_EQ(modal.ui.messageBoxes[0].owner, &window);
    EXPECT_EQ(modal.ui.messageBoxes[1].text, CMemoryException().ErrorText());
    window.SendMessage(WM_COMMAND, kBaseCommand);
    EXPECT_EQ(window.calls, (std::vector<std::string>{ "base" }));
}

TEST(MessageMap, SysCommandHandlerSeesTheIdAndDefaultCloseEndsADialog)
{
    DerivedWindow window;
    window.SendMessage(WM_SYSCOMMAND, SC_MOVE);
    EXPECT_EQ(window.lastSysCommand, SC_MOVE);

    CDialog dialog(0);
    dialog.SendMessage(WM_SYSCOMMAND, SC_CLOSE);   // -> WM_CLOSE -> IDCANCEL -> OnCancel
    EXPECT_EQ(dialog.ModalResult(), IDCANCEL);
    dialog.SendMessage(WM_COMMAND, IDOK);
    EXPECT_EQ(dialog.ModalResult(), IDOK);
}

TEST(MessageBoxSeam, CaptionNullIsTheApplicationNameAndEmptyStaysEmpty)
{
    ScopedModalUi modal;
    CWnd window;
    AfxSetAppName("CallViewer");
    window.MessageBox("a");
    window.MessageBox("b", "");
    window.MessageBox("c", "own");
    {
        CWinApp app("FromApp");   // the application object's name comes first
        window.MessageBox("d");
    }
    AfxSetAppName("");
    window.MessageBox("e");       // nothing known: the default name
    const std::vector<std::string> captions{ "CallViewer", "", "own", "FromApp", "Peldmark" };
    ASSERT_EQ(modal.ui.messageBoxes.size(), captions.size());
    for (size_t i = 0; i < captions.size(); ++i) {
        EXPECT_EQ(modal.ui.messageBoxes[i].caption, captions[i]) << i;
        EXPECT_EQ(modal.ui.messageBoxes[i].type, MB_OK);
    }
    EXPECT_EQ(modal.ui.messageBoxes[0].text, "a");
}

TEST(MessageBoxSeam, FileDialogsAndShellCallsAreAnsweredInOrder)
{
    ScopedModalUi modal;
    modal.ui.fileDialogAnswers = { std::string("/tmp/通话.db"), std::nullopt };
    CFileDialog first(TRUE, nullptr, nullptr, OFN_HIDEREADONLY, "DB|*.db||");
    EXPECT_EQ(first.DoModal(), IDOK);
    EXPECT_EQ(first.GetPathName(), "/tmp/通话.db");
    CFileDialog second(FALSE, "csv", "通话记录.csv", OFN_OVERWRITEPROMPT, "CSV|*.csv||");
    EXPECT_EQ(second.DoModal(), IDCANCEL);
    CFileDialog third(TRUE);
    EXPECT_EQ(third.DoModal(), IDCANCEL);   // no answer left
    EXPECT_EQ(modal.ui.fileDialogFilters, (std::vector<std::string>{ "DB|*.db||", "CSV|*.csv||", "" }));

    EXPECT_GT(ShellExecuteA(nullptr, "open", "http://peldmark.example/call.htm", nullptr, nullptr,
                            SW_SHOWNORMAL), 32);
    ASSERT_EQ(modal.ui.shellCalls.size(), 1u);
    EXPECT_EQ(modal.ui.shellCalls[0].verb, "open");
    EXPECT_EQ(modal.ui.shellCalls[0].file, "http://peldmark.example/call.htm");
    EXPECT_EQ(modal.ui.shellCalls[0].showCommand, SW_SHOWNORMAL);
}

TEST(Application, MainWindowAndTextsWithoutAWindow)
{
    EXPECT_EQ(AfxGetMainWnd(), nullptr);
    CWinApp app;
    CWnd main;
    app.m_pMainWnd = &main;
    EXPECT_EQ(AfxGetMainWnd(), &main);
    EXPECT_EQ(AfxGetApp(), &app);
    main.SetWindowText("Orsane手机通话记录恢复软件");
    EXPECT_EQ(main.GetWindowText(), "Orsane手机通话记录恢复软件");
    EXPECT_EQ(main.GetDlgItem(1001), nullptr);
}

}  // namespace
