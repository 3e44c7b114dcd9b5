// The program as a user runs it, Qt's real windows included, under a private and empty
// HOME and XDG_CONFIG_HOME: Open (a real file dialog, accepted), Recover, Export and Exit
// through the menu bar write nothing there, and nothing beside the database: the export
// is the only file written. Its own executable: the QApplication is made once per
// process, and Qt finds its settings folder when it is made.
#include <QApplication>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "app/peldmark_app.h"
#include "platform/ui/winapp.h"
#include "tests/support/fixtures.h"

namespace {

constexpr int kRobotTickMs = 10;
constexpr qint64 kGiveUpMs = 60000;   // a window the robot cannot handle

// Plays the user: triggers menu items of the main window in turn, types the step's
// path into each file dialog, and answers every message box with OK (recording its
// text). Each tick handles the window in front, the innermost modal one.
class Robot
{
public:
    struct Step { QString menuItem; QString path; };   // path: for the step's file dialog
    explicit Robot(std::vector<Step> steps) : m_steps(std::move(steps)) { m_clock.start(); }

    void tick()
    {
        QWidget* front = QApplication::activeModalWidget();
        if (m_clock.elapsed() > kGiveUpMs)
            return giveUp(front);
        if (auto* dialog = qobject_cast<QFileDialog*>(front)) {
            dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(m_path);
            static_cast<QDialog*>(dialog)->accept();
        } else if (auto* box = qobject_cast<QMessageBox*>(front)) {
            boxes.push_back(box->text());
            box->button(QMessageBox::Ok)->click();
        } else if (front != nullptr && !m_inCommand && m_next < m_steps.size()) {
            const Step& step = m_steps[m_next++];
            m_path = step.path;
            QAction* item = menuItem(front, step.menuItem);
            if (item == nullptr)
                return giveUp(front);
            // Run from the event loop, not inside this tick: a timer does not fire again
            // while its handler runs, and the command's dialogs need the ticks.
            m_inCommand = true;
            QTimer::singleShot(0, item, [this, item] {
                item->trigger();
                m_inCommand = false;
            });
        }
    }

    std::vector<QString> boxes;
    bool gaveUp = false;

private:
    static QAction* menuItem(QWidget* window, const QString& text)
    {
        for (QMenu* menu : window->findChildren<QMenu*>())
            for (QAction* action : menu->actions())
                if (action->text() == text)
                    return action;
        return nullptr;
    }
    // Closes whatever is in front, down to the main window, so the test ends and fails.
    void giveUp(QWidget* front)
    {
        gaveUp = true;
        if (auto* dialog = qobject_cast<QDialog*>(front))
            dialog->reject();
        else if (CWnd* main = AfxGetMainWnd())
            main->SendMessage(WM_COMMAND, IDCANCEL);
    }

    std::vector<Step> m_steps;
    std::size_t m_next = 0;
    QString m_path;
    bool m_inCommand = false;
    QElapsedTimer m_clock;
};

TEST(NoSettings, OpenRecoverExportAndExitWriteNothingButTheExport)
{
    ASSERT_EQ(QCoreApplication::instance(), nullptr) << "needs a process of its own";
    ASSERT_EQ(AfxGetApp(), &theApp);   // the program's own application object
    fixtures::TempDir home, config, evidence, exports;
    setenv("HOME", home.Path().c_str(), 1);
    setenv("XDG_CONFIG_HOME", config.Path().c_str(), 1);
    for (const char* elsewhere : { "XDG_CACHE_HOME", "XDG_DATA_HOME", "XDG_STATE_HOME" })
        unsetenv(elsewhere);   // their defaults lie in HOME, which is watched

    std::vector<fixtures::AndroidCall> calls = {
        {u8"13800000001", 1577836800000LL, 5, 1, u8"李雷", u8"北京"},
        {u8"13800000002", 1577840400000LL, 7, 2, u8"删除甲", u8"上海"},
        {u8"13800000003", 1577844000000LL, 9, 3, u8"韩梅梅", u8"广州"},
    };
    calls[1].deleted = true;
    const std::string database = evidence.File("contacts2.db");
    fixtures::BuildAndroidDatabase(database, fixtures::AndroidLayout::Calls40, calls);
    const std::string databaseBytes = fixtures::ReadFileBytes(database);
    const std::string target = exports.File(u8"通话记录.csv");

    Robot robot({
        { QStringLiteral("打开通话记录数据库文件(&O)"), QString::fromStdString(database) },
        { QStringLiteral("恢复已删除的通话记录(&R)"), QString() },
        { QStringLiteral("导出通话记录(&E)"), QString::fromStdString(target) },
        { QStringLiteral("退出(&Q)"), QString() },
    });
    // The robot starts with the QApplication, which AfxWinMain makes as the program does.
    static Robot* s_robot = &robot;
    qAddPreRoutine([] {
        auto* ticks = new QTimer(qApp);
        QObject::connect(ticks, &QTimer::timeout, [] { s_robot->tick(); });
        ticks->start(kRobotTickMs);
    });
    char programName[] = "Peldmark";
    char* argv[] = { programName, nullptr };
    EXPECT_EQ(AfxWinMain(1, argv), 0);

    EXPECT_FALSE(robot.gaveUp);
    ASSERT_GE(robot.boxes.size(), 2u);
    EXPECT_TRUE(robot.boxes[robot.boxes.size() - 2].startsWith(QStringLiteral("扫描恢复完成！")));
    EXPECT_EQ(robot.boxes.back(), QStringLiteral("导出完成，共导出3条通话记录。"));
    EXPECT_TRUE(fixtures::FileExists(target));
    EXPECT_EQ(fixtures::FolderEntries(home.Path()), std::vector<std::string>{});
    EXPECT_EQ(fixtures::FolderEntries(config.Path()), std::vector<std::string>{});
    EXPECT_EQ(fixtures::FolderEntries(evidence.Path()), std::vector<std::string>{"contacts2.db"});
    EXPECT_EQ(fixtures::ReadFileBytes(database), databaseBytes);
}

}  // namespace
