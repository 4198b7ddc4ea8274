#include "app/mainwindow.h"
#include "astro/time_scales.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("orbitrak"));
    QCoreApplication::setOrganizationName(QStringLiteral("Halvstar"));

    const TimeScales scales = TimeScales::fromWorkingDirectory(stdout);
    MainWindow window(scales);
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/icon_halvstar.png")));
    window.show();
    return application.exec();
}
