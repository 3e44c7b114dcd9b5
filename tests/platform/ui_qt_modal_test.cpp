// The Qt side of the modal-UI seam, driven on the offscreen platform: the message box,
// the open and save file dialogs (filters, overwrite question, code page 936 paths),
// the refusal of verbs other than "open", and F1 reaching the application's help.
#include <functional>

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QFileDialog>
#include <QMessageBox>
#include <QTimer>

#include <gtest/gtest.h>

#include "platform/testing.h"
#include "platform/ui/peer.h"
#include "platform/ui/winapp.h"

namespace {

// Runs `inspect` on the active modal window once the next modal loop is up.
template <typename Window>
void WhenModal(const std::function<void(Window*)>& inspect)
{
    QTimer::singleShot(0, [inspect] {
        auto* window = qobject_cast<Window*>(QApplication::activeModalWidget());
        ASSERT_NE(window, nullptr);
        inspect(window);
    });
}

TEST(FileDialogFilters, WindowsFiltersBecomeQtNameFilters)
{
    const struct { const char* filter; QStringList expected; } cases[] = {
        { "CSV 文件 (*.csv)|*.csv||", { QStringLiteral("CSV 文件 (*.csv)") } },
        { "通话记录|*.db;*.storedata|全部|*.*||",
          { QStringLiteral("通话记录 (*.db *.storedata)"), QStringLiteral("全部 (*.*)") } },
        { "", {} },
        { "Title only", {} },
    };
    for (const auto& c : cases)
        EXPECT_EQ(FileDialogNameFilters(c.filter), c.expected) << c.filter;
}

TEST(QtModalUi, MessageBoxShowsTextAndCaptionWithOnlyOk)
{
    EnsureQtApplication();
    QString title, text;
    QMessageBox::Icon icon = QMessageBox::Warning;
    WhenModal<QMessageBox>([&](QMessageBox* box) {
        title = box->windowTitle();
        text = box->text();
        icon = box->icon();
        EXPECT_EQ(box->standardButtons(), QMessageBox::Ok);
        box->button(QMessageBox::Ok)->click();
    });
    CWnd owner;
    EXPECT_EQ(owner.MessageBox("扫描恢复完成！", nullptr), IDOK);
    EXPECT_EQ(title, QString::fromStdString(AfxGetAppName()));
    EXPECT_EQ(text, QStringLiteral("扫描恢复完成！"));
    EXPECT_EQ(icon, QMessageBox::NoIcon);
}

// An OK/Cancel box answers Cancel to every way out but OK itself; a box with OK alone
// answers OK even to Escape and the close box.
TEST(QtModalUi, OkCancelBoxAnswersCancelToEscapeAndTheCloseBox)
{
    EnsureQtApplication();
    enum class Way { Ok, Cancel, Escape, Close };
    const struct { UINT type; Way way; int expected; } cases[] = {
        { MB_OKCANCEL, Way::Ok, IDOK },     { MB_OKCANCEL, Way::Cancel, IDCANCEL },
        { MB_OKCANCEL, Way::Escape, IDCANCEL }, { MB_OKCANCEL, Way::Close, IDCANCEL },
        { MB_OK, Way::Escape, IDOK },       { MB_OK, Way::Close, IDOK },
    };
    for (const auto& c : cases) {
        WhenModal<QMessageBox>([&](QMessageBox* box) {
            EXPECT_EQ(box->standardButtons(), c.type == MB_OKCANCEL
                                                  ? QMessageBox::Ok | QMessageBox::Cancel
                                                  : QMessageBox::StandardButtons(QMessageBox::Ok));
            if (c.way == Way::Ok || c.way == Way::Cancel) {
                box->button(c.way == Way::Ok ? QMessageBox::Ok : QMessageBox::Cancel)->click();
            } else if (c.way == Way::Escape) {
                QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
                QApplication::sendEvent(box, &escape);
            } else {
                box->close();
            }
        });
        CWnd owner;
        EXPECT_EQ(owner.MessageBox("李雷", nullptr, c.type), c.expected)
            << "type " << c.type << ", way " << static_cast<int>(c.way);
    }
}

TEST(QtModalUi, SaveDialogAsksBeforeReplacingAndReturnsACodePage936Path)
{
    EnsureQtApplication();
    const QString chosen = QDir::temp().filePath(QStringLiteral("导出.csv"));
    QFile::remove(chosen);   // an existing file would bring up the overwrite question
    WhenModal<QFileDialog>([&](QFileDialog* dialog) {
        EXPECT_EQ(dialog->acceptMode(), QFileDialog::AcceptSave);
        EXPECT_FALSE(dialog->testOption(QFileDialog::DontConfirmOverwrite));
        EXPECT_EQ(dialog->nameFilters(), QStringList{ QStringLiteral("CSV 文件 (*.csv)") });
        EXPECT_EQ(dialog->defaultSuffix(), QStringLiteral("csv"));
        dialog->selectFile(chosen);
        static_cast<QDialog*>(dialog)->accept();   // public in QDialog
    });
    CFileDialog save(FALSE, "csv", "通话记录.csv", OFN_OVERWRITEPROMPT, "CSV 文件 (*.csv)|*.csv||");
    ASSERT_EQ(save.DoModal(), IDOK);
    EXPECT_EQ(save.GetPathName(), FromQString(chosen));
    EXPECT_EQ(save.GetPathName().substr(save.GetPathName().size() - 8), "导出.csv");

    WhenModal<QFileDialog>([](QFileDialog* dialog) {
        EXPECT_EQ(dialog->acceptMode(), QFileDialog::AcceptOpen);
        EXPECT_EQ(dialog->fileMode(), QFileDialog::ExistingFile);
        dialog->reject();
    });
    CFileDialog open(TRUE, nullptr, nullptr, OFN_HIDEREADONLY, "通话记录|*.db||");
    EXPECT_EQ(open.DoModal(), IDCANCEL);
    EXPECT_EQ(open.GetPathName(), "");
}

TEST(QtModalUi, OnlyTheOpenVerbIsCarriedOut)
{
    EXPECT_LE(ShellExecuteA(nullptr, "print", "http://peldmark.example", nullptr, nullptr,
                            SW_SHOWNORMAL), 32);
}

class HelpApp : public CWinApp
{
public:
    int helpShown = 0;
    void ShowHelp() override { ++helpShown; }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(HelpApp, CWinApp)
    ON_COMMAND(ID_HELP, &CWinApp::OnHelp)
END_MESSAGE_MAP()

TEST(QtModalUi, F1InADialogReachesTheApplicationsHelp)
{
    RegisterDialogResource({ 9300, WS_POPUP | WS_CAPTION | WS_SYSMENU, 0, 0, 0, 100, 50, "帮助",
                             "MS Shell Dlg", 9, 0, {} });
    HelpApp app;
    ScopedModalUi modal;
    CDialog dialog(9300);
    ASSERT_TRUE(dialog.Create());
    QKeyEvent press(QEvent::KeyPress, Qt::Key_F1, Qt::NoModifier);
    QApplication::sendEvent(static_cast<QWidget*>(dialog.PeerWidget()), &press);
    EXPECT_EQ(app.helpShown, 1);
    EXPECT_NE(dialog.m_hWnd, nullptr);
}

}  // namespace
