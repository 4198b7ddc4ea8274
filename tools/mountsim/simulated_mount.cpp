#include "tools/mountsim/simulated_mount.h"

#include "astro/time_scales.h"
#include "mount/firmware_version.h"

#include <QString>

#include <cmath>

// Degrees as sign, degrees, '*', minutes, ':', seconds with one decimal, rounded to a tenth
// of an arc-second so that 59.95" carries into the next minute instead of printing 60.0.
static QByteArray sexagesimal(double degrees, int degreeDigits) {
    if (!std::isfinite(degrees))
        degrees = 0.0;
    const double magnitude = std::fmin(std::fabs(degrees), 1.0e6);
    const qint64 tenths = qRound64(magnitude * 36000.0);
    const char sign = degrees < 0.0 && tenths > 0 ? '-' : '+';
    const qint64 whole = tenths / 36000;
    const int minutes = int((tenths / 600) % 60);
    const int secondTenths = int(tenths % 600);
    return QString::asprintf("%c%0*lld*%02d:%02d.%d", sign, degreeDigits, whole, minutes,
                             secondTenths / 10, secondTenths % 10)
        .toLatin1();
}

QByteArray formatLatitude(double degrees) {
    return sexagesimal(degrees, 2);
}

QByteArray formatLongitude(double degrees) {
    return sexagesimal(degrees, 3);
}

QByteArray formatElevation(double metres) {
    if (!std::isfinite(metres))
        metres = 0.0;
    const double magnitude = std::fmin(std::fabs(metres), 1.0e9);
    const qint64 tenths = qRound64(magnitude * 10.0);
    const char sign = metres < 0.0 && tenths > 0 ? '-' : '+';
    return QString::asprintf("%c%04lld.%d", sign, tenths / 10, int(tenths % 10)).toLatin1();
}

Site siteRecord(const SimulatedSite& site) {
    return Site{site.latitude * kRadiansPerDegree, -site.longitude * kRadiansPerDegree,
                site.elevation};
}

SimulatedMount::SimulatedMount(Config config)
    : config(std::move(config)),
      axisErrors(
          FirmwareVersion::fromReply(this->config.firmware).isAtLeast(axisErrorReadoutFirmware)),
      tracker(siteRecord(this->config.site), this->config.slewSeconds) {
    using Reply = std::optional<QByteArray>;
    addExact(":U2#", [this](const QByteArray&) -> Reply {
        precise = true;
        return std::nullopt;
    });
    addExact(":GVN#", [this](const QByteArray&) -> Reply { return this->config.firmware + '#'; });
    const auto either = [](const QByteArray& given, const QByteArray& own) {
        return (given.isEmpty() ? own : given) + '#';
    };
    addExact(":Gt#", [this, either](const QByteArray&) -> Reply {
        return either(this->config.latitudeReply, formatLatitude(this->config.site.latitude));
    });
    // The mount counts longitude positive toward the west.
    addExact(":Gg#", [this, either](const QByteArray&) -> Reply {
        return either(this->config.longitudeReply, formatLongitude(-this->config.site.longitude));
    });
    addExact(":Gev#", [this, either](const QByteArray&) -> Reply {
        return either(this->config.elevationReply, formatElevation(this->config.site.elevation));
    });
    addExact(":STOP#", [this](const QByteArray&) -> Reply {
        tracker.stop();
        return std::nullopt;
    });
    addExact(":KA#", [this](const QByteArray&) -> Reply {
        tracker.stop();
        parked = true;
        return std::nullopt;
    });
    addExact(":PO#", [this](const QByteArray&) -> Reply {
        parked = false;
        return std::nullopt;
    });

    addPrefix(":TLEL0",
              [this](const QByteArray& text) -> Reply { return tracker.load(text) + '#'; });
    addPrefix(":TLEP", [this](const QByteArray& parameters) -> Reply {
        return tracker.computePass(parameters) + '#';
    });
    addExact(":TLES#",
             [this](const QByteArray&) -> Reply { return tracker.slew(now, parked) + '#'; });
    addExact(":TLESCK#", [this](const QByteArray&) -> Reply {
        return QByteArray(1, tracker.state(now)) + '#';
    });
    // Older firmware does not know the command and, like every unknown one, leaves it unanswered.
    if (axisErrors)
        addExact(":GaE#",
                 [this](const QByteArray&) -> Reply { return tracker.axisErrors(now) + '#'; });
}

void SimulatedMount::addExact(const QByteArray& command, Handler handler) {
    rules.push_back(Rule{command, true, std::move(handler)});
}

void SimulatedMount::addPrefix(const QByteArray& prefix, Handler handler) {
    rules.push_back(Rule{prefix, false, std::move(handler)});
}

std::optional<QByteArray> SimulatedMount::answer(const QByteArray& command) {
    return answer(command, TimeScales().currentJd());
}

std::optional<QByteArray> SimulatedMount::answer(const QByteArray& command, double instant) {
    now = instant;
    if (command.size() < 2 || !command.startsWith(':') || !command.endsWith('#'))
        return std::nullopt;
    const Rule* match = nullptr;
    for (const Rule& rule : rules) {
        if (rule.exact && rule.prefix == command) {
            std::optional<QByteArray> reply = rule.handler(QByteArray());
            return isMuted(command) ? std::nullopt : reply;
        }
    }
    for (const Rule& rule : rules) {
        if (!rule.exact && command.size() > rule.prefix.size() && command.startsWith(rule.prefix) &&
            (!match || rule.prefix.size() > match->prefix.size()))
            match = &rule;
    }
    if (!match)
        return std::nullopt;
    const QByteArray parameters =
        command.mid(match->prefix.size(), command.size() - match->prefix.size() - 1);
    std::optional<QByteArray> reply = match->handler(parameters);
    return isMuted(command) ? std::nullopt : reply;
}

bool SimulatedMount::isMuted(const QByteArray& command) const {
    for (const QByteArray& muted : config.muted) {
        if (muted.endsWith('#') ? command == muted : command.startsWith(muted))
            return true;
    }
    return false;
}

QByteArray SimulatedMount::normaliseCommandName(const QByteArray& name) {
    const QByteArray trimmed = name.trimmed();
    if (trimmed.isEmpty())
        return trimmed;
    return trimmed.startsWith(':') ? trimmed : ':' + trimmed;
}
