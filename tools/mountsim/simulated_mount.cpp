#include "tools/mountsim/simulated_mount.h"

#include "astro/time_scales.h"
#include "mount/protocol.h"

#include <cmath>

SimulatedMount::SimulatedMount(Config config)
    : config(std::move(config)),
      axisErrors(MountProtocol::readFirmwareVersion(this->config.firmware)
                     .isAtLeast(axisErrorReadoutFirmware)),
      tracker(this->config.site, this->config.slewSeconds, this->config.refuseAlpha5) {
    namespace Protocol = MountProtocol;
    using Reply = std::optional<QByteArray>;
    addExact(Protocol::kHighPrecision, [this](const QByteArray&) -> Reply {
        precise = true;
        return std::nullopt;
    });
    addExact(Protocol::kFirmwareVersion,
             [this](const QByteArray&) { return Protocol::framedReply(this->config.firmware); });
    const auto either = [](const QByteArray& given, const QByteArray& own) {
        return Protocol::framedReply(given.isEmpty() ? own : given);
    };
    addExact(Protocol::kLatitude, [this, either](const QByteArray&) {
        return either(this->config.latitudeReply,
                      Protocol::latitudeReply(this->config.site.latitudeDeg()));
    });
    addExact(Protocol::kLongitude, [this, either](const QByteArray&) {
        return either(this->config.longitudeReply,
                      Protocol::longitudeReply(this->config.site.westLongitudeDeg()));
    });
    addExact(Protocol::kElevation, [this, either](const QByteArray&) {
        return either(this->config.elevationReply,
                      Protocol::elevationReply(this->config.site.elevation));
    });
    addExact(Protocol::kStop, [this](const QByteArray&) -> Reply {
        tracker.stop();
        return std::nullopt;
    });
    addExact(Protocol::kPark, [this](const QByteArray&) -> Reply {
        tracker.stop();
        parked = true;
        return std::nullopt;
    });
    addExact(Protocol::kUnpark, [this](const QByteArray&) -> Reply {
        parked = false;
        return std::nullopt;
    });

    // The date and the time come from one reading each, cut to the hundredth as a clock shows
    // it, so that the date turns with the time.
    addExact(Protocol::kDate, [this](const QByteArray&) {
        const qint64 days = localCentiseconds() / 8640000;
        return Protocol::framedReply(Protocol::dateReply(QDate::fromJulianDay(2440588 + days)));
    });
    addExact(Protocol::kLocalTime, [this](const QByteArray&) {
        return Protocol::framedReply(Protocol::localTimeReply(localCentiseconds() % 8640000));
    });
    addExact(Protocol::kUtcOffset, [this](const QByteArray&) {
        return Protocol::framedReply(Protocol::utcOffsetReply(this->config.utcOffsetSeconds));
    });

    addPrefix(Protocol::kUploadPrefix,
              [this](const QByteArray& text) { return Protocol::framedReply(tracker.load(text)); });
    addPrefix(Protocol::kPassPrefix, [this](const QByteArray& parameters) {
        return Protocol::framedReply(tracker.computePass(parameters));
    });
    addExact(Protocol::kSlew, [this](const QByteArray&) {
        return Protocol::framedReply(tracker.slew(now, parked));
    });
    addExact(Protocol::kTrackingStatus, [this](const QByteArray&) {
        return Protocol::framedReply(QByteArray(1, tracker.state(now)));
    });
    // Older firmware does not know the command and, like every unknown one, leaves it unanswered.
    if (axisErrors)
        addExact(Protocol::kAxisErrors, [this](const QByteArray&) {
            return Protocol::framedReply(tracker.axisErrors(now));
        });
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

qint64 SimulatedMount::localCentiseconds() const {
    const double utc = (TimeScales().utcFromJd(now) - 2440587.5) * kSecondsPerDay;
    const double local = utc + config.clockOffsetSeconds - config.utcOffsetSeconds;
    // Before 1970 the stand-in's clock stops rather than showing negative days.
    return std::isfinite(local) && local > 0.0 ? qint64(std::floor(std::fmin(local, 1e11) * 100.0))
                                               : 0;
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
