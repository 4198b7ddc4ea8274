#include "catalogue/catalogue.h"
#include "catalogue/catalogue_updater.h"
#include "catalogue/update_settings.h"
#include "tests/catalogue/http_test_server.h"
#include "tests/common/file_bytes.h"
#include "tests/common/scratch_settings_main.h"
#include "tests/common/test_sets.h"

#include "orbitrak_version.h"

#include <QRegularExpression>
#include <QSettings>
#include <QSslSocket>
#include <QTemporaryDir>

namespace {

// A set with the character at index `up` of a line raised by one and the one at `down` (unless
// -1) lowered by one: a pair of digits so changed keeps the line's check digit.
QByteArray changed(QByteArray set, int line, int up, int down) {
    int start = 0;
    for (int i = 0; i < line; ++i)
        start = set.indexOf('\n', start) + 1;
    set[start + up] = char(set[start + up] + 1);
    if (down >= 0)
        set[start + down] = char(set[start + down] - 1);
    return set;
}
// Epoch 0.9 days later: the day's last digit up, the fraction's first down.
QByteArray later(const QByteArray& set) {
    return changed(set, 1, 22, 24);
}
QByteArray earlier(const QByteArray& set) {
    return changed(set, 1, 24, 22);
}

} // namespace

Q_DECLARE_METATYPE(CatalogueUpdater::Limits)

class TestUpdate : public QObject {
    Q_OBJECT

    HttpTestServer server;
    QList<QByteArray> sets; // real ones, three lines each
    QTemporaryDir files;
    QString fileSource;

