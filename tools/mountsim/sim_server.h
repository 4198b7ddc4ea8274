#pragma once

#include "tools/mountsim/command_splitter.h"
#include "tools/mountsim/simulated_mount.h"

#include <QByteArray>
#include <QHostAddress>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <random>

class QIODevice;
class QTcpServer;
class QTcpSocket;

// Ways to misbehave on purpose, for testing the client.
struct Misbehaviour {
    bool fragment = false; // send every reply in pieces of one or two bytes, with pauses
    QByteArray stray;      // sent unasked just before the first reply of each connection
    int dropAfter = 0;     // close the connection on receiving this command (0: never)
    // Sent unasked right after the Nth reply (from 1) to this command, on every connection.
    QByteArray strayAfterCommand;
    int strayAfterCount = 0;
    QByteArray strayAfterText;
    // Random misbehaviour, drawn afresh for every connection from this seed (see ChaosPlan).
    bool chaos = false;
    quint32 chaosSeed = 0;
    bool logReplies = false; // also log every piece of text sent, as a line "#> " + the text
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

    // One connection's share of the random misbehaviour. The link only ever breaks while the
    // client is waiting for a reply (the mount drops a command, or hangs on one and is reset),
    // never while a command that has no answer may still be under way towards it.
    struct ChaosPlan {
        bool fragment = false;
        QByteArray stray; // sent unasked just before reply number strayBefore (from 1)
        int strayBefore = 0;
        int dropAt = 0;   // close on the first awaited command from this count on
        QByteArray muted; // left unanswered (as --mute); the link is closed later
        int muteCloseMs = 0;
    };
    ChaosPlan drawPlan();
    bool fragmenting() const { return misbehaviour.fragment || plan.fragment; }

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
    std::mt19937 chaosRandom;
    ChaosPlan plan;
    int repliesSent = 0;
    int repliesToStrayCommand = 0;
};
