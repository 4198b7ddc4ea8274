#include "tracking/transit_chain.h"

#include "mount/mount_link.h"
#include "mount/protocol.h"

#include <QPointer>

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

void TransitChain::start(const QString& name, const QString& nameLine, const QString& line1,
                         const QString& line2) {
    emit logEvent(tr("Selected %1.").arg(name), LogLevel::Info);
    link.queueCommand(MountProtocol::uploadCommand(nameLine, line1, line2),
                      ReplyKind::HashTerminated, guarded(this, &TransitChain::uploaded));
}

void TransitChain::uploaded(const QByteArray& reply) {
    if (!MountProtocol::uploadAccepted(reply)) {
        emit logEvent(tr("TLE has invalid format."), LogLevel::Error);
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
}
