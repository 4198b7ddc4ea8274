#pragma once

#include "astro/site.h"
#include "mount/firmware_version.h"
#include "mount/link_types.h"
#include "mount/log_level.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <deque>
#include <functional>

class QTcpSocket;
class QTimer;

// The one TCP connection to the mount and the one-at-a-time transactions over it.
//
// A command is queued with the kind of reply it gets and a handler; it is written when every
// command before it has completed and the link is ready, and its handler runs once with the
// reply (an empty one for commands the mount does not answer). The queue outlives
// connections: a command in flight when a connection ends is written again after the next
// handshake. Every connection opens with the handshake, the first transactions on it: the
// firmware version, which may refuse the mount, then the site's latitude, longitude and
// elevation. Only then is the link ready and the queue released.
//
// What a misbehaving mount meets: Stop is written at once while connected, even while another
// command awaits its reply (it has none, so the replies stay in order). Every awaited reply has
// a time limit; a mount that misses it is taken as failed and the connection ends. Every
// complete reply the buffer holds is delivered, and bytes that arrive while no reply is
// awaited are dropped, so a stray reply cannot shift later replies onto the wrong command. A
// site that does not read as one is not taken.
class MountLink : public QObject {
    Q_OBJECT

public:
    static constexpr quint16 defaultPort = 3490;
    static constexpr int defaultReplyTimeoutMs = 10000;
    using ReplyHandler = std::function<void(const QByteArray& reply)>;

    explicit MountLink(quint16 port = defaultPort, QObject* parent = nullptr);
    ~MountLink() override;

    // Opens a connection to the address as typed, unless one is under way.
    void open(const QString& address);
    // Ends the connection the user asked for; in the failed state it only settles the state.
    void close();

    void queueCommand(const QByteArray& command, ReplyKind replyKind, ReplyHandler handler = {});
    // Written at once while connected; queued while not.
    void stop();
    void park();
    void unpark();

    LinkState state() const { return linkState; }
    // The handshake has completed on the current connection.
    bool isReady() const { return ready; }
    // No queued command, in flight or waiting.
    bool isIdle() const { return queue.empty(); }
    int queuedCommands() const { return int(queue.size()); }
    // Kept after the connection ends.
    const FirmwareVersion& firmware() const { return firmwareVersion; }
    // The site as the mount reported it; the default site until it has.
    const Site& site() const { return observingSite; }

    // How long a reply may take (tests shorten it).
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
    };

    void setState(LinkState state);
    void log(LogLevel level, const char* text);
    void endLink(LinkState state, const QString& line, LogLevel level);
    void closeLink();
    void failLink();
    void replyOverdue();
    void dropUnexpectedBytes();
    void releaseSocket();
    void socketConnected();
    void socketReadyRead();
    void socketDestroyed(QObject* destroyed);

    Transaction* head();
    void dispatchHead();
    void completeHead(const QByteArray& reply);

    void versionReceived(const QByteArray& reply);
    void latitudeReceived(const QByteArray& reply);
    void longitudeReceived(const QByteArray& reply);
    void elevationReceived(const QByteArray& reply);
    bool readSiteField(const char* field, const QByteArray& reply, double low, double high,
                       double& value);

    const quint16 port;
    LinkState linkState = LinkState::Disconnected;
    QTcpSocket* socket = nullptr; // released with deleteLater() and forgotten at once
    QByteArray receiveBuffer;
    ReplyKind expectedReply = ReplyKind::None;
    QByteArray awaitedCommand; // the command whose reply is awaited, for the time-out's message
    QTimer* replyTimer;
    bool warnedUnexpected = false; // once per connection
    bool ready = false;
    std::deque<Transaction> handshake; // the current connection's opening transactions
    std::deque<Transaction> queue;     // the user's commands
    bool dispatching = false;          // dispatchHead is on the stack
    bool dispatchPending = false;      // ... and a completed transaction asked for the next head
    FirmwareVersion firmwareVersion;
    Site observingSite;
    Site reportedSite;    // this handshake's readings, taken when all three are good
    bool siteUnreadable = false;
};

Q_DECLARE_METATYPE(Site)
