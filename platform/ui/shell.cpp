// The calls that hand modal work to the modal-UI seam: the file dialog and
// ShellExecuteA. The Qt side of each is in qt_modal_ui.cpp.
#include "platform/testing.h"

CFileDialog::CFileDialog(BOOL openFileDialog, const char* defaultExt, const char* fileName,
                         DWORD flags, const char* filter, CWnd* /*parent*/, DWORD /*size*/,
                         BOOL /*vistaStyle*/)
    : m_bOpenFileDialog(openFileDialog),
      m_defaultExt(defaultExt != nullptr ? defaultExt : ""),
      m_fileName(fileName != nullptr ? fileName : ""),
      m_filter(filter != nullptr ? filter : ""),
      m_flags(flags)
{
}

INT_PTR CFileDialog::DoModal()
{
    std::optional<std::string> chosen = CurrentModalUi().RunFileDialog(*this);
    if (!chosen)
        return IDCANCEL;
    m_path = *chosen;
    return IDOK;
}

std::string CFileDialog::GetPathName() const
{
    return m_path;
}

INT_PTR ShellExecuteA(HWND /*owner*/, const char* verb, const char* file,
                      const char* /*parameters*/, const char* /*directory*/, int showCommand)
{
    return CurrentModalUi().ShellExecute(verb != nullptr ? verb : "", file != nullptr ? file : "",
                                         showCommand);
}
