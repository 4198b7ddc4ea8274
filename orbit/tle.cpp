#include "orbit/tle.h"

#include "astro/angles.h"
#include "orbit/gravity.h"
#include "orbit/sgp4.h"

#include <cmath>
#include <limits>

namespace {

constexpr double kRevPerDayToRadPerMin = 1440.0 / (2.0 * kPi); // xpdotp

} // namespace

void daysToMdhms(int year, double days, int& month, int& day, int& hour, int& minute,
                 double& seconds) {
    const double whole = std::floor(days);
    if (!(std::fabs(whole) <= 1.0e9)) { // NaN, infinite or far outside any calendar use
        month = 1;
        day = 0;
        hour = 0;
        minute = 0;
        seconds = std::numeric_limits<double>::quiet_NaN();
        return;
    }
    const int dayofyr = static_cast<int>(whole);
    int lmonth[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (year % 4 == 0)
        lmonth[1] = 29;
    int i = 1;
    int passed = 0;
    while (dayofyr > passed + lmonth[i - 1] && i < 12) {
        passed += lmonth[i - 1];
        ++i;
    }
    month = i;
    day = dayofyr - passed;

    double temp = (days - dayofyr) * 24.0;
    hour = static_cast<int>(std::floor(temp));
    temp = (temp - hour) * 60.0;
    minute = static_cast<int>(std::floor(temp));
    seconds = (temp - minute) * 60.0;
}

double julianDay(int year, int month, int day, int hour, int minute, double seconds) {
    return 367.0 * year - std::floor((7 * (year + std::floor((month + 9) / 12.0))) * 0.25) +
           std::floor(275 * month / 9.0) + day + 1721013.5 +
           ((seconds / 60.0 + minute) / 60.0 + hour) / 24.0;
}

void initElementSet(const MeanElements& e, char opsMode, int gravitySelector, ElementSet& satrec) {
    const GravityConstants g = gravityConstants(gravitySelector);
    satrec = ElementSet{};
    satrec.satnum = static_cast<std::int32_t>(e.noradCatId);
    satrec.epochyr = e.epochYear % 100;
    satrec.epochdays = e.epochDay;
    satrec.no = e.meanMotion / kRevPerDayToRadPerMin;
    satrec.ndot = e.meanMotionDot / (kRevPerDayToRadPerMin * 1440.0);
    satrec.nddot = e.meanMotionDdot / (kRevPerDayToRadPerMin * 1440.0 * 1440);
    satrec.bstar = e.bstar;
    satrec.ecco = e.eccentricity;
    satrec.inclo = e.inclination * kRadiansPerDegree;
    satrec.nodeo = e.raOfAscNode * kRadiansPerDegree;
    satrec.argpo = e.argOfPericenter * kRadiansPerDegree;
    satrec.mo = e.meanAnomaly * kRadiansPerDegree;
    satrec.a = std::pow(satrec.no * g.tumin, -2.0 / 3.0);
    satrec.alta = satrec.a * (1.0 + satrec.ecco) - 1.0;
    satrec.altp = satrec.a * (1.0 - satrec.ecco) - 1.0;

    int month, day, hour, minute;
    double seconds;
    daysToMdhms(e.epochYear, satrec.epochdays, month, day, hour, minute, seconds);
    satrec.jdsatepoch = julianDay(e.epochYear, month, day, hour, minute, seconds);
    sgp4Init(gravitySelector, opsMode, satrec.satnum, satrec.jdsatepoch - 2433281.5, satrec.bstar,
             satrec.ecco, satrec.argpo, satrec.inclo, satrec.mo, satrec.no, satrec.nodeo, satrec);
}
