#pragma once

#include "astro/site.h"
#include "mount/firmware_version.h"
#include "mount/link_types.h"
#include "mount/metatypes.h"
#include "mount/mount_connection.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <deque>
#include <functional>

class MountHandshake;

// The mount link: one-at-a-time transactions over the connection to the mount.
//
// A command is queued with the kind of reply it gets and a handler; it is written when every
// command before it has completed and the link is ready, and its handler runs once with the
// reply (an empty one for commands the mount does not answer). The queue outlives
// connections: a command in flight when a connection ends is written again after the next
// handshake. Every connection opens with the handshake (MountHandshake), the first
// transactions on it; only then is the link ready and the queue released.
//
// The transport (MountConnection) holds the socket, cuts the replies and times them: a mount
// that misses the limit, for the connection or a reply, is taken as failed and the connection
// ends, and bytes that answer nothing are dropped (a flood of them ends the connection). Stop is
// written at once while connected, even while another command awaits its reply (it has none, so
// the replies stay in order).
class MountLink : public QObject {
    Q_OBJECT

public:
    static constexpr quint16 defaultPort = 3490;
    static constexpr int defaultReplyTimeoutMs = MountConnection::defaultReplyTimeoutMs;
    using ReplyHandler = std::function<void(const QByteArray& reply)>;

    explicit MountLink(quint16 port = defaultPort, QObject* parent = nullptr);
    ~MountLink() override;

    // Opens a connection to the address as typed, unless one is under way.
    void open(const QString& address);
    // Ends the connection the user asked for.
    void close();

    void queueCommand(const QByteArray& command, ReplyKind replyKind, ReplyHandler handler = {});
    // A read whose answer means something only on the connection it is asked on (the mount's
    // clock): queued as any command, but dropped unanswered, its handler never called, when that
    // connection ends, rather than written again first on the next one.
    void queueRead(const QByteArray& command, ReplyHandler handler);
    // Written at once while connected; queued while not.
    void stop();
    void park();
    void unpark();

    LinkState state() const;
    // The handshake has completed on the current connection.
    bool isReady() const { return ready; }
    // No queued command, in flight or waiting.
    bool isIdle() const { return queue.empty(); }
    int queuedCommands() const { return int(queue.size()); }
    // Kept after the connection ends.
    const FirmwareVersion& firmware() const;
    // The site as the mount reported it; the default site until it has.
    const Site& site() const;

    // When the command whose reply is being handled was written (see MountConnection).
    std::chrono::steady_clock::time_point awaitedCommandWrittenAt() const;

    // How long the connection and each reply may take (tests shorten it).
    void setReplyTimeout(int milliseconds);

signals:
    void stateChanged(LinkState state);
    void firmwareReported(const FirmwareVersion& version);
    void siteChanged(const Site& site);
    void logEvent(const QString& text, LogLevel level);

private:
    struct Transaction {
        QByteArray command; // as written, leading ':' and trailing '#' included
        ReplyKind replyKind = ReplyKind::None;
        ReplyHandler handler;
        bool connectionBound = false; // see queueRead
    };

    void connectionOpened();
    void connectionEnded();

    Transaction* head();
    void dispatchHead();
    void completeHead(const QByteArray& reply);

    const quint16 port;
    MountConnection* connection;
    MountHandshake* handshake;
    bool ready = false;
    std::deque<Transaction> opening; // the handshake's steps still to come on this connection
    std::deque<Transaction> queue;   // the user's commands
    bool dispatching = false;        // dispatchHead is on the stack
    bool dispatchPending = false;    // ... and a completed transaction asked for the next head
    bool completing = false;         // the queue's head's handler is running
};
