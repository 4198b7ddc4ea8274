// The transit chain, the status poll and the pass recorder over the mount link, byte by byte
// against a mount that the test plays over loopback TCP.
#include "astro/time_scales.h"
#include "catalogue/catalogue_entry.h"
#include "tests/common/link_test.h"
#include "tests/common/test_sets.h"
#include "tracking/pass_recorder.h"
#include "tracking/tracking_status_poll.h"
#include "tracking/transit_chain.h"

#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <cstring>

// The upload of the set named CALSPHERE 1, byte by byte.
static const QByteArray upload =
    ":TLEL0CALSPHERE 1$0a1 00900U 64063C   26078.25058051  .00000586  00000+0  58848-3 0  "
    "9991$0a2 00900  90.2170  69.6682 0024457 200.0471 222.5878 13.76510242 59057$0a#";

class TestTransitChain : public QObject, LinkTest {
    Q_OBJECT

private slots:
    void init() {
        QVERIFY(openRig());
        chain = std::make_unique<TransitChain>(rig->link, [this] { return jd; });
        poll = std::make_unique<TrackingStatusPoll>(rig->link);
        rig->record(chain.get());
        rig->record(poll.get());
        connect(poll.get(), &TrackingStatusPoll::statusLine,
                [this](const QString& line) { statusLines << line; });
        statusLines.clear();
    }

    void cleanup() {
        poll.reset();
        chain.reset();
        closeRig();
    }

    void chainReplies_data() {
        QTest::addColumn<QByteArray>("number");      // the set's; empty: beyond what a TLE carries
        QTest::addColumn<QByteArray>("uploadReply"); // null: nothing goes to the mount
        QTest::addColumn<QByteArray>("passReply");   // null: the pass is not asked for
        QTest::addColumn<QByteArray>("slewReply");   // null: the slew is not asked for
        QTest::addColumn<QString>("line");           // logged after the selection; empty: nothing
        const QString noPass = logLine(LogLevel::Warning, "TLE has no passes now.");
        const QString invalid = logLine(LogLevel::Error, "TLE has invalid format.");
        const QString toStart = logLine(LogLevel::Success, "Slewing to start of transit.");
        const QString toSatellite = logLine(LogLevel::Success, "Slewing to transiting TLE.");
        const auto row = [](const char* name, const char* toUpload, const char* toPass,
                            const char* toSlew, const QString& line, const char* number = "00900") {
            QTest::newRow(name) << QByteArray(number) << QByteArray(toUpload) << QByteArray(toPass)
                                << QByteArray(toSlew) << line;
        };
        const char* const data = "2461015.512345,2461015.534567,45.0";
        row("slew V", "V", data, "V", toStart);
        row("slew S", "V", data, "S", toSatellite);
        row("slew E", "V", data, "E", noPass);
        row("slew F", "V", data, "F",
            logLine(LogLevel::Warning, "Slew failed, mount is parked or blocked."));
        row("slew Q", "V", data, "Q", logLine(LogLevel::Warning, "Transit already ended."));
        row("first character decides", "Vx", data, "Sxyz", toSatellite);
        row("slew T logs nothing", "V", data, "T", QString());
        row("empty slew logs nothing", "V", data, "", QString());
        row("pass E", "V", "E", nullptr, noPass);
        row("pass N", "V", "N", nullptr, noPass);
        row("pass EN is pass data", "V", "EN", "V", toStart);
        row("empty pass is pass data", "V", "", "S", toSatellite);
        row("upload E", "E", nullptr, nullptr, invalid);
        row("upload empty", "", nullptr, nullptr, invalid);
        row("upload lower-case v", "v", nullptr, nullptr, invalid);
        // An Alpha-5 set goes as it stands; when it is refused, the log says why that may be.
        row("Alpha-5 refused", "E", nullptr, nullptr,
            invalid + '\n' +
                logLine(LogLevel::Warning, "The element set of CALSPHERE 1 has its catalogue "
                                           "number in the Alpha-5 form, which older firmware may "
                                           "not read."),
            "A0900");
        // A set numbered past 339999 has no element lines.
        row("beyond a TLE", nullptr, nullptr, nullptr,
            logLine(LogLevel::Warning, "The element set of NEW OBJECT (123456789) has a catalogue "
                                       "number above 339999, which no TLE can carry: the mount "
                                       "cannot take it."),
            "");
    }

