#pragma once

#include <QMetaType>

// Where the connection to the mount stands.
enum class LinkState { Disconnected, Connecting, Connected, Failed };
Q_DECLARE_METATYPE(LinkState)

// What the reader is to cut out of the received bytes next: nothing (the mount does not answer
// the command in flight) or one reply ending in '#'.
enum class ReplyKind { None, HashTerminated };
