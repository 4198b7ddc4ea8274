#pragma once

// Earth gravity model constants of the orbit model, in the model's units.
struct GravityConstants {
    double tumin;         // minutes per time unit (1 / xke)
    double mu;            // km^3/s^2
    double radiusearthkm; // km
    double xke;           // sqrt(mu / R^3) in 1/min
    double j2, j3, j4;
    double j3oj2;
};

namespace orbit_detail {

constexpr GravityConstants makeGravity(double mu, double radius, double xke, double j2, double j3,
                                       double j4) {
    return GravityConstants{1.0 / xke, mu, radius, xke, j2, j3, j4, j3 / j2};
}

// xke of WGS-72 and WGS-84 is 60 / sqrt(R^3 / mu); the literals are those values to the last
// bit (a test recomputes them), written out so that the table is known at compile time.
inline constexpr GravityConstants kGravitySets[3] = {
    makeGravity(398600.79964, 6378.135, 0.0743669161, 0.001082616, -0.00000253881, -0.00000165597),
    makeGravity(398600.8, 6378.135, 0.074366916133173422, 0.001082616, -0.00000253881,
                -0.00000165597),
    makeGravity(398600.5, 6378.137, 0.074366853168713845, 0.00108262998905, -0.00000253215306,
                -0.00000161098761),
};

} // namespace orbit_detail

// The selector every element set is read and propagated with, and its constants: the orbit
// model's Earth, for bounds on a satellite's motion.
constexpr int kWgs72 = 1;
inline constexpr GravityConstants kWgs72Constants = orbit_detail::kGravitySets[kWgs72];

// Selector 0: WGS-72 low precision, 1: WGS-72, 2: WGS-84. Any other selector writes
// "unknown gravity option (N)" to standard error and yields all-NaN constants, so that nothing
// computed from them can pass as a result.
GravityConstants gravityConstants(int selector);
