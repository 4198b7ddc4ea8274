#pragma once

// Judges a stand-in's log (orbitrak-mountsim with --log-replies) against the rules of the mount
// link, given the commands the user gave in order:
//  - every connection opens with the handshake :U2# :GVN# :Gt# :Gg# :Gev#, each step written
//    after the reply to the one before, and nothing else before the reply to :Gev#;
//  - one command on the wire at a time: nothing follows an awaited command before its reply;
//  - across connections, the commands written after handshakes are the queue in order, each
//    once, except that an awaited command left without its reply when a connection ended is
//    written again first after the next completed handshake (a "repetition"), but for a read
//    of the mount's clock, which is dropped with its connection;
//  - the user's queued commands (:STOP# :KA# :PO# :TLEL0...) among them are exactly the ones
//    queued, and none comes before a Stop given before it;
//  - a Stop given while connected is written at once on that connection, once, in the order
//    given: during the handshake or between a command and its reply too. Only the connection's
//    end may lose it, and then nothing given after it reached the mount on that connection;
//  - the window's own follow-ups are there once each: :TLEP after an upload answered V, :TLES#
//    after a pass that is not E or N, :GaE# after each status reply; a status poll (:TLESCK#)
//    never comes while one of these is still to be written;
//  - the mount's clock is read in whole rounds, :GC# :GL# :GG# :GC#, none begun while a
//    follow-up is still to be written and nothing else between their commands; a round cut
//    by the connection's end is not resumed;
//  - nothing else is written.
// The reply a command got is what the window read: the text sent up to the next '#', with any
// stray text sent before it. On a connection that the window ended because a reply was late,
// it read no reply to its last awaited command, whatever the log shows after it.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <utility>

namespace soak {

// A command the user gave. A Stop given while the link was connected is written at once, on
// that connection (numbered from 1 as the log counts them); any other command is queued.
struct UserCommand {
    QByteArray command;
    int atOnceOn = 0; // 0: queued
};

struct LogCheck {
    int connections = 0;
    int handshakes = 0;       // completed
    int brokenHandshakes = 0; // ended after :U2# and before the reply to :Gev#
    int written = 0;          // commands written after handshakes, repetitions included
    int repetitions = 0;
    int userCommands = 0; // of the queued ones, written so far
    int stopsAtOnce = 0;  // of the Stops given at once, written
    int stopsLost = 0;    // ... and lost with their connection
    int pending = 0;      // user commands neither written nor lost
    int outstanding = 0;  // follow-ups still to be written
    QByteArray inFlight;  // awaited, unanswered when the last connection ended
    QStringList violations;

