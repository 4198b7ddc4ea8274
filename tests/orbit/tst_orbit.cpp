// The published SGP4/SDP4 verification run (AFSPC mode 'a', WGS-72) against its reference
// output: every position within 1e-6 km, every velocity within 1e-8 km/s, every error code at
// the same time step. Then the batch against the scalar model and the model's behaviour beyond
// the verification run.
#include "orbit/element_lines.h"
#include "orbit/sgp4.h"
#include "orbit/sgp4_batch.h"
#include "orbit/tle.h"
#include "tests/common/file_bytes.h"

#include <QTest>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>
#include <random>
#include <string>
#include <vector>

// Counts every allocation through operator new in this program.
static std::atomic<long> g_allocations{0};
void* operator new(std::size_t n) {
    ++g_allocations;
    if (void* p = std::malloc(n ? n : 1))
        return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}

namespace {

constexpr double kPi = 3.14159265358979323846;
const QByteArray kLine1 = "1 00005U 58002B   00179.78495062  .00000023  00000-0  28098-4 0  4753";
const QByteArray kLine2 = "2 00005  34.2682 348.7242 1859667 331.7664  19.3264 10.82419157413667";

// The set of two element lines as satell.txt's are read, initialised.
ElementSet parse(const QByteArray& line1, const QByteArray& line2) {
    ElementSet set;
    initElementSet(*readElementLines(line1.toStdString(), line2.toStdString(), "",
                                     ElementLineStrictness::Historical),
                   'a', 1, set);
    return set;
}

// The line with text written from a 1-based column on.
QByteArray put(QByteArray line, int column, const QByteArray& text) {
    return line.replace(column - 1, text.size(), text);
}

struct Step {
    double t = 0;
    int error = 0; // 0: r and v hold the state
    double rv[6] = {};
};

// A set of the verification run: its element lines, line 2 with the run's start, stop and step
// after column 69, and the reference output.
struct VerificationSet {
    QByteArray name, line1, line2;
    std::vector<Step> expected;
};

std::vector<VerificationSet> verificationSets() {
    std::vector<VerificationSet> sets;
    const QList<QByteArray> tle = readBytes(ORBITRAK_TEST_DATA "/sgp4/SGP4-VER.TLE").split('\n');
    QByteArray comment;
    for (int i = 0; i + 1 < tle.size(); ++i) {
        if (tle[i].startsWith('#'))
            comment = tle[i].mid(1).simplified();
        else if (tle[i].startsWith("1 ") && tle[i + 1].startsWith("2 "))
            sets.push_back({tle[i + 1].mid(2, 5).trimmed() + " " + comment,
                            tle[i] + '\n',
                            tle[++i] + '\n',
                            {}});
    }
    // "<number> xx" opens a set; then a line per step (t, x, y, z, vx, vy, vz, ...) or
    // "# error CODE at T" where the run of the set stops.
    int current = -1;
    for (const QByteArray& line :
         readBytes(ORBITRAK_TEST_DATA "/sgp4/afspc-reference.out").split('\n')) {
        const QList<QByteArray> f = line.simplified().split(' ');
        Step s;
        if (f.size() == 2 && f[1] == "xx")
            ++current;
        if (current < 0 || current >= int(sets.size()) || f.size() == 2)
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
        sets[current].expected.push_back(s);
    }
    return current + 1 == int(sets.size()) ? sets : std::vector<VerificationSet>();
}

// Every set of the test catalogue, initialised.
std::vector<ElementSet> catalogueSets() {
    std::vector<ElementSet> sets;
    const QList<QByteArray> lines =
        readBytes(ORBITRAK_TEST_DATA "/catalogue/active-2026-03.txt").split('\n');
    for (int i = 0; i + 1 < lines.size(); ++i)
        if (lines[i].startsWith("1 ") && lines[i + 1].startsWith("2 "))
            sets.push_back(parse(lines[i], lines[i + 1]));
    return sets;
}

// Output arrays for a batch of n propagations.
struct BatchResults {
    explicit BatchResults(std::size_t n) : rv(6, std::vector<double>(n)), error(n) {}
    std::vector<std::vector<double>> rv;
    std::vector<int> error;
    Sgp4States states() {
        return {rv[0].data(), rv[1].data(), rv[2].data(), rv[3].data(),
                rv[4].data(), rv[5].data(), error.data()};
    }
};

// The batch's k-th result against sgp4Propagate's for the same set and time: the same code, and
// the state within 1e-6 km and 1e-9 km/s where there is one. Empty when they agree.
QByteArray batchMismatch(ElementSet set, double t, const BatchResults& got, std::size_t k) {
    double r[3], v[3];
    const bool ok = sgp4Propagate(1, set, t, r, v);
    const QByteArray at = QByteArray::number(set.satnum) + " at " + QByteArray::number(t);
    if (got.error[k] != set.error)
        return at + ": code " + QByteArray::number(got.error[k]) + " for " +
               QByteArray::number(set.error);
    if (!ok && set.error != kSgp4Decayed)
        return std::isnan(got.rv[0][k]) ? QByteArray() : at + ": a state without one";
    for (int c = 0; c < 6; ++c) {
        const double d = std::fabs(got.rv[c][k] - (c < 3 ? r[c] : v[c - 3]));
        if (!(d <= (c < 3 ? 1e-6 : 1e-9)))
            return at + ": component " + QByteArray::number(c) + " off by " + QByteArray::number(d);
    }
    return {};
}

bool sameBits(const double* a, const double* b, int n) {
    return std::memcmp(a, b, sizeof(double) * n) == 0;
}

} // namespace

