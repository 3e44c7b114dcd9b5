// The maker's web pages: the site's root address (a build setting, PELDMARK_SITE_URL)
// and its usage page at "/call.htm", shown in the user's default browser.
#pragma once

#include <string>

std::string homePageAddress();
std::string usagePageAddress();

// ShellExecuteA "open" with no owner and SW_SHOWNORMAL. The browser's answer is not
// looked at: a page that cannot be shown is not reported.
void openWebPage(const std::string& address);
