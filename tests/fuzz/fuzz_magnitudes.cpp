// Arbitrary bytes as a standard-magnitude file, read as the program reads it (from the file)
// and from the text in memory: both agree; what is read is in range and gives a finite
// magnitude along a lit pass; what is refused names its line and leaves nothing behind.

#include "planning/magnitudes.h"
#include "tests/fuzz/fuzz_input.h"

#include <cmath>
#include <sstream>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string path = fuzz::scratchFolder() + "/magnitudes.txt";
    fuzz::writeFile(path, data, size);

    StandardMagnitudes fromFile{{25544, -1.8}}; // a list read before is replaced either way
    const MagnitudeReadResult read = readStandardMagnitudeFile(path, fromFile);
    if (!read.ok && (read.errorLine < 1 || !fromFile.empty()))
        fuzz::fail("a refused file without its line, or with magnitudes kept");

    std::istringstream text(std::string(reinterpret_cast<const char*>(data), size));
    StandardMagnitudes fromText;
    const MagnitudeReadResult again = readStandardMagnitudes(text, fromText);
    if (again.ok != read.ok || again.errorLine != read.errorLine || fromText != fromFile)
        fuzz::fail("the file and the text read differently");

    // 800 km away, the Sun behind the observer: lit, at a phase of about 60 deg.
    const Vec3 fromObserver{300e3, 400e3, 700e3};
    const Vec3 sunFromSatellite{-1.0e11, 0.5e11, -1.2e11};
    for (const auto& [number, standard] : fromFile) {
        if (number < 0 || !std::isfinite(standard) || std::fabs(standard) > 100)
            fuzz::fail("a magnitude out of range");
        const std::optional<double> seen =
            estimatedMagnitude(standard, fromObserver, sunFromSatellite);
        if (!seen || !std::isfinite(*seen))
            fuzz::fail("no finite magnitude for a lit satellite");
    }
    return 0;
}
