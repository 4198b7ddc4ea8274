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
    int error = 0; // 0: r and v below hold the state
    double r[3] = {};
    double v[3] = {};
};

struct VerificationSet {
    QByteArray comment;
    QByteArray line1, line2;
    std::vector<Step> expected;
};

QList<QByteArray> readLines(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll().split('\n');
}

} // namespace

class TestSgp4Verification : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void verification_data();
    void verification();

private:
    std::vector<VerificationSet> sets_;
};

void TestSgp4Verification::initTestCase() {
    const QList<QByteArray> tle = readLines(ORBITRAK_TEST_DATA "/sgp4/SGP4-VER.TLE");
    QByteArray comment;
    for (int i = 0; i < tle.size(); ++i) {
        const QByteArray& line = tle[i];
        if (line.startsWith('#')) {
            comment = line.mid(1).simplified();
        } else if (line.startsWith("1 ") && i + 1 < tle.size() && tle[i + 1].startsWith("2 ")) {
            sets_.push_back({comment, line + '\n', tle[i + 1] + '\n', {}});
            ++i;
        }
    }

    // Reference: "<number> xx", then one line per step (t, x, y, z, vx, vy, vz, ...) or
    // "# error CODE at T" where the run of a set stops.
    const QList<QByteArray> ref = readLines(ORBITRAK_TEST_DATA "/sgp4/afspc-reference.out");
    int current = -1;
    for (const QByteArray& line : ref) {
        const QList<QByteArray> f = line.simplified().split(' ');
        if (f.size() == 2 && f[1] == "xx") {
            ++current;
        } else if (current >= 0 && current < int(sets_.size()) && line.startsWith("# error")) {
            Step s;
            s.error = f.value(2).toInt();
            s.t = f.value(4).toDouble();
            sets_[current].expected.push_back(s);
        } else if (current >= 0 && current < int(sets_.size()) && f.size() >= 7) {
            Step s;
            s.t = f[0].toDouble();
            for (int k = 0; k < 3; ++k) {
                s.r[k] = f[1 + k].toDouble();
                s.v[k] = f[4 + k].toDouble();
            }
            sets_[current].expected.push_back(s);
        }
    }
    QCOMPARE(int(sets_.size()), 33);
    QCOMPARE(current + 1, 33);
}

void TestSgp4Verification::verification_data() {
    QTest::addColumn<int>("index");
    for (int i = 0; i < int(sets_.size()); ++i) {
        const QByteArray name = sets_[i].line2.mid(2, 5).trimmed() + " " + sets_[i].comment;
        QTest::newRow(name.constData()) << i;
    }
}

void TestSgp4Verification::verification() {
    QFETCH(int, index);
    const VerificationSet& set = sets_[index];

    // The run's own times stand after column 69 of line 2.
    const QList<QByteArray> times = set.line2.mid(69).simplified().split(' ');
    QCOMPARE(times.size(), 3);
    const double start = times[0].toDouble(), stop = times[1].toDouble();
    const double step = times[2].toDouble();

    char line1[256] = {}, line2[256] = {};
    std::strncpy(line1, set.line1.constData(), sizeof line1 - 1);
    std::strncpy(line2, set.line2.constData(), sizeof line2 - 1);
    ElementSet satrec;
    double unusedStart, unusedStop, unusedStep;
    parse_TLE(line1, line2, 'c', 'm', 'a', 1, unusedStart, unusedStop, unusedStep, satrec);

    // Epoch first, then start to stop by step, and stop itself; a failure ends the run.
    std::vector<Step> got;
    auto run = [&](double t) {
        Step s;
        s.t = t;
        sgp4_propagate(1, satrec, t, s.r, s.v);
        s.error = satrec.error;
        got.push_back(s);
        return s.error == 0;
    };
    if (run(0.0)) {
        double t = start;
        if (std::fabs(t) > 1e-8)
            t -= step;
        while (t < stop) {
            t += step;
            if (t > stop)
                t = stop;
            if (!run(t))
                break;
        }
    }

    QCOMPARE(got.size(), set.expected.size());
    for (std::size_t i = 0; i < got.size(); ++i) {
        const Step& g = got[i];
        const Step& e = set.expected[i];
        const QByteArray at = "t = " + QByteArray::number(e.t, 'f', 8);
        QVERIFY2(std::fabs(g.t - e.t) < 1e-6, at.constData());
        QVERIFY2(g.error == e.error, (at + ": code " + QByteArray::number(g.error) + ", expected " +
                                      QByteArray::number(e.error))
                                         .constData());
        if (e.error != 0)
            continue;
        for (int k = 0; k < 3; ++k) {
            QVERIFY2(std::fabs(g.r[k] - e.r[k]) <= 1e-6,
                     (at + ": position " + QByteArray::number(g.r[k], 'f', 9) + ", expected " +
                      QByteArray::number(e.r[k], 'f', 8))
                         .constData());
            QVERIFY2(std::fabs(g.v[k] - e.v[k]) <= 1e-8,
                     (at + ": velocity " + QByteArray::number(g.v[k], 'f', 10) + ", expected " +
                      QByteArray::number(e.v[k], 'f', 9))
                         .constData());
        }
    }
}

QTEST_APPLESS_MAIN(TestSgp4Verification)
#include "tst_sgp4_verification.moc"
