#pragma once

#include "astro/site.h"
#include "astro/time_scales.h"
#include "astro/vec3.h"
#include "catalogue/catalogue.h"
#include "orbit/sgp4_batch.h"

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

// Whether any of the Sun's disc shows from the satellite past the Earth.
enum class Sunlight : signed char { Unknown = -1, Shadow = 0, Sunlit = 1 };

// What the table shows of one satellite, as seen from the site. NaN throughout, the sunlight
// unknown, when there is no position (the set is still being brought to the instant, or its
// elements give none: see satellitePosition); the age is known even then.
struct LiveRow {
    double distanceKm = 0.0;
    double azimuthDeg = 0.0;  // from north through east, [0, 360)
    double altitudeDeg = 0.0; // above the site's horizontal plane
    double speedDegPerSec = 0.0;
    double ageDays = 0.0; // from the set's epoch to the instant
    Sunlight sunlight = Sunlight::Unknown;
    bool invalidElements = false; // propagated, and no position: decayed or broken elements
};

// Sets the row's place from the horizon vectors of one satellite one second apart; its other
// fields stay.
void placeRow(LiveRow& row, const Vec3& secondBefore, const Vec3& now);

// Where every satellite of a catalogue stands in the sky from a site at an instant: for each,
// the horizon vectors one second apart, propagated in place.
//
// A deep-space resonant set whose epoch lies far from the instant integrates from its epoch in
// 720-minute steps, seconds of work for a catalogue of them. Such sets are brought to the
// instant by a pool of worker threads that lives as long as the computation. The integrator's
// state at an instant depends on nothing but the instant, so this changes no result.
class SkyComputation {
public:
    enum class Wait {
        ForEverySet, // every row has its position on return (command-line tools, tests)
        // Sets that need more than a tick's worth of integration are handed to the pool and
        // their rows are NaN until a later call finds them ready (the window's tick).
        NoLongerThanATick,
    };

    explicit SkyComputation(const TimeScales& scales);
    ~SkyComputation();
    SkyComputation(const SkyComputation&) = delete;
    SkyComputation& operator=(const SkyComputation&) = delete;

    // Rows parallel to catalogue.satellites for a working Julian date.
    std::vector<LiveRow> compute(Catalogue& catalogue, double jd, const Site& site,
                                 Wait wait = Wait::NoLongerThanATick);

    // Sets handed to the pool and not yet back in a catalogue.
    std::size_t setsInPreparation() const;

    // Whether a tick propagates the set in the batch (orbit/sgp4_batch.h): every set the vector
    // lanes take but the resonant ones, which go one by one so that the pool can take over
    // their integration.
    static bool batches(const ElementSet& set);

private:
    class WarmUpPool;
    struct Preparation {
        std::size_t index;
        std::string line1;
        std::string line2;
    };

    // The sets that batches() takes, propagated together; the others one by one.
    struct Batched {
        // What tells one initialised set from another.
        struct Key {
            double jd, no, ecco, inclo, bstar, mo, argpo, nodeo;
        };
        std::vector<Key> keys;            // of every catalogue entry, at the last rebuild
        std::vector<std::size_t> indices; // catalogue index of each batch set
        std::vector<char> isBatched;      // per catalogue entry
        Sgp4Batch batch;
        std::vector<double> results; // 2 instants x 6 components x sets
        std::vector<int> errors;     // 2 instants x sets
        Sgp4States states(int instant);
    };

    void refreshBatch(const Catalogue& catalogue);
    bool isInPreparation(std::size_t index, const CatalogueEntry& satellite) const;
    void prepare(std::size_t index, const CatalogueEntry& satellite, double minutes);
    void takePreparedSets(Catalogue& catalogue);

    const TimeScales& scales;
    std::unique_ptr<WarmUpPool> pool;
    std::vector<Preparation> inPreparation;
    Batched batched;
};
