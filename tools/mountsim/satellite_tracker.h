#pragma once

#include "astro/site.h"
#include "astro/time_scales.h"
#include "catalogue/catalogue_entry.h"
#include "planning/passes.h"

#include <QByteArray>

#include <optional>

// The stand-in's satellite side: the element set it holds, the pass it computed and the
// transit it follows. Every answer depends only on this state, the command's parameters and
// the instant given (a working Julian date), so it can be driven at any pace without a clock.
class SatelliteTracker {
public:
    // How far from the element set's epoch a pass is still looked for. Beyond it the orbit
    // means nothing, and the deep-space integrator would take ever longer.
    static constexpr double maxDaysFromEpoch = 3650.0;
    // How far ahead of the pass command's date a pass is looked for.
    static constexpr double passWindowDays = 1.0;

    // refuseAlpha5: answer an element set whose catalogue number has the Alpha-5 form ("A0001")
    // with "E", as firmware that reads five digits only would.
    SatelliteTracker(const Site& site, double slewSeconds, bool refuseAlpha5 = false);

    // ":TLEL0": "V" with the escaped element set taken, else "E" with nothing changed (a raw
    // line feed counts as a fault of the escaping). A new element set forgets the pass and
    // ends any transit.
    QByteArray load(const QByteArray& escapedText);
    // ":TLEP<jd>,<n>": the first pass (planning/passes) under way at jd or rising within
    // passWindowDays; "start,end,peak" (working dates with six decimals, the culmination's
    // altitude in degrees with one) or "E". Either way the transit followed so far ends.
    QByteArray computePass(const QByteArray& parameters);
    // ":TLES#": "F" parked, "E" without a pass, "Q" after it, "S" while the satellite is up
    // (slew to it), "V" before the pass (slew to where it begins).
    QByteArray slew(double now, bool parked);
    // ":STOP#", ":KA#": the transit ends; the pass is kept.
    void stop();

    // ":TLESCK#": E, V or S while slewing, P, T or Q.
    char state(double now) const;
    // ":GaE#": "azimuth,altitude,error1,"state,seconds",error2", errors in degrees.
    QByteArray axisErrors(double now);

    bool hasSatellite() const { return satellite.has_value(); }
    const std::optional<SatellitePass>& currentPass() const { return pass; }

    // The small, smooth errors of a mount following a satellite, in degrees, t seconds into
    // the tracking.
    static double firstAxisError(double t);
    static double secondAxisError(double t);

private:
    enum class Slew { None, ToStart, ToSatellite };

    double slewEnd() const { return slewStart + slewDays; }

    Site site;
    // No time table is read: UTC from the built-in leap count, UT1 = UTC.
    TimeScales scales;
    double slewDays;
    bool refuseAlpha5 = false;
    std::optional<CatalogueEntry> satellite;
    std::optional<SatellitePass> pass;
    Slew slewKind = Slew::None;
    double slewStart = 0.0;
};
