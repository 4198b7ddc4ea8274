#include "tools/mountsim/sim_server.h"

#include "mount/protocol.h"

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

// Commands after which the client waits for an answer: all but the three motion commands.
static bool awaitsReply(const QByteArray& command) {
    return !MountProtocol::isMotionCommand(command);
}

// An entry ending in '#' names one command; any other entry every command starting so.
static bool matches(const QByteArray& name, const QByteArray& command) {
    return name.endsWith('#') ? command == name : command.startsWith(name);
}

SimServer::SimServer(SimulatedMount& mount, Misbehaviour misbehaviour, QIODevice& log,
                     QObject* parent)
    : QObject(parent), mount(mount), misbehaviour(std::move(misbehaviour)), log(log),
      server(new QTcpServer(this)), chaosRandom(this->misbehaviour.chaosSeed) {
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
        repliesSent = 0;
        repliesToStrayCommand = 0;
        plan = misbehaviour.chaos ? drawPlan() : ChaosPlan();
        logLine("# connected " + client->peerAddress().toString().toLatin1() + ':' +
                QByteArray::number(client->peerPort()));
        if (misbehaviour.chaos) {
            QByteArray text = "# plan: drop at command " + QByteArray::number(plan.dropAt);
            if (plan.fragment)
                text += ", replies in pieces";
            if (!plan.stray.isEmpty())
                text += ", stray \"" + printable(plan.stray) + "\" before reply " +
                        QByteArray::number(plan.strayBefore);
            if (!plan.muted.isEmpty())
                text += ", " + plan.muted + " unanswered, closed " +
                        QByteArray::number(plan.muteCloseMs) + " ms later";
            logLine(text);
        }
    }
}

SimServer::ChaosPlan SimServer::drawPlan() {
    auto between = [this](int low, int high) {
        return low + int(chaosRandom() % unsigned(high - low + 1));
    };
    auto chance = [&between](int percent) {
        return between(1, 100) <= percent;
    };
    ChaosPlan p;
    p.fragment = chance(30);
    if (chance(25)) {
        static const char* const strays[] = {"X", "??", " ", "\r\n", "stray"};
        p.stray = strays[between(0, 4)];
        p.strayBefore = between(1, 12);
    }
    // Most connections end after a few commands (within the handshake for the first five),
    // some run longer.
    p.dropAt = chance(80) ? between(1, 25) : between(26, 80);
    if (chance(20)) {
        using namespace MountProtocol;
        static const char* const commands[] = {
            kFirmwareVersion, kLatitude, kLongitude,      kElevation, kUploadPrefix,
            kPassPrefix,      kSlew,     kTrackingStatus, kAxisErrors};
        p.muted = commands[between(0, 8)];
        p.muteCloseMs = between(50, 600);
    }
    return p;
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
    if (misbehaviour.chaos && commandsReceived >= plan.dropAt && awaitsReply(command)) {
        logLine("# dropping the connection at command " + QByteArray::number(commandsReceived));
        client->disconnectFromHost();
        dropClient();
        return;
    }
    if (!plan.muted.isEmpty() && matches(plan.muted, command)) {
        const QPointer<QTcpSocket> hung = client;
        QTimer::singleShot(plan.muteCloseMs, this, [this, hung] {
            if (!hung || hung != client)
                return;
            logLine("# dropping the connection that waits for an answer");
            client->disconnectFromHost();
            dropClient();
        });
        return;
    }
    const std::optional<QByteArray> reply = mount.answer(command);
    if (!reply)
        return;
    if (!straySent && !misbehaviour.stray.isEmpty()) {
        straySent = true;
        send(misbehaviour.stray);
    }
    if (!plan.stray.isEmpty() && ++repliesSent == plan.strayBefore)
        send(plan.stray);
    send(*reply);
    if (command == misbehaviour.strayAfterCommand &&
        ++repliesToStrayCommand == misbehaviour.strayAfterCount) {
        logLine("# stray text after reply " + QByteArray::number(repliesToStrayCommand) + " to " +
                command);
        send(misbehaviour.strayAfterText);
    }
}

void SimServer::send(const QByteArray& bytes) {
    if (!client)
        return;
    if (misbehaviour.logReplies)
        logLine("#> " + printable(bytes));
    if (!fragmenting()) {
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
