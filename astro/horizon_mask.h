#pragma once

// The horizon a site actually has: trees, roofs and hills raise it above 0 deg in places. Given
// as points (azimuth, altitude) in degrees, joined by straight lines in azimuth, the last back
// round to the first across north. Without points the horizon is flat at 0 deg.

#include "astro/file_io.h"

#include <string>
#include <vector>

class HorizonMask {
public:
    // How a horizon file was read: its fault as a file, or the line parse refused (from 1).
    struct FileRead {
        FileResult file;
        int badLine = 0;
        bool ok() const { return file && badLine == 0; }
    };

    struct Point {
        double azimuthDeg = 0.0; // 0 to 360, north through east
        double altitudeDeg = 0.0;
    };

    HorizonMask() = default;
    // Azimuths are taken modulo 360; points of equal azimuth keep the last one given.
    explicit HorizonMask(std::vector<Point> points);

    // Reads the common two-column text form: `azimuth altitude` per line, separated by blanks or
    // a comma, `#` starting a comment, blank lines ignored. Azimuths may be any finite number,
    // altitudes lie within -90 to 90. On a line it cannot read it returns false, leaves the mask
    // as it was and puts the line's number (from 1) in *badLine.
    bool parse(const std::string& text, int* badLine = nullptr);

    // The largest horizon file taken, in bytes: thousands of points fit easily.
    static constexpr long long kMaxFileBytes = 4 << 20;

    // Reads a horizon file (parse's form) at a path in the system's bytes into mask, which stays
    // as it was when the file is not read. Only a regular file of at most kMaxFileBytes is read
    // (readFileBounded): a device or a pipe could stall the reading or never end it.
    static FileRead readFile(const std::string& path, HorizonMask& mask);

    bool isFlat() const { return points.empty(); }
    const std::vector<Point>& maskPoints() const { return points; }
    // The mask's altitude at an azimuth (degrees, any finite value).
    double altitudeAt(double azimuthDeg) const;
    // The lowest altitude of the mask, 0 when flat.
    double lowest() const;

private:
    std::vector<Point> points; // by azimuth, each in [0, 360)
};
