// Behaviour of initialisation and propagation beyond the verification run: state kept between
// calls, error codes and what they leave written, the deep-space threshold, the Kepler step
// limit, sidereal time, gravity constants, allocation, and the exact replacements of fmod and
// pow that the propagator uses.
#include "orbit/exact_math.h"
#include "orbit/gravity.h"
#include "orbit/kepler.h"
#include "orbit/sgp4.h"
#include "orbit/sincos.h"
#include "orbit/tle.h"

#include <QFile>
#include <QTemporaryFile>
#include <QTest>

#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <random>
#include <unistd.h>
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

struct TextSet {
    QByteArray line1, line2;
};

std::vector<TextSet> verificationSets() {
    std::vector<TextSet> sets;
    QFile f(ORBITRAK_TEST_DATA "/sgp4/SGP4-VER.TLE");
    if (!f.open(QIODevice::ReadOnly))
        return sets;
    const QList<QByteArray> lines = f.readAll().split('\n');
    for (int i = 0; i + 1 < lines.size(); ++i)
        if (lines[i].startsWith("1 ") && lines[i + 1].startsWith("2 "))
            sets.push_back({lines[i].left(69) + '\n', lines[i + 1].left(69) + '\n'});
    return sets;
}

ElementSet parse(const TextSet& t, char opsMode = 'a') {
    char b1[256] = {}, b2[256] = {};
    std::memcpy(b1, t.line1.constData(), std::min<int>(t.line1.size(), 255));
    std::memcpy(b2, t.line2.constData(), std::min<int>(t.line2.size(), 255));
    ElementSet set;
    double start, stop, step;
    parse_TLE(b1, b2, 'c', 'm', opsMode, 1, start, stop, step, set);
    return set;
}

bool sameBits(const double* a, const double* b, int n) {
    return std::memcmp(a, b, sizeof(double) * n) == 0;
}

} // namespace

class TestSgp4Model : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void epochReproducesInitialisation();
    void resonanceIndependentOfCallOrder();
    void failureCodesAndWrittenState();
    void timesBeyondReach();
    void deepSpaceThreshold();
    void keplerStopsAfterTenSteps();
    void keplerSolves();
    void siderealTime();
    void improvedModeUsesSiderealTime();
    void gravityConstants();
    void unknownGravitySelector();
    void noAllocation();
    void wrapTwoPiEqualsFmod();
    void powersEqualPow_data();
    void powersEqualPow();
    void sinCosWithinOneUlpOfLibrary();

private:
    std::vector<TextSet> sets_;
};

void TestSgp4Model::initTestCase() {
    sets_ = verificationSets();
    QCOMPARE(int(sets_.size()), 33);
}

void TestSgp4Model::epochReproducesInitialisation() {
    for (const TextSet& t : sets_) {
        const ElementSet initialised = parse(t);
        ElementSet again = initialised;
        double r[3], v[3];
        sgp4_propagate(1, again, 0.0, r, v);
        QVERIFY2(std::memcmp(&again, &initialised, sizeof again) == 0, t.line1.constData());
    }
}

void TestSgp4Model::resonanceIndependentOfCallOrder() {
    int resonant = 0;
    for (const TextSet& t : sets_) {
        ElementSet set = parse(t);
        if (set.irez == 0 || set.error != 0)
            continue;
        ++resonant;
        ElementSet fresh = set;
        double r1[3], v1[3], r2[3], v2[3], r3[3], v3[3];
        sgp4_propagate(1, set, 3000.0, r1, v1);
        sgp4_propagate(1, set, -100.0, r2, v2);
        sgp4_propagate(1, set, 3000.0, r2, v2);
        sgp4_propagate(1, fresh, 3000.0, r3, v3);
        QVERIFY(sameBits(r1, r2, 3) && sameBits(v1, v2, 3));
        QVERIFY(sameBits(r1, r3, 3) && sameBits(v1, v3, 3));
        // Stepping forward from a later state lands where a fresh start does.
        ElementSet stepped = parse(t);
        for (double tm = 100.0; tm <= 5000.0; tm += 700.0)
            sgp4_propagate(1, stepped, tm, r1, v1);
        ElementSet direct = parse(t);
        sgp4_propagate(1, direct, 4300.0, r2, v2);
        sgp4_propagate(1, stepped, 4300.0, r1, v1);
        QVERIFY(sameBits(r1, r2, 3) && sameBits(v1, v2, 3));
    }
    QVERIFY(resonant >= 4);
}