    // Every user command written (or lost), nothing in flight, no follow-up to come.
    bool drained() const { return pending == 0 && inFlight.isEmpty() && outstanding == 0; }
};

// Undoes the stand-in's escaping of a log line ("\\" and "\xNN").
inline QByteArray unescapeLogText(const QByteArray& text) {
    QByteArray out;
    for (int i = 0; i < text.size(); ++i) {
        const bool hex = text[i] == '\\' && i + 3 < text.size() && text[i + 1] == 'x';
        out += hex ? char(text.mid(i + 2, 2).toInt(nullptr, 16)) : text[i];
        i += hex ? 3 : text.mid(i, 2) == "\\\\";
    }
    return out;
}

// The log as the stand-in wrote it, its lines parted by line feeds; timedOut: the connections
// the window ended at its reply limit.
inline LogCheck checkCommandLog(const QByteArray& log, const QList<UserCommand>& given,
                                const QList<int>& timedOut = {}) {
    static const QList<QByteArray> handshake = {":U2#", ":GVN#", ":Gt#", ":Gg#", ":Gev#"};
    static const QList<QByteArray> clockRound = {":GC#", ":GL#", ":GG#", ":GC#"};
    LogCheck r;
    auto violation = [&r](const QByteArray& text) {
        if (r.violations.size() < 20)
            r.violations << QString::fromLatin1("connection " + QByteArray::number(r.connections) +
                                                ": " + text);
    };
    // The next queued command and the next Stop given at once, as places in `given`.
    auto next = [&given](int from, bool atOnce) {
        while (from < given.size() && (given[from].atOnceOn > 0) != atOnce)
            ++from;
        return from;
    };
    int queuedAt = next(0, false), atOnceAt = next(0, true);
    // Follow-ups that the replies so far call for, and those written.
    int owedPasses = 0, passes = 0, owedSlews = 0, slews = 0, owedErrors = 0, errors = 0;
    int clockStep = 0; // the next command of the clock round under way; 0: none
    // The connection being read.
    int commands = 0;    // written, the handshake included, the Stops at once not
    int repliesCut = 0;  // by the window, handshake replies included
    QByteArray received; // sent to the window, not yet cut
    QByteArray awaiting; // written after the handshake, its reply not yet cut

    auto endConnection = [&] {
        if (commands < handshake.size() || repliesCut < handshake.size() - 1) {
            r.brokenHandshakes += commands > 0;
            return;
        }
        ++r.handshakes;
        // The link drops a clock read with its connection rather than writing it again.
        if (!awaiting.isEmpty() && !clockRound.contains(awaiting))
            r.inFlight = awaiting;
    };
    const QList<QByteArray> lines = log.split('\n');
    // Whether the connection goes on to write a command that awaits a reply after line `at`.
    auto awaitedLater = [&lines](int at) {
        for (int i = at + 1; i < lines.size() && !lines[i].startsWith("# connected"); ++i)
            if (!lines[i].isEmpty() && !lines[i].startsWith('#') && lines[i] != ":STOP#" &&
                lines[i] != ":KA#" && lines[i] != ":PO#")
                return true;
        return false;
    };
    for (int at = 0; at < lines.size(); ++at) {
        const QByteArray& line = lines[at];
        if (line.startsWith("# connected")) {
            endConnection();
            ++r.connections;
            commands = repliesCut = 0;
            clockStep = 0; // a round its connection did not finish is dropped with it
            received.clear();
            awaiting.clear();
            for (; atOnceAt < given.size() && given[atOnceAt].atOnceOn < r.connections;
                 atOnceAt = next(atOnceAt + 1, true))
                ++r.stopsLost;
        } else if (r.connections == 0 || line.isEmpty() ||
                   (line.startsWith('#') && !line.startsWith("#> "))) {
            continue;
        } else if (line.startsWith("#> ")) {
            received += unescapeLogText(line.mid(3));
            // The reply to the last awaited command on a connection the window ended at its
            // limit stays unread, so what the window wrote after that command (a Stop at once)
            // was written while it waited.
            if (timedOut.contains(r.connections) && !awaitedLater(at))
                continue;
            // Each '#' completes one reply: to the handshake's four, then to the command awaited.
            for (int hash; (hash = received.indexOf('#')) >= 0;) {
                const QByteArray reply = received.left(hash);
                received.remove(0, hash + 1);
                if (++repliesCut < handshake.size())
                    continue;
                if (awaiting.isEmpty())
                    violation("a reply nothing waited for: " + reply);
                int* const credit =
                    awaiting.startsWith(":TLEL0") && reply.startsWith('V')         ? &owedPasses
                    : awaiting.startsWith(":TLEP") && reply != "E" && reply != "N" ? &owedSlews
                    : awaiting == ":TLESCK#"                                       ? &owedErrors
                                                                                   : nullptr;
                if (credit)
                    ++*credit;
                awaiting.clear();
            }
        } else {
            const QByteArray command = unescapeLogText(line);
            // A Stop given at once on this connection, unless a queued one given before it may
            // be written here.
            const bool queueMayGo = repliesCut >= handshake.size() - 1 && awaiting.isEmpty() &&
                                    r.inFlight.isEmpty() && queuedAt < atOnceAt &&
                                    given[queuedAt].command == command;
            if (command == ":STOP#" && atOnceAt < given.size() &&
                given[atOnceAt].atOnceOn == r.connections && !queueMayGo) {
                ++r.stopsAtOnce;
                atOnceAt = next(atOnceAt + 1, true);
                continue;
            }
            const int step = commands++;
            if (step < handshake.size() && command == handshake[step]) {
                // :Gt# waits for the version, :Gg# for the latitude, :Gev# for the longitude.
                if (repliesCut < step - 1)
                    violation("handshake step written before the previous reply: " + command);
                continue;
            }
            if (repliesCut < handshake.size() - 1) {
                violation("written before the handshake completed: " + command.left(60));
                continue;
            }
            if (!awaiting.isEmpty())
                violation("written while " + awaiting.left(40) +
                          " still waited for its reply: " + command.left(60));
            ++r.written;
            const bool motion = command == ":STOP#" || command == ":KA#" || command == ":PO#";
            if (!motion) // the mount answers every other command
                awaiting = command;
            const QByteArray lastInFlight = std::exchange(r.inFlight, QByteArray());
            if (command == lastInFlight) {
                ++r.repetitions;
                continue; // counted when first written
            }
            if (!lastInFlight.isEmpty())
                violation("the command in flight was not written first after the handshake: " +
                          lastInFlight.left(60));
            const bool owing = passes < owedPasses || slews < owedSlews || errors < owedErrors;
            if (clockStep > 0 && command != clockRound[clockStep])
                violation("written between the clock reads: " + command.left(60));
            else if (clockStep > 0 || (command == clockRound[0] && !owing))
                clockStep = (clockStep + 1) % clockRound.size();
            else if (clockRound.contains(command))
                violation("clock read out of its round or between the steps of a chain or poll: " +
                          command);
            const bool known = motion || command.startsWith(":TLEL0") ||
                               command.startsWith(":TLEP") || command == ":TLES#" ||
                               command == ":TLESCK#" || command == ":GaE#" ||
                               clockRound.contains(command);
            if (!known)
                violation("a command the window does not send: " + command.left(60));
            if (command.startsWith(":TLEP") && ++passes > owedPasses)
                violation("pass request without an accepted upload: " + command);
            else if (command == ":TLES#" && ++slews > owedSlews)
                violation("slew without a computed pass");
            else if (command == ":GaE#" && ++errors > owedErrors)
                violation("error request without a status reply");
            else if (command == ":TLESCK#" && owing)
                violation("status poll while a chain step was still to be written");
            if (motion || command.startsWith(":TLEL0")) {
                if (queuedAt >= given.size() || given[queuedAt].command != command)
                    violation("user command out of order, lost or repeated: " + command.left(60));
                else if (atOnceAt < queuedAt)
                    violation("written before the Stop given at once before it: " +
                              command.left(60));
                ++r.userCommands;
                queuedAt = next(queuedAt + 1, false);
            }
        }
    }
    endConnection();
    r.outstanding = (owedPasses - passes) + (owedSlews - slews) + (owedErrors - errors) +
                    (clockStep > 0 ? int(clockRound.size()) - clockStep : 0);
    r.pending = int(given.size()) - r.userCommands - r.stopsAtOnce - r.stopsLost;
    return r;
}

} // namespace soak
