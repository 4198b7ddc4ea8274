// orbitrak-cli passes and transits run as programs: their CSV against the searches, a named
// site, the magnitudes and the calendar read back; the window's planner gives the same passes.
#include "planning/pass_planner.h"
#include "planning/planned.h"
#include "sky/observing_sites.h"
#include "tests/common/file_bytes.h"
#include "tests/common/run_program.h"
#include "tests/common/scratch_settings_main.h"
#include "tests/common/test_sets.h"

#include <QRegularExpression>
#include <QtTest>

#include <cmath>
#include <memory>
#include <optional>
#include <vector>

namespace {

constexpr double kDeg = 0.017453292519943295;
constexpr double kSecond = 1.0 / 86400.0;

} // namespace

class TestCliPlanning : public QObject {
    Q_OBJECT

    TimeScales scales; // the fallback leap count, as orbitrak-cli in a folder without a table

    // The passes the window's planner finds from 0h UTC on 2026-03-19.
    std::vector<PlannedPass> planned(const Catalogue& catalogue, const Site& site, double days,
                                     std::shared_ptr<const StandardMagnitudes> magnitudes = {}) {
        PassPlanner planner(scales);
        planner.setMagnitudes(std::move(magnitudes));
        std::optional<std::vector<PlannedPass>> found;
        connect(&planner, &PassPlanner::planned, this,
                [&found](const std::vector<PlannedPass>& passes, const auto&) { found = passes; });
        planner.plan(catalogue, site, scales.workingJdFromUtcCalendar(makeCalendar(2026, 3, 19)),
                     HorizonMask(), days);
        const bool done = QTest::qWaitFor([&found] { return found.has_value(); }, 60000);
        return done ? *found : std::vector<PlannedPass>();
    }

private slots:
    // orbitrak-cli passes against the window's planner (both plan with planCatalogue): the same
    // bytes as the planner's passes exported, and the format of every field.
    void cliListsThePassesAsCsv() {
        // Satellites on every kind of orbit.
        QVERIFY(writeBytes("sets.txt", activeCatalogueHead(40).join()));
        // The working folder holds no time table: the fallback, as below.
        const QStringList args{"passes",  "--tle",  "sets.txt", "--from", "2026-03-19T00:00:00Z",
                               "--hours", "6",      "--lat",    "-33.45", "--lon",
                               "-70.67",  "--elev", "570",      "--csv"};
        const ProgramRun cli = runProgram(ORBITRAK_CLI, args);
        QCOMPARE(cli.exitCode, 0);
        QStringList lines = QString::fromUtf8(cli.out).split('\n');
        QCOMPARE(
            lines.takeFirst(),
            QStringLiteral(
                "catalog,name,rise_utc,rise_azimuth_deg,culmination_utc,culmination_altitude_deg,"
                "culmination_azimuth_deg,set_utc,set_azimuth_deg,sunlit,sun_altitude_deg,visible"));
        QCOMPARE(lines.takeLast(), QString());

        Catalogue catalogue;
        readCatalogueFile("sets.txt", 0, catalogue);
        const std::vector<PlannedPass> passes =
            planned(catalogue, Site{-33.45 * kDeg, 70.67 * kDeg, 570}, 0.25);
        QCOMPARE(cli.out,
                 QByteArray::fromStdString(passesCsv(exportedPasses(passes, catalogue), scales)));

        // Times with milliseconds, angles with 6 decimals; no rise or set: both fields empty.
        const QString t = "(\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3}Z)",
                      a = "-?\\d+\\.\\d{6}";
        const QRegularExpression form("^(\\d+),[^,]*,(?:" + t + "," + a + "|,)," + t + "," + a +
                                      "," + a + ",(?:" + t + "," + a + "|,),(yes|no)," + a +
                                      ",(yes|no)$");
        int unrisen = 0, unset = 0;
        for (int i = 0; i < lines.size(); ++i) {
            const QRegularExpressionMatch f = form.match(lines[i]);
            QVERIFY2(f.hasMatch(), qPrintable(lines[i]));
            const SatellitePass& p = passes[std::size_t(i)].pass;
            QCOMPARE(f.captured(1).toInt(),
                     int(catalogue[passes[std::size_t(i)].satellite].elements.satnum));
            const auto at = [&](int field, bool present, double jd) {
                return f.captured(field).isEmpty()
                           ? !present
                           : present && std::fabs(scales.workingJdFromUtcCalendar(*parseCalendar(
                                                      f.captured(field).toStdString())) -
                                                  jd) < 0.0006 * kSecond;
            };
            QVERIFY(at(2, p.hasRise, p.rise.jd) && at(3, true, p.culmination.jd) &&
                    at(4, p.hasSet, p.set.jd));
            QVERIFY(f.captured(5) == (p.sunlit ? "yes" : "no") &&
                    f.captured(6) == (p.visible ? "yes" : "no"));
            unrisen += !p.hasRise;
            unset += !p.hasSet;
        }
        QVERIFY(unrisen > 0 && unset > 0);

        QCOMPARE(runProgram(ORBITRAK_CLI, {"passes", "--hours", "x"}).exitCode, 2);
        // A horizon raises rises and lowers sets; a malformed one is refused, naming the line.
        QVERIFY(writeBytes("horizon.txt", "0 10\n# wall\n180, 60\n"));
        const ProgramRun masked =
            runProgram(ORBITRAK_CLI, args + QStringList{"--horizon", "horizon.txt"});
        QCOMPARE(masked.exitCode, 0);
        const QStringList maskedLines = QString::fromUtf8(masked.out).split('\n');
        QVERIFY(maskedLines.size() > 2 && maskedLines.size() < lines.size() + 2);
        QVERIFY(writeBytes("horizon.txt", "0 10\n\n180 sixty\n"));
        const ProgramRun refused =
            runProgram(ORBITRAK_CLI, {"passes", "--tle", "sets.txt", "--horizon", "horizon.txt"});
        QCOMPARE(refused.exitCode, 2);
        QVERIFY2(refused.err.contains("line 3"), refused.err);
    }

