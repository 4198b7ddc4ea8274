#pragma once

// SGP4/SDP4 over many propagations at once: the model and mode of sgp4Propagate (AFSPC,
// WGS-72), several sets or instants per SIMD register. Results agree with sgp4Propagate's to a
// few 1e-9 km even weeks from the epoch (the sine, cosine, arc tangent and remainders are
// computed differently, not the model; the tests hold them to 1e-6 km and 1e-9 km/s), and the
// error codes are the same.
//
// Which instruction set runs is chosen when the program starts, by the processor: AVX-512,
// AVX2, SSE4 or plain code (Google Highway's dispatch). Built with ORBITRAK_SIMD=OFF, every
// propagation goes through sgp4Propagate itself.
//
// Deep-space sets take the lanes too, grouped by resonance so that a register's lanes take the
// same branches. Each keeps its resonance integrator's state in the batch from call to call,
// brought forward by sgp4Propagate's rule (from the epoch in 720-minute steps, restarting when
// the instant lies behind it or across the epoch), so a result depends on nothing but the set
// and the instant. Sets initialised with other gravity constants are propagated by
// sgp4Propagate lane by lane, on the batch's own copies.

#include "orbit/element_set.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Where a batch writes its results: arrays of one element per propagation. Codes 1-4 (see
// Sgp4Error) leave NaN in the position and velocity; code 6 writes them, as sgp4Propagate does.
struct Sgp4States {
    double* rx; // km, TEME
    double* ry;
    double* rz;
    double* vx; // km/s
    double* vy;
    double* vz;
    int* error; // Sgp4Error code
};

// True when the set takes the vector lanes: initialised with WGS-72.
bool sgp4BatchVectorises(const ElementSet& set);

// Many element sets, each at one instant. The per-set values propagation reads are kept as
// structure of arrays; assign allocates, propagation does not.
class Sgp4Batch {
public:
    // Takes copies of the sets; results are indexed like `sets`.
    void assign(const ElementSet* sets, std::size_t count);
    std::size_t size() const { return count_; }

    // Sets [first, last) at the UTC Julian date jd: each to (jd - jdsatepoch) * 1440 minutes
    // from its epoch, results at [index - first] of out. Different ranges may run on different
    // threads at once.
    void propagateAt(double jd, std::size_t first, std::size_t last, const Sgp4States& out);
    void propagateAt(double jd, const Sgp4States& out) { propagateAt(jd, 0, count_, out); }

    // The sets that went to the vector lanes.
    std::size_t vectorSets() const;

private:
    // Sets of one kind: near-Earth, or deep-space without, with one-day or with half-day
    // resonance. Kept apart so that the lanes of a register take the same branches.
    struct Lanes {
        std::vector<std::uint32_t> index; // slot -> set index, ascending
        std::vector<double> soa;          // field-major, stride slots per field
        std::size_t stride = 0;
    };
    std::size_t count_ = 0;
    std::array<Lanes, 4> lanes_;
    std::vector<std::uint32_t> scalarIndex_; // sets for sgp4Propagate, ascending
    std::vector<ElementSet> scalarSets_;     // their copies, parallel to scalarIndex_
};

// One set at n instants (minutes from its epoch); results at [k] of out. A resonant set's
// integrator ends as the last instant leaves it. Sets that do not take the vector lanes are
// propagated by sgp4Propagate, in place.
void sgp4PropagateTimes(ElementSet& set, const double* tsince, std::size_t n,
                        const Sgp4States& out);

// Elevation angles atan2(up, sqrt(east^2 + north^2)) in radians of n vectors, on the same
// dispatch path: within four ulps of the C library's (the same without SIMD support).
void batchElevations(const double* east, const double* north, const double* up, std::size_t n,
                     double* out);

// The dispatch paths this program holds and this processor runs, best first (e.g. "AVX3",
// "AVX2", "SSE4", "EMU128"), or "scalar" alone without SIMD support.
std::vector<std::string> sgp4BatchPaths();

// The path batch propagation takes now.
std::string sgp4BatchPath();

// For tests and benchmarks: confines the dispatch to one of sgp4BatchPaths(), or with an empty
// name back to the processor's best. False for a path this program cannot take.
bool sgp4BatchForcePath(const std::string& name);
