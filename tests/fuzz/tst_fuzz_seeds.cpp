// Every committed seed of every fuzz target, run through the target's own code in the normal
// build (and so under ./test --sanitize with gcc's sanitizers): the seeds keep passing, and the
// targets keep compiling, between fuzzing runs. Each target's entry point is renamed for this
// program (see CMakeLists.txt). With ORBITRAK_FUZZ_CORPUS set to another folder of
// <target>/ folders (a fuzzing run's build-fuzz/fuzz-corpus, say) it runs those inputs instead.

#include <QDir>
#include <QFile>
#include <QtTest>

#include <cstdint>

// Each target's directory under corpus/ and its renamed entry point.
#define ORBITRAK_FUZZ_TARGETS(X)                                                                   \
    X(fuzz_catalogue, fuzzCatalogueOneInput)                                                       \
    X(fuzz_utc_table, fuzzUtcTableOneInput)                                                        \
    X(fuzz_mount_replies, fuzzMountRepliesOneInput)                                                \
    X(fuzz_mountsim_commands, fuzzMountsimCommandsOneInput)                                        \
    X(fuzz_element_forms, fuzzElementFormsOneInput)                                                \
    X(fuzz_horizon, fuzzHorizonOneInput)                                                           \
    X(fuzz_magnitudes, fuzzMagnitudesOneInput)                                                     \
    X(fuzz_sntp_reply, fuzzSntpReplyOneInput)                                                      \
    X(fuzz_observing_sites, fuzzObservingSitesOneInput)                                            \
    X(fuzz_mount_clock, fuzzMountClockOneInput)
#define ORBITRAK_DECLARE(name, entry) extern "C" int entry(const std::uint8_t*, std::size_t);
ORBITRAK_FUZZ_TARGETS(ORBITRAK_DECLARE)

using EntryPoint = int (*)(const std::uint8_t*, std::size_t);
Q_DECLARE_METATYPE(EntryPoint)

class TestFuzzSeeds : public QObject {
    Q_OBJECT

private slots:
    void seedPasses_data() {
        QTest::addColumn<EntryPoint>("entry");
        QTest::addColumn<QString>("path");
        const QByteArray other = qgetenv("ORBITRAK_FUZZ_CORPUS");
        const QDir root(other.isEmpty() ? QStringLiteral(ORBITRAK_FUZZ_CORPUS)
                                        : QString::fromLocal8Bit(other));
#define ORBITRAK_ROW(name, entry) {#name, entry},
        const std::pair<const char*, EntryPoint> targets[] = {ORBITRAK_FUZZ_TARGETS(ORBITRAK_ROW)};
        for (const auto& [name, entry] : targets) {
            const QDir folder(root.filePath(QLatin1String(name)));
            const QStringList files = folder.entryList(QDir::Files, QDir::Name);
            QVERIFY2(files.size() >= 3, name); // every target has seeds
            for (const QString& file : files)
                QTest::addRow("%s/%s", name, qPrintable(file)) << entry << folder.filePath(file);
        }
    }

    // A seed that fails stops the program with the target's own message, as the fuzzer would.
    void seedPasses() {
        QFETCH(EntryPoint, entry);
        QFETCH(QString, path);
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        QCOMPARE(entry(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                       std::size_t(bytes.size())),
                 0);
    }
};

QTEST_GUILESS_MAIN(TestFuzzSeeds)
#include "tst_fuzz_seeds.moc"
