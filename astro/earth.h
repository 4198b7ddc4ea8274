#pragma once

// The Earth of sites and the sky: WGS-84. The orbit model keeps its own Earth (WGS-72, in
// orbit/gravity.h); a number that bounds or scales the model's orbits takes that one.

constexpr double kEarthEquatorialRadius = 6378137.0;       // metres
constexpr double kEarthFlattening = 1.0 / 298.257223563;   // (a - b) / a
constexpr double kEarthAxisRatio = 1.0 - kEarthFlattening; // b / a
constexpr double kEarthRotationRate = 7.292115e-5;         // rad/s
