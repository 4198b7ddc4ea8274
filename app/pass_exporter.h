#pragma once

#include "astro/log_level.h"
#include "mount/metatypes.h"

#include <QObject>
#include <QString>

#include <vector>

class SkySession;
class TimeScales;
struct PlannedPass;

// File > Export passes...: writes the passes the planner shows, in its order, as an iCalendar
// file of their whole passes or as CSV, whole or not at all, and says in the log what it wrote
// or why it wrote nothing.
class PassExporter : public QObject {
    Q_OBJECT

public:
    enum class Format { ICalendar, Csv };

    PassExporter(const SkySession& session, const TimeScales& scales, QObject* parent = nullptr);

    // The file name's suffix picks the format, else the filter chosen in the file dialog; a name
    // without a suffix gets the format's.
    static Format formatFor(QString& path, bool csvFilterChosen);
    // passes: as the planner shows them; withMagnitudes: a magnitude file was read, so the CSV has
    // their column. Returns the number of passes written.
    int write(QString path, bool csvFilterChosen, const std::vector<PlannedPass>& passes,
              bool withMagnitudes);

signals:
    void logEvent(const QString& text, LogLevel level);

private:
    const SkySession& session;
    const TimeScales& scales;
};