    // Thousands of passes, formatted in batches on several threads, come out in the plan's
    // order: the same bytes on one thread and on two, and as the window's planner exports them.
    void cliWritesManyPassesInOrder() {
        QVERIFY(writeBytes("many.txt", activeCatalogueHead(600).join()));
        const QStringList args{"passes",  "--tle",  "many.txt", "--from",  "2026-03-19T00:00:00Z",
                               "--hours", "72",     "--lat",    "47.5",    "--lon",
                               "8.5",     "--elev", "0",        "--limit", "0",
                               "--csv"};
        const ProgramRun one = runProgram(ORBITRAK_CLI, args + QStringList{"--threads", "1"});
        const ProgramRun two = runProgram(ORBITRAK_CLI, args + QStringList{"--threads", "2"});
        QCOMPARE(one.exitCode, 0);
        QCOMPARE(two.exitCode, 0);
        QVERIFY(one.out.count('\n') > 3 * 2048);
        QVERIFY(one.out == two.out);
        Catalogue catalogue;
        readCatalogueFile("many.txt", 0, catalogue);
        const std::vector<PlannedPass> passes =
            planned(catalogue, Site{47.5 * kDeg, -8.5 * kDeg, 0}, 3.0);
        QVERIFY(one.out ==
                QByteArray::fromStdString(passesCsv(exportedPasses(passes, catalogue), scales)));
        // The table: a header and a line per pass.
        const ProgramRun table =
            runProgram(ORBITRAK_CLI, args.mid(0, args.size() - 1) + QStringList{"--threads", "2"});
        QCOMPARE(table.exitCode, 0);
        QCOMPARE(table.out.count('\n'),
                 one.out.count('\n') + table.out.left(table.out.indexOf("Name")).count('\n'));
    }

