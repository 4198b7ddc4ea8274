// The published SGP4/SDP4 verification run (AFSPC mode 'a', WGS-72) against its reference
// output: every position within 1e-6 km, every velocity within 1e-8 km/s, every error code
// at the same time step.
#include "orbit/sgp4.h"
#include "orbit/tle.h"

#include <QFile>
#include <QTest>

#include <cmath>
#include <cstring>
#include <vector>

namespace {

struct Step {
    double t = 0;
    int error = 0; // 0: r and v hold the state
    double rv[6] = {};
};

struct VerificationSet {
    QByteArray name, line1, line2;
    std::vector<Step> expected;
};

QList<QByteArray> readLines(const char* path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll().split('\n') : QList<QByteArray>();
}

} // namespace

class TestSgp4Verification : public QObject {
    Q_OBJECT

    std::vector<VerificationSet> sets_;

private slots:
    void initTestCase() {
        const QList<QByteArray> tle = readLines(ORBITRAK_TEST_DATA "/sgp4/SGP4-VER.TLE");
        QByteArray comment;
        for (int i = 0; i + 1 < tle.size(); ++i) {
            if (tle[i].startsWith('#'))
                comment = tle[i].mid(1).simplified();
            else if (tle[i].startsWith("1 ") && tle[i + 1].startsWith("2 "))
                sets_.push_back({tle[i + 1].mid(2, 5).trimmed() + " " + comment,
                                 tle[i] + '\n',
                                 tle[++i] + '\n',
                                 {}});
        }
        // "<number> xx" opens a set; then a line per step (t, x, y, z, vx, vy, vz, ...) or
        // "# error CODE at T" where the run of the set stops.
        int current = -1;
        for (const QByteArray& line : readLines(ORBITRAK_TEST_DATA "/sgp4/afspc-reference.out")) {
            const QList<QByteArray> f = line.simplified().split(' ');
            Step s;
            if (f.size() == 2 && f[1] == "xx") {
                ++current;
                continue;
            }
            if (current < 0 || current >= int(sets_.size()))
                continue;
            if (line.startsWith("# error")) {
                s.error = f.value(2).toInt();
                s.t = f.value(4).toDouble();
            } else if (f.size() >= 7) {
                s.t = f[0].toDouble();
                for (int k = 0; k < 6; ++k)
                    s.rv[k] = f[1 + k].toDouble();
            } else {
                continue;
            }
            sets_[current].expected.push_back(s);
        }
        QCOMPARE(int(sets_.size()), 33);
        QCOMPARE(current + 1, 33);
    }

    void verification_data() {
        QTest::addColumn<int>("index");
        for (int i = 0; i < int(sets_.size()); ++i)
            QTest::newRow(sets_[i].name.constData()) << i;
    }

    void verification() {
        QFETCH(int, index);
        const VerificationSet& set = sets_[index];
        // The run's start, stop and step stand after column 69 of line 2.
        const QList<QByteArray> times = set.line2.mid(69).simplified().split(' ');
        QCOMPARE(times.size(), 3);
        const double start = times[0].toDouble(), stop = times[1].toDouble();
        const double step = times[2].toDouble();

        char line1[256] = {}, line2[256] = {};
        std::strncpy(line1, set.line1.constData(), sizeof line1 - 1);
        std::strncpy(line2, set.line2.constData(), sizeof line2 - 1);
        ElementSet satrec;
        double unused[3];
        parse_TLE(line1, line2, 'c', 'm', 'a', 1, unused[0], unused[1], unused[2], satrec);

        // The epoch first, then start to stop by step, and stop itself; a failure ends the run.
        std::vector<Step> got;
        auto run = [&](double t) {
            Step s;
            s.t = t;
            sgp4_propagate(1, satrec, t, s.rv, s.rv + 3);
            s.error = satrec.error;
            got.push_back(s);
            return s.error == 0;
        };
        if (run(0.0)) {
            double t = std::fabs(start) > 1e-8 ? start - step : start;
            while (t < stop && run(t = std::min(t + step, stop))) {
            }
        }

        QCOMPARE(got.size(), set.expected.size());
        for (std::size_t i = 0; i < got.size(); ++i) {
            const Step &g = got[i], &e = set.expected[i];
            const QByteArray at = "t = " + QByteArray::number(e.t, 'f', 8);
            QVERIFY2(std::fabs(g.t - e.t) < 1e-6, at.constData());
            QVERIFY2(g.error == e.error,
                     (at + ": code " + QByteArray::number(g.error)).constData());
            for (int k = 0; k < 6 && e.error == 0; ++k) {
                const double tolerance = k < 3 ? 1e-6 : 1e-8;
                QVERIFY2(std::fabs(g.rv[k] - e.rv[k]) <= tolerance,
                         (at + ": component " + QByteArray::number(k) + " is " +
                          QByteArray::number(g.rv[k], 'f', 10) + ", expected " +
                          QByteArray::number(e.rv[k], 'f', 9))
                             .constData());
            }
        }
    }
};

QTEST_APPLESS_MAIN(TestSgp4Verification)
#include "tst_sgp4_verification.moc"
