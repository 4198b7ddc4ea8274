#pragma once

#include "tools/mountsim/command_splitter.h"
#include "tools/mountsim/simulated_mount.h"

#include <QByteArray>
#include <QHostAddress>
#include <QObject>
#include <QPointer>
#include <QTimer>

class QIODevice;
class QTcpServer;
class QTcpSocket;

// Ways to misbehave on purpose, for testing the client.
struct Misbehaviour {
    bool fragment = false; // send every reply in pieces of one or two bytes, with pauses
    QByteArray stray;      // sent unasked just before the first reply of each connection
    int dropAfter = 0;     // close the connection on receiving this command (0: never)
};

// Serves one client at a time over TCP (a new connection replaces the previous one), hands
// its commands to the simulated mount and writes back the replies. Every command received is
// logged on its own line; connection events are logged as lines starting with '#', which no
// command does.
class SimServer : public QObject {
    Q_OBJECT

public:
    SimServer(SimulatedMount& mount, Misbehaviour misbehaviour, QIODevice& log,
              QObject* parent = nullptr);

    bool listen(const QHostAddress& address, quint16 port);
    QString errorString() const;
    QHostAddress serverAddress() const;
    quint16 serverPort() const;

private slots:
    void acceptClient();
    void readClient();
    void clientGone();
    void sendNextPiece();

private:
    void handle(const QByteArray& command);
    void send(const QByteArray& bytes);
    void logLine(const QByteArray& line);
    void dropClient();

    SimulatedMount& mount;
    const Misbehaviour misbehaviour;
    QIODevice& log;
    QTcpServer* server;
    QPointer<QTcpSocket> client;
    CommandSplitter splitter;
    int commandsReceived = 0;
    bool straySent = false;
    QByteArray outgoing; // bytes still to send in pieces
    int nextPieceSize = 1;
    QTimer pieceTimer;
};
