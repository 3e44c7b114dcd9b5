// Where text and fonts cross into Qt: code page 936 <-> UTF-16 through the Windows
// conversion calls, the process's QApplication (with Qt's own texts in Chinese, no
// settings file and no say for the command line), and the dialog font.
#include <QApplication>
#include <QFontDatabase>
#include <QLibraryInfo>
#include <QLocale>
#include <QSettings>
#include <QTranslator>

#include <algorithm>

#include "platform/codepage.h"
#include "platform/ui/peer.h"

namespace {
// A CJK face for dialogs whose template names a face Linux lacks ("MS Shell Dlg").
const char* const kCjkFaces[] = { "WenQuanYi Micro Hei", "Noto Sans CJK SC",
                                  "Droid Sans Fallback" };
// Qt's translation of its own texts (buttons, the file dialog, its questions), from
// Debian's qt6-translations-l10n; the whole interface is Chinese whatever the locale.
const char* const kQtChineseTexts = "qtbase_zh_CN";
// Qt keeps settings of its own through QSettings: the file dialog writes its history and
// last folder (a trail of evidence paths) to QtProject.conf in the user's configuration
// folder. Pointed below /dev/null, a device and no folder, no settings file can be read
// or created, whoever runs the program.
const char* const kNoSettingsFolder = "/dev/null";
std::string g_programName = "Peldmark";
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

std::vector<char32_t> CharactersCodePage936Lacks(const QString& text)
{
    std::vector<char32_t> lacking;
    for (const char32_t c : text.toUcs4()) {
        const std::u16string unit = QString::fromUcs4(&c, 1).toStdU16String();
        BOOL usedDefault = FALSE;
        char bytes[8];
        WideCharToMultiByte(CP_ACP, 0, unit.data(), static_cast<int>(unit.size()), bytes,
                            sizeof bytes, nullptr, &usedDefault);
        const bool seen = std::find(lacking.begin(), lacking.end(), c) != lacking.end();
        if (usedDefault && !seen)
            lacking.push_back(c);
    }
    return lacking;
}

void SetQtProgramName(const std::string& argv0)
{
    if (!argv0.empty())
        g_programName = argv0;
}

namespace {

void KeepNoQtSettings()
{
    const QString nowhere = QString::fromLatin1(kNoSettingsFolder);
    for (const auto format : { QSettings::NativeFormat, QSettings::IniFormat })
        for (const auto scope : { QSettings::UserScope, QSettings::SystemScope })
            QSettings::setPath(format, scope, nowhere);
}

void LoadQtChineseTexts(QApplication& application)
{
    QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
    auto* translator = new QTranslator(&application);
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    if (translator->load(QString::fromLatin1(kQtChineseTexts), folder))
        QApplication::installTranslator(translator);
    else
        qWarning("Peldmark: %s.qm not found in %s; Qt's own buttons and dialogs stay English "
                 "(Debian package qt6-translations-l10n)", kQtChineseTexts, qPrintable(folder));
}

void UseCjkFont()
{
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

}  // namespace

void EnsureQtApplication()
{
    if (QCoreApplication::instance() != nullptr)
        return;
    KeepNoQtSettings();
    // Only the program's name: Qt's options (-reverse, -style, -stylesheet, -platform,
    // ...) have no effect. QApplication keeps argc and argv for its life, so they live
    // as long as the process, as does the application itself (windows and the modal
    // seam use it until exit).
    static std::string programName = g_programName;
    static int argc = 1;
    static char* argv[] = { programName.data(), nullptr };
    auto* application = new QApplication(argc, argv);
    application->setQuitOnLastWindowClosed(false);
    LoadQtChineseTexts(*application);
    UseCjkFont();
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
