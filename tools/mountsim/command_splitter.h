#pragma once

#include <QByteArray>
#include <QList>

// Cuts the byte stream a client sends into commands: each runs from a ':' to the next '#',
// both included. Bytes between commands (the leading '#' the client sends to clear a half
// command, line ends, noise) are ignored, and a command that grows beyond maxCommandLength
// without its '#' is thrown away up to that '#'.
class CommandSplitter {
public:
    static constexpr int maxCommandLength = 64 * 1024;

    QList<QByteArray> feed(const QByteArray& bytes);
    void reset();

private:
    QByteArray current;
    bool inCommand = false;
    bool discarding = false;
};
