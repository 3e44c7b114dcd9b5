// ScriptedModalUi: the tests' ModalUi, which answers every modal call at once and records
// it; ScopedModalUi installs one for a test's scope.
#pragma once

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/testing.h"

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
