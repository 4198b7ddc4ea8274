#pragma once

#include "astro/log_level.h"
#include "mount/metatypes.h"
#include "planning/planned.h"
#include "planning/transit_export.h"

#include <QObject>
#include <QString>

class QWidget;
class SkySession;
class TimeScales;

// "Export centre line..." of a transit's menu: its centre line and path from the session's site,
// as GeoJSON, KML or GPX (the forms of orbitrak-cli transits), written whole or not at all; the
// log says what it wrote or why it wrote nothing.
class TransitExporter : public QObject {
    Q_OBJECT

public:
    TransitExporter(const SkySession& session, const TimeScales& scales, QObject* parent = nullptr);

    // The file dialog's filters, GeoJSON first.
    static QStringList filters();
    // The file name's suffix picks the form, else the filter chosen (one of filters()); a name
    // without a suffix gets the form's.
    static TransitFileForm formFor(QString& path, const QString& chosenFilter);
    // Asks for a file, then writes.
    void exportWithDialog(const PlannedTransit& transit, QWidget* dialogParent);
    // True once the file holds the transit's line.
    bool write(QString path, const QString& chosenFilter, const PlannedTransit& transit);

signals:
    void logEvent(const QString& text, LogLevel level);

private:
    const SkySession& session;
    const TimeScales& scales;
};
