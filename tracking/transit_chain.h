#pragma once

#include "mount/metatypes.h"

#include <QObject>
#include <QString>

#include <functional>

class MountLink;
struct CatalogueEntry;

// The chain that follows a satellite: upload its element set (":TLEL0"), have the mount
// compute the pass from the current instant (":TLEP"), then slew (":TLES#"). Each step's reply
// decides whether the next is queued, and the outcome goes to the log. The chain keeps no
// state: a second chain started meanwhile simply takes its turns in the link's queue.
class TransitChain : public QObject {
    Q_OBJECT

public:
    // instant: the working Julian date of the latest tick, read when the pass is asked for.
    TransitChain(MountLink& link, std::function<double()> instant, QObject* parent = nullptr);

    // Uploads the satellite's three lines exactly as read, named in the log without padding
    // (logName). offsetSeconds: the satellite's own time offset. When the total with the mount's
    // clock (totalOffset) is not zero, the set goes up with its epoch moved by it.
    void start(const CatalogueEntry& satellite, double offsetSeconds = 0.0);

    // What the upload adds to a satellite's own offset: the mount's clock error, while the
    // correction is on and the error is above the threshold.
    double totalOffset(double offsetSeconds) const;

    // The mount's clock error is corrected only above this: below it the measurement's own
    // noise would move the epoch for nothing.
    static constexpr double kMountClockThresholdS = 0.1;

public slots:
    // The mount's UTC minus the true UTC, in seconds (NaN or 0: not known). A mount whose clock
    // is ahead by d computes, at the true instant t, where the satellite is at t + d: it leads
    // the satellite by d. A set whose epoch is d later reaches every point d later, so with
    // it the mount points, at its t + d, where the satellite is at t. The error is therefore
    // added to the offset as it stands: ahead is a positive offset, behind a negative one.
    void setMountClockError(double seconds);
    // "Correct for the mount's clock"; on unless turned off.
    void setMountClockCorrection(bool on);

signals:
    void logEvent(const QString& text, LogLevel level);
    // The mount took the slew (to the satellite or to where its transit begins).
    void slewAccepted();

private:
    // alpha5Name: the name of an uploaded set whose catalogue number is in the Alpha-5 form,
    // else empty.
    void uploaded(const QByteArray& reply, const QString& alpha5Name);
    void passComputed(const QByteArray& reply);
    void slewStarted(const QByteArray& reply);

    MountLink& link;
    std::function<double()> instant;
    double mountClockError = 0.0;
    bool correctMountClock = true;
};
