#include "tracking/transit_chain.h"

#include "mount/mount_link.h"
#include "tracking/upload_text.h"

#include <QCoreApplication>
#include <QPointer>

namespace {

// A handler that does nothing once the chain is gone, should the link outlive it.
template <typename Step>
MountLink::ReplyHandler guarded(TransitChain* chain, Step step) {
    return [chain = QPointer<TransitChain>(chain), step](const QByteArray& reply) {
        if (chain)
            (chain->*step)(reply);
    };
}

} // namespace

TransitChain::TransitChain(MountLink& link, std::function<double()> instant, QObject* parent)
    : QObject(parent), link(link), instant(std::move(instant)) {}

void TransitChain::log(LogLevel level, const char* text) {
    emit logEvent(QCoreApplication::translate("MainWindow", text), level);
}

void TransitChain::start(const QString& name, const QString& nameLine, const QString& line1,
                         const QString& line2) {
    emit logEvent(QCoreApplication::translate("MainWindow", "Selected ") + name + QLatin1Char('.'), LogLevel::Info);
    link.queueCommand(uploadCommand(nameLine, line1, line2), ReplyKind::HashTerminated,
                      guarded(this, &TransitChain::uploaded));
}

void TransitChain::uploaded(const QByteArray& reply) {
    if (!reply.startsWith('V')) {
        log(LogLevel::Error, "TLE has invalid format.");
        return;
    }
    // The instant of the latest tick, not that of the double-click.
    link.queueCommand(passCommand(instant()), ReplyKind::HashTerminated,
                      guarded(this, &TransitChain::passComputed));
}

void TransitChain::passComputed(const QByteArray& reply) {
    // Only these exact replies mean no pass; anything longer is pass data.
    if (reply == "E" || reply == "N") {
        log(LogLevel::Warning, "TLE has no passes now.");
        return;
    }
    link.queueCommand(QByteArrayLiteral(":TLES#"), ReplyKind::HashTerminated,
                      guarded(this, &TransitChain::slewStarted));
}

void TransitChain::slewStarted(const QByteArray& reply) {
    switch (reply.isEmpty() ? '\0' : reply[0]) {
    case 'E':
        log(LogLevel::Warning, "TLE has no passes now.");
        break;
    case 'F':
        log(LogLevel::Warning, "Slew failed, mount is parked or blocked.");
        break;
    case 'Q':
        log(LogLevel::Warning, "Transit already ended.");
        break;
    case 'S':
        log(LogLevel::Success, "Slewing to transiting TLE.");
        break;
    case 'V':
        log(LogLevel::Success, "Slewing to start of transit.");
        break;
    default:
        break;
    }
}
