#pragma once

#include <QApplication>
#include <QTemporaryDir>
#include <QtTest>

// Like QTEST_MAIN, but every window the test builds reads and writes its per-user settings in a
// scratch folder of this process: a test run by hand never touches the real store, and tests
// running side by side never share one.
#define ORBITRAK_WINDOW_TEST_MAIN(TestObject)                                                      \
    int main(int argc, char* argv[]) {                                                             \
        QTemporaryDir settingsHome;                                                                \
        if (!settingsHome.isValid())                                                               \
            return 1;                                                                              \
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(settingsHome.path()));                        \
        QApplication app(argc, argv);                                                              \
        app.setAttribute(Qt::AA_Use96Dpi, true);                                                   \
        TestObject test;                                                                           \
        QTEST_SET_MAIN_SOURCE_PATH                                                                 \
        return QTest::qExec(&test, argc, argv);                                                    \
    }
