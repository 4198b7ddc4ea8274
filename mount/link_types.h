#pragma once

#include <QByteArray>

class MainWindow;

// Where the connection to the mount stands.
enum class LinkState { Disconnected, Connecting, Connected, Failed };

// What the reader is to cut out of the received bytes next: nothing (the mount does not answer
// the command in flight) or one reply ending in '#'.
enum class ReplyKind { None, HashTerminated };

// A main-window slot that takes one reply, without its '#'.
using ResponseHandler = void (MainWindow::*)(QByteArray);

// One queued mount command and the slot that completes its transaction.
struct PendingRequest {
    QByteArray command; // as written, leading ':' and trailing '#' included
    ReplyKind replyKind = ReplyKind::None;
    ResponseHandler handler = nullptr;
};
