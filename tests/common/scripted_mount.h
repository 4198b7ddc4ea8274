#pragma once

#include "mount/mount_link.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QStringList>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QtTest>

#include <deque>
#include <utility>
#include <vector>

#ifdef Q_OS_LINUX
#include <linux/sockios.h>
#include <sys/ioctl.h>
#endif

// Runs a helper that may fail a check, and stops the test function if it did.
#define STEP(call)                                                                                 \
    do {                                                                                           \
        call;                                                                                      \
        if (QTest::currentTestFailed())                                                            \
            return;                                                                                \
    } while (false)

// What every connection of the link writes first, and the whole handshake.
inline const QByteArray kOpener = QByteArrayLiteral("#:U2#:GVN#");
inline const QByteArray kHandshake = QByteArrayLiteral("#:U2#:GVN#:Gt#:Gg#:Gev#");

// A log line as the tests compare them: "Level: text".
inline QString logLine(LogLevel level, const QString& text) {
    static const char* const names[] = {"Info", "Success", "Warning", "Error"};
    return QString::fromLatin1(names[int(level)]) + QStringLiteral(": ") + text;
}

// A mount played by the test: a loopback server on a port of its own that records every byte
// each connection sends and answers only what the test tells it to.
class ScriptedMount {
public:
    ScriptedMount() {
        QObject::connect(&server, &QTcpServer::newConnection, [this] { accept(); });
        server.listen(QHostAddress::LocalHost, 0);
    }

    bool isListening() const { return server.isListening(); }
    quint16 port() const { return server.serverPort(); }
    int connectionCount() const { return int(connections.size()); }

    // What the given connection (default: the latest) has received so far.
    QByteArray received(int connection = -1) const {
        const Connection* c = pick(connection);
        return c ? c->received : QByteArray();
    }
    // What the latest connection has received after the handshake.
    QByteArray afterHandshake() const { return received().mid(kHandshake.size()); }

    bool isOpen(int connection = -1) const {
        const Connection* c = pick(connection);
        return c && c->socket->state() == QAbstractSocket::ConnectedState;
    }

    // Writes to the latest connection at once, as one piece.
    void send(const QByteArray& bytes) {
        if (const Connection* c = pick(-1)) {
            c->socket->write(bytes);
            c->socket->flush();
        }
    }

    // Waits, without running the event loop (so the link reads nothing meanwhile), until the
    // link's system has acknowledged every byte sent on the latest connection: they wait unread
    // in the link's socket. Linux only; false elsewhere, or after five seconds.
    bool waitUntilDelivered() const {
#ifdef Q_OS_LINUX
        const Connection* c = pick(-1);
        QElapsedTimer waited;
        waited.start();
        int unacknowledged = 1;
        while (c && waited.elapsed() < 5000) {
            c->socket->flush();
            if (ioctl(int(c->socket->socketDescriptor()), SIOCOUTQ, &unacknowledged) != 0)
                return false;
            if (unacknowledged == 0 && c->socket->bytesToWrite() == 0)
                return true;
            QThread::yieldCurrentThread();
        }
#endif
        return false;
    }

    // From now on, answers each command that arrives with its reply at once: a mount that
    // simply works, for tests about something else.
    void answerAlways(std::vector<std::pair<QByteArray, QByteArray>> replies) {
        standingReplies = std::move(replies);
    }

    void hangUp() {
        if (const Connection* c = pick(-1))
            c->socket->disconnectFromHost();
    }

    // Answers the four handshake steps of the latest connection, each once its command has
    // arrived, so that anything written out of turn shows in the bytes compared.
    void handshake(const QByteArray& version = "2.15.14", const QByteArray& latitude = "+48*30:00",
                   const QByteArray& longitude = "-011*35:00",
                   const QByteArray& elevation = "520") {
        const QByteArray steps[] = {kOpener, ":Gt#", ":Gg#", ":Gev#"};
        const QByteArray replies[] = {version, latitude, longitude, elevation};
        QByteArray expected;
        for (int i = 0; i < 4; ++i) {
            expected += steps[i];
            QTRY_COMPARE(received(), expected);
            send(replies[i] + '#');
        }
    }

private:
    struct Connection {
        QTcpSocket* socket;
        QByteArray received;
    };

    void accept() {
        while (QTcpSocket* socket = server.nextPendingConnection()) {
            const std::size_t index = connections.size();
            connections.push_back(Connection{socket, QByteArray()});
            socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
            QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, index, socket] {
                const QByteArray bytes = socket->readAll();
                connections[index].received += bytes;
                for (const auto& [command, reply] : standingReplies)
                    if (bytes.contains(command))
                        socket->write(reply);
            });
        }
    }

    const Connection* pick(int connection) const {
        if (connections.empty())
            return nullptr;
        const std::size_t index = connection < 0 ? connections.size() - 1 : std::size_t(connection);
        return index < connections.size() ? &connections[index] : nullptr;
    }

    QTcpServer server;
    std::deque<Connection> connections;
    std::vector<std::pair<QByteArray, QByteArray>> standingReplies;
};

// A link to a scripted mount, and the lines that it and whatever else is recorded log.
struct LinkRig {
    ScriptedMount mount;
    MountLink link;
    QStringList log;

    // A link to another port, one where nothing listens for instance, when given.
    explicit LinkRig(quint16 port = 0) : link(port ? port : mount.port()) { record(&link); }

    template <typename Source> void record(Source* source) {
        QObject::connect(source, &Source::logEvent, [this](const QString& text, LogLevel level) {
            log << logLine(level, text);
        });
    }

    // Opens a connection and waits until the mount has the opening bytes.
    void open() {
        const int before = mount.connectionCount();
        link.open(QStringLiteral("127.0.0.1"));
        QTRY_COMPARE(mount.connectionCount(), before + 1);
        QTRY_COMPARE(mount.received(), kOpener);
    }

    // Opens a connection and plays its handshake until the link is ready.
    void connect(const QByteArray& version = "2.15.14") {
        open();
        if (QTest::currentTestFailed())
            return;
        mount.handshake(version);
        if (QTest::currentTestFailed())
            return;
        QTRY_VERIFY(link.isReady());
    }
};
