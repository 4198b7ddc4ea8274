// The connection to the mount, the cutting of its replies and the one-at-a-time transactions.
#include "app/mainwindow.h"

#include "app/log_model.h"
#include "app/mainwindow_form.h"
#include "app/settings.h"
#include "mount/reply_cutter.h"

#include <QTcpSocket>

void MainWindow::on_checkBox_clicked() {
    if (ui->checkBox->isChecked())
        startLink();
    else
        endLinkOnRequest();
}

void MainWindow::startLink() {
    if (linkState == LinkState::Connecting || linkState == LinkState::Connected)
        return;
    releaseSocket();
    socket = new QTcpSocket();
    connect(socket, SIGNAL(readyRead()), this, SLOT(mount_read()));
    connect(socket, SIGNAL(disconnected()), this, SLOT(mount_disconnect()));
    connect(socket, SIGNAL(error(QAbstractSocket::SocketError)), this,
            SLOT(mount_error(QAbstractSocket::SocketError)));
    connect(socket, SIGNAL(connected()), this, SLOT(mount_connected()));
    connect(socket, SIGNAL(stateChanged(QAbstractSocket::SocketState)), this,
            SLOT(mount_statechanged()));
    connect(socket, SIGNAL(destroyed(QObject*)), this, SLOT(mount_destroyed()));
    // State and log line come first: an address that fails at once (no route, for instance)
    // reports its error from inside connectToHost.
    linkState = LinkState::Connecting;
    logModel->addEntry(tr("Connecting to mount..."), LogLevel::Info);
    socket->connectToHost(mountIp, mountPort, QIODevice::ReadWrite, QAbstractSocket::AnyIPProtocol);
}

void MainWindow::endLinkOnRequest() {
    switch (linkState) {
    case LinkState::Disconnected:
        return;
    case LinkState::Failed:
        linkState = LinkState::Disconnected;
        ui->checkBox->setChecked(false);
        return;
    case LinkState::Connecting:
    case LinkState::Connected:
        if (socket)
            socket->disconnectFromHost();
        // A socket still connecting, or still flushing, has not reported its disconnection;
        // settle the state now so that nothing is written to it and the box can reconnect.
        if (socket)
            closeLink();
        return;
    }
}

void MainWindow::closeLink() {
    linkState = LinkState::Disconnected;
    logModel->addEntry(tr("Disconnected from mount."), LogLevel::Info);
    ui->checkBox->setChecked(false);
    mountReady = false;
    releaseSocket();
}

void MainWindow::failLink() {
    linkState = LinkState::Failed;
    logModel->addEntry(tr("Connection error."), LogLevel::Error);
    ui->checkBox->setChecked(false);
    mountReady = false;
    releaseSocket();
}

// Only the destruction is still of interest once a socket is let go: its later signals
// (a disconnection after an error, data already under way) belong to a connection that ended.
void MainWindow::releaseSocket() {
    if (!socket)
        return;
    QTcpSocket* released = socket;
    socket = nullptr;
    disconnect(released, nullptr, this, nullptr);
    connect(released, SIGNAL(destroyed(QObject*)), this, SLOT(mount_destroyed()));
    released->deleteLater();
}

void MainWindow::shutDownLinkForExit() {
    if (!socket)
        return;
    QTcpSocket* last = socket;
    socket = nullptr;
    disconnect(last, nullptr, this, nullptr);
    delete last;
}

void MainWindow::mount_disconnect() {
    closeLink();
}

void MainWindow::mount_error(QAbstractSocket::SocketError) {
    failLink();
}

void MainWindow::mount_connected() {
    if (!socket)
        return;
    logModel->addEntry(tr("Connected to mount."), LogLevel::Info);
    linkState = LinkState::Connected;
    receiveBuffer.clear();
    disconnectResponseReceivers();
    sendDirect(QByteArrayLiteral("#:U2#:GVN#"), SLOT(got_version_number(QByteArray)));
}

void MainWindow::mount_read() {
    if (!socket)
        return;
    const ReplyCut cut = cutReply(receiveBuffer, expectedReply, socket->readAll());
    if (cut.outcome == ReplyCut::Overflow)
        failLink();
    else if (cut.outcome == ReplyCut::Reply)
        emit mount_response(cut.reply);
}

void MainWindow::mount_destroyed() {
    // A connection released earlier is gone while a newer one is under way: that one is not
    // affected.
    if (socket && sender() != socket)
        return;
    socket = nullptr;
    linkState = LinkState::Disconnected;
    logModel->addEntry(tr("Disconnected from mount."), LogLevel::Info);
    ui->checkBox->setChecked(false);
    mountReady = false;
}

void MainWindow::mount_statechanged() {}

void MainWindow::disconnectResponseReceivers() {
    disconnect(this, SIGNAL(mount_response(QByteArray)), nullptr, nullptr);
}

void MainWindow::sendDirect(const QByteArray& command, const char* receiver) {
    if (!socket)
        return;
    expectedReply = ReplyKind::HashTerminated;
    socket->write(command);
    socket->flush();
    connect(this, SIGNAL(mount_response(QByteArray)), this, receiver);
}

void MainWindow::queueCommand(const QByteArray& command, ReplyKind replyKind,
                              ResponseHandler handler) {
    const bool wasEmpty = pendingRequests.isEmpty();
    pendingRequests.enqueue(PendingRequest{command, replyKind, handler});
    if (wasEmpty && mountReady)
        dispatchHead();
}

// A reply-less head completes inside this call, and its completion asks for the next head.
// That request is served by the loop here rather than by a nested call, so a long run of
// queued reply-less commands cannot exhaust the stack.
void MainWindow::dispatchHead() {
    if (dispatching) {
        dispatchPending = true;
        return;
    }
    dispatching = true;
    do {
        dispatchPending = false;
        if (!mountReady || !socket || pendingRequests.isEmpty())
            break;
        const QByteArray command = pendingRequests.head().command;
        const ReplyKind kind = pendingRequests.head().replyKind;
        socket->write(command);
        socket->flush();
        expectedReply = kind;
        connect(this, SIGNAL(mount_response(QByteArray)), this,
                SLOT(got_transaction_result(QByteArray)));
        if (kind == ReplyKind::None)
            emit mount_response(QByteArray());
    } while (dispatchPending);
    dispatching = false;
}

void MainWindow::got_transaction_result(QByteArray value) {
    disconnectResponseReceivers();
    if (pendingRequests.isEmpty())
        return;
    // The head stays queued while its handler runs, so a command the handler queues waits
    // behind it instead of being written from inside the handler.
    const ResponseHandler handler = pendingRequests.head().handler;
    if (handler)
        (this->*handler)(value);
    pendingRequests.dequeue();
    if (!pendingRequests.isEmpty())
        dispatchHead();
}
