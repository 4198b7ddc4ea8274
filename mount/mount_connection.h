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
// what it sends, and the time the connection and each reply may take. It knows nothing of what the
// commands mean.
//
// A connection has one life. open() begins it (Connecting); the socket's connection makes it
// Connected and emits opened(). Whatever ends it (close(), the mount hanging up, a socket error,
// a connection or a reply later than the limit, a reply longer than the receive bound, a flood
// of bytes nobody asked for) goes through the one ending: the socket is let go, ended() is
// emitted, a failure shows as Failed with its line, and "Disconnected from mount." is logged,
// once, as the state becomes Disconnected.
//
// send() writes a command. When its reply is awaited, the next '#'-terminated reply is cut from
// the bytes received after it was written and delivered by replyReceived(). Bytes that answer
// nothing are dropped, with one warning per connection, so a stray reply cannot shift later
// replies onto the wrong command: those that arrive while nothing is awaited, those behind a
// reply, and those still unread when the next command is written (nothing the mount sent
// before a command can answer it). More than maxUnaskedBytes of them within unaskedWindow end
// the connection: reading and dropping them must not occupy the window's thread for ever.
class MountConnection : public QObject {
    Q_OBJECT

public:
    static constexpr int defaultReplyTimeoutMs = 10000;
    static constexpr qint64 maxUnaskedBytes = 64 * 1024;
    static constexpr std::chrono::seconds unaskedWindow{10};

    explicit MountConnection(QObject* parent = nullptr);
    // Closes at once and quietly: no one is left to hear about the connection.
    ~MountConnection() override;

    // Begins a connection to the address as typed, unless one is under way.
    void open(const QString& address, quint16 port);
    void close();
    // Written at once, unless there is no connection or it ends on the bytes left unread before
    // the command (false: nothing written). A reply-less command leaves a reply still awaited,
    // and the bytes that may be it, where they are.
    bool send(const QByteArray& command, ReplyKind reply);

    LinkState state() const { return linkState; }
    bool isConnected() const { return linkState == LinkState::Connected; }
    // The limit of every wait: for the connection to be accepted and for each reply. Also the
    // limit of the wait under way.
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
    void waitOverdue();
    void dropUnreadBytes();
    void dropUnasked(qint64 bytes);
    void end(const QString& failure, LogLevel level = LogLevel::Error);
    void setState(LinkState state);

    LinkState linkState = LinkState::Disconnected;
    QTcpSocket* socket = nullptr; // released with deleteLater() and forgotten at once
    QByteArray receiveBuffer;
    ReplyKind expectedReply = ReplyKind::None;
    QByteArray awaitedCommand; // the command whose reply is awaited, for the time-out's message
    std::chrono::steady_clock::time_point writtenAt;
    QTimer* waitTimer;             // the connection's acceptance, then each reply
    bool warnedUnexpected = false; // once per connection
    qint64 unaskedBytes = 0;       // since unaskedSince
    std::chrono::steady_clock::time_point unaskedSince;
};
