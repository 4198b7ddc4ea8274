// The option layer of orbitrak-cli and orbitrak-mountsim as users meet it: an option several
// commands share is refused in the same words by each, and told by the same lines in each
// command's help.
#include "tests/common/run_program.h"

#include <QFileInfo>
#include <QTest>

class TestCliOptions : public QObject {
    Q_OBJECT

private slots:
    void refusals_data() {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QStringList>("commands"); // {""}: the program has none
        QTest::addColumn<QString>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("message"); // after "PROGRAM: " and "COMMAND: "
        const QStringList all{"propagate", "sky", "update", "passes", "transits", "convert"};
        const QStringList sited{"sky", "passes", "transits"};
        const auto row = [](const char* name, const QStringList& commands, const char* arguments,
                            const QString& message) {
            const bool cli = !commands.front().isEmpty();
            QTest::newRow(name) << (cli ? ORBITRAK_CLI : ORBITRAK_MOUNTSIM) << commands << arguments
                                << (cli || message.startsWith("--") ? 2 : 1) << message;
        };
        row("unknown option", all, "--bogus", "unknown option --bogus");
        row("value missing", {"propagate", "sky", "passes", "transits"}, "--tle",
            "option --tle needs a value");
        row("extra argument", all.mid(0, 5), "extra", "unexpected argument 'extra'");
        row("latitude", sited, "--lat 91", "--lat needs a number from -90 to 90, got '91'");
        row("elevation", sited, "--elev=-1e9",
            "--elev needs a number from -500 to 10000, got '-1e9'");
        row("site and coordinates", sited, "--site x --lon 1",
            "--site and --lat, --lon, --elev exclude each other");
        row("unknown site", sited, "--site nowhere",
            "no observing site named 'nowhere' in the settings (the window's Mount > "
            "Observing site...)");
        row("unreadable element sets", sited, "--tle /nonexistent/f",
            "/nonexistent/f does not exist.");
        row("start of the window", {"passes", "transits"}, "--from 2026-13-01",
            "--from needs a UTC instant such as 2026-03-19T12:00:00.250Z or a date such as "
            "2026-03-19, got '2026-13-01'");
        row("mount: unknown option", {""}, "--bogus", "Unknown option 'bogus'.");
        row("mount: latitude", {""}, "--lat 100", "--lat needs degrees from -90 to 90");
        row("mount: first fault in order", {""}, "--chaos x --port 70000 --lat 100",
            "--port needs a number from 0 to 65535");
    }

    void refusals() {
        QFETCH(QString, program);
        QFETCH(QStringList, commands);
        QFETCH(QString, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, message);
        for (const QString& command : commands) {
            const QStringList words = (command + ' ' + arguments).split(' ', Qt::SkipEmptyParts);
            const ProgramRun run = runProgram(program, words);
            QCOMPARE(run.exitCode, exitCode);
            const QString prefix = QFileInfo(program).baseName() + ": " + command;
            QCOMPARE(QString::fromLocal8Bit(run.err),
                     (command.isEmpty() ? prefix : prefix + ": ") + message + '\n');
            QVERIFY(run.out.isEmpty());
        }
    }

    // The shared options' lines, the same in every command's help; mountsim's in Qt's layout.
    void help() {
        const QByteArray tle = "  --tle FILE     element sets: TLEs (with or without name lines), "
                               "or OMM as JSON, CSV,\n                 XML or KVN; a file in none "
                               "of these forms exits with status 2\n                 (default "
                               "satell.txt)\n";
        for (const char* command : {"sky", "passes", "transits"}) {
            const QByteArray out = runProgram(ORBITRAK_CLI, {command, "--help"}).out;
            QVERIFY2(out.contains("\n\nOptions:\n" + tle) &&
                         out.contains("\n  --lat DEG      site latitude, north positive "
                                      "(default 45)\n") &&
                         out.contains("  --help         this text\n\n"),
                     command);
        }
        QVERIFY(runProgram(ORBITRAK_MOUNTSIM, {"--help"})
                    .out.contains("  --lat <DEG>                 Site latitude in degrees, north "
                                  "positive (default\n                              47.5).\n"));
    }
};

QTEST_GUILESS_MAIN(TestCliOptions)
#include "tst_cli_options.moc"
