#include "mount/mount_connection.h"

#include "mount/protocol.h"
#include "mount/reply_cutter.h"

#include <QTcpSocket>
#include <QTimer>

namespace {

// A command named in the log is cut to this many characters.
constexpr int kCommandShown = 20;

} // namespace

MountConnection::MountConnection(QObject* parent) : QObject(parent), replyTimer(new QTimer(this)) {
    replyTimer->setSingleShot(true);
    replyTimer->setInterval(defaultReplyTimeoutMs);
    connect(replyTimer, &QTimer::timeout, this, &MountConnection::replyOverdue);
}

MountConnection::~MountConnection() {
    if (!socket)
        return;
    disconnect(socket, nullptr, this, nullptr);
    delete socket;
}

void MountConnection::setReplyTimeout(int milliseconds) {
    replyTimer->setInterval(milliseconds);
}

void MountConnection::setState(LinkState state) {
    linkState = state;
    emit stateChanged(state);
}

void MountConnection::open(const QString& address, quint16 port) {
    if (socket)
        return;
    receiveBuffer.clear();
    expectedReply = ReplyKind::None;
    warnedUnexpected = false;
    socket = new QTcpSocket();
    connect(socket, &QTcpSocket::connected, this, &MountConnection::socketConnected);
    connect(socket, &QTcpSocket::readyRead, this, &MountConnection::socketReadyRead);
    connect(socket, &QTcpSocket::disconnected, this, [this] { end(QString()); });
    connect(socket, &QTcpSocket::errorOccurred, this, [this] { end(tr("Connection error.")); });
    // State and log line come first: an address that fails at once (no route, for instance)
    // reports its error from inside connectToHost.
    setState(LinkState::Connecting);
    emit logEvent(tr("Connecting to mount..."), LogLevel::Info);
    socket->connectToHost(address, port, QIODevice::ReadWrite, QAbstractSocket::AnyIPProtocol);
}

void MountConnection::close() {
    end(QString());
}

// The one way a connection ends.
void MountConnection::end(const QString& failure) {
    if (!socket)
        return;
    // The socket's later signals (a disconnection after an error, data already under way)
    // belong to a connection that has ended.
    QTcpSocket* released = socket;
    socket = nullptr;
    disconnect(released, nullptr, this, nullptr);
    if (released->state() == QAbstractSocket::ConnectedState)
        released->disconnectFromHost();
    released->deleteLater();
    receiveBuffer.clear();
    expectedReply = ReplyKind::None;
    replyTimer->stop();
    emit ended();
    if (!failure.isEmpty()) {
        setState(LinkState::Failed);
        emit logEvent(failure, LogLevel::Error);
    }
    setState(LinkState::Disconnected);
    emit logEvent(tr("Disconnected from mount."), LogLevel::Info);
}

void MountConnection::socketConnected() {
    emit logEvent(tr("Connected to mount."), LogLevel::Info);
    setState(LinkState::Connected);
    emit opened();
}

void MountConnection::send(const QByteArray& command, ReplyKind reply) {
    if (!isConnected())
        return;
    socket->write(command);
    socket->flush();
    if (reply == ReplyKind::None)
        return;
    expectedReply = reply;
    awaitedCommand = command;
    writtenAt = std::chrono::steady_clock::now();
    replyTimer->start();
}

// A mount that stays silent may be hung.
void MountConnection::replyOverdue() {
    if (!socket || expectedReply == ReplyKind::None)
        return;
    end(tr("Mount did not answer %1 within %2 s.")
            .arg(MountProtocol::excerpt(awaitedCommand, kCommandShown),
                 QString::number(replyTimer->interval() / 1000.0)));
}

// Every complete reply is delivered at once; the receiver may send the next command, and with
// it await the next reply, before the loop looks at the buffer again.
void MountConnection::socketReadyRead() {
    if (!socket)
        return;
    const QByteArray arrived = socket->readAll();
    if (expectedReply == ReplyKind::None) {
        if (!arrived.isEmpty())
            dropUnexpectedBytes();
        return;
    }
    ReplyCut cut = cutReply(receiveBuffer, expectedReply, arrived);
    while (cut.outcome == ReplyCut::Reply) {
        replyTimer->stop();
        emit replyReceived(cut.reply);
        if (!socket || expectedReply == ReplyKind::None)
            break;
        cut = cutReply(receiveBuffer, expectedReply, QByteArray());
    }
    if (cut.outcome == ReplyCut::Overflow) {
        end(tr("Connection error."));
        return;
    }
    // What is left once nothing is awaited answers nothing that was asked.
    if (socket && expectedReply == ReplyKind::None && !receiveBuffer.isEmpty()) {
        receiveBuffer.clear();
        dropUnexpectedBytes();
    }
}

void MountConnection::dropUnexpectedBytes() {
    if (warnedUnexpected)
        return;
    warnedUnexpected = true;
    emit logEvent(tr("Ignored unexpected data from mount."), LogLevel::Warning);
}