// Codes 1 to 4 leave position and velocity untouched, code 6 writes them; the boolean result
// agrees with the code.
void TestSgp4Model::failureCodesAndWrittenState() {
    QList<int> seen;
    for (const TextSet& t : sets_) {
        ElementSet set = parse(t);
        for (double tm = 0.0; tm <= 3000.0; tm += 5.0) {
            double r[3] = {1234.5, 1234.5, 1234.5}, v[3] = {6.5, 6.5, 6.5};
            const bool ok = sgp4_propagate(1, set, tm, r, v);
            QCOMPARE(ok, set.error == 0);
            if (set.error == 0)
                continue;
            if (!seen.contains(set.error))
                seen.append(set.error);
            const bool written = r[0] != 1234.5 && v[0] != 6.5;
            QCOMPARE(written, set.error == 6);
            break;
        }
    }
    std::sort(seen.begin(), seen.end());
    QCOMPARE(seen, (QList<int>{1, 3, 4, 6}));

    // Mean eccentricity driven to 1 by drag: code 1.
    ElementSet set;
    sgp4_init(1, 'a', 1, 20000.0, 1.0, 0.1, 0.0, 0.9, 0.0, 0.06, 0.0, set);
    QCOMPARE(set.error, 0);
    double r[3] = {7, 7, 7}, v[3] = {7, 7, 7};
    QVERIFY(!sgp4_propagate(1, set, 10000.0, r, v));
    QCOMPARE(set.error, 1);
    QCOMPARE(r[0], 7.0);
}

// Far times and non-numbers: no hang, and no success without a result.
void TestSgp4Model::timesBeyondReach() {
    for (const TextSet& t : sets_) {
        ElementSet set = parse(t);
        if (set.error != 0)
            continue;
        for (double tm : {1.0e12, -1.0e12, HUGE_VAL, -HUGE_VAL, std::nan("")}) {
            double r[3], v[3];
            const bool ok = sgp4_propagate(1, set, tm, r, v);
            QVERIFY(!ok);
            QVERIFY(set.error != 0);
            if (set.irez != 0)
                QCOMPARE(set.error, int(kSgp4MeanMotion));
        }
    }
}

// Periods of 225 minutes and more (from the Brouwer mean motion) are deep space.
void TestSgp4Model::deepSpaceThreshold() {
    auto init = [](double kozai) {
        ElementSet s;
        sgp4_init(1, 'a', 1, 20000.0, 0.0, 0.01, 0.0, 1.0, 0.0, kozai, 0.0, s);
        return s;
    };
    auto period = [](const ElementSet& s) {
        return 2.0 * kPi / s.no;
    };
    for (double minutes : {200.0, 224.99, 225.01, 250.0}) {
        // The Kozai value is a little larger than the Brouwer one; aim at it by iteration.
        double kozai = 2.0 * kPi / minutes;
        for (int i = 0; i < 5; ++i)
            kozai *= period(init(kozai)) / minutes;
        const ElementSet s = init(kozai);
        QVERIFY(std::fabs(period(s) - minutes) < 1e-6);
        QCOMPARE(s.method, minutes >= 225.0 ? 'd' : 'n');
    }
    // At the switch, the deep-space side has a period of at least 225 minutes.
    double lo = 2.0 * kPi / 226.0, hi = 2.0 * kPi / 224.0; // 'd' at lo, 'n' at hi
    while (std::nextafter(lo, hi) < hi) {
        const double mid = lo + (hi - lo) / 2;
        if (mid <= lo || mid >= hi)
            break;
        (init(mid).method == 'd' ? lo : hi) = mid;
    }
    QVERIFY(period(init(lo)) >= 225.0);
    QVERIFY(period(init(hi)) < 225.0);
    QCOMPARE(init(lo).method, 'd');
    QCOMPARE(init(hi).method, 'n');
}

