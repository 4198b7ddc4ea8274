#pragma once

#include "astro/site.h"
#include "tools/mountsim/satellite_tracker.h"

#include <QByteArray>
#include <QList>

#include <functional>
#include <optional>
#include <vector>

// The mount's side of the command protocol, without any networking: one command and the
// instant it arrives in, its reply (with the '#') or nothing out. Commands it does not know get
// no reply, as on the real mount. The commands and the forms of the site's replies are the
// mount protocol's (mount/protocol.h). The satellite commands are computed with the program's own
// orbit model and sky geometry from the configured site.
class SimulatedMount {
public:
    struct Config {
        QByteArray firmware = "2.15.14";
        Site site = Site::fromDegrees(47.5, 8.5, 450.0);
        double slewSeconds = 5.0;  // how long every slew takes
        bool refuseAlpha5 = false; // answer "E" to an element set with an Alpha-5 number
        // Commands never answered. An entry ending in '#' matches that command exactly; any
        // other entry matches every command that starts with it.
        QList<QByteArray> muted;
        // Replies, without their '#', given instead of the site's (empty: the site's own).
        QByteArray latitudeReply;
        QByteArray longitudeReply;
        QByteArray elevationReply;
        // The mount's clock runs this many seconds ahead of the instants given (negative:
        // behind) and keeps local time in a zone where this much is to be added to get UTC.
        double clockOffsetSeconds = 0.0;
        double utcOffsetSeconds = 0.0;
    };

    explicit SimulatedMount(Config config);

    // now: the working Julian date the command arrives at (see astro/time_scales.h).
    std::optional<QByteArray> answer(const QByteArray& command, double now);
    // The same at the system clock's present instant.
    std::optional<QByteArray> answer(const QByteArray& command);

    bool isParked() const { return parked; }
    bool highPrecision() const { return precise; }
    // Whether the firmware has the axis-error readout, which ":GaE#" needs.
    bool reportsAxisErrors() const { return axisErrors; }
    const SatelliteTracker& satellites() const { return tracker; }

    // Brings a command name from the command line to its wire form (":Gt#", ":TLEL0").
    static QByteArray normaliseCommandName(const QByteArray& name);

private:
    using Handler = std::function<std::optional<QByteArray>(const QByteArray& parameters)>;
    struct Rule {
        QByteArray prefix; // from the ':' on
        bool exact;        // the whole command, '#' included, rather than a prefix
        Handler handler;   // gets what lies between the prefix and the closing '#'
    };

    void addExact(const QByteArray& command, Handler handler);
    void addPrefix(const QByteArray& prefix, Handler handler);
    bool isMuted(const QByteArray& command) const;
    // The mount's local time at `now`, in hundredths of a second since 1970-01-01 local.
    qint64 localCentiseconds() const;

    Config config;
    std::vector<Rule> rules;
    bool parked = false;
    bool precise = false;
    bool axisErrors = false;
    SatelliteTracker tracker;
    double now = 0.0; // the instant of the command being answered
};
