#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QMap>
#include <QStringList>
#include <QTcpServer>
#include <QTcpSocket>

#include <atomic>
#include <future>
#include <thread>

// A web server on a free loopback port that answers each path with the bytes it was given
// (status line, headers and body, then it closes) and leaves any other path unanswered.
class HttpTestServer {
public:
    HttpTestServer() {
        server.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&server, &QTcpServer::newConnection, [this] {
            while (QTcpSocket* socket = server.nextPendingConnection())
                QObject::connect(socket, &QTcpSocket::readyRead, socket,
                                 [this, socket] { serve(socket); });
        });
    }

    // "200 OK", a body, and unless told otherwise its length.
    static QByteArray response(const QByteArray& status, const QByteArray& body,
                               const QByteArray& headers = {}, bool withLength = true) {
        return "HTTP/1.1 " + status + "\r\nConnection: close\r\n" + headers +
               (withLength ? "Content-Length: " + QByteArray::number(body.size()) + "\r\n"
                           : QByteArray()) +
               "\r\n" + body;
    }

    QString url(const QString& path) const {
        return QStringLiteral("http://127.0.0.1:%1%2").arg(server.serverPort()).arg(path);
    }

    QMap<QByteArray, QByteArray> answers; // by path
    // By path: a request of an earlier case that arrives late (the server reads it whenever its
    // event loop next turns) counts and shows under its own path, never under a later case's.
    QMap<QByteArray, int> requests;
    QMap<QByteArray, QByteArray> lastRequest; // its request line and headers

private:
    void serve(QTcpSocket* socket) {
        QByteArray& request = pending[socket];
        request += socket->readAll();
        if (!request.contains("\r\n\r\n"))
            return;
        const QByteArray path = request.split(' ').value(1);
        ++requests[path];
        lastRequest[path] = request;
        if (!answers.contains(path))
            return;
        request.clear();
        socket->write(answers[path]);
        socket->disconnectFromHost();
    }

    QTcpServer server;
    QMap<QTcpSocket*, QByteArray> pending;
};

// The expected lines with "URL" standing for the server and "FILE" for the test's file source;
// a line ending in '*' stands for any actual line that it starts.
inline QStringList expectedLines(QStringList expected, const QStringList& actual,
                                 const QString& url, const QString& file) {
    for (int i = 0; i < expected.size(); ++i) {
        QString& line = expected[i].replace("URL", url).replace("FILE", file);
        if (line.endsWith('*') && i < actual.size() && actual[i].startsWith(line.chopped(1)))
            line = actual[i];
    }
    return expected;
}

// One answer without end, from a thread of its own so that the client's event loop does not
// pace it: the head, then the piece again and again as fast as the client takes it, until the
// client goes, `bound` bytes went out, nothing moved for 30 s or the server is destroyed.
class EndlessServer {
public:
    EndlessServer(const QByteArray& head, const QByteArray& piece, qint64 bound) {
        std::promise<quint16> port;
        std::future<quint16> listening = port.get_future();
        worker = std::thread([this, head, piece, bound, &port] {
            QTcpServer server;
            server.listen(QHostAddress::LocalHost, 0);
            port.set_value(server.serverPort());
            if (!server.waitForNewConnection(30000))
                return;
            QTcpSocket* socket = server.nextPendingConnection();
            QByteArray request;
            while (!request.contains("\r\n\r\n") && socket->waitForReadyRead(30000))
                request += socket->readAll();
            socket->write(head);
            while (!stopped && sent + piece.size() <= bound && socket->waitForBytesWritten(30000)) {
                if (socket->bytesToWrite() == 0) {
                    sent += piece.size();
                    socket->write(piece);
                }
            }
            socket->abort();
        });
        serverPort = listening.get();
    }
    ~EndlessServer() {
        stopped = true;
        worker.join();
    }

    QString url() const { return QStringLiteral("http://127.0.0.1:%1/endless").arg(serverPort); }
    std::atomic<qint64> sent{0}; // bytes of pieces the system took

private:
    std::atomic<bool> stopped{false};
    std::thread worker;
    quint16 serverPort = 0;
};
