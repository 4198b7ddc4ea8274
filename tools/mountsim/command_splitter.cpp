#include "tools/mountsim/command_splitter.h"

QList<QByteArray> CommandSplitter::feed(const QByteArray& bytes) {
    QList<QByteArray> commands;
    for (const char c : bytes) {
        if (discarding) {
            if (c == '#')
                discarding = false;
            continue;
        }
        if (!inCommand) {
            if (c == ':') {
                inCommand = true;
                current = QByteArray(1, c);
            }
            continue;
        }
        current.append(c);
        if (c == '#') {
            commands.append(current);
            current.clear();
            inCommand = false;
        } else if (current.size() >= maxCommandLength) {
            current.clear();
            inCommand = false;
            discarding = true;
        }
    }
    return commands;
}

void CommandSplitter::reset() {
    current.clear();
    inCommand = false;
    discarding = false;
}
