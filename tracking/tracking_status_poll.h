#pragma once

#include "mount/metatypes.h"

#include <QObject>
#include <QString>

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

signals:
    // The status line: the state, with the errors when they were read.
    void statusLine(const QString& text);
    void logEvent(const QString& text, LogLevel level);

private:
    void stateReceived(const QByteArray& reply);
    void errorsReceived(const QByteArray& reply);

    MountLink& link;
    QString stateText;
};
