#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>

#include <deque>

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

    bool isOpen(int connection = -1) const {
        const Connection* c = pick(connection);
        return c && c->socket->state() == QAbstractSocket::ConnectedState;
    }

    // Writes to the latest connection at once, as one piece.
    void send(const QByteArray& bytes) {
        if (Connection* c = pick(-1)) {
            c->socket->write(bytes);
            c->socket->flush();
        }
    }

    void hangUp() {
        if (Connection* c = pick(-1))
            c->socket->disconnectFromHost();
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
            QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, index] {
                connections[index].received += connections[index].socket->readAll();
            });
        }
    }

    const Connection* pick(int connection) const {
        if (connections.empty())
            return nullptr;
        const std::size_t index = connection < 0 ? connections.size() - 1 : std::size_t(connection);
        return index < connections.size() ? &connections[index] : nullptr;
    }
    Connection* pick(int connection) {
        return const_cast<Connection*>(static_cast<const ScriptedMount*>(this)->pick(connection));
    }

    QTcpServer server;
    std::deque<Connection> connections;
};
