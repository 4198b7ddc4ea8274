#pragma once

// Judges a stand-in's log (orbitrak-mountsim with --log-replies) against the rules of the mount
// link, given the commands the user queued in order:
//  - every connection opens with the handshake :U2# :GVN# :Gt# :Gg# :Gev#, and nothing else is
//    written before the reply to :Gev# (the handshake completed);
//  - one command on the wire at a time: nothing follows an awaited command before its reply;
//  - across connections, the commands written after handshakes are the queue in order, each
//    once, except that an awaited command left without its reply when a connection ended is
//    written again first after the next completed handshake (a "repetition");
//  - the user's commands (:STOP# :KA# :PO# :TLEL0...) among them are exactly the ones queued;
//  - the window's own follow-ups are there once each: :TLEP after an upload answered V, :TLES#
//    after a pass that is not E or N, :GaE# after each status reply; a status poll (:TLESCK#)
//    never comes while one of these is still to be written.
// The reply a command got is what the window read: the text sent up to the next '#', with any
// stray text sent before it.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace soak {

struct LogCheck {
    int connections = 0;
    int handshakes = 0;       // completed
    int brokenHandshakes = 0; // ended after :U2# and before the reply to :Gev#
    int written = 0;          // commands written after handshakes, repetitions included
    int repetitions = 0;
    int userCommands = 0; // of the queued ones, written so far
    int outstanding = 0;  // follow-ups still to be written
    QByteArray inFlight;  // awaited, unanswered when the last connection ended
    QStringList violations;

    // Every queued command written, nothing in flight, no follow-up to come.
    bool drained(int queued) const {
        return userCommands == queued && inFlight.isEmpty() && outstanding == 0;
    }
};

// Undoes the stand-in's escaping of a log line ("\\" and "\xNN").
inline QByteArray unescapeLogText(const QByteArray& text) {
    QByteArray out;
    for (int i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size() && text[i + 1] == '\\') {
            out += '\\';
            ++i;
        } else if (text[i] == '\\' && i + 3 < text.size() && text[i + 1] == 'x') {
            out += char(text.mid(i + 2, 2).toInt(nullptr, 16));
            i += 3;
        } else {
            out += text[i];
        }
    }
    return out;
}

inline bool isUserCommand(const QByteArray& c) {
    return c == ":STOP#" || c == ":KA#" || c == ":PO#" || c.startsWith(":TLEL0");
}

inline bool awaitsReply(const QByteArray& c) {
    return c != ":STOP#" && c != ":KA#" && c != ":PO#";
}

