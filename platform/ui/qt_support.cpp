// Where text and fonts cross into Qt: code page 936 <-> UTF-16 through the Windows
// conversion calls, the process's QApplication, and the dialog font.
#include <QApplication>
#include <QFontDatabase>

#include "platform/codepage.h"
#include "platform/ui/peer.h"

namespace {
// A CJK face for dialogs whose template names a face Linux lacks ("MS Shell Dlg").
const char* const kCjkFaces[] = { "WenQuanYi Micro Hei", "Noto Sans CJK SC",
                                  "Droid Sans Fallback" };
const char* const kDefaultArgv0 = "Peldmark";
int g_argc = 0;
char** g_argv = nullptr;
}

QString ToQString(const std::string& cp936)
{
    if (cp936.empty())
        return QString();
    const int length = static_cast<int>(cp936.size());
    const int units = MultiByteToWideChar(CP_ACP, 0, cp936.data(), length, nullptr, 0);
    if (units <= 0)
        return QString();
    std::u16string wide(static_cast<size_t>(units), u'\0');
    const int written = MultiByteToWideChar(CP_ACP, 0, cp936.data(), length, wide.data(), units);
    return QString::fromUtf16(wide.data(), written > 0 ? written : 0);
}

std::string FromQString(const QString& text)
{
    if (text.isEmpty())
        return std::string();
    const WCHAR* units = reinterpret_cast<const WCHAR*>(text.utf16());
    const int length = static_cast<int>(text.size());
    const int bytes = WideCharToMultiByte(CP_ACP, 0, units, length, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0)
        return std::string();
    std::string narrow(static_cast<size_t>(bytes), '\0');
    const int written = WideCharToMultiByte(CP_ACP, 0, units, length, narrow.data(), bytes,
                                            nullptr, nullptr);
    narrow.resize(written > 0 ? static_cast<size_t>(written) : 0);
    return narrow;
}

void SetQtArguments(int argc, char** argv)
{
    g_argc = argc;
    g_argv = argv;
}

void EnsureQtApplication()
{
    if (QCoreApplication::instance() != nullptr)
        return;
    static int argc = 1;
    static char argv0[64] = {};
    static char* defaultArgv[] = { argv0, nullptr };
    char** argv = defaultArgv;
    if (g_argv != nullptr && g_argc > 0) {
        argc = g_argc;
        argv = g_argv;
    } else {
        std::string(kDefaultArgv0).copy(argv0, sizeof argv0 - 1);
    }
    // Kept for the life of the process: windows and the modal seam use it until exit.
    auto* application = new QApplication(argc, argv);
    application->setQuitOnLastWindowClosed(false);
    const QStringList families = QFontDatabase::families();
    for (const char* face : kCjkFaces) {
        if (families.contains(QString::fromLatin1(face))) {
            QFont font(QString::fromLatin1(face));
            font.setPointSize(QApplication::font().pointSize());
            QApplication::setFont(font);
            break;
        }
    }
}

QFont DialogFont(const std::string& faceName, int pointSize)
{
    QFont font = QApplication::font();
    const QString face = ToQString(faceName);
    if (!face.isEmpty() && QFontDatabase::families().contains(face))
        font.setFamily(face);
    if (pointSize > 0)
        font.setPointSize(pointSize);
    return font;
}
