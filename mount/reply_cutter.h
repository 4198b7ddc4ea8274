#pragma once

#include "mount/link_types.h"

#include <QByteArray>

// No reply of a real mount comes near this; a peer that streams bytes without '#' must not be
// able to exhaust memory.
inline constexpr int maxReceiveBuffer = 64 * 1024;

struct ReplyCut {
    enum Outcome {
        Waiting,  // no complete reply yet (or none awaited); the bytes stay buffered
        Reply,    // one reply cut out; `reply` holds it without its '#'
        Overflow, // the buffer would exceed maxReceiveBuffer; it has been emptied
    };
    Outcome outcome = Waiting;
    QByteArray reply;
};

// One arrival of data: appends `arrived` to `buffer` and, when a '#'-terminated reply is
// awaited and complete, cuts out the first one and resets `expected` to None. At most one reply
// is cut per arrival; bytes behind it stay in `buffer` (MountConnection drops them: nothing the
// mount sent before the next command was written can answer it).
ReplyCut cutReply(QByteArray& buffer, ReplyKind& expected, const QByteArray& arrived);
