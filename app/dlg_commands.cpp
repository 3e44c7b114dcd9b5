// The menu commands that hand the work to others: Recover (one raw read of the open
// file, the scanner's count pass and its fill pass over it), the two web pages of the
// maker's site, and the About box.
#include "app/peldmark_dlg.h"

#include <cstdint>
#include <string>

#include "app/about_dlg.h"
#include "app/site_pages.h"
#include "platform/crt.h"
#include "reader/call_record.h"
#include "recovery/raw_file.h"
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
    // call is the fill pass, or one more count pass when the first found nothing. Both
    // walk one read of the file: a file cut or rewritten meanwhile cannot make the fill
    // pass find less than the count pass promised.
    const RawFileBytes file(OpenFilePath);
    std::int32_t counter = 0;
    ScanDeletedRecords(counter, this, file);
    ScanDeletedRecords(counter, this, file);
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
