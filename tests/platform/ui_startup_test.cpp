// Start-up through AfxWinMain with Qt's own options on the command line: none has an
// effect, and the application's name still comes from argv[0]. Its own executable, since
// the QApplication must be made here, by AfxWinMain, and only once per process.
#include <QApplication>
#include <QStyle>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/ui/winapp.h"

namespace {

// Records what start-up left, then ends at once (as the program's InitInstance does when
// its main window closes).
class StartUpProbe : public CWinApp
{
public:
    BOOL InitInstance() override
    {
        arguments = QCoreApplication::arguments();
        direction = QGuiApplication::layoutDirection();
        styleClass = QApplication::style()->metaObject()->className();
        styleSheet = qApp->styleSheet();
        platform = QGuiApplication::platformName();
        return FALSE;
    }
    QStringList arguments;
    Qt::LayoutDirection direction = Qt::RightToLeft;
    std::string styleClass;
    QString styleSheet, platform;
};

TEST(StartUp, QtOptionsOnTheCommandLineHaveNoEffect)
{
    ASSERT_EQ(QCoreApplication::instance(), nullptr) << "needs a process of its own";
    QTemporaryDir folder;
    const std::string styleSheet = folder.filePath(QStringLiteral("red.qss")).toStdString();
    std::vector<std::string> words = { "/opt/peldmark/Peldmark", "-reverse", "-style", "windows",
                                       "-stylesheet", styleSheet, "-platform", "minimal",
                                       "--", "contacts2.db" };
    std::vector<char*> argv;
    for (std::string& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);

    StartUpProbe app;
    EXPECT_EQ(AfxWinMain(static_cast<int>(words.size()), argv.data()), 0);
    EXPECT_EQ(app.arguments, QStringList{ QStringLiteral("/opt/peldmark/Peldmark") });
    EXPECT_EQ(app.direction, Qt::LeftToRight);
    EXPECT_EQ(app.styleClass, "QFusionStyle");   // the offscreen platform's own style
    EXPECT_EQ(app.styleSheet, QString());
    EXPECT_EQ(app.platform, QString::fromLocal8Bit(qgetenv("QT_QPA_PLATFORM")));
    EXPECT_EQ(app.m_pszAppName, "Peldmark");
}

}  // namespace
