#pragma once

#include "mount/metatypes.h"

#include <QObject>
#include <QString>

#include <functional>

class MountLink;

// The mount's satellite-tracking state and, on firmware that reports them, its axis tracking
// errors, polled at most once per tick and only while the link is ready and idle, so a poll
// never comes between the steps of a transit chain.
class TrackingStatusPoll : public QObject {
    Q_OBJECT

public:
    explicit TrackingStatusPoll(MountLink& link, QObject* parent = nullptr);

    void poll();

    // The last known state in words; the errors are added when the line is shown.
    const QString& state() const { return stateText; }

    // While the mount waits for the transit, the line counts down to riseJd by `clock` (both
    // working Julian dates) instead of showing the errors, which say nothing while it waits.
    void countDownTo(double riseJd, std::function<double()> clock);
    void stopCountdown() { riseJd = 0.0; }

signals:
    // The status line: the state, with the errors when they were read.
    void statusLine(const QString& text);
    void logEvent(const QString& text, LogLevel level);
    // Once per completed poll, after the mount has named a state: its code letter (E, P, Q, S,
    // T or V, the latest known) and the two axis errors in arc-seconds, NaN when not read.
    void readingReceived(char stateCode, double firstErrorArcsec, double secondErrorArcsec);

private:
    void stateReceived(const QByteArray& reply);
    void errorsReceived(const QByteArray& reply);
    void finishPoll(double firstArcsec, double secondArcsec);
    QString countdown() const;

    MountLink& link;
    QString stateText;
    char stateCode = 0;  // none named yet
    double riseJd = 0.0; // 0: no countdown
    std::function<double()> clock;
};
