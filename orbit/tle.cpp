#include "orbit/tle.h"

#include "astro/angles.h"
#include "orbit/element_lines.h"
#include "orbit/gravity.h"
#include "orbit/sgp4.h"
#include "orbit/tle_scan.h"

#include <cmath>
#include <cstring>
#include <limits>

namespace {

constexpr double kRevPerDayToRadPerMin = 1440.0 / (2.0 * kPi); // xpdotp

// Writes only inside the line: a column at or beyond the terminating NUL is left alone, so a
// short line is never lengthened into whatever the buffer held before. Columns count from 1.
void fixUpColumns(char* line1, char* line2) {
    const std::size_t len1 = std::strlen(line1);
    const std::size_t len2 = std::strlen(line2);
    auto in1 = [len1](std::size_t col) {
        return col - 1 < len1;
    };
    auto in2 = [len2](std::size_t col) {
        return col - 1 < len2;
    };
    auto blankTo = [](char* line, bool inside, std::size_t col, char c) {
        if (inside && line[col - 1] == ' ')
            line[col - 1] = c;
    };
    // A sign, five digits with the point implied before them, an exponent: the sign moves one
    // column left and the point takes its place.
    auto impliedPoint = [](char* line, bool inside, std::size_t signCol) {
        if (!inside)
            return;
        if (line[signCol - 1] != ' ')
            line[signCol - 2] = line[signCol - 1];
        line[signCol - 1] = '.';
    };
    constexpr ElementLineField designator = kDesignatorField;
    constexpr ElementLineField nddot = kMeanMotionDotDotField;
    constexpr ElementLineField ecc = kEccentricityField;

    // An empty international designator scans as a word.
    for (std::size_t col = designator.first + 1; col < designator.last; ++col)
        blankTo(line1, in1(col), col, '_');
    impliedPoint(line1, in1(nddot.first), nddot.first);
    blankTo(line1, in1(kClassificationField.first), kClassificationField.first, 'U');
    blankTo(line1, in1(designator.first), designator.first, '.');
    for (std::size_t col = nddot.first + 1; col <= nddot.first + 5; ++col) // mantissa digits
        blankTo(line1, in1(col), col, '0');
    blankTo(line1, in1(nddot.last), nddot.last, '0'); // exponent digit
    impliedPoint(line1, in1(kBstarField.first), kBstarField.first);
    if (in2(ecc.first - 1))
        line2[ecc.first - 2] = '.';
    for (std::size_t col = ecc.first; col <= ecc.last; ++col)
        blankTo(line2, in2(col), col, '0');
    blankTo(line1, in1(kEphemerisTypeField.first), kEphemerisTypeField.first, '0');
    blankTo(line1, in1(kCheckDigitField.first), kCheckDigitField.first, '0');
}

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

bool parseTle(char* line1, char* line2, char runType, char inputType, char opsMode,
              int gravitySelector, double& start, double& stop, double& step, ElementSet& satrec) {
    (void)runType;
    (void)inputType;
    const GravityConstants g = gravityConstants(gravitySelector);
    satrec = ElementSet{};

    fixUpColumns(line1, line2);

    Line1Fields f1;
    scanLine1(line1, f1, CatalogueNumbers::Alpha5);
    // Mean motion below 10 rev/day leaves column 53 blank and fits ten characters. A line
    // that ends before column 53 is read with the wider field, as it would be if its NUL
    // stood there.
    const std::size_t nCol = kMeanMotionField.first;
    const bool wide = !(std::strlen(line2) >= nCol && line2[nCol - 1] == ' ');
    Line2Fields f2;
    f2.satnum = f1.satnum; // line 2 overwrites line 1's number only if its scan reaches it
    scanLine2(line2, wide, f2, CatalogueNumbers::Alpha5);

    satrec.satnum = static_cast<std::int32_t>(f2.satnum);
    satrec.epochyr = f1.epochyr;
    satrec.epochdays = f1.epochdays;
    satrec.ndot = f1.ndot;
    satrec.nddot = f1.nddot;
    satrec.bstar = f1.bstar;
    satrec.inclo = f2.inclo;
    satrec.nodeo = f2.nodeo;
    satrec.ecco = f2.ecco;
    satrec.argpo = f2.argpo;
    satrec.mo = f2.mo;
    satrec.no = f2.no;

    // Units of the model: radians, minutes, Earth radii.
    satrec.no = satrec.no / kRevPerDayToRadPerMin;
    satrec.nddot = satrec.nddot * std::pow(10.0, f1.nexp);
    satrec.bstar = satrec.bstar * std::pow(10.0, f1.ibexp);
    satrec.a = std::pow(satrec.no * g.tumin, -2.0 / 3.0);
    satrec.ndot = satrec.ndot / (kRevPerDayToRadPerMin * 1440.0);
    satrec.nddot = satrec.nddot / (kRevPerDayToRadPerMin * 1440.0 * 1440);
    satrec.inclo = satrec.inclo * kRadiansPerDegree;
    satrec.nodeo = satrec.nodeo * kRadiansPerDegree;
    satrec.argpo = satrec.argpo * kRadiansPerDegree;
    satrec.mo = satrec.mo * kRadiansPerDegree;
    satrec.alta = satrec.a * (1.0 + satrec.ecco) - 1.0;
    satrec.altp = satrec.a * (1.0 - satrec.ecco) - 1.0;

    const int year = yearFromTwoDigits(satrec.epochyr);
    int month, day, hour, minute;
    double seconds;
    daysToMdhms(year, satrec.epochdays, month, day, hour, minute, seconds);
    satrec.jdsatepoch = julianDay(year, month, day, hour, minute, seconds);

    start = -1440.0;
    stop = 1440.0;
    step = 10.0;

    return sgp4Init(gravitySelector, opsMode, satrec.satnum, satrec.jdsatepoch - 2433281.5,
                    satrec.bstar, satrec.ecco, satrec.argpo, satrec.inclo, satrec.mo, satrec.no,
                    satrec.nodeo, satrec);
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
