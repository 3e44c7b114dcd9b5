// The ModalUi that shows real windows: QMessageBox, QFileDialog, QDesktopServices and a
// QEventLoop per modal dialog (nested loops for a dialog opened from a dialog).
#include <QDesktopServices>
#include <QEventLoop>
#include <QFileDialog>
#include <QMessageBox>
#include <QUrl>

#include "platform/testing.h"
#include "platform/ui/peer.h"

namespace {

// An empty title is not shown empty: Qt puts the application's name in it, and so do
// window managers. A zero width space is a title that draws nothing.
const char16_t kInvisibleCaption[] = u"\u200B";

const char* const kPathCharactersLacking = "所选路径中有本程序无法处理的字符：";
const char* const kPathShownAs = "（下面的路径中显示为“?”）。\n";
const char* const kOpenACopyInstead =
    "请把文件复制一份，放在名称中没有这些字符的文件夹里、起一个没有这些字符的文件名，"
    "再打开这份副本。";
const char* const kChooseAnotherName = "请另选名称中没有这些字符的文件夹和文件名。";
const char* const kCharacterListSeparator = "、";

QWidget* WindowOf(CWnd* wnd)
{
    auto* peer = wnd != nullptr ? static_cast<QWidget*>(wnd->PeerWidget()) : nullptr;
    return peer != nullptr ? peer->window() : nullptr;
}

// "U+00F6、U+1F600": each character as its code point, since code page 936, the code
// page of every text the program shows, cannot hold the characters themselves.
std::string CodePointList(const std::vector<char32_t>& characters)
{
    std::string list;
    for (const char32_t c : characters) {
        if (!list.empty())
            list += kCharacterListSeparator;
        list += FromQString(QStringLiteral("U+%1").arg(static_cast<uint>(c), 4, 16,
                                                       QLatin1Char('0')).toUpper());
    }
    return list;
}

// The program keeps paths in code page 936: a chosen path with characters it lacks
// would come back with '?' in their place, naming a file that does not exist (or
// another one). The user is told which characters, and the dialog counts as cancelled.
void RefuseUnrepresentablePath(const QString& path, const std::vector<char32_t>& lacking,
                               bool open)
{
    const std::string text = kPathCharactersLacking + CodePointList(lacking) + kPathShownAs +
                             FromQString(path) + "\n" +
                             (open ? kOpenACopyInstead : kChooseAnotherName);
    CurrentModalUi().ShowMessageBox(AfxGetMainWnd(), text, AfxGetAppName(), MB_OK);
}

}  // namespace

QStringList FileDialogNameFilters(const std::string& filter)
{
    const QStringList parts = ToQString(filter).split(QLatin1Char('|'));
    QStringList filters;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        if (parts[i].isEmpty())
            break;
        QString patterns = parts[i + 1];
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        const QString& title = parts[i];
        if (title.contains(QLatin1Char('(')))
            filters << title;
        else
            filters << title + QStringLiteral(" (") + patterns + QLatin1Char(')');
    }
    return filters;
}

namespace {

class QtModalUiImpl : public ModalUi
{
public:
    // MB_OK: Escape and the close box answer OK, the only button. MB_OKCANCEL: they
    // answer Cancel, which QMessageBox takes as its escape button.
    int ShowMessageBox(CWnd* owner, const std::string& text, const std::string& caption,
                       UINT type) override
    {
        EnsureQtApplication();
        const bool withCancel = (type & MB_TYPEMASK) == MB_OKCANCEL;
        const QMessageBox::StandardButtons buttons =
            withCancel ? QMessageBox::Ok | QMessageBox::Cancel : QMessageBox::Ok;
        const QString title = caption.empty() ? QString::fromUtf16(kInvisibleCaption)
                                              : ToQString(caption);
        QMessageBox box(QMessageBox::NoIcon, title, ToQString(text), buttons, WindowOf(owner));
        box.setTextFormat(Qt::PlainText);
        box.setEscapeButton(withCancel ? QMessageBox::Cancel : QMessageBox::Ok);
        return box.exec() == QMessageBox::Ok || !withCancel ? IDOK : IDCANCEL;
    }

    std::optional<std::string> RunFileDialog(const CFileDialog& dialog) override
    {
        EnsureQtApplication();
        QFileDialog chooser(WindowOf(AfxGetMainWnd()));
        // Qt's own dialog, never the desktop's (GTK's, or one through the desktop portal):
        // those keep a list of recently used files, and show no Qt texts in Chinese.
        chooser.setOption(QFileDialog::DontUseNativeDialog);
        const bool open = dialog.m_bOpenFileDialog != FALSE;
        chooser.setAcceptMode(open ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
        chooser.setFileMode(open ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
        chooser.setNameFilters(FileDialogNameFilters(dialog.m_filter));
        chooser.setOption(QFileDialog::DontConfirmOverwrite,
                          open || (dialog.m_flags & OFN_OVERWRITEPROMPT) == 0);
        if (!dialog.m_defaultExt.empty())
            chooser.setDefaultSuffix(ToQString(dialog.m_defaultExt));
        if (!dialog.m_fileName.empty())
            chooser.selectFile(ToQString(dialog.m_fileName));
        if (chooser.exec() != QDialog::Accepted || chooser.selectedFiles().isEmpty())
            return std::nullopt;
        const QString chosen = chooser.selectedFiles().front();
        const std::vector<char32_t> lacking = CharactersCodePage936Lacks(chosen);
        if (!lacking.empty()) {
            RefuseUnrepresentablePath(chosen, lacking, open);
            return std::nullopt;
        }
        return FromQString(chosen);
    }

    // The browser shows the page as it shows any; the show command has no Qt counterpart.
    INT_PTR ShellExecute(const std::string& verb, const std::string& file,
                         int /*showCommand*/) override
    {
        if (!verb.empty() && verb != "open")
            return SE_ERR_NOASSOC;
        EnsureQtApplication();
        const QUrl address = QUrl::fromUserInput(ToQString(file));
        return address.isValid() && QDesktopServices::openUrl(address) ? kShellExecuteSucceeded
                                                                       : SE_ERR_NOASSOC;
    }

    void RunModalLoop(CDialog& dialog) override
    {
        auto* window = static_cast<QWidget*>(dialog.PeerWidget());
        if (window == nullptr || !dialog.IsModalLoopRunning())
            return;
        QEventLoop loop;
        WndAccess::Impl& state = WndAccess::Of(dialog);
        state.quitModalLoop = [&loop] { loop.exit(); };
        // A window destroyed by other means than EndDialog ends the loop too.
        QObject::connect(window, &QObject::destroyed, &loop, &QEventLoop::quit);
        window->setWindowModality(Qt::ApplicationModal);
        window->show();
        window->raise();
        window->activateWindow();
        if (dialog.IsModalLoopRunning() && dialog.PeerWidget() != nullptr)
            loop.exec(QEventLoop::DialogExec);
        state.quitModalLoop = nullptr;
    }
};

}  // namespace

ModalUi& QtModalUi()
{
    static QtModalUiImpl ui;
    return ui;
}
