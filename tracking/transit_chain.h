#pragma once

#include "mount/metatypes.h"

#include <QObject>
#include <QString>

#include <functional>

class MountLink;

// The chain that follows a satellite: upload its element set (":TLEL0"), have the mount
// compute the pass from the current instant (":TLEP"), then slew (":TLES#"). Each step's reply
// decides whether the next is queued, and the outcome goes to the log. The chain keeps no
// state: a second chain started meanwhile simply takes its turns in the link's queue.
class TransitChain : public QObject {
    Q_OBJECT

public:
    // instant: the working Julian date of the latest tick, read when the pass is asked for.
    TransitChain(MountLink& link, std::function<double()> instant, QObject* parent = nullptr);

    // name: what the table shows; the three lines exactly as read from the catalogue.
    void start(const QString& name, const QString& nameLine, const QString& line1,
               const QString& line2);

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
};
