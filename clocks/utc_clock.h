#pragma once

#include <chrono>
#include <functional>

// A clock as the clock checks read it: UTC in seconds since 1970 (POSIX time, without leap
// seconds), finer than a millisecond. The checks take one so that tests can set the time.
using UtcClock = std::function<double()>;

// This computer's clock.
inline double systemUtcSeconds() {
    using namespace std::chrono;
    return duration<double>(system_clock::now().time_since_epoch()).count();
}
