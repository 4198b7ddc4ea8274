#pragma once

#include "mount/metatypes.h"

#include <QObject>
#include <QString>

#include <cstddef>
#include <functional>
#include <limits>
#include <vector>

class TimeScales;

// The RMS and the peak of one axis's tracking errors, gathered one reading at a time.
struct AxisErrorStatistics {
    std::size_t count = 0;
    double sumOfSquares = 0.0;
    double peak = 0.0; // the largest magnitude

    void add(double arcsec);
    double rms() const; // 0 without readings
};

// One poll of the mount during a pass.
struct PassSample {
    double jd = 0.0;  // working Julian date of the tick the poll belongs to
    char state = 'E'; // the mount's state code
    // Arc-seconds; NaN when not read (older firmware, an unreadable reply).
    double firstErrorArcsec = std::numeric_limits<double>::quiet_NaN();
    double secondErrorArcsec = std::numeric_limits<double>::quiet_NaN();
    // Where the program computes the satellite to stand; NaN when it has no position.
    double altitudeDeg = std::numeric_limits<double>::quiet_NaN();
    double azimuthDeg = std::numeric_limits<double>::quiet_NaN();
};

// The instant of the latest tick, and where a satellite then stands by the live rows.
struct SatelliteFix {
    double jd = 0.0;
    double altitudeDeg = std::numeric_limits<double>::quiet_NaN();
    double azimuthDeg = std::numeric_limits<double>::quiet_NaN();
};

// Keeps what the mount reports during a pass and writes it as a CSV record when the pass ends.
//
// A pass begins when the mount accepts the slew for the satellite last followed (the transit
// chain's slew reply): polls before that may still describe the previous satellite. From then
// on every completed poll adds a sample. Once the mount has named a state of the pass (S, V, P
// or T), the pass ends at the first "Transit ended" (Q) or "No transit tracking requested" (E:
// stopped, parked, a new upload). It also ends at the next accepted slew, when the link ends,
// and, so that a mount that never ends one cannot fill the memory, after kMaxSamples samples,
// when the record is written and a new one begins at once.
//
// The statistics count the readings while the mount tracks (T): while it slews or waits the
// errors say nothing about the tracking.
class PassRecorder : public QObject {
    Q_OBJECT

public:
    static constexpr std::size_t kMaxSamples = 3 * 3600 * 3; // three hours of polls

    // folder: where the records go (made when needed). fix: the instant and the position of
    // the satellite with this catalogue number.
    PassRecorder(const TimeScales& scales, QString folder,
                 std::function<SatelliteFix(long catalogueNumber)> fix, QObject* parent = nullptr);

    // The satellite whose set goes to the mount, and the time offset in seconds its upload
    // carries.
    void follow(long catalogueNumber, double timeOffsetSeconds = 0.0);
    long followed() const { return number; }

    // The mount took the slew: a pass begins (after ending one under way).
    void beginPass();
    // One completed poll (TrackingStatusPoll::readingReceived).
    void addReading(char stateCode, double firstErrorArcsec, double secondErrorArcsec);
    // The link ended: so does the pass.
    void endPass();

    bool isRecording() const { return recording; }
    // Of the current pass, or of the last one once it has ended.
    const std::vector<PassSample>& samples() const { return kept; }
    double beginJd() const { return startJd; }
    const AxisErrorStatistics& firstAxis() const { return first; }
    const AxisErrorStatistics& secondAxis() const { return second; }

    // The record's text: a header, then one line per sample.
    QByteArray csv() const;

signals:
    void passBegan();
    void samplesChanged();
    void logEvent(const QString& text, LogLevel level);

private:
    void write();

    const TimeScales& scales;
    QString folder;
    std::function<SatelliteFix(long)> fix;
    long number = 0;
    double offsetSeconds = 0.0;
    double passOffsetSeconds = 0.0; // of the pass under way
    long passNumber = 0;
    bool recording = false;
    bool mountFollows = false; // it has named a state of the pass since it took the slew
    double startJd = 0.0;
    std::vector<PassSample> kept;
    AxisErrorStatistics first;
    AxisErrorStatistics second;
};