    // Each reply decides the next step. A Stop queued at the end must follow the chain's last
    // command directly: nothing else is left queued.
    void chainReplies() {
        QFETCH(QByteArray, number);
        QFETCH(QByteArray, uploadReply);
        QFETCH(QByteArray, passReply);
        QFETCH(QByteArray, slewReply);
        QFETCH(QString, line);

        STEP(rig->connect());
        const int row = rig->log.size();
        jd = 1.0;
        const QString name = number.isEmpty() ? "NEW OBJECT (123456789)" : "CALSPHERE 1";
        chain->start(number.isEmpty() ? entry(qPrintable(name), "NEW OBJECT\n", {}, {})
                                      : entry("CALSPHERE 1", "CALSPHERE 1\n",
                                              QByteArray(kCalsphereLine1).replace(2, 5, number),
                                              QByteArray(kCalsphereLine2).replace(2, 5, number)));
        QCOMPARE(rig->log.value(row), logLine(LogLevel::Info, "Selected " + name + "."));
        // The pass starts at the instant of its asking, not of the start.
        jd = 2461015.5;
        QByteArray sent;
        if (!uploadReply.isNull()) {
            sent = QByteArray(upload).replace("00900", number);
            STEP(expectThenAnswer(sent, uploadReply));
        }
        if (!passReply.isNull()) {
            sent += ":TLEP2461015.50000000,10#";
            STEP(expectThenAnswer(sent, passReply));
        }
        if (!slewReply.isNull()) {
            sent += ":TLES#";
            STEP(expectThenAnswer(sent, slewReply));
        }
        rig->link.stop();
        QTRY_COMPARE(rig->mount.afterHandshake(), sent + ":STOP#");
        QTRY_COMPARE(rig->log.mid(row + 1).join('\n'), line);
    }

    void statusPoll_data() {
        QTest::addColumn<QByteArray>("firmware");
        QTest::addColumn<QByteArray>("state");
        QTest::addColumn<QByteArray>("errors"); // null: not asked for
        QTest::addColumn<QString>("line");      // the status line after the poll
        QTest::addColumn<QString>("logged");
        QTest::addColumn<double>("riseSeconds"); // a countdown to a rise this far ahead; 0: none
        QTest::addColumn<QString>("reading");    // the poll's reading: code, errors; "": unchecked
        const auto row = [](const char* name, const char* firmware, const char* state,
                            const char* errors, const QString& line, const QString& logged = {},
                            const char* reading = "", double riseSeconds = 0.0) {
            QTest::newRow(name) << QByteArray(firmware) << QByteArray(state) << QByteArray(errors)
                                << line << logged << riseSeconds << QString(reading);
        };
        const QString zero = "  errors: 0.00\", 0.00\"";
        const char* const zeros = "1,2,0,4,0";
        row("E", "2.15.14", "E", zeros, "No transit tracking requested" + zero);
        row("P", "2.15.14", "P", zeros, "Waiting for transit" + zero);
        row("Q", "2.15.14", "Q", zeros, "Transit ended" + zero);
        row("S", "2.15.14", "S", zeros, "Slewing to catch satellite" + zero);
        row("V", "2.15.14", "V", zeros, "Slewing to start of transit" + zero);
        row("T with errors", "2.15.14", "T", "0,0,0.0025,0,-0.001",
            "Tracking satellite  errors: 9.00\", -3.60\"", {}, "T 9.00 -3.60");
        row("four fields keep the line", "2.15.14", "S", "1,2,0.5,4", "Tracking satellite" + zero,
            logLine(LogLevel::Error, "Couldn't get axis tracking errors."), "S nan nan");
        row("empty field 2", "2.15.14", "P", "1,2,,4,0.001", "Waiting for transit", {},
            "P nan nan");
        row("quoted field with a comma", "2.15.14", "T", "1,\"a,b\",0.001,x,0.002",
            "Tracking satellite  errors: 3.60\", 7.20\"");
        row("unknown code keeps the state", "2.15.14", "X", zeros, "Tracking satellite" + zero, {},
            "T 0.00 0.00");
        row("empty code keeps the state", "2.15.14", "", zeros, "Tracking satellite" + zero);
        row("2.15.13: the state alone", "2.15.13", "P", nullptr, "Waiting for transit", {},
            "P nan nan");
        row("2.15.13: unknown code", "2.15.13", "X", nullptr, "Tracking satellite");
        // The countdown takes the place of the errors while the mount waits, rounded up.
        row("P counts down", "2.15.14", "P", zeros, "Waiting for transit: rises in 02:06", {},
            "P 0.00 0.00", 125.4);
        row("P counts down an hour", "2.15.13", "P", nullptr, "Waiting for transit: rises in 62:05",
            {}, "P nan nan", 3724.5);
        row("P after the rise", "2.15.14", "P", zeros, "Waiting for transit" + zero, {}, "", -5.0);
        row("T while counting down", "2.15.14", "T", zeros, "Tracking satellite" + zero, {}, "",
            60.0);
    }

