#include "mount/mount_connection.h"

#include "mount/protocol.h"
#include "mount/reply_cutter.h"

#include <QTcpSocket>
#include <QTimer>

namespace {

// A command named in the log is cut to this many characters.
constexpr int kCommandShown = 20;

} // namespace

MountConnection::MountConnection(QObject* parent) : QObject(parent), waitTimer(new QTimer(this)) {
    waitTimer->setSingleShot(true);
    waitTimer->setInterval(defaultReplyTimeoutMs);
    connect(waitTimer, &QTimer::timeout, this, &MountConnection::waitOverdue);
}

MountConnection::~MountConnection() {
    if (!socket)
        return;
    disconnect(socket, nullptr, this, nullptr);
    delete socket;
}

void MountConnection::setReplyTimeout(int milliseconds) {
    waitTimer->setInterval(milliseconds);
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
    unaskedBytes = 0;
    socket = new QTcpSocket();
    connect(socket, &QTcpSocket::connected, this, &MountConnection::socketConnected);
    connect(socket, &QTcpSocket::readyRead, this, &MountConnection::socketReadyRead);
    connect(socket, &QTcpSocket::disconnected, this, [this] { end(QString()); });
    connect(socket, &QTcpSocket::errorOccurred, this, [this](QAbstractSocket::SocketError error) {
        // The time limits are this class's own. A connected socket reports a time-out only
        // when the look for unread bytes before a command finds none.
        if (error == QAbstractSocket::SocketTimeoutError && isConnected())
            return;
        end(tr("Connection error."));
    });
    // State and log line come first: an address that fails at once (no route, for instance)
    // reports its error from inside connectToHost.
    setState(LinkState::Connecting);
    emit logEvent(tr("Connecting to mount..."), LogLevel::Info);
    waitTimer->start();
    socket->connectToHost(address, port, QIODevice::ReadWrite, QAbstractSocket::AnyIPProtocol);
}

void MountConnection::close() {
    end(QString());
}

// The one way a connection ends.
void MountConnection::end(const QString& failure, LogLevel level) {
    if (!socket)
        return;
    // The socket's later signals (a disconnection after an error, data already under way)
    // belong to a connection that has ended.
    QTcpSocket* released = socket;
    socket = nullptr;
    disconnect(released, nullptr, this, nullptr);
    if (released->state() == QAbstractSocket::ConnectedState)
        released->disconnectFromHost();
    else
        released->abort();
    released->deleteLater();
    receiveBuffer.clear();
    expectedReply = ReplyKind::None;
    waitTimer->stop();
    emit ended();
    if (!failure.isEmpty()) {
        setState(LinkState::Failed);
        emit logEvent(failure, level);
    }
    setState(LinkState::Disconnected);
    emit logEvent(tr("Disconnected from mount."), LogLevel::Info);
}

void MountConnection::socketConnected() {
    waitTimer->stop();
    emit logEvent(tr("Connected to mount."), LogLevel::Info);
    setState(LinkState::Connected);
    emit opened();
}

bool MountConnection::send(const QByteArray& command, ReplyKind reply) {
    if (!isConnected())
        return false;
    if (expectedReply == ReplyKind::None) {
        dropUnreadBytes();
        if (!socket)
            return false;
    }
    socket->write(command);
    socket->flush();
    if (reply == ReplyKind::None)
        return true;
    expectedReply = reply;
    awaitedCommand = command;
    writtenAt = std::chrono::steady_clock::now();
    waitTimer->start();
    return true;
}

// What the mount sent before a command is written cannot be that command's answer: the bytes
// behind the last reply, those read but not yet looked at, and those the system holds for the
// socket are dropped as unasked. A wait of no time takes in the last; it may end the
// connection (the mount hung up, or flooded).
void MountConnection::dropUnreadBytes() {
    const qint64 buffered = receiveBuffer.size();
    receiveBuffer.clear();
    dropUnasked(buffered);
    if (!socket)
        return;
    socket->waitForReadyRead(0);
    if (socket)
        dropUnasked(socket->readAll().size());
}

// A mount that stays silent may be hung; an address that never accepts leaves no other sign.
void MountConnection::waitOverdue() {
    if (!socket)
        return;
    const QString seconds = QString::number(waitTimer->interval() / 1000.0);
    if (linkState == LinkState::Connecting) {
        end(tr("Mount did not accept the connection within %1 s.").arg(seconds));
        return;
    }
    if (expectedReply == ReplyKind::None)
        return;
    end(tr("Mount did not answer %1 within %2 s.")
            .arg(MountProtocol::excerpt(awaitedCommand, kCommandShown), seconds));
}

// A complete reply is delivered at once; the receiver may send the next command, and with it
// await the next reply. Whatever is left behind the reply answers nothing that was asked.
void MountConnection::socketReadyRead() {
    if (!socket)
        return;
    const QByteArray arrived = socket->readAll();
    if (expectedReply == ReplyKind::None) {
        dropUnasked(arrived.size());
        return;
    }
    const ReplyCut cut = cutReply(receiveBuffer, expectedReply, arrived);
    if (cut.outcome == ReplyCut::Overflow) {
        end(tr("Connection error."));
        return;
    }
    if (cut.outcome != ReplyCut::Reply)
        return;
    waitTimer->stop();
    emit replyReceived(cut.reply);
    // A command written from the handler has dropped them already.
    if (socket && expectedReply == ReplyKind::None) {
        const qint64 left = receiveBuffer.size();
        receiveBuffer.clear();
        dropUnasked(left);
    }
}

// Counted in windows that open with the first unasked byte after the last window closed.
void MountConnection::dropUnasked(qint64 bytes) {
    if (bytes <= 0 || !socket)
        return;
    const auto now = std::chrono::steady_clock::now();
    if (unaskedBytes == 0 || now - unaskedSince >= unaskedWindow) {
        unaskedSince = now;
        unaskedBytes = 0;
    }
    unaskedBytes += bytes;
    if (unaskedBytes > maxUnaskedBytes) {
        end(tr("Mount sent more than %1 KiB of unexpected data within %2 s.")
                .arg(maxUnaskedBytes / 1024)
                .arg(qint64(unaskedWindow.count())),
            LogLevel::Warning);
        return;
    }
    if (warnedUnexpected)
        return;
    warnedUnexpected = true;
    emit logEvent(tr("Ignored unexpected data from mount."), LogLevel::Warning);
}
