#include "astro/angles.h"
#include "mount/mount_link.h"

#include "mount/reply_cutter.h"
#include "mount/reply_fields.h"

#include <QCoreApplication>
#include <QTcpSocket>
#include <QTimer>

namespace {

// A command named in the log is cut to this many characters.
constexpr int kCommandShown = 20;
// So is a reply that cannot be read, to keep the log readable.
constexpr int kReplyShown = 40;

QString shown(const QByteArray& bytes, int length) {
    QString text = QString::fromLatin1(bytes.left(length));
    if (bytes.size() > length)
        text += QStringLiteral("...");
    return text;
}

// The link's texts belong to the window they are shown in.
QString text(const char* source) {
    return QCoreApplication::translate("MainWindow", source);
}

} // namespace

MountLink::MountLink(quint16 port, QObject* parent)
    : QObject(parent), port(port), replyTimer(new QTimer(this)) {
    replyTimer->setSingleShot(true);
    replyTimer->setInterval(defaultReplyTimeoutMs);
    connect(replyTimer, &QTimer::timeout, this, &MountLink::replyOverdue);
    qRegisterMetaType<LinkState>();
    qRegisterMetaType<LogLevel>();
    qRegisterMetaType<Site>();
    qRegisterMetaType<FirmwareVersion>();
}

// Closes at once and quietly: nothing is left to hear about the connection.
MountLink::~MountLink() {
    if (!socket)
        return;
    QTcpSocket* last = socket;
    socket = nullptr;
    disconnect(last, nullptr, this, nullptr);
    delete last;
}

void MountLink::setReplyTimeout(int milliseconds) {
    replyTimer->setInterval(milliseconds);
}

void MountLink::setState(LinkState state) {
    linkState = state;
    emit stateChanged(state);
}

void MountLink::log(LogLevel level, const char* source) {
    emit logEvent(text(source), level);
}

void MountLink::open(const QString& address) {
    if (linkState == LinkState::Connecting || linkState == LinkState::Connected)
        return;
    releaseSocket();
    socket = new QTcpSocket();
    connect(socket, &QTcpSocket::readyRead, this, &MountLink::socketReadyRead);
    connect(socket, &QTcpSocket::disconnected, this, &MountLink::closeLink);
    connect(socket, &QTcpSocket::errorOccurred, this, &MountLink::failLink);
    connect(socket, &QTcpSocket::connected, this, &MountLink::socketConnected);
    connect(socket, &QObject::destroyed, this, &MountLink::socketDestroyed);
    // State and log line come first: an address that fails at once (no route, for instance)
    // reports its error from inside connectToHost.
    setState(LinkState::Connecting);
    log(LogLevel::Info, "Connecting to mount...");
    socket->connectToHost(address, port, QIODevice::ReadWrite, QAbstractSocket::AnyIPProtocol);
}

void MountLink::close() {
    switch (linkState) {
    case LinkState::Disconnected:
        return;
    case LinkState::Failed:
        setState(LinkState::Disconnected);
        return;
    case LinkState::Connecting:
    case LinkState::Connected:
        if (socket)
            socket->disconnectFromHost();
        // A socket still connecting, or still flushing, has not reported its disconnection;
        // settle the state now so that nothing is written to it and the link can open again.
        if (socket)
            closeLink();
        return;
    }
}

void MountLink::endLink(LinkState state, const QString& line, LogLevel level) {
    ready = false;
    handshake.clear();
    replyTimer->stop();
    setState(state);
    emit logEvent(line, level);
    releaseSocket();
}

void MountLink::closeLink() {
    endLink(LinkState::Disconnected, text("Disconnected from mount."), LogLevel::Info);
}

void MountLink::failLink() {
    endLink(LinkState::Failed, text("Connection error."), LogLevel::Error);
}

// A mount that stays silent may be hung; the command is written again after the next handshake.
void MountLink::replyOverdue() {
    if (!socket || expectedReply == ReplyKind::None)
        return;
    endLink(LinkState::Failed,
            text("Mount did not answer %1 within %2 s.")
                .arg(shown(awaitedCommand, kCommandShown),
                     QString::number(replyTimer->interval() / 1000.0)),
            LogLevel::Error);
}

