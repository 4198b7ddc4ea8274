// Every committed seed of every fuzz target, run through the target's own code in the normal
// build (and so under ./test --sanitize with gcc's sanitizers): the seeds keep passing, and the
// targets keep compiling, between fuzzing runs. Each target's entry point is renamed for this
// program (see CMakeLists.txt). With ORBITRAK_FUZZ_CORPUS set to another folder of
// <target>/ folders (a fuzzing run's build-fuzz/fuzz-corpus, say) it runs those inputs instead.

#include <QDir>
#include <QFile>
#include <QtTest>

#include <cstdint>

extern "C" int fuzzCatalogueOneInput(const std::uint8_t* data, std::size_t size);
extern "C" int fuzzUtcTableOneInput(const std::uint8_t* data, std::size_t size);
extern "C" int fuzzMountRepliesOneInput(const std::uint8_t* data, std::size_t size);
extern "C" int fuzzMountsimCommandsOneInput(const std::uint8_t* data, std::size_t size);

namespace {

using EntryPoint = int (*)(const std::uint8_t*, std::size_t);

struct Target {
    const char* name;
    EntryPoint entry;
};

const Target kTargets[] = {
    {"fuzz_catalogue", fuzzCatalogueOneInput},
    {"fuzz_utc_table", fuzzUtcTableOneInput},
    {"fuzz_mount_replies", fuzzMountRepliesOneInput},
    {"fuzz_mountsim_commands", fuzzMountsimCommandsOneInput},
};

QString corpusFolder(const char* target) {
    const QByteArray other = qgetenv("ORBITRAK_FUZZ_CORPUS");
    const QString root =
        other.isEmpty() ? QStringLiteral(ORBITRAK_FUZZ_CORPUS) : QString::fromLocal8Bit(other);
    return root + QLatin1Char('/') + QLatin1String(target);
}

} // namespace

Q_DECLARE_METATYPE(EntryPoint)

class TestFuzzSeeds : public QObject {
    Q_OBJECT

private slots:
    void everyTargetHasSeeds();
    void seedPasses_data();
    void seedPasses();
};

void TestFuzzSeeds::everyTargetHasSeeds() {
    for (const Target& target : kTargets) {
        const QDir folder(corpusFolder(target.name));
        QVERIFY2(folder.entryList(QDir::Files).size() >= 3, target.name);
    }
}

void TestFuzzSeeds::seedPasses_data() {
    QTest::addColumn<EntryPoint>("entry");
    QTest::addColumn<QString>("path");
    for (const Target& target : kTargets) {
        const QDir folder(corpusFolder(target.name));
        for (const QString& file : folder.entryList(QDir::Files, QDir::Name))
            QTest::addRow("%s/%s", target.name, qPrintable(file))
                << target.entry << folder.filePath(file);
    }
}

// A seed that fails stops the program with the target's own message, as the fuzzer would.
void TestFuzzSeeds::seedPasses() {
    QFETCH(EntryPoint, entry);
    QFETCH(QString, path);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    QCOMPARE(
        entry(reinterpret_cast<const std::uint8_t*>(bytes.constData()), std::size_t(bytes.size())),
        0);
}

QTEST_GUILESS_MAIN(TestFuzzSeeds)
#include "tst_fuzz_seeds.moc"