class TestOrbit : public QObject {
    Q_OBJECT

    std::vector<VerificationSet> sets_;

private slots:
    void initTestCase() {
        sets_ = verificationSets();
        QCOMPARE(int(sets_.size()), 33); // each with its reference output
    }

    void verification_data() {
        QTest::addColumn<int>("index");
        for (int i = 0; i < int(sets_.size()); ++i)
            QTest::newRow(sets_[i].name.constData()) << i;
    }

    void verification() {
        QFETCH(int, index);
        const VerificationSet& set = sets_[index];
        const QList<QByteArray> times = set.line2.mid(69).simplified().split(' ');
        QCOMPARE(times.size(), 3);
        const double start = times[0].toDouble(), stop = times[1].toDouble();
        const double step = times[2].toDouble();
        ElementSet satrec = parse(set.line1, set.line2);

        // The epoch first, then start to stop by step, and stop itself; a failure ends the run.
        std::vector<Step> got;
        auto run = [&](double t) {
            Step s;
            s.t = t;
            sgp4Propagate(1, satrec, t, s.rv, s.rv + 3);
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

    // The processor's best path is the one taken; on 64-bit ARM that is NEON. The paths are
    // printed, so that a run under an emulator shows which one the checks below went through.
    void dispatchPath() {
        const std::vector<std::string> paths = sgp4BatchPaths();
        std::string names;
        for (const std::string& path : paths)
            names += ' ' + path;
        qInfo("batch propagation paths:%s; taken: %s", names.c_str(), sgp4BatchPath().c_str());
        QCOMPARE(sgp4BatchPath(), paths.front());
#if defined(ORBITRAK_SIMD) && defined(__aarch64__)
        QCOMPARE(paths.front(), std::string("NEON"));
#endif
    }

    void batchAgreesWithScalar_data() {
        QTest::addColumn<QString>("path");
        for (const std::string& path : sgp4BatchPaths())
            QTest::newRow(path.c_str()) << QString::fromStdString(path);
    }

    // Every dispatch path, forced: the verification sets at the times of their run, one set at
    // many instants; every set of the test catalogue, each in the lanes, at common instants that
    // take the resonance integrators years ahead, back behind their state and across the
    // epoch; the same results whichever range of sets a call covers. No allocation.
    void batchAgreesWithScalar() {
        QFETCH(QString, path);
        QVERIFY(sgp4BatchForcePath(path.toStdString()));
        QCOMPARE(QString::fromStdString(sgp4BatchPath()), path);
        for (const VerificationSet& verified : sets_) {
            ElementSet set = parse(verified.line1, verified.line2);
            const QList<QByteArray> range = verified.line2.mid(69).simplified().split(' ');
            std::vector<double> times;
            for (double t = range[0].toDouble(); t <= range[1].toDouble() && times.size() < 2000;
                 t += range[2].toDouble())
                times.push_back(t);
            if (set.irez != 0) // beyond the integrator's reach, back, and no time at all
                times.insert(times.end(), {2.0e8, -2.0e8, 1.0, NAN});
            BatchResults got(times.size());
            ElementSet batchSet = set;
            const long before = g_allocations;
            sgp4PropagateTimes(batchSet, times.data(), times.size(), got.states());
            QCOMPARE(g_allocations - before, 0L);
            for (std::size_t k = 0; k < times.size(); ++k) {
                const QByteArray wrong = batchMismatch(set, times[k], got, k);
                QVERIFY2(wrong.isEmpty(), wrong.constData());
            }
        }

        const std::vector<ElementSet> sets = catalogueSets();
        QVERIFY(sets.size() > 14000);
        Sgp4Batch batch;
        batch.assign(sets.data(), sets.size());
        QCOMPARE(batch.vectorSets(), path == "scalar" ? 0 : sets.size());
        std::vector<ElementSet> scalar = sets;
        BatchResults got(sets.size());
        const double jd0 = sets.front().jdsatepoch;
        for (double days : {-20.0, -3.0, -0.25, 0.0, 0.7, 2.0, 9.0, 1500.0, 3.0, -400.0}) {
            const long before = g_allocations;
            batch.propagateAt(jd0 + days, got.states());
            QCOMPARE(g_allocations - before, 0L);
            for (std::size_t i = 0; i < sets.size(); ++i) {
                // Years away, drag has used up many a low orbit: the model's positions there
                // hang on the last bit of its secular terms.
                if (std::fabs(days) > 30.0 && scalar[i].method == 'n')
                    continue;
                const QByteArray wrong =
                    batchMismatch(scalar[i], (jd0 + days - scalar[i].jdsatepoch) * 1440.0, got, i);
                QVERIFY2(wrong.isEmpty(), wrong.constData());
            }
        }
        Sgp4Batch ranges;
        ranges.assign(sets.data(), sets.size());
        BatchResults inRanges(sets.size());
        for (std::size_t first = 0; first < sets.size(); first += 7) {
            const Sgp4States all = inRanges.states();
            ranges.propagateAt(jd0 - 400.0, first, first + 7,
                               {all.rx + first, all.ry + first, all.rz + first, all.vx + first,
                                all.vy + first, all.vz + first, all.error + first});
        }
        QVERIFY(inRanges.error == got.error);
        for (int c = 0; c < 6; ++c)
            QVERIFY(sameBits(inRanges.rv[c].data(), got.rv[c].data(), int(sets.size())));

        // Elevations: within four ulps of the C library's, its NaN and signed zeros included.
        std::vector<double> e = {0, 0, 3, -0.0, NAN, 1, 1e-300, 5e7, -2, 1},
                            n = {0, 1, 4, 0, 1, 0, 0, -5e7, 7, 1},
                            u = {0, -0.0, 0, 2, 1, NAN, 1, 1e-9, -7, 1};
        std::mt19937 random(23);
        std::uniform_real_distribution<double> component(-4e7, 4e7);
        for (int i = 0; i < 3000; ++i) {
            e.push_back(component(random));
            n.push_back(component(random) * (i % 3 ? 1.0 : 1e-6));
            u.push_back(component(random) * (i % 5 ? 1.0 : 1e-5));
        }
        std::vector<double> elevations(e.size());
        batchElevations(e.data(), n.data(), u.data(), e.size(), elevations.data());
        for (std::size_t i = 0; i < e.size(); ++i) {
            const double want = std::atan2(u[i], std::sqrt(e[i] * e[i] + n[i] * n[i]));
            QVERIFY2(std::isnan(want)
                         ? std::isnan(elevations[i])
                         : std::signbit(want) == std::signbit(elevations[i]) &&
                               std::fabs(elevations[i] - want) <=
                                   4 * (std::nextafter(std::fabs(want), 1e9) - std::fabs(want)),
                     QByteArray::number(qulonglong(i)).constData());
        }
        QVERIFY(sgp4BatchForcePath(""));
    }

    // Time 0 reproduces initialisation; a resonant set's result does not depend on the calls
    // before it, even across a change of sign.
    void stateCarriedBetweenCalls() {
        int resonant = 0;
        for (const VerificationSet& verified : sets_) {
            const ElementSet initialised = parse(verified.line1, verified.line2);
            ElementSet set = initialised, fresh = initialised;
            double r[3][3], v[3][3];
            sgp4Propagate(1, set, 0.0, r[0], v[0]);
            QVERIFY2(std::memcmp(&set, &initialised, sizeof set) == 0, verified.name.constData());
            if (set.irez == 0 || set.error != 0)
                continue;
            ++resonant;
            sgp4Propagate(1, set, 3000.0, r[0], v[0]);
            sgp4Propagate(1, set, -100.0, r[1], v[1]);
            sgp4Propagate(1, set, 3000.0, r[1], v[1]);
            sgp4Propagate(1, fresh, 3000.0, r[2], v[2]);
            QVERIFY(sameBits(r[0], r[1], 3) && sameBits(v[0], v[1], 3));
            QVERIFY(sameBits(r[0], r[2], 3) && sameBits(v[0], v[2], 3));
        }
        QVERIFY(resonant >= 4);
    }

    // Malformed numbers and far or undefined times: no hang, and no success without a result
    // (an epoch that does not read leaves a set without drag, which has one at any finite time).
    // Codes 1 to 4 leave position and velocity alone, code 6 writes them.
    void noSuccessWithoutAResult() {
        QList<int> seen;
        std::vector<std::pair<QByteArray, QByteArray>> sets;
        for (const VerificationSet& verified : sets_)
            sets.push_back({verified.line1, verified.line2});
        sets.push_back({put(kLine1, 21, "inf         "), kLine2});
        sets.push_back({put(kLine1, 19, "99999999999999"), kLine2});
        for (const char* n : {"nan        ", "1e999      ", "0          ", "-1.0       "})
            sets.push_back({kLine1, put(kLine2, 53, n)});
        for (const auto& [line1, line2] : sets) {
            ElementSet set = parse(line1, line2);
            for (double t :
                 {0.0, -1440.0, 1440.0, 3000.0, 1.0e12, -1.0e12, HUGE_VAL, std::nan("")}) {
                double r[3] = {1234.5, 1234.5, 1234.5}, v[3] = {6.5, 6.5, 6.5};
                const bool ok = sgp4Propagate(1, set, t, r, v);
                QCOMPARE(ok, set.error == 0);
                QVERIFY(ok ? std::isfinite(r[0]) && std::isfinite(v[2])
                           : (r[0] != 1234.5 && v[0] != 6.5) == (set.error == kSgp4Decayed));
                if (!ok && !seen.contains(set.error))
                    seen << set.error;
            }
        }
        std::sort(seen.begin(), seen.end());
        QCOMPARE(seen, (QList<int>{1, 2, 3, 4, 6}));
    }

    // Periods of 225 minutes and more (from the Brouwer mean motion) are deep space.
    void deepSpaceBoundary() {
        auto init = [](double kozai) {
            ElementSet s;
            sgp4Init(1, 'a', 1, 20000.0, 0.0, 0.01, 0.0, 1.0, 0.0, kozai, 0.0, s);
            return s;
        };
        double lo = 2.0 * kPi / 226.0, hi = 2.0 * kPi / 224.0; // 'd' at lo, 'n' at hi
        QCOMPARE(init(lo).method, 'd');
        QCOMPARE(init(hi).method, 'n');
        for (double mid = lo + (hi - lo) / 2; mid > lo && mid < hi; mid = lo + (hi - lo) / 2)
            (init(mid).method == 'd' ? lo : hi) = mid;
        QVERIFY(2.0 * kPi / init(lo).no >= 225.0);
        QVERIFY(2.0 * kPi / init(hi).no < 225.0);
    }

    // Reading, initialising and propagating a set allocate nothing.
    void noAllocation() {
        double r[3], v[3];
        std::vector<std::pair<std::string, std::string>> lines;
        for (const VerificationSet& verified : sets_)
            lines.push_back({verified.line1.toStdString(), verified.line2.toStdString()});
        const long before = g_allocations;
        for (const auto& [line1, line2] : lines) {
            ElementSet set;
            initElementSet(*readElementLines(line1, line2, "", ElementLineStrictness::Historical),
                           'a', 1, set);
            for (double t = -1440.0; t <= 1440.0; t += 144.0)
                sgp4Propagate(1, set, t, r, v);
        }
        QCOMPARE(g_allocations - before, 0L);
    }
};

QTEST_GUILESS_MAIN(TestOrbit)
#include "tst_orbit.moc"
