#pragma once

#include "tests/common/scripted_mount.h"

#include <memory>

inline const QString connecting = logLine(LogLevel::Info, "Connecting to mount...");
inline const QString connected = logLine(LogLevel::Info, "Connected to mount.");
inline const QString disconnected = logLine(LogLevel::Info, "Disconnected from mount.");
inline const QString connectionError = logLine(LogLevel::Error, "Connection error.");

// For the tests of the link and of what runs over it: a link to a scripted mount, made anew for
// each test function, and the replies to the commands queued through queue().
class LinkTest {
protected:
    bool openRig() {
        rig = std::make_unique<LinkRig>();
        replies.clear();
        return rig->mount.isListening();
    }

    void closeRig() {
        rig.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    // Queues a command whose reply lands in `replies`.
    void queue(const QByteArray& command) {
        rig->link.queueCommand(command, ReplyKind::HashTerminated,
                               [this](const QByteArray& reply) { replies << reply; });
    }

    // Waits until the mount has this after the handshake, then answers.
    void expectThenAnswer(const QByteArray& sent, const QByteArray& reply) {
        QTRY_COMPARE(rig->mount.afterHandshake(), sent);
        rig->mount.send(reply + '#');
    }

    std::unique_ptr<LinkRig> rig;
    QList<QByteArray> replies;
};
