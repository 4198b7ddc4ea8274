#include "catalogue/catalogue_entry.h"

#include "astro/text_numbers.h"
#include "orbit/element_lines.h"
#include "orbit/gravity.h"
#include "orbit/sgp4.h"
#include "orbit/tle.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <limits>

namespace {

constexpr double kFarthestSatelliteKm = 1.5e6;
constexpr std::size_t kNameField = 24;

bool blankAt(std::string_view line, std::size_t column) {
    return column <= line.size() && line[column - 1] == ' ';
}

// A name line that carries further columns after a 14-character name.
bool hasShortNameLayout(std::string_view nameLine) {
    if (nameLine.size() < 37)
        return false;
    const char marker = nameLine[36];
    return blankAt(nameLine, 15) && blankAt(nameLine, 16) && blankAt(nameLine, 21) &&
           blankAt(nameLine, 26) && blankAt(nameLine, 36) && (marker == 'd' || marker == 'v');
}

void buildDisplayName(char (&name)[64], std::string_view nameLine, std::string_view line1) {
    std::memset(name, 0, sizeof name);
    // The name ends at a NUL, as it always has.
    nameLine = nameLine.substr(0, std::min(nameLine.find('\0'), nameLine.size()));
    line1 = line1.substr(0, std::min(line1.find('\0'), line1.size()));
    const std::size_t width = hasShortNameLayout(nameLine) ? 14 : kNameField;
    for (std::size_t i = 0; i < width && i < nameLine.size(); ++i)
        name[i] = nameLine[i];
    std::size_t end = 0;
    while (end < kNameField && name[end] != '\0' && name[end] != '\r' && name[end] != '\n')
        ++end;
    std::memset(name + end, ' ', kNameField - end);
    // The catalogue-number field, columns 3 to 7 of line 1, as it stands in the file.
    const std::string number(line1.size() >= 2 ? line1.substr(2, 5) : std::string_view());
    std::snprintf(name + kNameField, sizeof name - kNameField, " (%5.5s)", number.c_str());
}

} // namespace

void fillCatalogueEntry(CatalogueEntry& entry, std::string_view nameLine, std::string_view line1,
                        const MeanElements& elements) {
    initElementSet(elements, 'a', kWgs72, entry.elements);
    buildDisplayName(entry.displayName, nameLine, line1);
}

void fillCatalogueEntry(CatalogueEntry& entry, std::string_view nameLine, std::string_view line1,
                        std::string_view line2) {
    fillCatalogueEntry(entry, nameLine, line1,
                       *readElementLines(line1, line2, "", ElementLineStrictness::Historical));
}

void fillCatalogueEntry(CatalogueEntry& entry, const MeanElements& elements) {
    initElementSet(elements, 'a', kWgs72, entry.elements);
    std::snprintf(entry.displayName, sizeof entry.displayName, "%-24.24s (%05ld)",
                  elements.objectName.c_str(), elements.noradCatId);
    for (char* c = entry.displayName; *c != '\0'; ++c)
        if (isControlCharacter(*c))
            *c = ' ';
    entry.nameLine = elements.objectName;
    if (const std::optional<ElementLines> lines = writeElementLines(elements)) {
        entry.line1 = lines->line1;
        entry.line2 = lines->line2;
    }
}

std::string logName(const CatalogueEntry& entry) {
    const std::string shown(entry.displayName);
    std::string name = shown.substr(0, kNameField);
    name.erase(name.find_last_not_of(' ') + 1); // all of it when blank
    return name + shown.substr(std::min(kNameField, shown.size()));
}

Vec3 satellitePosition(const ElementSet& set, double tsince, const Vec3& km, int error) {
    // Comparisons false for NaN.
    if (error == kSgp4Ok && length(km) <= kFarthestSatelliteKm && !sgp4DragExhausted(set, tsince))
        return {1000.0 * km.x, 1000.0 * km.y, 1000.0 * km.z};
    constexpr double nan = std::numeric_limits<double>::quiet_NaN();
    return {nan, nan, nan};
}

int propagateSatellite(CatalogueEntry& satellite, double jd) {
    constexpr double nan = std::numeric_limits<double>::quiet_NaN();
    double r[3] = {nan, nan, nan};
    double v[3];
    const double tsince = minutesSinceEpoch(satellite.elements, jd);
    sgp4Propagate(kWgs72, satellite.elements, tsince, r, v);
    const Vec3 position =
        satellitePosition(satellite.elements, tsince, {r[0], r[1], r[2]}, satellite.elements.error);
    satellite.position[0] = position.x;
    satellite.position[1] = position.y;
    satellite.position[2] = position.z;
    return 0;
}
