#include "astro/topocentric.h"

#include "astro/angles.h"
#include "astro/earth.h"

#include <cmath>

SiteMeridianPosition siteMeridianPosition(const Site& site) {
    const double s = std::sin(site.latitude);
    const double c = std::cos(site.latitude);
    const double t = kEarthAxisRatio * s;
    const double d = std::sqrt(c * c + t * t);
    SiteMeridianPosition p;
    p.z = (t / d) * kEarthAxisRatio * kEarthEquatorialRadius + site.elevation * s;
    p.rho = (c / d) * kEarthEquatorialRadius + site.elevation * c;
    p.sinLatitude = s;
    p.cosLatitude = c;
    return p;
}

double siteDistance(const Site& a, const Site& b) {
    // Earth-fixed positions, each site's meridian turned to its longitude.
    const auto position = [](const Site& site) {
        const SiteMeridianPosition p = siteMeridianPosition(site);
        return Vec3{p.rho * std::cos(site.westLongitude), -p.rho * std::sin(site.westLongitude),
                    p.z};
    };
    return length(difference(position(a), position(b)));
}

HorizonFrame horizonFrame(const SiteMeridianPosition& site, double theta) {
    return {site, std::sin(theta), std::cos(theta)};
}

Vec3 horizonVector(const Vec3& satellite, const HorizonFrame& frame) {
    const Vec3 observer{frame.site.rho * frame.cosTheta, frame.site.rho * frame.sinTheta,
                        frame.site.z};
    const Vec3 range = difference(satellite, observer);
    const Vec3 meridian = toMeridianFrame(range, frame.sinTheta, frame.cosTheta);
    return meridianToHorizon(meridian, frame.site.sinLatitude, frame.site.cosLatitude);
}

HorizonDirection horizonDirection(const Vec3& eastNorthUp) {
    const SphericalAngles angles = sphericalAngles(eastNorthUp);
    double azimuth = kTwoPi / 4 - angles.lambda; // lambda is counted from east toward north
    if (azimuth < 0)
        azimuth += kTwoPi;
    return {azimuth * kDegreesPerRadian, angles.beta * kDegreesPerRadian};
}