    // orbitrak-cli --site NAME: the named site of the settings, with its horizon file, gives what
    // the same values given by hand give; --horizon wins over the site's file. (Its refusals are
    // tst_cli_options'.)
    void cliTakesANamedSite_data() {
        QTest::addColumn<QStringList>("named");
        QTest::addColumn<QStringList>("byHand");
        const QStringList home{"--lat", "-33.45", "--lon", "-70.67", "--elev", "570"};
        const QStringList passes{
            "passes",  "--tle", "site-sets.txt", "--from", "2026-03-19T00:00:00Z",
            "--hours", "6",     "--csv"};
        const QStringList sky{"sky",  "--tle", "site-sets.txt", "--at", "2026-03-19T00:00:00Z",
                              "--csv"};
        const QStringList transits{
            "transits", "--tle", "site-sets.txt", "--from", "2026-03-19T00:00:00Z",
            "--hours",  "24",    "--csv"};
        const auto row = [](const char* name, const QStringList& named, const QStringList& byHand) {
            QTest::newRow(name) << named << byHand;
        };
        row("sky", sky + QStringList{"--site", "Home"}, sky + home);
        row("passes", passes + QStringList{"--site", "Home"}, passes + home);
        row("passes, the site's horizon", passes + QStringList{"--site", "Garden"},
            passes + home + QStringList{"--horizon", "garden.txt"});
        row("passes, --horizon wins",
            passes + QStringList{"--site=Garden", "--horizon", "roof.txt"},
            passes + home + QStringList{"--horizon", "roof.txt"});
        row("transits", transits + QStringList{"--site", "Home"}, transits + home);
    }

    void cliTakesANamedSite() {
        QFETCH(QStringList, named);
        QFETCH(QStringList, byHand);
        QVERIFY(writeBytes("site-sets.txt", activeCatalogueHead(20).join()));
        QVERIFY(writeBytes("garden.txt", "0 10\n180, 60\n"));
        QVERIFY(writeBytes("roof.txt", "0 30\n"));
        const ObservingSite home{"Home", -33.45, -70.67, 570.0, QString()};
        ObservingSite garden = home;
        garden.name = "Garden";
        garden.horizonFile = QDir::current().filePath("garden.txt");
        QVERIFY(writeObservingSites({home, garden}));
        const ProgramRun run = runProgram(ORBITRAK_CLI, named);
        const ProgramRun expected = runProgram(ORBITRAK_CLI, byHand);
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(expected.exitCode, 0);
        QVERIFY(run.out.count('\n') > 1);
        QCOMPARE(run.out, expected.out);
    }