void TestSgp4Model::keplerStopsAfterTenSteps() {
    const double u = 0.0001, axnl = 0.9999, aynl = 0.0;
    const orbit_detail::KeplerSolution k = orbit_detail::solve_kepler(u, axnl, aynl);
    QCOMPARE(k.steps, 10);
    // Unbounded, the same iteration would need more corrections than that.
    double eo1 = u, correction = 1.0;
    int needed = 0;
    while (std::fabs(correction) >= 1.0e-12 && needed < 100) {
        correction = (u - aynl * std::cos(eo1) + axnl * std::sin(eo1) - eo1) /
                     (1.0 - std::cos(eo1) * axnl - std::sin(eo1) * aynl);
        correction = std::max(-0.95, std::min(0.95, correction));
        eo1 += correction;
        ++needed;
    }
    QVERIFY(needed > 10);
}

void TestSgp4Model::keplerSolves() {
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> angle(-2.0 * kPi, 2.0 * kPi), ecc(0.0, 0.7);
    for (int i = 0; i < 1000; ++i) {
        const double u = angle(rng), e = ecc(rng), w = angle(rng);
        const double axnl = e * std::cos(w), aynl = e * std::sin(w);
        const orbit_detail::KeplerSolution k = orbit_detail::solve_kepler(u, axnl, aynl);
        QVERIFY(k.steps <= 10);
        const double eo1 = std::atan2(k.sineo1, k.coseo1);
        const double residual = eo1 - axnl * k.sineo1 + aynl * k.coseo1 - u;
        QVERIFY(std::fabs(std::remainder(residual, 2.0 * kPi)) < 1e-9);
    }
}

void TestSgp4Model::siderealTime() {
    QCOMPARE(gmst_from_jd(2451545.0), 4.894961212823059);
    QVERIFY(std::fabs(gmst_from_jd(2451545.0) - 280.460618375 * kPi / 180.0) < 1e-14);
    for (double jd = 2400000.5; jd < 2500000.0; jd += 1234.567) {
        const double g = gmst_from_jd(jd);
        QVERIFY(g >= 0.0 && g < 2.0 * kPi);
    }
}

void TestSgp4Model::improvedModeUsesSiderealTime() {
    for (const TextSet& t : sets_) {
        const ElementSet a = parse(t, 'a');
        const ElementSet i = parse(t, 'i');
        QCOMPARE(i.operationmode, 'i');
        QCOMPARE(i.gsto, gmst_from_jd(i.jdsatepoch));
        QVERIFY(std::fabs(a.gsto - i.gsto) < 1e-6 || std::fabs(a.gsto - i.gsto) > 6.28);
        if (a.method == 'n') { // sidereal time does not enter near-Earth propagation
            ElementSet ca = a, ci = i;
            double ra[3], va[3], ri[3], vi[3];
            sgp4_propagate(1, ca, 720.0, ra, va);
            sgp4_propagate(1, ci, 720.0, ri, vi);
            QCOMPARE(ca.error, ci.error);
            if (ca.error == 0)
                QVERIFY(sameBits(ra, ri, 3));
        }
    }
}

