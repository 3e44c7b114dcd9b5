// The test seam for modal UI. Everything modal goes through one object, ModalUi: message
// boxes, the file dialog, ShellExecuteA, and the modal loop of a dialog. Production code
// never asks whether it is under test; a test swaps the object with SetModalUi (the
// tests' own scripted object is in tests/support).
#pragma once

#include <optional>
#include <string>

#include "platform/ui/wnd.h"

class ModalUi
{
public:
    virtual ~ModalUi() = default;
    // text and caption are code page 936; caption is already resolved (the application's
    // name when the caller gave none; an empty caption is an empty title on screen).
    // Returns the button pressed: IDOK, or for MB_OKCANCEL IDCANCEL when the user
    // cancelled (Cancel, Escape, the close box).
    virtual int ShowMessageBox(CWnd* owner, const std::string& text,
                               const std::string& caption, UINT type) = 0;
    // Returns the chosen path (code page 936), or nothing for Cancel. A path with
    // characters code page 936 lacks is refused in a message box (through this seam,
    // owned by the main window) and counts as Cancel.
    virtual std::optional<std::string> RunFileDialog(const CFileDialog& dialog) = 0;
    // showCommand: how the program asked the window to be shown (SW_SHOWNORMAL).
    virtual INT_PTR ShellExecute(const std::string& verb, const std::string& file,
                                 int showCommand) = 0;
    // Runs the modal loop of a dialog whose window exists, until EndDialog.
    virtual void RunModalLoop(CDialog& dialog) = 0;
};

// The object in use; the Qt one unless a test set another.
ModalUi& CurrentModalUi();
// The Qt one, which shows real windows; a test's object may hand calls on to it.
ModalUi& QtModalUi();
// Sets the object in use (null: back to the Qt one); returns the previous one.
ModalUi* SetModalUi(ModalUi* ui);
