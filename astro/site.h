#pragma once

// The observing site: geodetic latitude (radians, north positive), longitude (radians,
// positive toward the WEST, so local sidereal time = Greenwich sidereal time - longitude) and
// elevation above the WGS-84 ellipsoid (metres).
struct Site {
    double latitude = 0.7853981633974483;   // 45 degrees north
    double longitude = -0.7853981633974483; // 45 degrees east
    double elevation = 120.0;
};
