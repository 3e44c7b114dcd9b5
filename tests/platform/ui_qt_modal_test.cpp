// The Qt side of the modal-UI seam, driven on the offscreen platform: the message box
// (captions as shown, an empty one included), the open and save file dialogs (filters,
// overwrite question, code page 936 paths, paths it cannot hold), Qt's own texts in
// Chinese, the refusal of verbs other than "open", and F1 reaching the application's help.
#include <functional>

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QWindow>

#include <gtest/gtest.h>

#include "tests/support/scripted_modal_ui.h"
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

// Types `path` as the file name and accepts, as a user does.
void ChooseInDialog(QFileDialog* dialog, const QString& path)
{
    auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    ASSERT_NE(name, nullptr);
    name->setText(path);
    static_cast<QDialog*>(dialog)->accept();   // public in QDialog
}

QStringList ButtonTexts(const QWidget* window)
{
    QStringList texts;
    for (const QAbstractButton* button : window->findChildren<QAbstractButton*>())
        if (!button->text().isEmpty())
            texts << button->text();
    return texts;
}

// What the title bar shows: no caption of its own is the application's name; the empty
// caption is a title that draws nothing, yet not empty, since Qt and window managers
// would put the application's name in an empty one.
TEST(QtModalUi, MessageBoxShowsTextAndCaptionWithOnlyOk)
{
    EnsureQtApplication();
    const QString appName = QString::fromStdString(AfxGetAppName());
    const struct { const char* caption; QString shown; bool invisible; } cases[] = {
        { nullptr, appName, false },
        { "提示", QStringLiteral("提示"), false },
        { "", QString(QChar(0x200B)), true },
    };
    for (const auto& c : cases) {
        QString title, handleTitle, text;
        int titleWidth = -1;
        QMessageBox::Icon icon = QMessageBox::Warning;
        WhenModal<QMessageBox>([&](QMessageBox* box) {
            title = box->windowTitle();
            handleTitle = box->windowHandle()->title();
            titleWidth = QFontMetrics(box->font()).horizontalAdvance(title);
            text = box->text();
            icon = box->icon();
            EXPECT_EQ(box->standardButtons(), QMessageBox::Ok);
            box->button(QMessageBox::Ok)->click();
        });
        CWnd owner;
        EXPECT_EQ(owner.MessageBox("扫描恢复完成！", c.caption), IDOK);
        EXPECT_EQ(title, c.shown);
        EXPECT_EQ(handleTitle, c.shown);
        EXPECT_FALSE(title.isEmpty());
        EXPECT_EQ(titleWidth == 0, c.invisible) << title.toStdString();
        EXPECT_EQ(text, QStringLiteral("扫描恢复完成！"));
        EXPECT_EQ(icon, QMessageBox::NoIcon);
    }
}

