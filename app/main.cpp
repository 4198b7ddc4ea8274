#include "app/data_paths.h"
#include "app/main_window.h"
#include "app/translations.h"
#include "astro/time_scales.h"
#include "orbitrak_version.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QIcon>
#include <QLocale>

#include <cstdio>
#include <cstring>
#include <optional>

namespace {

// --help and --version are answered before the window system is reached, so that they work
// without a display. Anything else, Qt's own options (-platform, -style, ...) included, is left
// to QApplication.
std::optional<int> answerInformationOptions(int argc, char* argv[]) {
    static const char* const asks[] = {"-h", "--help", "-?", "--help-all", "-v", "--version"};
    bool asked = false;
    for (int i = 1; i < argc; ++i)
        for (const char* ask : asks)
            asked = asked || std::strcmp(argv[i], ask) == 0;
    if (!asked)
        return std::nullopt;
    QCoreApplication information(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("orbitrak"));
    QCoreApplication::setApplicationVersion(QStringLiteral(ORBITRAK_VERSION));
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Follows artificial satellites with a Halvstar telescope mount. The window shows where\n"
        "every satellite of the catalogue stands in the sky, three times a second, and drives\n"
        "the mount over TCP (port 3490).\n"
        "\n"
        "It reads satell.txt from the working directory, or else from the per-user data folder\n"
        "(~/.local/share/Halvstar/Orbitrak/), and the time table user_utc.bin or utc.bin from\n"
        "the working directory, the per-user folder or the installed data."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.process(information.arguments()); // prints and exits on --help and --version
    return 0;
}

} // namespace

int main(int argc, char* argv[]) {
    if (const std::optional<int> status = answerInformationOptions(argc, argv))
        return *status;
    QApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("orbitrak"));
    QCoreApplication::setOrganizationName(QStringLiteral("Halvstar"));
    QCoreApplication::setApplicationVersion(QStringLiteral(ORBITRAK_VERSION));
    // Before the window is built: its form takes its texts once, as it is set up.
    installTranslations(QLocale::system(), &application);

    std::string timeReport;
    const TimeScales scales = TimeScales::fromFolders(data_paths::timeTableFolders(), &timeReport);
    std::fputs(timeReport.c_str(), stdout);
    std::fflush(stdout);
    MainWindow window(scales);
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/icon_halvstar.png")));
    window.show();
    window.startClockChecks();
    window.refreshTimeTable();
    return application.exec();
}
