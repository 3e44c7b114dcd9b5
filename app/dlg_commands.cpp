// The menu commands that hand the work to others: Recover (the scanner's count pass,
// then its fill pass), the two web pages of the maker's site, and the About box.
#include "app/peldmark_dlg.h"

#include <cstdint>
#include <string>

#include "app/about_dlg.h"
#include "app/site_pages.h"
#include "platform/crt.h"
#include "reader/call_record.h"
#include "recovery/scanner.h"

namespace {

const char* const kRecoverNeedsFile = "您需要先打开通话记录数据库文件后才可以执行恢复操作。";

}  // namespace

void CPeldmarkDlg::OnRecoverDeleted()
{
    _tzset();   // this command's call times are in the zone as it is now
    if (OpenFilePath.empty()) {
        MessageBox(kRecoverNeedsFile);
        return;
    }
    // The scanner's protocol: with 0 it counts the candidates it accepts and stores the
    // number; with a number above 0 it decodes that many and merges them. So the second
    // call is the fill pass, or one more count pass when the first found nothing.
    std::int32_t counter = 0;
    ScanDeletedRecords(counter, this, OpenFilePath);
    ScanDeletedRecords(counter, this, OpenFilePath);
}

void CPeldmarkDlg::OnOpenHomePage()
{
    openWebPage(homePageAddress());
}

void CPeldmarkDlg::OnOpenUsagePage()
{
    openWebPage(usagePageAddress());
}

void CPeldmarkDlg::OnAppAbout()
{
    CAboutDlg about;
    about.DoModal();
}
