#include "mount/mount_link.h"

#include "mount/mount_handshake.h"
#include "mount/protocol.h"

#include <algorithm>

MountLink::MountLink(quint16 port, QObject* parent)
    : QObject(parent), port(port), connection(new MountConnection(this)),
      handshake(new MountHandshake(this)) {
    qRegisterMetaType<LinkState>();
    qRegisterMetaType<LogLevel>();
    qRegisterMetaType<Site>();
    qRegisterMetaType<FirmwareVersion>();
    connect(connection, &MountConnection::stateChanged, this, &MountLink::stateChanged);
    connect(connection, &MountConnection::logEvent, this, &MountLink::logEvent);
    connect(connection, &MountConnection::opened, this, &MountLink::connectionOpened);
    connect(connection, &MountConnection::ended, this, &MountLink::connectionEnded);
    connect(connection, &MountConnection::replyReceived, this, &MountLink::completeHead);

    connect(handshake, &MountHandshake::logEvent, this, &MountLink::logEvent);
    connect(handshake, &MountHandshake::firmwareReported, this, &MountLink::firmwareReported);
    connect(handshake, &MountHandshake::siteChanged, this, &MountLink::siteChanged);
    connect(handshake, &MountHandshake::refused, connection, &MountConnection::close);
    connect(handshake, &MountHandshake::completed, this, [this] { ready = true; });
}

MountLink::~MountLink() = default;

void MountLink::open(const QString& address) {
    connection->open(address, port);
}

void MountLink::close() {
    connection->close();
}

LinkState MountLink::state() const {
    return connection->state();
}

const FirmwareVersion& MountLink::firmware() const {
    return handshake->firmware();
}

const Site& MountLink::site() const {
    return handshake->site();
}

std::chrono::steady_clock::time_point MountLink::awaitedCommandWrittenAt() const {
    return connection->awaitedCommandWrittenAt();
}

void MountLink::setReplyTimeout(int milliseconds) {
    connection->setReplyTimeout(milliseconds);
}

void MountLink::connectionOpened() {
    for (MountHandshake::Step& step : handshake->steps())
        opening.push_back(
            Transaction{step.command, ReplyKind::HashTerminated, std::move(step.received)});
    dispatchHead();
}

// The steps not yet done are dropped; the next connection starts the handshake again. So are
// the reads bound to this connection, the one in flight too.
void MountLink::connectionEnded() {
    ready = false;
    opening.clear();
    // A head whose handler is running (and ended the connection) is left for its completion.
    const auto from = completing ? std::next(queue.begin()) : queue.begin();
    queue.erase(
        std::remove_if(from, queue.end(), [](const Transaction& t) { return t.connectionBound; }),
        queue.end());
}

// --- Transactions ---

void MountLink::queueCommand(const QByteArray& command, ReplyKind replyKind, ReplyHandler handler) {
    const bool wasEmpty = queue.empty();
    queue.push_back(Transaction{command, replyKind, std::move(handler)});
    if (wasEmpty && ready)
        dispatchHead();
}

void MountLink::queueRead(const QByteArray& command, ReplyHandler handler) {
    queueCommand(command, ReplyKind::HashTerminated, std::move(handler));
    queue.back().connectionBound = true;
}

// A moving telescope must not wait behind a reply that may never come. Stop has no reply, so
// writing it between a command and its reply leaves every reply where it was.
void MountLink::stop() {
    if (!connection->send(MountProtocol::kStop, ReplyKind::None))
        queueCommand(MountProtocol::kStop, ReplyKind::None);
}

void MountLink::park() {
    queueCommand(MountProtocol::kPark, ReplyKind::None);
}

void MountLink::unpark() {
    queueCommand(MountProtocol::kUnpark, ReplyKind::None);
}

// The handshake's steps come first on every connection; the queue only once the link is ready.
MountLink::Transaction* MountLink::head() {
    if (!opening.empty())
        return &opening.front();
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
        const Transaction* next = head();
        if (!connection->isConnected() || !next)
            break;
        // The connection may end inside send (on what the mount sent unasked before it), and
        // its ending drops transactions: the head stays for the next connection, if it is kept.
        const ReplyKind replyKind = next->replyKind;
        if (!connection->send(QByteArray(next->command), replyKind))
            break;
        if (replyKind == ReplyKind::None)
            completeHead(QByteArray());
    } while (dispatchPending);
    dispatching = false;
}

void MountLink::completeHead(const QByteArray& reply) {
    if (!opening.empty()) {
        // A step may end the connection, which drops the steps after it.
        const ReplyHandler handler = std::move(opening.front().handler);
        opening.pop_front();
        handler(reply);
    } else if (!queue.empty()) {
        // The head stays queued while its handler runs, so a command the handler queues waits
        // behind it instead of being written from inside the handler.
        const ReplyHandler handler = queue.front().handler;
        completing = true;
        if (handler)
            handler(reply);
        completing = false;
        queue.pop_front();
    }
    if (head())
        dispatchHead();
}
