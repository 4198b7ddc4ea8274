#include "astro/horizon_mask.h"

#include <algorithm>
#include <cmath>
#include <locale>
#include <sstream>

namespace {

double wrapAzimuth(double azimuthDeg) {
    double a = std::fmod(azimuthDeg, 360.0);
    if (a < 0)
        a += 360.0;
    return a >= 360.0 ? 0.0 : a; // -1e-20 wraps to 360 in doubles
}

// A whole field as a finite number, or false.
bool readNumber(const std::string& field, double& value) {
    if (field.empty())
        return false;
    // Not strtod: the decimal point must not follow the user's locale.
    std::istringstream in(field);
    in.imbue(std::locale::classic());
    in >> value;
    return in && in.peek() == std::char_traits<char>::eof() && std::isfinite(value);
}

} // namespace

HorizonMask::HorizonMask(std::vector<Point> given) {
    for (Point& p : given)
        p.azimuthDeg = wrapAzimuth(p.azimuthDeg);
    std::stable_sort(given.begin(), given.end(),
                     [](const Point& a, const Point& b) { return a.azimuthDeg < b.azimuthDeg; });
    for (const Point& p : given) {
        if (!points.empty() && points.back().azimuthDeg == p.azimuthDeg)
            points.back() = p;
        else
            points.push_back(p);
    }
}

bool HorizonMask::parse(const std::string& text, int* badLine) {
    std::vector<Point> read;
    std::istringstream lines(text);
    std::string line;
    for (int number = 1; std::getline(lines, line); ++number) {
        line = line.substr(0, line.find('#'));
        std::replace(line.begin(), line.end(), ',', ' ');
        std::replace(line.begin(), line.end(), '\t', ' ');
        std::replace(line.begin(), line.end(), '\r', ' ');
        std::istringstream fields(line);
        std::vector<std::string> words;
        for (std::string w; fields >> w;)
            words.push_back(w);
        if (words.empty())
            continue;
        Point p;
        if (words.size() != 2 || !readNumber(words[0], p.azimuthDeg) ||
            !readNumber(words[1], p.altitudeDeg) || p.altitudeDeg < -90 || p.altitudeDeg > 90) {
            if (badLine)
                *badLine = number;
            return false;
        }
        read.push_back(p);
    }
    *this = HorizonMask(std::move(read));
    return true;
}

double HorizonMask::altitudeAt(double azimuthDeg) const {
    if (points.empty())
        return 0.0;
    if (points.size() == 1)
        return points.front().altitudeDeg;
    const double a = wrapAzimuth(azimuthDeg);
    const auto after = std::upper_bound(points.begin(), points.end(), a,
                                        [](double x, const Point& p) { return x < p.azimuthDeg; });
    // Between the last point and the first the line runs across north.
    const Point& hi = after == points.end() ? points.front() : *after;
    const Point& lo = after == points.begin() ? points.back() : *(after - 1);
    double span = hi.azimuthDeg - lo.azimuthDeg;
    double into = a - lo.azimuthDeg;
    if (span <= 0)
        span += 360.0;
    if (into < 0)
        into += 360.0;
    return lo.altitudeDeg + (hi.altitudeDeg - lo.altitudeDeg) * into / span;
}

double HorizonMask::lowest() const {
    if (points.empty())
        return 0.0;
    return std::min_element(
               points.begin(), points.end(),
               [](const Point& a, const Point& b) { return a.altitudeDeg < b.altitudeDeg; })
        ->altitudeDeg;
}

HorizonMask::FileRead HorizonMask::readFile(const std::string& path, HorizonMask& mask) {
    FileRead read;
    std::string text;
    read.file = readFileBounded(path, std::uint64_t(kMaxFileBytes), text);
    if (read.file)
        mask.parse(text, &read.badLine);
    return read;
}
