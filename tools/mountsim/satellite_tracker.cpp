#include "tools/mountsim/satellite_tracker.h"

#include "astro/angles.h"
#include "mount/protocol.h"
#include "sky/observation.h"
#include "tools/mountsim/element_set_check.h"

#include <QList>
#include <QString>

#include <algorithm>
#include <cmath>
#include <vector>

// The dates the pass command takes: 1900 to 2100.
static constexpr double kFirstJd = 2415020.5;
static constexpr double kLastJd = 2488069.5;

SatelliteTracker::SatelliteTracker(const Site& site, double slewSeconds, bool refuseAlpha5)
    : site(site), slewDays(std::max(0.0, slewSeconds) / kSecondsPerDay),
      refuseAlpha5(refuseAlpha5) {}

QByteArray SatelliteTracker::load(const QByteArray& escapedText) {
    // Line feeds travel escaped; a raw one means the client did not escape the text.
    if (escapedText.contains('\n'))
        return "E";
    const std::optional<QByteArray> text = MountProtocol::unescapeUploadText(escapedText);
    if (!text)
        return "E";
    const std::optional<UploadedElementSet> checked = checkElementSet(*text);
    // Checked first: an Alpha-5 set is refused only when it is a good one.
    if (!checked || (refuseAlpha5 && checked->line1[2] >= 'A' && checked->line1[2] <= 'Z'))
        return "E";
    CatalogueEntry entry;
    entry.nameLine = checked->nameLine;
    entry.line1 = checked->line1;
    entry.line2 = checked->line2;
    fillCatalogueEntry(entry, entry.nameLine, entry.line1, checked->elements);
    satellite = entry;
    pass.reset();
    slewKind = Slew::None;
    return "V";
}

QByteArray SatelliteTracker::computePass(const QByteArray& parameters) {
    slewKind = Slew::None;
    pass.reset();
    const QList<QByteArray> fields = parameters.split(',');
    if (!satellite || fields.size() != 2)
        return "E";
    bool jdOk = false;
    bool countOk = false;
    const double jd = fields[0].toDouble(&jdOk);
    fields[1].toInt(&countOk);
    if (!jdOk || !countOk || !(jd >= kFirstJd && jd <= kLastJd) ||
        std::fabs(jd - satellite->elements.jdsatepoch) > maxDaysFromEpoch)
        return "E";
    const std::vector<SatellitePass> passes =
        findPasses(*satellite, scales, site, PassWindow{jd, jd + passWindowDays, 0.0});
    if (passes.empty())
        return "E";
    pass = passes.front();
    return QString::asprintf("%.6f,%.6f,%.1f", pass->startJd, pass->endJd,
                             pass->culmination.altitudeDeg)
        .toLatin1();
}

QByteArray SatelliteTracker::slew(double now, bool parked) {
    if (parked)
        return "F";
    if (!pass)
        return "E";
    if (now >= pass->endJd)
        return "Q";
    slewStart = now;
    if (now >= pass->startJd) {
        slewKind = Slew::ToSatellite;
        return "S";
    }
    slewKind = Slew::ToStart;
    return "V";
}

void SatelliteTracker::stop() {
    slewKind = Slew::None;
}

char SatelliteTracker::state(double now) const {
    if (slewKind == Slew::None || !pass)
        return 'E';
    if (now < slewEnd())
        return slewKind == Slew::ToStart ? 'V' : 'S';
    if (now < pass->startJd)
        return 'P';
    if (now < pass->endJd)
        return 'T';
    return 'Q';
}

double SatelliteTracker::firstAxisError(double t) {
    return (1.8 * std::sin(kTwoPi * t / 9.7) + 0.6 * std::sin(kTwoPi * t / 2.3)) /
           kArcsecondsPerDegree;
}

double SatelliteTracker::secondAxisError(double t) {
    return (1.2 * std::cos(kTwoPi * t / 7.1) - 0.5 * std::sin(kTwoPi * t / 1.7)) /
           kArcsecondsPerDegree;
}

static double finiteOrZero(double value) {
    return std::isfinite(value) ? value : 0.0;
}

QByteArray SatelliteTracker::axisErrors(double now) {
    HorizonDirection point{0.0, 0.0};
    if (satellite)
        point = horizonDirection(topocentricEnu(*satellite, observationInstant(scales, now, site)));
    const char code = state(now);
    double first = 0.0;
    double second = 0.0;
    if (code == 'T') {
        const double tracking = (now - std::max(slewEnd(), pass->startJd)) * kSecondsPerDay;
        first = firstAxisError(tracking);
        second = secondAxisError(tracking);
    }
    const double sinceSlew = slewKind == Slew::None ? 0.0 : (now - slewStart) * kSecondsPerDay;
    return QString::asprintf("%.4f,%.4f,%.7f,\"%c,%.1f\",%.7f", finiteOrZero(point.azimuthDeg),
                             finiteOrZero(point.altitudeDeg), first, code, finiteOrZero(sinceSlew),
                             second)
        .toLatin1();
}
