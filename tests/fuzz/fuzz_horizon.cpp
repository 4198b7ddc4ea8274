// Arbitrary bytes as a horizon file: the file reader as the site dialog and orbitrak-cli use it,
// then the mask's lookups round the whole circle. A mask read is sorted, in range, and gives a
// finite altitude within its own points' span at every azimuth; a file refused names a line and
// leaves the mask as it was.

#include "astro/horizon_mask.h"
#include "tests/fuzz/fuzz_input.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// North, the wrap's edges, a few plain directions and unusual but finite azimuths.
constexpr double kAzimuths[] = {0.0,   -1.0e-20, 359.999999999, 360.0, 0.5,     45.0,   90.0,
                                180.0, 270.25,   -90.0,         720.5, -1.0e15, 1.0e300};

void lookUp(const HorizonMask& mask) {
    const std::vector<HorizonMask::Point>& points = mask.maskPoints();
    double highest = 0.0;
    for (std::size_t i = 0; i < points.size(); ++i) {
        const HorizonMask::Point& p = points[i];
        if (!(p.azimuthDeg >= 0.0 && p.azimuthDeg < 360.0) ||
            !(p.altitudeDeg >= -90.0 && p.altitudeDeg <= 90.0) ||
            (i > 0 && !(points[i - 1].azimuthDeg < p.azimuthDeg)))
            fuzz::fail("mask points unsorted, repeated or out of range");
        highest = i == 0 ? p.altitudeDeg : std::max(highest, p.altitudeDeg);
    }
    const double lowest = mask.lowest();
    // Points as close as 1e-300 deg apart still interpolate: a little slack for the rounding.
    const double slack = 1e-9;
    for (const double azimuth : kAzimuths) {
        const double altitude = mask.altitudeAt(azimuth);
        if (!std::isfinite(altitude) || altitude < lowest - slack ||
            (!mask.isFlat() && altitude > highest + slack))
            fuzz::fail("an altitude outside the mask's own points");
    }
    for (const HorizonMask::Point& p : points)
        if (mask.altitudeAt(p.azimuthDeg) != p.altitudeDeg)
            fuzz::fail("the mask misses its own point");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string path = fuzz::scratchFolder() + "/horizon.txt";
    fuzz::writeFile(path, data, size);

    // A mask already set, which a refused file must leave alone.
    const HorizonMask before({{10.0, 5.0}, {200.0, 12.5}});
    HorizonMask mask = before;
    const HorizonMask::FileRead read = HorizonMask::readFile(path, mask);
    if (read.file && read.badLine > 0) {
        if (read.badLine < 1 || mask.maskPoints().size() != before.maskPoints().size())
            fuzz::fail("a refused file without its line, or with the mask changed");
    } else if (!read.file) {
        fuzz::fail("a scratch file not read");
    }
    lookUp(mask);

    // The text in memory reads the same.
    HorizonMask again;
    int badLine = 0;
    const bool parsed =
        again.parse(std::string(reinterpret_cast<const char*>(data), size), &badLine);
    if (parsed != read.ok() || (!parsed && badLine != read.badLine) ||
        (parsed && again.maskPoints().size() != mask.maskPoints().size()))
        fuzz::fail("the file and the text read differently");
    return 0;
}
