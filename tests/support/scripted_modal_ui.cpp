// The scripted answers of ScriptedModalUi, each call recorded before it is answered.
#include "tests/support/scripted_modal_ui.h"

int ScriptedModalUi::ShowMessageBox(CWnd* owner, const std::string& text,
                                    const std::string& caption, UINT type)
{
    messageBoxes.push_back({ owner, text, caption, type });
    return answerMessageBox ? answerMessageBox(messageBoxes.back()) : IDOK;
}

std::optional<std::string> ScriptedModalUi::RunFileDialog(const CFileDialog& dialog)
{
    fileDialogFilters.push_back(dialog.m_filter);
    if (fileDialogAnswers.empty())
        return std::nullopt;
    std::optional<std::string> answer = fileDialogAnswers.front();
    fileDialogAnswers.pop_front();
    return answer;
}

INT_PTR ScriptedModalUi::ShellExecute(const std::string& verb, const std::string& file,
                                      int showCommand)
{
    shellCalls.push_back({ verb, file, showCommand });
    return kShellExecuteSucceeded;
}

void ScriptedModalUi::RunModalLoop(CDialog& dialog)
{
    modalDialogs.push_back(dialog.TemplateId());
    if (onModalDialog)
        onModalDialog(dialog);
    if (dialog.IsModalLoopRunning())
        dialog.EndDialog(IDCANCEL);
}