    // An update of the target from the sources, run to its end: the texts of its messages.
    static QStringList run(CatalogueUpdater& updater, const QStringList& sources,
                           const QString& target) {
        QSignalSpy finished(&updater, &CatalogueUpdater::finished);
        QStringList texts;
        if (updater.start(sources, target) && finished.wait(60000))
            for (const UpdateMessage& message : updateMessages(updater.outcome()))
                texts << message.text;
        return texts;
    }

private slots:
    void initTestCase() {
        QFile catalogue(ORBITRAK_ACTIVE_CATALOGUE);
        QVERIFY(catalogue.open(QIODevice::ReadOnly));
        for (int i = 0; i < 6; ++i) {
            QByteArray set = catalogue.readLine(); // one read after the other
            set += catalogue.readLine();
            sets << set + catalogue.readLine();
        }
        const QByteArray abc = sets[0] + sets[1] + sets[2];
        const QByteArray big = abc.repeated(20);
        QMap<QByteArray, QByteArray>& answers = server.answers;
        answers["/a"] = server.response("200 OK", abc);
        answers["/b"] = server.response("200 OK", sets[3] + later(sets[1]) + earlier(sets[0]));
        answers["/missing"] = server.response("404 Not Found", "no such page");
        answers["/html"] = server.response("200 OK", "<html><body>Moved.</body></html>\n",
                                           "Content-Type: text/html\r\n");
        answers["/cut-short"] =
            server.response("200 OK", abc.left(200),
                            "Content-Length: " + QByteArray::number(abc.size()) + "\r\n", false);
        answers["/cut-line"] = server.response("200 OK", abc.left(sets[0].size() + 100), {}, false);
        answers["/bad"] =
            server.response("200 OK", changed(sets[0], 1, 68, -1) + changed(sets[1], 2, 68, -1));
        answers["/redirect"] = server.response("302 Found", {}, "Location: /a\r\n");
        answers["/big"] = server.response("200 OK", big);
        answers["/big-unsized"] = server.response("200 OK", big, {}, false);
        answers["/moved"] = server.response("301 Moved Permanently", {}, "Location: /a\r\n");
        // The first set as CelesTrak's JSON, and one whose number no TLE can carry.
        const QByteArray record =
            R"({"OBJECT_NAME": "%1", "OBJECT_ID": "1964-063C",
                "EPOCH": "2026-03-19T06:00:50.156064", "MEAN_MOTION": 13.76510242,
                "ECCENTRICITY": 0.0024457, "INCLINATION": 90.217, "RA_OF_ASC_NODE": 69.6682,
                "ARG_OF_PERICENTER": 200.0471, "MEAN_ANOMALY": 222.5878, "EPHEMERIS_TYPE": 0,
                "CLASSIFICATION_TYPE": "U", "NORAD_CAT_ID": %2, "ELEMENT_SET_NO": 999,
                "REV_AT_EPOCH": 5905, "BSTAR": 0.00058848, "MEAN_MOTION_DOT": 0.00000586,
                "MEAN_MOTION_DDOT": 0})";
        const QByteArray calsphere = QString(record).arg("CALSPHERE 1").arg(900).toUtf8();
        answers["/json"] = server.response(
            "200 OK", "[" + calsphere + "," +
                          QString(record).arg("NEW OBJECT").arg(123456789).toUtf8() + "]");
        answers["/self"] = server.response("301 Moved Permanently", {}, "Location: /self\r\n");
        // Without a length, cut where a set ends.
        QByteArray xml = "<?xml version=\"1.0\"?>\n<ndm>\n<omm>";
        const QRegularExpression field("\"(\\w+)\": \"?([^\",}]*)\"?");
        for (auto m = field.globalMatch(calsphere); m.hasNext();) {
            const QRegularExpressionMatch f = m.next();
            xml += QString("<%1>%2</%1>").arg(f.captured(1), f.captured(2)).toUtf8();
        }
        answers["/whole-unframed"] = server.response("200 OK", abc, {}, false);
        answers["/cut-tle"] = server.response("200 OK", abc.chopped(1), {}, false);
        answers["/cut-json"] = server.response("200 OK", "[" + calsphere + ",", {}, false);
        answers["/cut-xml"] = server.response("200 OK", xml + "</omm>\n", {}, false);
        answers["/whole-xml"] = server.response("200 OK", xml + "</omm>\n</ndm>\n", {}, false);
        QVERIFY(big.size() > 4096);
        fileSource = QUrl::fromLocalFile(files.filePath("sets.txt")).toString();
        QVERIFY(writeBytes(files.filePath("sets.txt"), sets[3] + sets[4]));
    }

    void checks_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("valid");
        QTest::addColumn<int>("skipped");
        QTest::addColumn<QByteArray>("names"); // of the sets kept, '|' between them
        const auto row = [](const char* name, const QByteArray& text, int valid, int skipped,
                            const char* names = "") {
            QTest::newRow(name) << text << valid << skipped << QByteArray(names);
        };
        const QByteArray s = sets[0];
        const QByteArray bare = s.mid(s.indexOf('\n') + 1); // without its name line
        QByteArray alpha5 = s;
        alpha5.replace("00900", "A0900"); // a letter counts 0 in the check digit, as '0' does
        QByteArray crlf = "\n  \n" + s;
        crlf.replace("\n", "   \r\n").chop(2);
        row("real set", s, 1, 0, "CALSPHERE 1");
        row("Alpha-5", alpha5, 1, 0, "CALSPHERE 1");
        row("Alpha-5 with I", QByteArray(alpha5).replace("A0900", "I0900"), 0, 1);
        row("two numbers", changed(s, 2, 5, 4), 0, 1);
        row("check digit", changed(s, 1, 68, -1), 0, 1);
        row("CR LF, blanks, no last line feed", crlf, 1, 0, "CALSPHERE 1   ");
        row("no name line", bare + sets[1], 2, 0, "1964-063C|CALSPHERE 2");
        row("blank designator",
            QByteArray(bare).replace("64063C  ", "        ").replace(" 9991", " 9992"), 1, 0,
            "900");
        row("Space-Track's 0 NAME", "0 " + s + "0 " + sets[1], 2, 0, "CALSPHERE 1|CALSPHERE 2");
        row("line 2 missing", s.left(s.lastIndexOf('\n', -2) + 1) + sets[1], 1, 1, "CALSPHERE 2");
        row("page around", "<html><pre>\n" + s + "</pre></html>", 1, 0, "CALSPHERE 1");
        row("page only", "<html>\n<p>1 2 3</p>\n</html>\n", 0, 0);
    }

    void checks() {
        QFETCH(QByteArray, text);
        QFETCH(int, valid);
        QFETCH(int, skipped);
        QFETCH(QByteArray, names);
        const CheckedText checked = checkElementSets(text.toStdString());
        QCOMPARE(int(checked.sets.size()), valid);
        QCOMPARE(int(checked.skipped), skipped);
        QByteArrayList kept;
        for (const CheckedElementSet& set : checked.sets)
            kept << QByteArray::fromStdString(set.nameLine);
        QCOMPARE(kept.join('|'), names);
    }

    void medianAge() {
        Catalogue catalogue;
        QVERIFY(!medianAgeDays(catalogue, 0));
        for (double epoch : {10.0, 4.0, 9.0, 0.0}) {
            catalogue.satellites.emplace_back();
            catalogue.satellites.back().elements.jdsatepoch = epoch;
            if (epoch == 9.0)
                QCOMPARE(*medianAgeDays(catalogue, 12.0), 3.0); // ages 2, 8, 3
        }
        QCOMPARE(*medianAgeDays(catalogue, 12.0), 5.5); // and 12
    }

    void settings() {
        QSettings store("Halvstar", "Orbitrak");
        QCOMPARE(readTleSources(), QStringList{kDefaultTleSource});
        QCOMPARE(readAutoUpdateDays(), 0);
        QVERIFY(writeTleSources({"file:///a.txt", fileSource}));
        QCOMPARE(readTleSources(), QStringList({"file:///a.txt", fileSource}));
        QVERIFY(readBytes(store.fileName()).contains("tle_sources=file:///a.txt, "));
        store.setValue("tle_sources", "file:///b.txt"); // as a person types it in the file
        QCOMPARE(readTleSources(), QStringList{"file:///b.txt"});
        QVERIFY(writeTleSources({}));
        QCOMPARE(readTleSources(), QStringList{kDefaultTleSource});
    }

    void update_data() {
        QTest::addColumn<QStringList>("sources");
        QTest::addColumn<QByteArray>("result"); // empty: the old file must stay
        QTest::addColumn<QStringList>("messages");
        QTest::addColumn<CatalogueUpdater::Limits>("limits");
        const auto row = [](const char* name, const char* sources, const QByteArray& result,
                            const QStringList& messages,
                            CatalogueUpdater::Limits limits = {kMaxSourceBytes, kSourceTimeoutMs}) {
            QTest::newRow(name) << QString(sources).split(' ') << result << messages << limits;
        };
        row("merge", "URL/a URL/b", sets[0] + later(sets[1]) + sets[2] + sets[3],
            {"Updated 4 element sets from 2 sources."});
        row("redirect, file", "URL/redirect FILE", sets[0] + sets[1] + sets[2] + sets[3] + sets[4],
            {"Updated 5 element sets from 2 sources."});
        row("cut in a line", "URL/cut-line", {},
            {"Cannot update from URL/cut-line: the answer, without a length, does not end with a "
             "line feed after a line 2."});
        row("moved", "URL/moved", sets[0] + sets[1] + sets[2],
            {"URL/moved has moved to URL/a: change it in TLEs > Sources...",
             "Updated 3 element sets from 1 source."});
        row("301 to itself", "URL/self", {}, {"Cannot update from URL/self: too many redirects."});
        row("without a length", "URL/whole-unframed URL/whole-xml", sets[0] + sets[1] + sets[2],
            {"Updated 3 element sets from 2 sources."});
        row("cut TLE", "URL/cut-tle", {},
            {"Cannot update from URL/cut-tle: the answer, without a length, does not end with a "
             "line feed after a line 2."});
        for (const char* form : {"JSON", "XML"})
            row(qPrintable(QString("cut ") + form),
                qPrintable(QString("URL/cut-") + QString(form).toLower()), {},
                {QString("Cannot update from URL/cut-%1: the answer, without a length, ends before "
                         "its %2 document does.")
                     .arg(QString(form).toLower(), form)});
        row("JSON", "URL/json", sets[0],
            {"Updated 1 element set from 1 source.",
             "Skipped 1 element set whose catalogue number does not fit a TLE."});
        row("404", "URL/a URL/missing", {}, {"Cannot update from URL/missing: HTTP status 404."});
        row("page", "URL/html", {}, {"Cannot update from URL/html: no valid element set."});
        row("cut short", "URL/cut-short", {}, {"Cannot update from URL/cut-short: *"});
        row("check digits", "URL/bad", {},
            {"Skipped 2 element sets that failed their checks.",
             "Cannot update from URL/bad: no valid element set."});
        row("slow", "URL/slow", {}, {"Cannot update from URL/slow: no answer within 0.3 s."},
            {kMaxSourceBytes, 300});
        for (const char* path : {"big", "big-unsized"})
            row(path, qPrintable(QString("URL/") + path), {},
                {QString("Cannot update from URL/%1: more than 4096 bytes.").arg(path)},
                {4096, kSourceTimeoutMs});
        row("no file", "FILE.gone", {},
            {"Cannot update from FILE.gone: cannot read the file (No such file or directory)."});
    }

    void update() {
        QFETCH(QStringList, sources);
        QFETCH(QByteArray, result);
        QFETCH(QStringList, messages);
        QFETCH(CatalogueUpdater::Limits, limits);
        QTemporaryDir work;
        const QString target = work.filePath("satell.txt");
        QVERIFY(writeBytes(target, sets[5]));
        for (QString& source : sources)
            source.replace("URL", server.url("")).replace("FILE", fileSource);
        QTemporaryDir cache;
        CatalogueUpdater updater;
        updater.setCacheFolder(cache.path());
        updater.setLimits(limits);
        const QStringList texts = run(updater, sources, target);
        QCOMPARE(texts, expectedLines(messages, texts, server.url(""), fileSource));
        QCOMPARE(updater.outcome().replaced, !result.isEmpty());
        QCOMPARE(readBytes(target), result.isEmpty() ? sets[5] : result);
        QCOMPARE(QDir(work.path()).entryList(QDir::Files | QDir::Hidden),
                 QStringList{"satell.txt"});
    }

    // Two updates of one source in a row, the second `later` seconds after the first, with the
    // server's answer changed in between.
    void polite_data() {
        QTest::addColumn<QByteArray>("first");
        QTest::addColumn<QByteArray>("second");
        QTest::addColumn<int>("later");
        QTest::addColumn<bool>("force");
        QTest::addColumn<int>("requests");
        QTest::addColumn<QStringList>("messages"); // of both updates
        const auto row = [](const char* name, const QByteArray& first, const QByteArray& second,
                            int later, bool force, int requests, const QStringList& messages) {
            QTest::newRow(name) << first << second << later << force << requests << messages;
        };
        const QByteArray ok = "200 OK", unchanged = "304 Not Modified";
        const QString updated = "Updated 3 element sets from 1 source.";
        const QString paused =
            "Updates from 127.0.0.1 paused until 2026-07-13 10:00 UTC after HTTP %1.";
        row("within 2 hours", ok, ok, 7199, false, 1,
            {updated, "Used the copy of URL/p from 119 minutes ago.", updated});
        row("2 hours later, 304", ok, unchanged, 7200, false, 2, {updated, updated});
        row("forced, 304", ok, unchanged, 60, true, 2, {updated, updated});
        row("forced, 403", ok, "403 Forbidden", 60, true, 2,
            {updated, QString(paused).arg(403).replace("10:00", "10:01"),
             "Cannot update from URL/p: HTTP status 403."});
        for (const char* status : {"403 Forbidden", "429 Too Many Requests", "503 Busy"}) {
            const QString code = QString(status).left(3);
            row(status, QByteArray(status), ok, 86399, true, 1,
                {paused.arg(code), "Cannot update from URL/p: HTTP status " + code + ".",
                 "Cannot update from URL/p: paused until 2026-07-13 10:00 UTC after HTTP " + code +
                     "."});
        }
        row("24 hours after a 503", "503 Busy", ok, 86400, false, 2,
            {paused.arg(503), "Cannot update from URL/p: HTTP status 503.", updated});
    }

    void polite() {
        QFETCH(QByteArray, first);
        QFETCH(QByteArray, second);
        QFETCH(int, later);
        QFETCH(bool, force);
        QFETCH(int, requests);
        QFETCH(QStringList, messages);
        QTemporaryDir work, cache;
        const QString target = work.filePath("satell.txt");
        const QByteArray abc = sets[0] + sets[1] + sets[2];
        const QDateTime start(QDate(2026, 7, 12), QTime(10, 0), Qt::UTC);
        QDateTime at = start;
        CatalogueUpdater updater;
        updater.setCacheFolder(cache.path());
        updater.setClock([&at] { return at; });
        server.requests.clear();
        QStringList texts;
        for (const QByteArray& status : {first, second}) {
            server.answers["/p"] =
                server.response(status, status == "200 OK" ? abc : QByteArray(),
                                "ETag: \"v1\"\r\nLast-Modified: Sun, 12 Jul 2026 09:00:00 GMT\r\n");
            QVERIFY(writeBytes(target, sets[5]));
            texts += run(updater, {server.url("/p")}, target);
            QCOMPARE(readBytes(target),
                     texts.last() == "Updated 3 element sets from 1 source." ? abc : sets[5]);
            at = start.addSecs(later);
            updater.setForce(force);
        }
        QCOMPARE(texts, expectedLines(messages, texts, server.url(""), fileSource));
        QCOMPARE(server.requests.value("/p"), requests);
        const QByteArray last = server.lastRequest.value("/p");
        QVERIFY(last.contains("\r\nUser-Agent: Orbitrak/" ORBITRAK_VERSION "\r\n"));
        if (requests == 2 && first == "200 OK")
            for (const char* header :
                 {"If-None-Match: \"v1\"", "If-Modified-Since: Sun, 12 Jul 2026 09:00:00 GMT"})
                QVERIFY2(last.contains(header), last.constData());
        const QVector<HostPause> pauses =
            CatalogueUpdater::pausedHosts({server.url("/a")}, cache.path(), start.addSecs(later));
        QCOMPARE(pauses.size(),
                 int(messages.join('\n').contains("paused until")) - int(later >= 86400));
        CatalogueUpdater::liftPause("127.0.0.1", cache.path());
        QVERIFY(CatalogueUpdater::pausedHosts({server.url("/a")}, cache.path(), start).isEmpty());
    }

    // Answers without a length, one update after the other as the clock moves on: one that
    // gives fewer than half the sets of the last good answer is kept aside, leaving the catalogue
    // and the kept copy as they were, until an update is forced. Validators with a control
    // character are not kept, so they never go back as headers.
    void keptAside() {
        QTemporaryDir work, cache;
        const QString target = work.filePath("satell.txt");
        const QByteArray four = sets[0] + sets[1] + sets[2] + sets[3];
        const QDateTime start(QDate(2026, 7, 12), QTime(10, 0), Qt::UTC);
        QDateTime at = start;
        CatalogueUpdater updater;
        updater.setCacheFolder(cache.path());
        updater.setClock([&at] { return at; });
        const QString url = server.url("/u");
        const QString kept =
            "The answer of URL came without a length and gave 1 element set, fewer than half of "
            "the 4 of its last update: it may have been cut short, so it was kept aside, not "
            "merged. A forced update takes it (orbitrak-cli update --force, or TLEs > Update now, "
            "ignoring the 2-hour rule).\nCannot update from URL: kept aside as perhaps cut short.";
        const struct {
            int minutes;
            bool force;
            QByteArray status, body, validators;
            QString messages;
            QByteArray result;
        } steps[] = {
            {0, false, "200 OK", four, "ETag: \"v1\rX-Injected: 1\"\r\n",
             "Updated 4 element sets from 1 source.", four},
            {120, false, "200 OK", sets[4], {}, kept, sets[5]},
            {121, false, "304 Not Modified", {}, {}, "Updated 4 element sets from 1 source.", four},
            {122, true, "200 OK", sets[4], {}, "Updated 1 element set from 1 source.", sets[4]},
        };
        for (const auto& step : steps) {
            at = start.addSecs(step.minutes * 60);
            updater.setForce(step.force);
            server.answers["/u"] = server.response(step.status, step.body, step.validators, false);
            QVERIFY(writeBytes(target, sets[5]));
            QCOMPARE(run(updater, {url}, target).join('\n'),
                     QString(step.messages).replace("URL", url));
            QCOMPARE(readBytes(target), step.result);
            const QByteArray request = server.lastRequest.value("/u");
            QVERIFY2(!request.contains("X-Injected"), request.constData());
        }
    }

    void endlessAnswers_data() {
        QTest::addColumn<QByteArray>("head");
        QTest::addColumn<QByteArray>("piece"); // sent again and again after the head
        QTest::addColumn<CatalogueUpdater::Limits>("limits");
        QTest::addColumn<QString>("why");
        QTest::newRow("header without end")
            << QByteArray("HTTP/1.1 200 OK\r\n") << "X-Pad: " + QByteArray(1000, 'a') + "\r\n"
            << CatalogueUpdater::Limits{kMaxSourceBytes, 300} << "no answer within 0.3 s.";
        QTest::newRow("chunked body without end")
            << QByteArray("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n")
            << "10000\r\n" + QByteArray(65536, 'x') + "\r\n"
            << CatalogueUpdater::Limits{1024 * 1024, kSourceTimeoutMs} << "more than 1 MiB.";
    }

    // An answer without end fails at its limit; a body, having read little beyond it: Qt's
    // thread reads ahead only as far as the updater takes (the bytes read count every read of
    // the process while the update runs). Then a healthy source through the same updater, as
    // the window keeps one for every update it runs.
    void endlessAnswers() {
        QFETCH(QByteArray, head);
        QFETCH(QByteArray, piece);
        QFETCH(CatalogueUpdater::Limits, limits);
        QFETCH(QString, why);
        QFile io("/proc/self/io");
        const auto bytesRead = [&io] {
            io.seek(0);
            return io.readAll().split('\n').value(0).mid(int(qstrlen("rchar: "))).toLongLong();
        };
        const bool counted = io.open(QIODevice::ReadOnly);
        QTemporaryDir work, cache;
        const QString target = work.filePath("satell.txt");
        QVERIFY(writeBytes(target, sets[5]));
        CatalogueUpdater updater;
        updater.setCacheFolder(cache.path());
        updater.setLimits(limits);
        const qint64 before = counted ? bytesRead() : 0;
        {
            EndlessServer endless(head, piece, qint64(4) << 30);
            QCOMPARE(run(updater, {endless.url()}, target).value(0),
                     "Cannot update from " + endless.url() + ": " + why);
        }
        const qint64 read = counted ? bytesRead() - before : 0;
        QVERIFY2(limits.maxBytes == kMaxSourceBytes || read < limits.maxBytes + 2 * 1024 * 1024,
                 qPrintable(QString::number(read)));
        QCOMPARE(readBytes(target), sets[5]);
        updater.setLimits({kMaxSourceBytes, kSourceTimeoutMs});
        QCOMPARE(run(updater, {server.url("/a")}, target),
                 QStringList{"Updated 3 element sets from 1 source."});
        QCOMPARE(readBytes(target), sets[0] + sets[1] + sets[2]);
    }

    // Qt finds the system's OpenSSL (and on Qt 6 its TLS plugin), so https sources work.
    void httpsAvailable() {
        QVERIFY2(QSslSocket::supportsSsl(), qPrintable(QSslSocket::sslLibraryBuildVersionString()));
    }
};

ORBITRAK_SCRATCH_SETTINGS_MAIN(QCoreApplication, TestUpdate)
#include "tst_update.moc"
