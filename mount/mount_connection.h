#pragma once

#include "mount/link_types.h"
#include "mount/metatypes.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <chrono>

class QTcpSocket;
class QTimer;

// The transport under MountLink: one TCP connection to the mount at a time, the reply cut from
// what it sends, and the time the reply may take. It knows nothing of what the commands mean.
//
// A connection has one life. open() begins it (Connecting); the socket's connection makes it
// Connected and emits opened(). Whatever ends it (close(), the mount hanging up, a socket error,
// a reply later than the limit, a reply longer than the receive bound) goes through the one
// ending: the socket is let go, ended() is emitted, a failure shows as Failed with its Error
// line, and "Disconnected from mount." is logged, once, as the state becomes Disconnected.
//
// send() writes a command. When its reply is awaited, the next '#'-terminated reply is cut from
// the bytes received and delivered by replyReceived(); every complete reply that an arrival
// holds is delivered while one is awaited. Bytes that answer nothing are dropped, with one
// warning per connection, so a stray reply cannot shift later replies onto the wrong command.
class MountConnection : public QObject {
    Q_OBJECT

public:
    static constexpr int defaultReplyTimeoutMs = 10000;

    explicit MountConnection(QObject* parent = nullptr);
    // Closes at once and quietly: no one is left to hear about the connection.
    ~MountConnection() override;

    // Begins a connection to the address as typed, unless one is under way.
    void open(const QString& address, quint16 port);
    void close();
    // Written at once; nothing is written without a connection. A reply-less command leaves a
    // reply still awaited where it is.
    void send(const QByteArray& command, ReplyKind reply);

    LinkState state() const { return linkState; }
    bool isConnected() const { return linkState == LinkState::Connected; }
    // Also the limit of the reply awaited now.
    void setReplyTimeout(int milliseconds);
    // When the last command that awaits a reply was written: while its reply is handled, the
    // start of the exchange.
    std::chrono::steady_clock::time_point awaitedCommandWrittenAt() const { return writtenAt; }

signals:
    void stateChanged(LinkState state);
    void opened();
    void replyReceived(const QByteArray& reply);
    // Before the state and the log tell of the end.
    void ended();
    void logEvent(const QString& text, LogLevel level);

private:
    void socketConnected();
    void socketReadyRead();
    void replyOverdue();
    void dropUnexpectedBytes();
    void end(const QString& failure);
    void setState(LinkState state);

    LinkState linkState = LinkState::Disconnected;
    QTcpSocket* socket = nullptr; // released with deleteLater() and forgotten at once
    QByteArray receiveBuffer;
    ReplyKind expectedReply = ReplyKind::None;
    QByteArray awaitedCommand; // the command whose reply is awaited, for the time-out's message
    std::chrono::steady_clock::time_point writtenAt;
    QTimer* replyTimer;
    bool warnedUnexpected = false; // once per connection
};
