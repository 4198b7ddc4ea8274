#include "tools/mountsim/sim_server.h"

#include <QFileDevice>
#include <QTcpServer>
#include <QTcpSocket>

// Long enough for each piece to leave as a segment of its own.
static constexpr int pieceIntervalMs = 15;

// Keeps each logged command on one readable line whatever bytes it holds.
static QByteArray printable(const QByteArray& bytes) {
    QByteArray text;
    for (const char c : bytes) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '\\')
            text += "\\\\";
        else if (u < 0x20 || u >= 0x7f)
            text += "\\x" + QByteArray::number(u, 16).rightJustified(2, '0');
        else
            text += c;
    }
    return text;
}

SimServer::SimServer(SimulatedMount& mount, Misbehaviour misbehaviour, QIODevice& log,
                     QObject* parent)
    : QObject(parent), mount(mount), misbehaviour(std::move(misbehaviour)), log(log),
      server(new QTcpServer(this)) {
    connect(server, &QTcpServer::newConnection, this, &SimServer::acceptClient);
    pieceTimer.setInterval(pieceIntervalMs);
    connect(&pieceTimer, &QTimer::timeout, this, &SimServer::sendNextPiece);
}

bool SimServer::listen(const QHostAddress& address, quint16 port) {
    return server->listen(address, port);
}

QString SimServer::errorString() const {
    return server->errorString();
}

QHostAddress SimServer::serverAddress() const {
    return server->serverAddress();
}

quint16 SimServer::serverPort() const {
    return server->serverPort();
}

void SimServer::acceptClient() {
    while (QTcpSocket* incoming = server->nextPendingConnection()) {
        if (client) {
            logLine("# connection replaced by a new one");
            dropClient();
        }
        client = incoming;
        client->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        connect(client, &QTcpSocket::readyRead, this, &SimServer::readClient);
        connect(client, &QTcpSocket::disconnected, this, &SimServer::clientGone);
        splitter.reset();
        commandsReceived = 0;
        straySent = false;
        outgoing.clear();
        nextPieceSize = 1;
        pieceTimer.stop();
        logLine("# connected " + client->peerAddress().toString().toLatin1() + ':' +
                QByteArray::number(client->peerPort()));
    }
}

void SimServer::readClient() {
    auto* socket = qobject_cast<QTcpSocket*>(sender());
    if (!socket || socket != client)
        return;
    const QList<QByteArray> commands = splitter.feed(socket->readAll());
    for (const QByteArray& command : commands) {
        if (!client)
            break;
        handle(command);
    }
}

void SimServer::handle(const QByteArray& command) {
    logLine(printable(command));
    ++commandsReceived;
    if (misbehaviour.dropAfter > 0 && commandsReceived == misbehaviour.dropAfter) {
        logLine("# dropping the connection after command " + QByteArray::number(commandsReceived));
        client->disconnectFromHost();
        dropClient();
        return;
    }
    const std::optional<QByteArray> reply = mount.answer(command);
    if (!reply)
        return;
    if (!straySent && !misbehaviour.stray.isEmpty()) {
        straySent = true;
        send(misbehaviour.stray);
    }
    send(*reply);
}

void SimServer::send(const QByteArray& bytes) {
    if (!client)
        return;
    if (!misbehaviour.fragment) {
        client->write(bytes);
        return;
    }
    outgoing += bytes;
    if (!pieceTimer.isActive()) {
        sendNextPiece();
        pieceTimer.start();
    }
}

void SimServer::sendNextPiece() {
    if (!client || outgoing.isEmpty()) {
        pieceTimer.stop();
        return;
    }
    const int size = qMin(nextPieceSize, outgoing.size());
    client->write(outgoing.left(size));
    client->flush();
    outgoing.remove(0, size);
    nextPieceSize = nextPieceSize == 1 ? 2 : 1;
}

void SimServer::clientGone() {
    if (sender() != client)
        return;
    logLine("# disconnected");
    dropClient();
}

// Forgets the current client; a socket that is still open is closed once its output is out.
void SimServer::dropClient() {
    if (!client)
        return;
    QTcpSocket* gone = client;
    client = nullptr;
    disconnect(gone, nullptr, this, nullptr);
    if (gone->state() == QAbstractSocket::UnconnectedState) {
        gone->deleteLater();
    } else {
        connect(gone, &QTcpSocket::disconnected, gone, &QObject::deleteLater);
        gone->disconnectFromHost();
    }
    outgoing.clear();
    pieceTimer.stop();
}

void SimServer::logLine(const QByteArray& line) {
    log.write(line + '\n');
    if (auto* file = qobject_cast<QFileDevice*>(&log))
        file->flush();
}