inline LogCheck checkCommandLog(const QList<QByteArray>& lines, const QList<QByteArray>& queued) {
    static const QList<QByteArray> handshake = {":U2#", ":GVN#", ":Gt#", ":Gg#", ":Gev#"};
    LogCheck r;
    auto violation = [&r](const QString& text) {
        if (r.violations.size() < 20)
            r.violations << QStringLiteral("connection %1: ").arg(r.connections) + text;
    };

    // The queue as written, one entry per command, with the reply the window read.
    struct Written {
        QByteArray command;
        QByteArray reply;
        bool answered = false;
    };
    int expectedPass = 0, seenPass = 0, expectedSlew = 0, seenSlew = 0, expectedErrors = 0,
        seenErrors = 0;
    auto follow = [&](const Written& w) {
        const QByteArray& c = w.command;
        if (c.startsWith(":TLEP")) {
            if (++seenPass > expectedPass)
                violation("pass request without an accepted upload: " + c);
        } else if (c == ":TLES#") {
            if (++seenSlew > expectedSlew)
                violation("slew without a computed pass");
        } else if (c == ":GaE#") {
            if (++seenErrors > expectedErrors)
                violation("error request without a status reply");
        } else if (c == ":TLESCK#") {
            if (seenPass < expectedPass || seenSlew < expectedSlew || seenErrors < expectedErrors)
                violation("status poll while a chain step was still to be written");
        }
        if (isUserCommand(c)) {
            if (r.userCommands >= queued.size() || queued[r.userCommands] != c)
                violation("user command out of order, lost or repeated: " + c.left(60));
            ++r.userCommands;
        }
        if (!w.answered)
            return;
        if (c.startsWith(":TLEL0") && w.reply.startsWith('V'))
            ++expectedPass;
        else if (c.startsWith(":TLEP") && w.reply != "E" && w.reply != "N")
            ++expectedSlew;
        else if (c == ":TLESCK#")
            ++expectedErrors;
    };

    // One connection at a time.
    QList<QByteArray> commands; // in the order received
    QList<Written> after;       // written after the handshake
    QByteArray received;        // everything sent to the window
    int repliesCut = 0;         // replies the window has cut from `received`
    QList<int> awaiting;        // indexes into `after` of commands without their reply yet
    bool open = false;

    auto finishConnection = [&] {
        if (!open)
            return;
        const bool complete = commands.size() >= handshake.size() && repliesCut >= 4;
        if (!complete) {
            if (!commands.isEmpty())
                ++r.brokenHandshakes;
            return;
        }
        ++r.handshakes;
        int first = 0;
        if (!r.inFlight.isEmpty() && !after.isEmpty()) {
            if (after[0].command != r.inFlight)
                violation("the command in flight was not written first after the handshake: " +
                          r.inFlight.left(60));
            else
                ++r.repetitions;
            r.inFlight.clear();
            if (after.size() == 1 && !after[0].answered && awaitsReply(after[0].command)) {
                r.inFlight = after[0].command; // in flight once more
                return;
            }
            follow(after[0]);
            first = 1;
        }
        for (int i = first; i < after.size(); ++i) {
            const bool last = i == after.size() - 1;
            if (last && !after[i].answered && awaitsReply(after[i].command))
                r.inFlight = after[i].command;
            else
                follow(after[i]);
        }
    };

    for (const QByteArray& line : lines) {
        if (line.startsWith("# connected")) {
            finishConnection();
            ++r.connections;
            open = true;
            commands.clear();
            after.clear();
            received.clear();
            repliesCut = 0;
            awaiting.clear();
            continue;
        }
        if (!open)
            continue;
        if (line.startsWith("#> ")) {
            received += unescapeLogText(line.mid(3));
            // Each '#' completes one reply: to the handshake's four, then to the oldest
            // awaited command.
            int hash;
            while ((hash = received.indexOf('#')) >= 0) {
                const QByteArray reply = received.left(hash);
                received.remove(0, hash + 1);
                if (++repliesCut > 4) {
                    if (awaiting.isEmpty()) {
                        violation("a reply nothing waited for: " + reply);
                        continue;
                    }
                    Written& w = after[awaiting.takeFirst()];
                    w.reply = reply;
                    w.answered = true;
                }
            }
            continue;
        }
        if (line.startsWith('#'))
            continue;
        const QByteArray command = unescapeLogText(line);
        commands << command;
        const int step = int(commands.size()) - 1;
        if (step < handshake.size() && after.isEmpty() && command == handshake[step]) {
            // :Gt# waits for the version, :Gg# for the latitude, :Gev# for the longitude.
            if (repliesCut < step - 1)
                violation("handshake step written before the previous reply: " + command);
            continue;
        }
        if (repliesCut < 4) {
            violation("written before the handshake completed: " + command.left(60));
            continue;
        }
        if (!awaiting.isEmpty())
            violation("written while " + after[awaiting.first()].command.left(40) +
                      " still waited for its reply: " + command.left(60));
        after << Written{command, QByteArray(), false};
        ++r.written;
        if (awaitsReply(command))
            awaiting << after.size() - 1;
    }
    finishConnection();
    r.outstanding =
        (expectedPass - seenPass) + (expectedSlew - seenSlew) + (expectedErrors - seenErrors);
    return r;
}

} // namespace soak