// Only the destruction is still of interest once a socket is let go: its later signals
// (a disconnection after an error, data already under way) belong to a connection that ended.
void MountLink::releaseSocket() {
    if (!socket)
        return;
    QTcpSocket* released = socket;
    socket = nullptr;
    disconnect(released, nullptr, this, nullptr);
    connect(released, &QObject::destroyed, this, &MountLink::socketDestroyed);
    released->deleteLater();
}

void MountLink::socketDestroyed(QObject* destroyed) {
    // A connection released earlier is gone while a newer one is under way: that one is not
    // affected.
    if (socket && destroyed != socket)
        return;
    socket = nullptr;
    ready = false;
    handshake.clear();
    replyTimer->stop();
    setState(LinkState::Disconnected);
    log(LogLevel::Info, "Disconnected from mount.");
}

void MountLink::socketConnected() {
    if (!socket)
        return;
    log(LogLevel::Info, "Connected to mount.");
    setState(LinkState::Connected);
    receiveBuffer.clear();
    expectedReply = ReplyKind::None;
    warnedUnexpected = false;
    reportedSite = observingSite;
    siteUnreadable = false;
    auto step = [this](void (MountLink::*received)(const QByteArray&)) {
        return [this, received](const QByteArray& reply) { (this->*received)(reply); };
    };
    handshake = {
        {QByteArrayLiteral("#:U2#:GVN#"), ReplyKind::HashTerminated,
         step(&MountLink::versionReceived)},
        {QByteArrayLiteral(":Gt#"), ReplyKind::HashTerminated, step(&MountLink::latitudeReceived)},
        {QByteArrayLiteral(":Gg#"), ReplyKind::HashTerminated,
         step(&MountLink::longitudeReceived)},
        {QByteArrayLiteral(":Gev#"), ReplyKind::HashTerminated,
         step(&MountLink::elevationReceived)},
    };
    dispatchHead();
}

// Every complete reply is delivered at once, each to the command it answers.
void MountLink::socketReadyRead() {
    if (!socket)
        return;
    const QByteArray arrived = socket->readAll();
    if (expectedReply == ReplyKind::None) {
        if (!arrived.isEmpty())
            dropUnexpectedBytes();
        return;
    }
    ReplyCut cut = cutReply(receiveBuffer, expectedReply, arrived);
    while (cut.outcome == ReplyCut::Reply) {
        completeHead(cut.reply);
        if (!socket || expectedReply == ReplyKind::None)
            break;
        cut = cutReply(receiveBuffer, expectedReply, QByteArray());
    }
    if (cut.outcome == ReplyCut::Overflow) {
        failLink();
        return;
    }
    // What is left once nothing is awaited answers nothing that was asked.
    if (socket && expectedReply == ReplyKind::None && !receiveBuffer.isEmpty()) {
        receiveBuffer.clear();
        dropUnexpectedBytes();
    }
}

void MountLink::dropUnexpectedBytes() {
    if (warnedUnexpected)
        return;
    warnedUnexpected = true;
    log(LogLevel::Warning, "Ignored unexpected data from mount.");
}

// --- Transactions ---

void MountLink::queueCommand(const QByteArray& command, ReplyKind replyKind,
                             ReplyHandler handler) {
    const bool wasEmpty = queue.empty();
    queue.push_back(Transaction{command, replyKind, std::move(handler)});
    if (wasEmpty && ready)
        dispatchHead();
}

// A moving telescope must not wait behind a reply that may never come. Stop has no reply, so
// writing it between a command and its reply leaves every reply where it was.
void MountLink::stop() {
    if (linkState == LinkState::Connected && socket) {
        socket->write(QByteArrayLiteral(":STOP#"));
        socket->flush();
        return;
    }
    queueCommand(QByteArrayLiteral(":STOP#"), ReplyKind::None);
}

void MountLink::park() {
    queueCommand(QByteArrayLiteral(":KA#"), ReplyKind::None);
}

void MountLink::unpark() {
    queueCommand(QByteArrayLiteral(":PO#"), ReplyKind::None);
}

