// The two web addresses, from the site address the build was configured with.
#include "app/site_pages.h"

#include "platform/ui/wnd.h"

#ifndef PELDMARK_SITE_URL
#error "PELDMARK_SITE_URL must name the maker's web site (a CMake cache variable)"
#endif

std::string homePageAddress()
{
    return PELDMARK_SITE_URL;
}

std::string usagePageAddress()
{
    // A site configured with a trailing '/' must not give "//call.htm".
    std::string root = homePageAddress();
    while (!root.empty() && root.back() == '/')
        root.pop_back();
    return root + "/call.htm";
}

void openWebPage(const std::string& address)
{
    ShellExecuteA(nullptr, "open", address.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}