// Qt's own texts come from its Chinese translation, as on a Chinese system.
TEST(QtModalUi, QtsOwnTextsAreChinese)
{
    EnsureQtApplication();
    QStringList boxButtons, openTexts;
    QString openTitle;
    WhenModal<QMessageBox>([&](QMessageBox* box) {
        boxButtons = ButtonTexts(box);
        box->button(QMessageBox::Ok)->click();
    });
    CWnd owner;
    owner.MessageBox("李雷", nullptr, MB_OKCANCEL);
    boxButtons.sort();
    EXPECT_EQ(boxButtons, (QStringList{ QStringLiteral("取消"), QStringLiteral("确定") }));

    WhenModal<QFileDialog>([&](QFileDialog* dialog) {
        openTitle = dialog->windowTitle();
        openTexts = ButtonTexts(dialog);
        for (const QLabel* label : dialog->findChildren<QLabel*>())
            openTexts << label->text();
        dialog->reject();
    });
    CFileDialog open(TRUE, nullptr, nullptr, OFN_HIDEREADONLY, "通讯录文件 (*.*)|*.*||");
    EXPECT_EQ(open.DoModal(), IDCANCEL);
    EXPECT_EQ(openTitle, QStringLiteral("打开"));
    for (const char16_t* text : { u"打开(&O)", u"取消", u"查找范围：", u"文件名称(&N)：",
                                  u"文件类型：" })
        EXPECT_TRUE(openTexts.contains(QString::fromUtf16(text))) << openTexts.join(u'|').toStdString();
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

// Replacing a file: the question is Chinese; 否 goes back to the dialog, 是 returns that
// file.
TEST(QtModalUi, SaveDialogOverAnExistingFileAsksInChineseAndReturnsThatFile)
{
    EnsureQtApplication();
    QTemporaryDir folder;
    const QString existing = folder.filePath(QStringLiteral("通话记录.csv"));
    QFile file(existing);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    for (const bool replace : { false, true }) {
        QString question, title;
        QStringList answers;
        WhenModal<QFileDialog>([&](QFileDialog* dialog) {
            title = dialog->windowTitle();
            WhenModal<QMessageBox>([&, dialog](QMessageBox* box) {
                question = box->text();
                answers = ButtonTexts(box);
                box->button(replace ? QMessageBox::Yes : QMessageBox::No)->click();
                if (!replace)   // back in the dialog, which the user then leaves
                    QTimer::singleShot(0, dialog, &QDialog::reject);
            });
            ChooseInDialog(dialog, existing);
        });
        CFileDialog save(FALSE, "csv", "通话记录.csv", OFN_OVERWRITEPROMPT,
                         "CSV 文件 (*.csv)|*.csv||");
        EXPECT_EQ(save.DoModal(), replace ? IDOK : IDCANCEL);
        EXPECT_EQ(save.GetPathName(), replace ? FromQString(existing) : std::string());
        EXPECT_EQ(title, QStringLiteral("另存为"));
        EXPECT_EQ(question, QStringLiteral("通话记录.csv 已存在。\n您想要替换它吗？"));
        EXPECT_EQ(answers, (QStringList{ QStringLiteral("是(&Y)"), QStringLiteral("否(&N)") }));
    }
}

// A chosen path with characters code page 936 lacks (ö, an emoji) cannot be kept: the
// user is told which, the path shows '?' in their place, and the dialog counts as
// cancelled. Chinese characters and the pinyin letters 936 has (ü) pass.
TEST(QtModalUi, PathsCodePage936CannotHoldAreRefusedAsCancel)
{
    EnsureQtApplication();
    QTemporaryDir root;
    const std::string rootPath = FromQString(root.path());
    // Kept out of the assertions: their texts are compiled into code page 936 too.
    const QString folder = QStringLiteral("Jörg/lü证据");
    ASSERT_TRUE(QDir(root.path()).mkpath(folder));
    const QString inFolder = root.filePath(QStringLiteral("Jörg/lü证据/contacts2.db"));
    QFile database(inFolder);
    ASSERT_TRUE(database.open(QIODevice::WriteOnly));
    database.close();
    const std::string openAdvice =
        "请把文件复制一份，放在名称中没有这些字符的文件夹里、起一个没有这些字符的文件名，"
        "再打开这份副本。";
    const struct { BOOL open; QString chosen; std::string text; } cases[] = {
        { TRUE, inFolder,
          "所选路径中有本程序无法处理的字符：U+00F6（下面的路径中显示为“?”）。\n" + rootPath +
              "/J?rg/lü证据/contacts2.db\n" + openAdvice },
        { FALSE, root.filePath(QStringLiteral("Jörg/导出😀ö.csv")),
          "所选路径中有本程序无法处理的字符：U+00F6、U+1F600（下面的路径中显示为“?”）。\n" +
              rootPath +
              "/J?rg/导出??.csv\n请另选名称中没有这些字符的文件夹和文件名。" },
    };
    for (const auto& c : cases) {
        QString text, caption;
        WhenModal<QFileDialog>([&](QFileDialog* dialog) {
            WhenModal<QMessageBox>([&](QMessageBox* box) {
                text = box->text();
                caption = box->windowTitle();
                box->button(QMessageBox::Ok)->click();
            });
            ChooseInDialog(dialog, c.chosen);
        });
        CFileDialog dialog(c.open, nullptr, nullptr, OFN_HIDEREADONLY, "全部|*.*||");
        EXPECT_EQ(dialog.DoModal(), IDCANCEL);
        EXPECT_EQ(dialog.GetPathName(), "");
        EXPECT_EQ(FromQString(text), c.text);
        EXPECT_EQ(caption, QString::fromStdString(AfxGetAppName()));
    }
    const QString saveFolder = root.filePath(QStringLiteral("Jörg"));
    EXPECT_EQ(QDir(saveFolder).entryList(QDir::Files), QStringList());
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
