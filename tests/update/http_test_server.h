#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QMap>
#include <QTcpServer>
#include <QTcpSocket>

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
