#pragma once

// Judges a stand-in's log (orbitrak-mountsim with --log-replies) against the rules of the mount
// link, given the commands the user queued in order:
//  - every connection opens with the handshake :U2# :GVN# :Gt# :Gg# :Gev#, each step written
//    after the reply to the one before, and nothing else before the reply to :Gev#;
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

#include <utility>

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
        const bool hex = text[i] == '\\' && i + 3 < text.size() && text[i + 1] == 'x';
        out += hex ? char(text.mid(i + 2, 2).toInt(nullptr, 16)) : text[i];
        i += hex ? 3 : text.mid(i, 2) == "\\\\";
    }
    return out;
}

// The log as the stand-in wrote it, its lines parted by line feeds.
inline LogCheck checkCommandLog(const QByteArray& log, const QList<QByteArray>& queued) {
    static const QList<QByteArray> handshake = {":U2#", ":GVN#", ":Gt#", ":Gg#", ":Gev#"};
    LogCheck r;
    auto violation = [&r](const QByteArray& text) {
        if (r.violations.size() < 20)
            r.violations << QString::fromLatin1("connection " + QByteArray::number(r.connections) +
                                                ": " + text);
    };
    // Follow-ups that the replies so far call for, and those written.
    int owedPasses = 0, passes = 0, owedSlews = 0, slews = 0, owedErrors = 0, errors = 0;
    // The connection being read.
    int commands = 0;    // written
    int repliesCut = 0;  // by the window, handshake replies included
    QByteArray received; // sent to the window, not yet cut
    QByteArray awaiting; // written after the handshake, its reply not yet cut

    auto endConnection = [&] {
        if (commands < handshake.size() || repliesCut < handshake.size() - 1) {
            r.brokenHandshakes += commands > 0;
            return;
        }
        ++r.handshakes;
        if (!awaiting.isEmpty())
            r.inFlight = awaiting;
    };
    for (const QByteArray& line : log.split('\n')) {
        if (line.startsWith("# connected")) {
            endConnection();
            ++r.connections;
            commands = repliesCut = 0;
            received.clear();
            awaiting.clear();
        } else if (r.connections == 0 || line.isEmpty() ||
                   (line.startsWith('#') && !line.startsWith("#> "))) {
            continue;
        } else if (line.startsWith("#> ")) {
            received += unescapeLogText(line.mid(3));
            // Each '#' completes one reply: to the handshake's four, then to the command awaited.
            for (int hash; (hash = received.indexOf('#')) >= 0;) {
                const QByteArray reply = received.left(hash);
                received.remove(0, hash + 1);
                if (++repliesCut < handshake.size())
                    continue;
                if (awaiting.isEmpty())
                    violation("a reply nothing waited for: " + reply);
                else if (awaiting.startsWith(":TLEL0") && reply.startsWith('V'))
                    ++owedPasses;
                else if (awaiting.startsWith(":TLEP") && reply != "E" && reply != "N")
                    ++owedSlews;
                else if (awaiting == ":TLESCK#")
                    ++owedErrors;
                awaiting.clear();
            }
        } else {
            const QByteArray command = unescapeLogText(line);
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
            if (command.startsWith(":TLEP") && ++passes > owedPasses)
                violation("pass request without an accepted upload: " + command);
            else if (command == ":TLES#" && ++slews > owedSlews)
                violation("slew without a computed pass");
            else if (command == ":GaE#" && ++errors > owedErrors)
                violation("error request without a status reply");
            else if (command == ":TLESCK#" &&
                     (passes < owedPasses || slews < owedSlews || errors < owedErrors))
                violation("status poll while a chain step was still to be written");
            if (motion || command.startsWith(":TLEL0")) {
                if (r.userCommands >= queued.size() || queued[r.userCommands] != command)
                    violation("user command out of order, lost or repeated: " + command.left(60));
                ++r.userCommands;
            }
        }
    }
    endConnection();
    r.outstanding = (owedPasses - passes) + (owedSlews - slews) + (owedErrors - errors);
    return r;
}

} // namespace soak