    // A first poll of T, then the row's; a Stop queued after it follows at once.
    void statusPoll() {
        QFETCH(QByteArray, firmware);
        QFETCH(QByteArray, state);
        QFETCH(QByteArray, errors);
        QFETCH(QString, line);
        QFETCH(QString, logged);
        QFETCH(double, riseSeconds);
        QFETCH(QString, reading);

        const bool withErrors = !errors.isNull();
        STEP(rig->connect(firmware));
        if (riseSeconds != 0.0)
            poll->countDownTo(jd + riseSeconds / 86400.0, [this] { return jd; });
        QSignalSpy readings(poll.get(), &TrackingStatusPoll::readingReceived);
        const int row = rig->log.size();
        STEP(answerPoll("T", withErrors ? QByteArray("0,0,0,0,0") : QByteArray()));
        QCOMPARE(statusLines.size(), 1);
        STEP(answerPoll(state, errors));
        QCOMPARE(statusLines.size(), logged.isEmpty() ? 2 : 1);
        QCOMPARE(statusLines.last(), line);
        QCOMPARE(rig->log.mid(row), logged.isEmpty() ? QStringList() : QStringList{logged});
        QCOMPARE(readings.size(), 2);
        const QList<QVariant> last = readings.last();
        if (!reading.isEmpty())
            QCOMPARE(QString("%1 %2 %3")
                         .arg(QChar(last[0].value<char>()))
                         .arg(last[1].toDouble(), 0, 'f', 2)
                         .arg(last[2].toDouble(), 0, 'f', 2),
                     reading);

        const QByteArray poll = withErrors ? ":TLESCK#:GaE#" : ":TLESCK#";
        rig->link.stop();
        QTRY_COMPARE(rig->mount.afterHandshake(), poll + poll + ":STOP#");
    }

    void passRecord_data() {
        // b: the slew taken; x: the link ends; fill: the most samples a record keeps, tracking;
        // CODE[:E1:E2]: a poll's reading (errors in arc-seconds, none when not read).
        QTest::addColumn<QString>("events");
        QTest::addColumn<QList<int>>("samples"); // of each record written, oldest first
        QTest::addColumn<QString>("logged");     // the last line logged; PATH: the last record
        const QString noErrors = "Info: Pass record: PATH (no tracking errors read).";
        QTest::newRow("ends at Transit ended; RMS and peak while tracking")
            << "T:9:9 b S:7:7 T:3:1 T:-4:-2 Q Q" << QList<int>{4}
            << "Info: Pass record: PATH (RMS 3.5\", 1.6\").";
        QTest::newRow("ends when stopped") << "b E V P T:1:1 E T:5:5" << QList<int>{5}
                                           << "Info: Pass record: PATH (RMS 1.0\", 1.0\").";
        QTest::newRow("a new slew ends the pass") << "b T:2:2 b T:1:1 x" << QList<int>{1, 1}
                                                  << "Info: Pass record: PATH (RMS 1.0\", 1.0\").";
        QTest::newRow("the link ends it; no errors read")
            << "b S T x T" << QList<int>{2} << noErrors;
        QTest::newRow("no slew, no record") << "T:1:1 Q x" << QList<int>{} << "";
        QTest::newRow("a pass without end")
            << "b fill T:1:1 x" << QList<int>{int(PassRecorder::kMaxSamples), 1}
            << "Info: Pass record: PATH (RMS 1.0\", 1.0\").";
    }

