#pragma once

// Lengths of time in days, the unit every Julian date counts in.

constexpr double kSecondsPerDay = 86400.0;
constexpr double kMinutesPerDay = 1440.0;
