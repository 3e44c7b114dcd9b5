// The main window's parts that Qt shows: menu 129 as built on screen (the pull-downs of
// its QMenuBar and their items, text and order, each item reaching its own handler, told
// apart by what that handler alone does through the modal-UI seam), and Qt's real open
// dialog choosing a path code page 936 cannot hold.
#include "main_window_harness.h"

#include "app/resource_ids.h"
#include "reader/call_record.h"
#include "tests/support/fixtures.h"

#include <QAction>
#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QTimer>
#include <QWidget>

#include <filesystem>

#include <string>
#include <vector>

namespace {

class MenuBarTest : public MainWindowTest
{
protected:
    // Triggers the item as a click does and describes what followed.
    std::string effectOf(QAction* item)
    {
        const ScriptedModalUi& seen = m_modal.ui;
        const std::size_t dialogs = seen.fileDialogFilters.size(), boxes = seen.messageBoxes.size(),
                          pages = seen.shellCalls.size(), modals = seen.modalDialogs.size();
        const int resultBefore = m_dialog->ModalResult();
        item->trigger();
        std::string effect;
        for (std::size_t i = dialogs; i < seen.fileDialogFilters.size(); ++i)
            effect += "file dialog " + seen.fileDialogFilters[i] + ";";
        for (std::size_t i = boxes; i < seen.messageBoxes.size(); ++i)
            effect += "box " + seen.messageBoxes[i].text + ";";
        for (std::size_t i = pages; i < seen.shellCalls.size(); ++i)
            effect += "page " + seen.shellCalls[i].file + ";";
        for (std::size_t i = modals; i < seen.modalDialogs.size(); ++i)
            effect += "dialog " + std::to_string(seen.modalDialogs[i]) + ";";
        if (m_dialog->ModalResult() != resultBefore)
            effect += "ended " + std::to_string(m_dialog->ModalResult()) + ";";
        return effect;
    }
};

TEST_F(MenuBarTest, EveryItemInItsPlaceReachesItsOwnHandler)
{
    const std::string site = PELDMARK_SITE_URL;
    const struct { QString menu; std::vector<std::pair<QString, std::string>> items; } expected[] = {
        {QStringLiteral("文件(&F)"),
         {{QStringLiteral("打开通话记录数据库文件(&O)"), "file dialog 通讯录文件 (*.*)|*.*||;"},
          {QStringLiteral("恢复已删除的通话记录(&R)"),
           "box 您需要先打开通话记录数据库文件后才可以执行恢复操作。;"},
          {QStringLiteral("导出通话记录(&E)"),
           "box 您需要先打开通话记录数据库文件后才可以执行导出操作。;"},
          {QStringLiteral("退出(&Q)"), "ended 2;"}}},
        {QStringLiteral("帮助(&H)"),
         {{QStringLiteral("官方网址"), "page " + site + ";"},
          {QStringLiteral("使用说明"), "page " + site + "/call.htm;"},
          {QStringLiteral("关于(&A)"), "dialog 100;"}}},
    };

    auto* bar = static_cast<QWidget*>(m_dialog->PeerWidget())->findChild<QMenuBar*>();
    ASSERT_NE(bar, nullptr);
    const QList<QAction*> pullDowns = bar->actions();
    ASSERT_EQ(pullDowns.size(), 2);
    // Every item is collected first: Exit ends the window, its menu bar with it.
    std::vector<std::pair<QString, std::vector<QAction*>>> shown;
    for (int m = 0; m < pullDowns.size(); ++m) {
        EXPECT_EQ(pullDowns[m]->text(), expected[m].menu);
        ASSERT_NE(pullDowns[m]->menu(), nullptr);
        const QList<QAction*> items = pullDowns[m]->menu()->actions();
        shown.push_back({pullDowns[m]->text(), {items.begin(), items.end()}});
    }
    for (std::size_t m = 0; m < shown.size(); ++m) {
        ASSERT_EQ(shown[m].second.size(), expected[m].items.size()) << "pull-down " << m;
        for (std::size_t i = 0; i < shown[m].second.size(); ++i) {
            QAction* item = shown[m].second[i];
            EXPECT_FALSE(item->isSeparator());
            EXPECT_EQ(item->text(), expected[m].items[i].first) << "pull-down " << m << " item " << i;
            EXPECT_EQ(effectOf(item), expected[m].items[i].second)
                << "pull-down " << m << " item " << i;
        }
    }
}

// Qt's real file dialog; message boxes are recorded as the scripted seam records them.
class RealFileDialogUi : public ScriptedModalUi
{
public:
    std::optional<std::string> RunFileDialog(const CFileDialog& dialog) override
    {
        return QtModalUi().RunFileDialog(dialog);
    }
};

// The refusal comes through the seam, owned by the main window, and the open changes
// nothing: the file open before stays open, with its rows and status line.
TEST_F(MainWindowTest, OpenOfAPathCodePage936CannotHoldChangesNothing)
{
    fixtures::TempDir folder;
    std::vector<fixtures::AndroidCall> calls(2, {u8"13800000001", 1577836800000LL, 5, 1,
                                                 u8"李雷", u8"北京"});
    const std::string database = folder.File("contacts2.db");
    fixtures::BuildAndroidDatabase(database, fixtures::AndroidLayout::Calls40, calls);
    const std::string unrepresentable = folder.File(u8"J\u00F6rg");
    std::filesystem::create_directory(unrepresentable);
    std::filesystem::copy_file(database, unrepresentable + "/contacts2.db");
    openThroughMenu(database);
    ASSERT_EQ(rowCount(), 2);
    const std::string status = statusLine();

    RealFileDialogUi real;
    ModalUi* scripted = SetModalUi(&real);
    const QString chosen = QString::fromStdString(unrepresentable + "/contacts2.db");
    QTimer::singleShot(0, [chosen] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(chosen);
        static_cast<QDialog*>(dialog)->accept();
    });
    command(ID_OPEN_DATABASE);
    SetModalUi(scripted);

    ASSERT_EQ(real.messageBoxes.size(), 1u);
    EXPECT_EQ(real.messageBoxes[0].owner, m_dialog.get());
    EXPECT_EQ(real.messageBoxes[0].caption, AfxGetAppName());
    const std::string named = "所选路径中有本程序无法处理的字符：U+00F6（";
    EXPECT_EQ(real.messageBoxes[0].text.compare(0, named.size(), named), 0)
        << real.messageBoxes[0].text;
    EXPECT_EQ(OpenFilePath, database);
    EXPECT_EQ(rowCount(), 2);
    EXPECT_EQ(statusLine(), status);
}

}  // namespace