void TestSgp4Model::gravityConstants() {
    struct Expected {
        double mu, radius;
    } expected[] = {{398600.79964, 6378.135}, {398600.8, 6378.135}, {398600.5, 6378.137}};
    for (int s = 0; s < 3; ++s) {
        const GravityConstants g = gravity_constants(s);
        QCOMPARE(g.mu, expected[s].mu);
        QCOMPARE(g.radiusearthkm, expected[s].radius);
        const double r = g.radiusearthkm;
        const double xke = s == 0 ? 0.0743669161 : 60.0 / std::sqrt(r * r * r / g.mu);
        QVERIFY(g.xke == xke); // to the last bit
        QVERIFY(g.tumin == 1.0 / xke);
        QVERIFY(g.j3oj2 == g.j3 / g.j2);
    }
    QCOMPARE(gravity_constants(1).tumin, 13.446839696959309);
    QCOMPARE(gravity_constants(2).j2, 0.00108262998905);
}

void TestSgp4Model::unknownGravitySelector() {
    QTemporaryFile capture;
    QVERIFY(capture.open());
    std::fflush(stderr);
    const int saved = dup(2);
    dup2(capture.handle(), 2);
    const GravityConstants g = gravity_constants(7);
    ElementSet set = parse(sets_[2]);
    double r[3], v[3];
    const bool ok = sgp4_propagate(5, set, 10.0, r, v);
    std::fflush(stderr);
    dup2(saved, 2);
    close(saved);
    QVERIFY(std::isnan(g.xke) && std::isnan(g.j2) && std::isnan(g.radiusearthkm));
    QVERIFY(!ok);
    capture.seek(0);
    const QByteArray text = capture.readAll();
    QVERIFY(text.startsWith("unknown gravity option (7)\nunknown gravity option (5)\n"));
}

void TestSgp4Model::noAllocation() {
    char b1[256] = {}, b2[256] = {};
    double start, stop, step, r[3], v[3];
    const long before = g_allocations;
    for (const TextSet& t : sets_) {
        std::memcpy(b1, t.line1.constData(), t.line1.size());
        std::memcpy(b2, t.line2.constData(), t.line2.size());
        ElementSet set;
        parse_TLE(b1, b2, 'c', 'm', 'a', 1, start, stop, step, set);
        for (double tm = -1440.0; tm <= 1440.0; tm += 144.0)
            sgp4_propagate(1, set, tm, r, v);
    }
    QCOMPARE(g_allocations - before, 0L);
}

void TestSgp4Model::wrapTwoPiEqualsFmod() {
    const double twoPi = 2.0 * kPi;
    std::vector<double> values = {0.0,
                                  -0.0,
                                  twoPi,
                                  -twoPi,
                                  2 * twoPi,
                                  -2 * twoPi,
                                  3 * twoPi,
                                  1024 * twoPi,
                                  -1024 * twoPi,
                                  1.0e300,
                                  HUGE_VAL,
                                  -HUGE_VAL,
                                  std::nan(""),
                                  4.9e-324,
                                  std::nextafter(twoPi, 0.0),
                                  std::nextafter(twoPi, 10.0),
                                  std::nextafter(4 * twoPi, 0.0)};
    std::mt19937_64 rng(11);
    std::uniform_real_distribution<double> wide(-7000.0, 7000.0), exponent(-20.0, 20.0);
    for (int i = 0; i < 300000; ++i) {
        values.push_back(wide(rng));
        values.push_back(std::ldexp(wide(rng), int(exponent(rng))));
        const double k = std::floor(wide(rng) / 10.0);
        values.push_back(k * twoPi); // exact multiples and their neighbours
        values.push_back(std::nextafter(k * twoPi, 0.0));
    }
    for (double x : values) {
        const double a = orbit_detail::wrap_two_pi(x), b = std::fmod(x, twoPi);
        if (std::isnan(b))
            QVERIFY(std::isnan(a));
        else
            QVERIFY2(sameBits(&a, &b, 1), QByteArray::number(x, 'g', 17).constData());
    }
}

void TestSgp4Model::powersEqualPow_data() {
    QTest::addColumn<double>("exponent");
    QTest::addColumn<double>("typicalLow");
    QTest::addColumn<double>("typicalHigh");
    // Semi-major axes in Earth radii; 1 + eta cos(M) with eta in [0, 1).
    QTest::newRow("x^1.5") << 1.5 << 0.8 << 12.0;
    QTest::newRow("x^3") << 3.0 << 0.0 << 2.0;
}