    // orbitrak-cli passes --magnitudes and --ics; the calendar read back by python3-icalendar.
    // The sets: 40 of every kind, a geostationary one always up (ASTRA 1KR), and three without a
    // position that never pass.
    void cliWritesMagnitudesAndCalendar() {
        const QList<QByteArray> all = readBytes(ORBITRAK_ACTIVE_CATALOGUE).split('\n');
        QVERIFY(all.value(549) == "ASTRA 1KR");
        QVERIFY(writeBytes("sets.txt",
                           (all.mid(0, 120) + all.mid(549, 3)).join('\n') + '\n' + kInvalidSets));
        Catalogue catalogue;
        readCatalogueFile("sets.txt", 0, catalogue);
        QByteArray magnitudes = "# standard magnitudes\n";
        for (std::size_t i = 0; i < catalogue.size(); i += 2)
            magnitudes += QByteArray::number(int(catalogue[i].elements.satnum)) + " 4.0\n";
        QVERIFY(writeBytes("mags.txt", magnitudes));
        const QStringList args = {"passes",  "--tle", "sets.txt", "--from", "2026-03-19T00:00:00Z",
                                  "--hours", "6",     "--lat",    "48.1",   "--lon",
                                  "11.6"};
        const ProgramRun csv =
            runProgram(ORBITRAK_CLI, args + QStringList{"--csv", "--magnitudes", "mags.txt"});
        QCOMPARE(csv.exitCode, 0);
        auto standard = std::make_shared<StandardMagnitudes>(); // the window's, from the same file
        QVERIFY(readStandardMagnitudeFile("mags.txt", *standard).ok);
        const std::vector<PlannedPass> passes =
            planned(catalogue, {48.1 * kDeg, -11.6 * kDeg, 120}, 0.25, standard);
        QCOMPARE(csv.out, QByteArray::fromStdString(
                              passesCsv(exportedPasses(passes, catalogue), scales, true)));
        QStringList lines = QString::fromUtf8(csv.out).split('\n', Qt::SkipEmptyParts);
        QVERIFY(lines.takeFirst().endsWith(",visible,magnitude"));
        int known = 0, shadow = 0;
        for (const QString& line : lines) {
            const QStringList f = line.split(',');
            QCOMPARE(f.size(), 13);
            const bool listed = magnitudes.contains("\n" + f[0].toUtf8() + " ");
            QCOMPARE(!f[12].isEmpty(), listed && f[9] == "yes");
            known += !f[12].isEmpty();
            shadow += listed && f[9] == "no";
            if (!f[12].isEmpty()) // between 200 km, full, and geostationary range, lit 1/10000
                QVERIFY2(f[12].toDouble() > 4.0 - 15.75 + 2.5 * std::log10(200 * 200) &&
                             f[12].toDouble() < 4.0 - 15.75 + 2.5 * std::log10(4.2e4 * 4.2e4 * 1e4),
                         qPrintable(line));
        }
        QVERIFY(known > 0 && shadow > 0);

        // Each calendar read back: its events' lines. The second window opens ten minutes sooner.
        const auto calendar = [&args](const QString& from) {
            QStringList ics = args;
            ics[4] = from;
            const ProgramRun cli = runProgram(ORBITRAK_CLI, ics << "--ics");
            const ProgramRun read =
                cli.exitCode == 0 && writeBytes("passes.ics", cli.out)
                    ? runProgram(ORBITRAK_PYTHON3, {ORBITRAK_READ_ICALENDAR, "passes.ics"})
                    : ProgramRun();
            if (read.exitCode != 0)
                qWarning() << read.err;
            return QString::fromUtf8(read.out).split('\n', Qt::SkipEmptyParts);
        };
        // A pass whole in both windows has the same UID in both, the rest none in the other.
        const QStringList events = calendar(args[4]);
        const QStringList sooner = calendar("2026-03-18T23:50:00Z");
        const auto uids = [](const QStringList& list, const QString& from, const QString& to) {
            QStringList found;
            for (const QString& event : list) {
                const QStringList e = event.split('|');
                if (e[1] >= from && e[2] <= to)
                    found << e[0];
            }
            return found;
        };
        const QStringList inBoth = uids(events, "2026-03-19T00:00:00Z", "2026-03-19T05:50:00Z");
        QVERIFY(inBoth.size() > 10 && inBoth.size() < sooner.size());
        QCOMPARE(uids(sooner, "2026-03-19T00:00:00Z", "2026-03-19T05:50:00Z"), inBoth);
        QCOMPARE(uids(events, "2026-03-19T00:00:00Z", "2026-03-19T06:00:00Z"),
                 uids(events, "", "~"));
        QCOMPARE(uids(sooner, "2026-03-18T23:50:00Z", "2026-03-19T05:50:00Z"),
                 uids(sooner, "", "~"));

        // Only whole passes, named by the catalogue number and the rise to the nearest minute;
        // the geostationary set, always up, under way in the CSV and absent here.
        QCOMPARE(lines.filter(QRegularExpression("^29055,ASTRA 1KR,,,[^,]*,[^,]*,[^,]*,,,")).size(),
                 1);
        QVERIFY(lines.filter(QRegularExpression("^9999")).isEmpty()); // no position: no pass
        const double from = scales.workingJdFromUtcCalendar(makeCalendar(2026, 3, 19));
        for (std::size_t i = catalogue.size() - 3; i < catalogue.size(); ++i) // and alone neither
            QVERIFY(findPasses(catalogue[i], scales, {48.1 * kDeg, -11.6 * kDeg, 120},
                               {from, from + 1, 0, nullptr})
                        .empty());
        QList<QStringList> whole;
        for (const QString& line : lines)
            if (!line.split(',')[2].isEmpty() && !line.split(',')[7].isEmpty())
                whole << line.split(',');
        QCOMPARE(events.size(), whole.size());
        for (int i = 0; i < events.size(); ++i) {
            const QStringList e = events[i].split('|');
            const QStringList& f = whole[i];
            QCOMPARE(e.size(), 5);
            const QDateTime rise = QDateTime::fromString(f[2], Qt::ISODateWithMs).addSecs(30);
            QCOMPARE(e[0], f[0] + '-' + rise.toUTC().toString("yyyyMMdd'T'HHmm") + "@orbitrak");
            for (const auto& [ics, csv] : {std::pair(e[1], f[2]), std::pair(e[2], f[7])}) // to 1 s
                QVERIFY2(
                    std::fabs(scales.workingJdFromUtcCalendar(*parseCalendar(ics.toStdString())) -
                              scales.workingJdFromUtcCalendar(*parseCalendar(csv.toStdString()))) <
                        0.51 * kSecond,
                    qPrintable(events[i]));
            QCOMPARE(e[3], QStringLiteral("%1, max %2\u00b0%3")
                               .arg(f[1])
                               .arg(std::round(f[5].toDouble()))
                               .arg(f[11] == "yes" ? ", visible" : ""));
            QVERIFY2(
                e[4].contains(QStringLiteral("azimuth %1\u00b0").arg(f[6].toDouble(), 0, 'f', 1)) &&
                    e[4].endsWith("Site: 48.1000\u00b0 N, 11.6000\u00b0 E, 120 m"),
                qPrintable(e[4]));
        }
    }

