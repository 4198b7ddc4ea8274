#include "planning/magnitudes.h"

#include "astro/sun.h"
#include "astro/time_scales.h"
#include "sky/observation.h"

#include <cmath>
#include <locale>
#include <sstream>
#include <utility>

namespace {

// 2.5 log10(1000^2 / 0.5): the standard distance and lit fraction.
constexpr double kStandardTerm = 15.75;
constexpr std::size_t kLongestLine = 1024;

bool parseLine(const std::string& text, int& number, double& magnitude) {
    std::istringstream line(text.substr(0, text.find('#')));
    line.imbue(std::locale::classic());
    long long catalogue = 0;
    if (!(line >> catalogue) || catalogue < 0 || catalogue > 999999999 || !(line >> magnitude) ||
        !std::isfinite(magnitude) || std::fabs(magnitude) > 100)
        return false;
    std::string rest;
    if (line >> rest)
        return false;
    number = int(catalogue);
    return true;
}

bool blank(const std::string& text) {
    const std::string content = text.substr(0, text.find('#'));
    return content.find_first_not_of(" \t\r\v\f") == std::string::npos;
}

} // namespace

MagnitudeReadResult readStandardMagnitudes(std::istream& in, StandardMagnitudes& magnitudes) {
    magnitudes.clear();
    // A line longer than any list holds is malformed: so a device that never ends a line (a
    // wrong file chosen) is refused rather than read forever.
    char buffer[kLongestLine];
    int lineNumber = 0;
    while (in.getline(buffer, sizeof buffer) || in.gcount() > 0) {
        ++lineNumber;
        if (in.fail() && !in.eof()) {
            magnitudes.clear();
            return {false, lineNumber, {}};
        }
        // gcount counts the line's end too, when there was one.
        const std::size_t length = std::size_t(in.gcount()) - (in.eof() ? 0 : 1);
        const std::string text(buffer, length);
        if (blank(text))
            continue;
        int number = 0;
        double magnitude = 0;
        if (!parseLine(text, number, magnitude)) {
            magnitudes.clear();
            return {false, lineNumber, {}};
        }
        magnitudes[number] = magnitude;
    }
    return {};
}

MagnitudeReadResult readStandardMagnitudeFile(const std::string& path,
                                              StandardMagnitudes& magnitudes) {
    std::string text;
    if (FileResult read = readFileBounded(path, kMaxMagnitudeFileBytes, text); !read) {
        magnitudes.clear();
        return {false, 0, std::move(read)};
    }
    std::istringstream in(std::move(text));
    return readStandardMagnitudes(in, magnitudes);
}

std::optional<double> estimatedMagnitude(double standardMagnitude, const Vec3& fromObserver,
                                         const Vec3& sunFromSatellite) {
    const double range = length(fromObserver);
    const double sunDistance = length(sunFromSatellite);
    const double cosPhase = -dot(fromObserver, sunFromSatellite) / (range * sunDistance);
    const double lit = (1 + cosPhase) / 2;
    if (!std::isfinite(lit) || !(lit > 0) || !(range > 0))
        return std::nullopt;
    const double rangeKm = range / 1000.0;
    return standardMagnitude - kStandardTerm + 2.5 * std::log10(rangeKm * rangeKm / lit);
}

namespace {

// testShadow: false where the caller's own shadow test has already said the satellite is lit.
std::optional<double> seenMagnitude(CatalogueEntry& satellite, const TimeScales& scales,
                                    const Site& site, double jd, double standardMagnitude,
                                    bool testShadow) {
    const ObservationInstant instant = observationInstant(scales, jd, site);
    const Vec3 enu = topocentricEnu(satellite, instant);
    const Vec3 sun = sunPosition(jd + kWorkingToTtDays);
    const Vec3 position{satellite.position[0], satellite.position[1], satellite.position[2]};
    if (testShadow && !isSunlit(position, sun))
        return std::nullopt;
    const Vec3 sunSeen = horizonVector(sun, instant.frame);
    return estimatedMagnitude(standardMagnitude, enu, difference(sunSeen, enu));
}

} // namespace

std::optional<double> magnitudeAt(CatalogueEntry& satellite, const TimeScales& scales,
                                  const Site& site, double jd, double standardMagnitude) {
    return seenMagnitude(satellite, scales, site, jd, standardMagnitude, true);
}

std::optional<double> passMagnitude(CatalogueEntry& satellite, const TimeScales& scales,
                                    const Site& site, const SatellitePass& pass,
                                    double standardMagnitude) {
    // The search's own shadow test decides, so the column agrees with the visible flag.
    if (!pass.sunlit)
        return std::nullopt;
    return seenMagnitude(satellite, scales, site, pass.culmination.jd, standardMagnitude, false);
}