// The handshake's steps come first on every connection; the queue only once the link is ready.
MountLink::Transaction* MountLink::head() {
    if (!handshake.empty())
        return &handshake.front();
    if (ready && !queue.empty())
        return &queue.front();
    return nullptr;
}

// A reply-less head completes inside this call, and its completion asks for the next head.
// That request is served by the loop here rather than by a nested call, so a long run of
// queued reply-less commands cannot exhaust the stack.
void MountLink::dispatchHead() {
    if (dispatching) {
        dispatchPending = true;
        return;
    }
    dispatching = true;
    do {
        dispatchPending = false;
        Transaction* next = head();
        if (!socket || !next)
            break;
        socket->write(next->command);
        socket->flush();
        expectedReply = next->replyKind;
        if (next->replyKind == ReplyKind::None) {
            completeHead(QByteArray());
        } else {
            awaitedCommand = next->command;
            replyTimer->start();
        }
    } while (dispatchPending);
    dispatching = false;
}

void MountLink::completeHead(const QByteArray& reply) {
    replyTimer->stop();
    if (!handshake.empty()) {
        // A step may end the connection, which drops the steps after it.
        const ReplyHandler handler = std::move(handshake.front().handler);
        handshake.pop_front();
        handler(reply);
    } else if (!queue.empty()) {
        // The head stays queued while its handler runs, so a command the handler queues waits
        // behind it instead of being written from inside the handler.
        const ReplyHandler handler = queue.front().handler;
        if (handler)
            handler(reply);
        queue.pop_front();
    }
    if (head())
        dispatchHead();
}

// --- The handshake ---

void MountLink::versionReceived(const QByteArray& reply) {
    emit logEvent(text("Mount firmware version: ") + QString::fromLatin1(reply), LogLevel::Info);
    firmwareVersion = FirmwareVersion::fromReply(reply);
    emit firmwareReported(firmwareVersion);
    if (firmwareVersion < satelliteTrackingFirmware) {
        log(LogLevel::Error, "This firmware doesn't support satellite tracking commands. "
                             "Upgrade at least to 2.15.1.");
        closeLink();
        return;
    }
    if (firmwareVersion < axisErrorReadoutFirmware)
        log(LogLevel::Warning, "This firmware doesn't support real-time tracking error readout. "
                               "To enable it upgrade at least to 2.15.14.");
}

// A field is taken only when the whole reply reads as one number in range; a site with any
// unreadable field is not taken at all, so the table never moves to a place the mount did not
// mean.
bool MountLink::readSiteField(const char* field, const QByteArray& reply, double low, double high,
                              double& value) {
    const SexagesimalValue reading = parseSexagesimal(reply);
    if (reading.complete && reading.value >= low && reading.value <= high) {
        value = reading.value;
        return true;
    }
    siteUnreadable = true;
    emit logEvent(text("Unreadable site from mount: %1 '%2'.")
                      .arg(QLatin1String(field), shown(reply, kReplyShown)),
                  LogLevel::Error);
    return false;
}

void MountLink::latitudeReceived(const QByteArray& reply) {
    double degrees = 0.0;
    if (readSiteField("latitude", reply, -90.0, 90.0, degrees))
        reportedSite.latitude = degrees * kRadiansPerDegree;
}

// The mount counts longitude positive toward the west, as the site record does.
void MountLink::longitudeReceived(const QByteArray& reply) {
    double degrees = 0.0;
    if (readSiteField("longitude", reply, -360.0, 360.0, degrees))
        reportedSite.westLongitude = degrees * kRadiansPerDegree;
}

void MountLink::elevationReceived(const QByteArray& reply) {
    double metres = 0.0;
    if (readSiteField("elevation", reply, -500.0, 10000.0, metres))
        reportedSite.elevation = metres;
    if (!siteUnreadable) {
        observingSite = reportedSite;
        emit siteChanged(observingSite);
        emit logEvent(
            text("Received site information: lat = %1 deg, lon = %2 deg, elev = %3 m")
                .arg(QString::number(observingSite.latitude * kDegreesPerRadian, 'f', 2),
                     QString::number(observingSite.westLongitude * kDegreesPerRadian, 'f', 2),
                     QString::asprintf("%g", observingSite.elevation)),
            LogLevel::Info);
    }
    ready = true;
}