    void passRecord() {
        QFETCH(QString, events);
        QFETCH(QList<int>, samples);
        QFETCH(QString, logged);
        QTemporaryDir dir;
        const QDir folder(dir.filePath("passes"));
        const TimeScales scales;
        int ticks = 0;
        PassRecorder recorder(scales, folder.path(), [&ticks](long number) {
            return SatelliteFix{2461119.5 + ticks++ / 86400.0, number == 900 ? 45.0 : NAN, 180.0};
        });
        rig->record(&recorder);
        recorder.follow(900, 1.5);
        for (const QString& event : events.split(' ')) {
            const QStringList f = event.split(':');
            if (event == "b")
                recorder.beginPass();
            else if (event == "x")
                recorder.endPass();
            else if (event == "fill")
                for (std::size_t i = 0; i < PassRecorder::kMaxSamples; ++i)
                    recorder.addReading('T', 1.0, -1.0);
            else
                recorder.addReading(f[0].at(0).toLatin1(), f.value(1, "nan").toDouble(),
                                    f.value(2, "nan").toDouble());
        }
        const QStringList files = folder.entryList(QDir::Files, QDir::Name);
        QCOMPARE(files.size(), samples.size());
        const QRegularExpression line(
            "^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3}Z,[EPQSTV],"
            "(-?\\d+\\.\\d{3},-?\\d+\\.\\d{3}|,),45\\.000000,180\\.000000,"
            "1\\.500$");
        for (int i = 0; i < files.size(); ++i) {
            QVERIFY2(QRegularExpression("^\\d{8}-\\d{6}-900\\.csv$").match(files[i]).hasMatch(),
                     qPrintable(files[i]));
            QFile file(folder.filePath(files[i]));
            QVERIFY(file.open(QIODevice::ReadOnly));
            const QStringList lines = QString::fromLatin1(file.readAll()).split('\n');
            QCOMPARE(lines.size(), samples[i] + 2); // the header, the samples, the last line end
            QCOMPARE(lines[0], QString("utc,status,first_axis_error_arcsec,second_axis_error_"
                                       "arcsec,altitude_deg,azimuth_deg,time_offset_s"));
            for (const QString& sample : lines.mid(1, samples[i]))
                QVERIFY2(line.match(sample).hasMatch(), qPrintable(sample));
        }
        const QString path =
            files.isEmpty() ? "" : QDir::toNativeSeparators(folder.filePath(files.last()));
        QCOMPARE(rig->log.value(rig->log.size() - 1), logged.replace("PATH", path));
    }

private:
    // A catalogue entry as far as the chain reads it: the name it logs and the three lines.
    static CatalogueEntry entry(const char* name, const char* nameLine, const QByteArray& line1,
                                const QByteArray& line2) {
        CatalogueEntry satellite;
        std::strncpy(satellite.displayName, name, sizeof satellite.displayName - 1);
        satellite.nameLine = nameLine;
        satellite.line1 = line1.toStdString();
        satellite.line2 = line2.toStdString();
        return satellite;
    }

    // One poll answered with the state and, unless null, the errors.
    void answerPoll(const QByteArray& state, const QByteArray& errors) {
        const QByteArray before = rig->mount.afterHandshake();
        poll->poll();
        STEP(expectThenAnswer(before + ":TLESCK#", state));
        if (!errors.isNull())
            STEP(expectThenAnswer(before + ":TLESCK#:GaE#", errors));
        QTRY_VERIFY(rig->link.isIdle());
    }

    std::unique_ptr<TransitChain> chain;
    std::unique_ptr<TrackingStatusPoll> poll;
    double jd = 0.0;
    QStringList statusLines;
};

QTEST_GUILESS_MAIN(TestTransitChain)
#include "tst_transit_chain.moc"