void TestSgp4Model::powersEqualPow() {
    QFETCH(double, exponent);
    QFETCH(double, typicalLow);
    QFETCH(double, typicalHigh);
    const auto power = [exponent](double x) {
        return exponent == 3.0 ? orbit_detail::pow_three(x) : orbit_detail::pow_three_halves(x);
    };
    std::vector<double> values = {0.0,          -0.0,     -1.0,         1.0,      4.0,
                                  0.25,         1e-300,   1e300,        HUGE_VAL, -HUGE_VAL,
                                  std::nan(""), 2.0,      0x1p-400,     0x1p400,  0x1p-300,
                                  0x1p300,      -0x1p300, 1.0 + 0x1p-52};
    std::mt19937_64 rng(13);
    std::uniform_real_distribution<double> typical(typicalLow, typicalHigh), scale(-500.0, 500.0);
    for (int i = 0; i < 1000000; ++i) {
        values.push_back(typical(rng));
        values.push_back(std::exp2(scale(rng)) * typical(rng));
        values.push_back(-std::exp2(scale(rng)) * typical(rng));
    }
    for (double x : values) {
        const double a = power(x), b = std::pow(x, exponent);
        if (std::isnan(b))
            QVERIFY(std::isnan(a));
        else
            QVERIFY2(sameBits(&a, &b, 1), QByteArray::number(x, 'g', 17).constData());
    }
}

void TestSgp4Model::sinCosWithinOneUlpOfLibrary() {
#if !defined(ORBITRAK_FAST_TRIG)
    QSKIP("the C library computes every sine and cosine in this build");
#endif
    auto ulps = [](double a, double b) {
        std::int64_t x, y;
        std::memcpy(&x, &a, 8);
        std::memcpy(&y, &b, 8);
        if (x < 0)
            x = INT64_MIN - x;
        if (y < 0)
            y = INT64_MIN - y;
        return x > y ? x - y : y - x;
    };
    std::vector<double> values = {0.0,         -0.0,     1e-300,   -4.9e-324,
                                  0x1p-27,     -0x1p-28, 0x1p16,   std::nextafter(0x1p16, 0.0),
                                  -0x1p16,     1e22,     HUGE_VAL, -HUGE_VAL,
                                  std::nan("")};
    std::mt19937_64 rng(17);
    std::uniform_real_distribution<double> angle(-20.0, 20.0), wide(-65000.0, 65000.0);
    for (int i = 0; i < 1000000; ++i) {
        values.push_back(angle(rng));
        values.push_back(wide(rng));
        values.push_back(std::ldexp(angle(rng), -int(rng() % 40)));
        // Near multiples of the table step, where the reduction cancels most.
        const double k = double(std::int64_t(rng() % 4000) - 2000);
        values.push_back(k * (kPi / 64) + angle(rng) * 1e-12);
    }
    std::int64_t worst = 0;
    long equal = 0;
    for (double x : values) {
        double s, c;
        orbit_detail::sin_cos(x, s, c);
        const double ls = std::sin(x), lc = std::cos(x);
        if (std::isnan(ls) || std::isnan(lc)) {
            QVERIFY(std::isnan(s) && std::isnan(c));
            continue;
        }
        const std::int64_t u = std::max(ulps(s, ls), ulps(c, lc));
        worst = std::max(worst, u);
        equal += u == 0;
        QVERIFY2(u <= 1, QByteArray::number(x, 'g', 17).constData());
    }
    QVERIFY(equal > 0.95 * values.size());
    double s, c;
    orbit_detail::sin_cos(-0.0, s, c);
    QVERIFY(std::signbit(s) && c == 1.0);
}

QTEST_APPLESS_MAIN(TestSgp4Model)
#include "tst_sgp4_model.moc"
