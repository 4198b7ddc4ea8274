// The table file: what the loader accepts and rejects, and that the writer's files read back.

#include "tests/astro/time_fixtures.h"

#include <QDir>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include <cstring>
#include <functional>

Q_DECLARE_METATYPE(std::function<void(UtcTable&)>)
Q_DECLARE_METATYPE(std::function<void(std::vector<unsigned char>&)>)

namespace {

using TableEdit = std::function<void(UtcTable&)>;
using ByteEdit = std::function<void(std::vector<unsigned char>&)>;

void put_u32_at(std::vector<unsigned char>& b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b[at + static_cast<std::size_t>(i)] = static_cast<unsigned char>(v >> (8 * i));
}

// Offsets of the two counts in a fixture file.
std::size_t points_count_offset(const UtcTable& t) {
    return 20 + 24 * t.leaps.size();
}

} // namespace

class TstUtcTableFile : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir_;
    QString path(const char* name) const { return dir_.filePath(QString::fromLatin1(name)); }
    std::optional<UtcTable> load_bytes(const std::vector<unsigned char>& bytes) {
        const QString p = path("table.bin");
        if (!write_bytes(p, bytes))
            return std::nullopt;
        return load_utc_file(p.toStdString());
    }

private slots:
    void initTestCase() { QVERIFY(dir_.isValid()); }

    void writtenTableReadsBack() {
        UtcTable t = fixture_table();
        t.a = 1.5e-3;
        t.b = -2.25;
        const std::string p = path("round.bin").toStdString();
        QVERIFY(write_utc_file(p, t));
        const std::optional<UtcTable> r = load_utc_file(p);
        QVERIFY(r);
        // Every stored field comes back: the image of what was read equals the original's.
        QVERIFY(encode_utc_table(*r) == encode_utc_table(t));
        // The state a fresh table starts in, whatever the file says.
        QVERIFY(!r->proleptic && !r->extrapolation_active);
        QCOMPARE(r->reform_jd, 2299160.5);
        QCOMPARE(describe(r->reform_date), QByteArray("1582-10-15 00:00:00.000"));
        QCOMPARE(r->search_cache, -1);
        QCOMPARE(r->extrapolation_start, DBL_MAX);
        QCOMPARE(r->extrapolation_offset, 0.0);
    }

    void fileLayoutIsLittleEndianWithoutPadding() {
        UtcTable t = fixture_table();
        t.leaps = {leap(1972, 1, 1, 10.0, 41317.0f, 0.5f)};
        t.table_date = make_calendar(2020, 1, 1);
        const std::vector<unsigned char> b = encode_utc_table(t);
        QCOMPARE(b.size(), std::size_t(20 + 24 + 4 + 8 * 15 + 24));
        QCOMPARE(QByteArray(reinterpret_cast<const char*>(b.data()), 8), QByteArray("UTCBIN00"));
        const unsigned char header[] = {0xe4, 0x07, 0x00, 0x00, 0x01, 0x00, 0x01, 0x00, 0x01, 0x00,
                                        0x00, 0x00, 0xb4, 0x07, 0x00, 0x00, 0x01, 0x00, 0x01, 0x00};
        QVERIFY(std::memcmp(b.data() + 8, header, sizeof header) == 0);
        double offset;
        std::memcpy(&offset, b.data() + 28, 8); // the test machine is little-endian too
        QCOMPARE(offset, 10.0);
        float rate;
        std::memcpy(&rate, b.data() + 40, 4);
        QCOMPARE(rate, 0.5f);
        QCOMPARE(int(b[44]), 15); // M
    }

    void loaderAcceptsOrRejects_data() {
        QTest::addColumn<TableEdit>("edit");
        QTest::addColumn<ByteEdit>("bytes");
        QTest::addColumn<bool>("accepted");
        const TableEdit same = [](UtcTable&) {
        };
        const ByteEdit intact = [](std::vector<unsigned char>&) {
        };

        QTest::newRow("fixture") << same << intact << true;
        QTest::newRow("N = 0") << TableEdit([](UtcTable& t) { t.leaps.clear(); }) << intact
                               << false;
        QTest::newRow("N = 1") << TableEdit([](UtcTable& t) { t.leaps.resize(1); }) << intact
                               << true;
        QTest::newRow("M = 11") << TableEdit([](UtcTable& t) {
            t.points.erase(t.points.begin(), t.points.begin() + 4);
        }) << intact << false;
        QTest::newRow("M = 12") << TableEdit([](UtcTable& t) {
            t.points.erase(t.points.begin(), t.points.begin() + 3);
        }) << intact << true;
        QTest::newRow("M = 0") << TableEdit([](UtcTable& t) { t.points.clear(); }) << intact
                               << false;
        QTest::newRow("table date 1 day after last point")
            << TableEdit([](UtcTable& t) { t.table_date = make_calendar(2020, 1, 2); }) << intact
            << true;
        QTest::newRow("table date 3 days after last point")
            << TableEdit([](UtcTable& t) { t.table_date = make_calendar(2020, 1, 4); }) << intact
            << false;
        QTest::newRow("table date long before last point")
            << TableEdit([](UtcTable& t) { t.table_date = make_calendar(1900, 6, 30); }) << intact
            << true;
        QTest::newRow("wrong magic")
            << same << ByteEdit([](std::vector<unsigned char>& b) { b[7] = '1'; }) << false;
        QTest::newRow("lower-case magic")
            << same << ByteEdit([](std::vector<unsigned char>& b) { b[0] = 'u'; }) << false;
        QTest::newRow("empty file")
            << same << ByteEdit([](std::vector<unsigned char>& b) { b.clear(); }) << false;
        QTest::newRow("magic only, 7 bytes")
            << same << ByteEdit([](std::vector<unsigned char>& b) { b.resize(7); }) << false;
        QTest::newRow("trailing bytes") << same << ByteEdit([](std::vector<unsigned char>& b) {
            b.resize(b.size() + 100, 0xab);
        }) << true;
        QTest::newRow("N claims 4,000,000,000 records")
            << same
            << ByteEdit([](std::vector<unsigned char>& b) { put_u32_at(b, 16, 4000000000u); })
            << false;
        QTest::newRow("N claims 0xffffffff records")
            << same
            << ByteEdit([](std::vector<unsigned char>& b) { put_u32_at(b, 16, 0xffffffffu); })
            << false;
        QTest::newRow("M claims 4,000,000,000 points")
            << same << ByteEdit([](std::vector<unsigned char>& b) {
                   put_u32_at(b, points_count_offset(fixture_table()), 4000000000u);
               })
            << false;
        QTest::newRow("N one more than stored")
            << same << ByteEdit([](std::vector<unsigned char>& b) { put_u32_at(b, 16, 5); })
            << false;
        QTest::newRow("M one more than the file holds")
            << same << ByteEdit([](std::vector<unsigned char>& b) {
                   put_u32_at(b, points_count_offset(fixture_table()), 16);
               })
            << false;
    }

    void loaderAcceptsOrRejects() {
        QFETCH(TableEdit, edit);
        QFETCH(ByteEdit, bytes);
        QFETCH(bool, accepted);
        UtcTable t = fixture_table();
        edit(t);
        std::vector<unsigned char> b = encode_utc_table(t);
        bytes(b);
        QCOMPARE(load_bytes(b).has_value(), accepted);
    }

    void oneByteShortAnywhereIsRejected() {
        const std::vector<unsigned char> full = encode_utc_table(fixture_table());
        QVERIFY(load_bytes(full));
        for (std::size_t length = 0; length < full.size(); ++length) {
            const std::vector<unsigned char> cut(full.begin(),
                                                 full.begin() + static_cast<long>(length));
            if (load_bytes(cut))
                QFAIL(qPrintable(QString("a file cut to %1 of %2 bytes was accepted")
                                     .arg(length)
                                     .arg(full.size())));
        }
    }

    void unreadablePathsAreRejected_data() {
        QTest::addColumn<QString>("name");
        QTest::newRow("missing file") << "does-not-exist.bin";
        QTest::newRow("directory") << ".";
        QTest::newRow("empty path") << "";
    }

    void unreadablePathsAreRejected() {
        QFETCH(QString, name);
        const QString p = name.isEmpty() ? name : dir_.filePath(name);
        QVERIFY(!load_utc_file(p.toStdString()));
    }

    // Whatever the bytes, loading and using a table never misbehaves (run under a sanitizer
    // to see it); accepted garbage still gives answers.
    void garbledFilesAreHandled() {
        const std::vector<unsigned char> full = encode_utc_table(fixture_table());
        QRandomGenerator rng(20240517);
        int accepted = 0;
        for (int round = 0; round < 400; ++round) {
            std::vector<unsigned char> b = full;
            const int flips = 1 + rng.bounded(8);
            for (int i = 0; i < flips; ++i)
                b[rng.bounded(static_cast<quint32>(b.size()))] =
                    static_cast<unsigned char>(rng.bounded(256));
            std::optional<UtcTable> t = load_bytes(b);
            if (!t)
                continue;
            ++accepted;
            setup_leap_extrapolation(*t, 0.9);
            for (double jd : {2299150.5, 2441317.5, 2457754.5, 2460000.25, -1.0e12}) {
                const CalendarTime c = tt_to_utc_calendar(*t, jd);
                (void)utc_calendar_to_tt(*t, c);
                (void)tt_to_ut1(*t, jd);
                (void)calendar_to_jd(&*t, c);
            }
        }
        QVERIFY(accepted > 0); // most flips land in values, which are not checked
    }
};

QTEST_GUILESS_MAIN(TstUtcTableFile)
#include "tst_utc_table_file.moc"