    // orbitrak-cli transits: the header and the form of every field, against the search.
    void cliListsTransitsAsCsv() {
        const QList<QByteArray> lines = readBytes(ORBITRAK_ACTIVE_CATALOGUE).split('\n');
        QByteArray sets;
        for (int i = 0; i + 2 < lines.size(); i += 3)
            if (lines[i + 1].startsWith("1 22825") || lines[i + 1].startsWith("1 49205"))
                sets += lines[i] + '\n' + lines[i + 1] + '\n' + lines[i + 2] + '\n';
        QVERIFY(writeBytes("sets.txt", sets));
        const ProgramRun cli =
            runProgram(ORBITRAK_CLI, {"transits", "--tle", "sets.txt", "--from",
                                      "2026-03-19T09:00:00Z", "--hours", "1", "--lat", "48",
                                      "--lon", "11", "--elev", "500", "--body", "both", "--csv"});
        QCOMPARE(cli.exitCode, 0);
        QStringList out = QString::fromUtf8(cli.out).split('\n');
        QCOMPARE(out.takeFirst(),
                 QStringLiteral("catalog,name,body,time_utc,separation_arcsec,body_radius_arcsec,"
                                "duration_s,satellite_altitude_deg,satellite_azimuth_deg,"
                                "distance_km,centre_line_km,centre_line_azimuth_deg"));
        QCOMPARE(out.takeLast(), QString());
        QCOMPARE(out.size(), 2);
        QVERIFY2(QRegularExpression(QStringLiteral("^22825,EYESAT A \\(AO-27\\),sun,2026-03-19T09:"
                                                   "12:15\\.\\d{3}Z(,-?\\d+\\.\\d{3}){8}$"))
                     .match(out[0])
                     .hasMatch(),
                 qPrintable(out[0]));
        QVERIFY2(out[1].startsWith(QStringLiteral("49205,ONEWEB-0339,moon,2026-03-19T09:30:16.")),
                 qPrintable(out[1]));

        const ProgramRun sunOnly = runProgram(
            ORBITRAK_CLI, {"transits", "--tle", "sets.txt", "--from", "2026-03-19T09:00:00Z",
                           "--hours", "1", "--lat", "48", "--lon", "11", "--body", "sun", "--csv"});
        QCOMPARE(sunOnly.exitCode, 0);
        QCOMPARE(QString::fromUtf8(sunOnly.out).count('\n'), 2);
        QCOMPARE(runProgram(ORBITRAK_CLI, {"transits", "--body", "mars"}).exitCode, 2);
    }
};

ORBITRAK_SCRATCH_SETTINGS_MAIN(QCoreApplication, TestCliPlanning)
#include "tst_cli_planning.moc"
