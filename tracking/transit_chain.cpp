#include "tracking/transit_chain.h"

#include "mount/mount_link.h"
#include "mount/protocol.h"

#include "catalogue/catalogue_entry.h"
#include "orbit/element_lines.h"

#include <QPointer>

#include <cmath>

namespace {

// A handler that does nothing once the chain is gone, should the link outlive it.
template <typename Step> MountLink::ReplyHandler guarded(TransitChain* chain, Step step) {
    return [chain = QPointer<TransitChain>(chain), step](const QByteArray& reply) {
        if (chain)
            (chain->*step)(reply);
    };
}

} // namespace

TransitChain::TransitChain(MountLink& link, std::function<double()> instant, QObject* parent)
    : QObject(parent), link(link), instant(std::move(instant)) {}

void TransitChain::setMountClockError(double seconds) {
    mountClockError = std::isfinite(seconds) ? seconds : 0.0;
}

void TransitChain::setMountClockCorrection(bool on) {
    correctMountClock = on;
}

double TransitChain::totalOffset(double offsetSeconds) const {
    const bool correct = correctMountClock && std::fabs(mountClockError) > kMountClockThresholdS;
    return offsetSeconds + (correct ? mountClockError : 0.0);
}

void TransitChain::start(const CatalogueEntry& satellite, double offsetSeconds) {
    const QString name = QString::fromStdString(logName(satellite));
    const QString nameLine = QString::fromStdString(satellite.nameLine);
    const QString line1 = QString::fromStdString(satellite.line1);
    const QString line2 = QString::fromStdString(satellite.line2);
    emit logEvent(tr("Selected %1.").arg(name), LogLevel::Info);
    // A set read from OMM whose number no TLE can carry has no element lines: an empty upload
    // would only be refused.
    if (line1.isEmpty() || line2.isEmpty()) {
        emit logEvent(tr("The element set of %1 has a catalogue number above 339999, which no TLE "
                         "can carry: the mount cannot take it.")
                          .arg(name),
                      LogLevel::Warning);
        return;
    }
    // Catalogue numbers from 100000 on take a letter in column 3 ("A0001"), which firmware
    // that reads five digits may refuse; the lines go as they stand all the same.
    const bool alpha5 =
        line1.size() > 2 && line1[2] >= QLatin1Char('A') && line1[2] <= QLatin1Char('Z');
    QString uploadLine1 = line1;
    if (const double offset = totalOffset(offsetSeconds); offset != 0.0) {
        const std::optional<ElementLines> shifted =
            shiftElementEpoch(line1.toStdString(), line2.toStdString(), offset);
        const QString seconds =
            (offset >= 0.0 ? QStringLiteral("+") : QString()) + QString::number(offset, 'f', 2);
        if (!shifted) {
            emit logEvent(tr("Cannot move the epoch of %1 by %2 s: its first element line does "
                             "not hold one in the usual columns. Nothing was uploaded.")
                              .arg(name, seconds),
                          LogLevel::Error);
            return;
        }
        uploadLine1 = QString::fromStdString(shifted->line1);
        emit logEvent(tr("Uploading %1 with a time offset of %2 s.").arg(name, seconds),
                      LogLevel::Info);
    }
    const QPointer<TransitChain> chain(this);
    const QString alpha5Name = alpha5 ? name : QString();
    link.queueCommand(MountProtocol::uploadCommand(nameLine, uploadLine1, line2),
                      ReplyKind::HashTerminated, [chain, alpha5Name](const QByteArray& reply) {
                          if (chain)
                              chain->uploaded(reply, alpha5Name);
                      });
}

void TransitChain::uploaded(const QByteArray& reply, const QString& alpha5Name) {
    if (!MountProtocol::uploadAccepted(reply)) {
        emit logEvent(tr("TLE has invalid format."), LogLevel::Error);
        if (!alpha5Name.isEmpty())
            emit logEvent(tr("The element set of %1 has its catalogue number in the Alpha-5 "
                             "form, which older firmware may not read.")
                              .arg(alpha5Name),
                          LogLevel::Warning);
        return;
    }
    // The instant of the latest tick, not that of the double-click.
    link.queueCommand(MountProtocol::passCommand(instant()), ReplyKind::HashTerminated,
                      guarded(this, &TransitChain::passComputed));
}

void TransitChain::passComputed(const QByteArray& reply) {
    if (!MountProtocol::passFound(reply)) {
        emit logEvent(tr("TLE has no passes now."), LogLevel::Warning);
        return;
    }
    link.queueCommand(MountProtocol::kSlew, ReplyKind::HashTerminated,
                      guarded(this, &TransitChain::slewStarted));
}

void TransitChain::slewStarted(const QByteArray& reply) {
    using MountProtocol::SlewOutcome;
    struct Line {
        SlewOutcome outcome;
        LogLevel level;
        const char* text;
    };
    static constexpr Line lines[] = {
        {SlewOutcome::NoPass, LogLevel::Warning, QT_TR_NOOP("TLE has no passes now.")},
        {SlewOutcome::Refused, LogLevel::Warning,
         QT_TR_NOOP("Slew failed, mount is parked or blocked.")},
        {SlewOutcome::TransitOver, LogLevel::Warning, QT_TR_NOOP("Transit already ended.")},
        {SlewOutcome::ToSatellite, LogLevel::Success, QT_TR_NOOP("Slewing to transiting TLE.")},
        {SlewOutcome::ToStart, LogLevel::Success, QT_TR_NOOP("Slewing to start of transit.")},
    };
    const SlewOutcome outcome = MountProtocol::readSlewReply(reply);
    for (const Line& line : lines) {
        if (line.outcome == outcome)
            emit logEvent(tr(line.text), line.level);
    }
    if (outcome == SlewOutcome::ToSatellite || outcome == SlewOutcome::ToStart)
        emit slewAccepted();
}
