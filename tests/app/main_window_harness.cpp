// Set-up and helpers of the main-window tests.
#include "main_window_harness.h"

#include "app/peldmark_app.h"
#include "app/resource_ids.h"
#include "app/resources.h"
#include "reader/call_record.h"
#include "recovery/column_schema.h"

void MainWindowTest::SetUp()
{
    RegisterPeldmarkResources();
    CallRecordTable.Reset();
    // Each test starts as the program does: no file chosen yet, no schema captured.
    OpenFilePath.clear();
    ColumnSchema.iphone.count = 0;
    ColumnSchema.android.count = 0;
    m_dialog = std::make_unique<CPeldmarkDlg>();
    theApp.m_pMainWnd = m_dialog.get();
    ASSERT_TRUE(m_dialog->Create(IDD_PELDMARK_DIALOG));
}

void MainWindowTest::TearDown()
{
    theApp.m_pMainWnd = nullptr;
    m_dialog.reset();
}

void MainWindowTest::command(UINT id)
{
    m_dialog->SendMessage(WM_COMMAND, id, 0);
}

void MainWindowTest::openThroughMenu(const std::string& path)
{
    m_modal.ui.fileDialogAnswers.push_back(path);
    command(ID_OPEN_DATABASE);
}

std::vector<std::string> MainWindowTest::row(int item)
{
    std::vector<std::string> texts;
    for (int column = 0; column < kCallListColumnCount; ++column)
        texts.push_back(m_dialog->m_listCalls.GetItemText(item, column));
    return texts;
}

std::string MainWindowTest::statusLine()
{
    CWnd* status = m_dialog->GetDlgItem(IDC_STATUS);
    return status ? status->GetWindowText() : "<no status line>";
}

LRESULT MainWindowTest::customDraw(DWORD stage, int item, COLORREF& textColor)
{
    NMLVCUSTOMDRAW draw{};
    draw.nmcd.hdr.hwndFrom = m_dialog->m_listCalls.GetSafeHwnd();
    draw.nmcd.hdr.idFrom = IDC_LIST_CALLS;
    draw.nmcd.hdr.code = NM_CUSTOMDRAW;
    draw.nmcd.dwDrawStage = stage;
    draw.nmcd.dwItemSpec = static_cast<DWORD_PTR>(item);
    draw.clrText = CLR_DEFAULT;
    const LRESULT result = m_dialog->SendMessage(WM_NOTIFY, IDC_LIST_CALLS,
                                                 reinterpret_cast<LPARAM>(&draw));
    textColor = draw.clrText;
    return result;
}

std::vector<std::string> MainWindowTest::messageTexts() const
{
    std::vector<std::string> texts;
    for (const auto& box : m_modal.ui.messageBoxes)
        texts.push_back(box.text);
    return texts;
}
