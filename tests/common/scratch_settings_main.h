#pragma once

#include <QCoreApplication>
#include <QTemporaryDir>
#include <QtTest>

// Like QTEST_MAIN with the given application class, but the per-user settings, data and cache of
// the process and of the programs it starts are read and written in a scratch folder of its own:
// a test run by hand never touches the real ones, and tests running side by side never share.
#define ORBITRAK_SCRATCH_SETTINGS_MAIN(Application, TestObject)                                    \
    int main(int argc, char* argv[]) {                                                             \
        QTemporaryDir settingsHome;                                                                \
        if (!settingsHome.isValid())                                                               \
            return 1;                                                                              \
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(settingsHome.path() + "/config"));            \
        qputenv("XDG_DATA_HOME", QFile::encodeName(settingsHome.path() + "/data"));                \
        qputenv("XDG_CACHE_HOME", QFile::encodeName(settingsHome.path() + "/cache"));              \
        Application app(argc, argv);                                                               \
        app.setAttribute(Qt::AA_Use96Dpi, true);                                                   \
        TestObject test;                                                                           \
        QTEST_SET_MAIN_SOURCE_PATH                                                                 \
        return QTest::qExec(&test, argc, argv);                                                    \
    }
