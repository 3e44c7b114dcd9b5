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

QWidget* WindowOf(CWnd* wnd)
{
    auto* peer = wnd != nullptr ? static_cast<QWidget*>(wnd->PeerWidget()) : nullptr;
    return peer != nullptr ? peer->window() : nullptr;
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
        QMessageBox box(QMessageBox::NoIcon, ToQString(caption), ToQString(text), buttons,
                        WindowOf(owner));
        box.setTextFormat(Qt::PlainText);
        box.setEscapeButton(withCancel ? QMessageBox::Cancel : QMessageBox::Ok);
        return box.exec() == QMessageBox::Ok || !withCancel ? IDOK : IDCANCEL;
    }

    std::optional<std::string> RunFileDialog(const CFileDialog& dialog) override
    {
        EnsureQtApplication();
        QFileDialog chooser(WindowOf(AfxGetMainWnd()));
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
        return FromQString(chooser.selectedFiles().front());
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
