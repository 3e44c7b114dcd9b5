// The test seam for modal UI. Everything modal goes through one object, ModalUi: message
// boxes, the file dialog, ShellExecuteA, and the modal loop of a dialog. Production code
// never asks whether it is under test; a test swaps the object with SetModalUi.
#pragma once

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

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

// A ModalUi that answers at once and records everything.
class ScriptedModalUi : public ModalUi
{
public:
    struct MessageBoxCall { CWnd* owner; std::string text; std::string caption; UINT type; };
    struct ShellCall { std::string verb; std::string file; int showCommand; };

    std::vector<MessageBoxCall> messageBoxes;
    // The button each message box answers, asked after the box is recorded; IDOK when
    // unset.
    std::function<int(const MessageBoxCall&)> answerMessageBox;
    std::vector<ShellCall> shellCalls;
    // Answers for the next file dialogs, in order: a path, or nullopt for Cancel. With no
    // answer left, the dialog is cancelled.
    std::deque<std::optional<std::string>> fileDialogAnswers;
    std::vector<std::string> fileDialogFilters;   // the filter of every dialog run
    // Called when a dialog's modal loop starts (the window exists and OnInitDialog has
    // run); it must end the dialog, for example with SendMessage(WM_COMMAND, IDOK). When
    // unset, or when it returns with the dialog still running, the dialog is ended with
    // IDCANCEL. A dialog opened from the callback (an About box) calls it again, nested:
    // tell them apart by TemplateId().
    std::function<void(CDialog&)> onModalDialog;
    std::vector<UINT> modalDialogs;               // template id of every dialog run

    int ShowMessageBox(CWnd* owner, const std::string& text, const std::string& caption,
                       UINT type) override;
    std::optional<std::string> RunFileDialog(const CFileDialog& dialog) override;
    INT_PTR ShellExecute(const std::string& verb, const std::string& file,
                         int showCommand) override;
    void RunModalLoop(CDialog& dialog) override;
};

// Installs a ScriptedModalUi for the life of a test scope.
class ScopedModalUi
{
public:
    ScopedModalUi() : m_previous(SetModalUi(&ui)) {}
    ~ScopedModalUi() { SetModalUi(m_previous); }
    ScriptedModalUi ui;
private:
    ModalUi* m_previous;
};
