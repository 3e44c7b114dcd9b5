// The main window as a test drives it: resources registered, an empty table, the dialog
// created (no modal loop) as the application's main window, and the modal UI scripted.
// Helpers send what a user's actions send: menu commands, keys, list custom draw.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/peldmark_dlg.h"
#include "tests/support/scripted_modal_ui.h"

class MainWindowTest : public ::testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;

    void command(UINT id);
    // Chooses `path` in the next open dialog and sends the Open command.
    void openThroughMenu(const std::string& path);
    std::vector<std::string> row(int item);
    int rowCount() { return m_dialog->m_listCalls.GetItemCount(); }
    std::string statusLine();
    std::string title() { return m_dialog->GetWindowText(); }
    // Sends NM_CUSTOMDRAW from the list at `stage` for `item`; returns the handler's
    // result and leaves the record's text colour in `textColor`.
    LRESULT customDraw(DWORD stage, int item, COLORREF& textColor);
    std::vector<std::string> messageTexts() const;

    ScopedModalUi m_modal;
    std::unique_ptr<CPeldmarkDlg> m_dialog;
};
