#include "app/transit_exporter.h"

#include "astro/file_io.h"
#include "catalogue/file_access.h"
#include "sky/sky_session.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>

#include <algorithm>

TransitExporter::TransitExporter(const SkySession& session, const TimeScales& scales,
                                 QObject* parent)
    : QObject(parent), session(session), scales(scales) {}

QStringList TransitExporter::filters() {
    return {tr("GeoJSON files (*.geojson)"), tr("KML files (*.kml)"), tr("GPX files (*.gpx)")};
}

TransitFileForm TransitExporter::formFor(QString& path, const QString& chosenFilter) {
    const QString suffix = QFileInfo(path).suffix().toLower();
    const QStringList known{QStringLiteral("geojson"), QStringLiteral("kml"),
                            QStringLiteral("gpx")};
    int form = int(known.indexOf(suffix));
    if (form < 0)
        form = std::max(0, int(filters().indexOf(chosenFilter)));
    if (suffix.isEmpty())
        path += QLatin1Char('.') + known[form];
    return form == 1   ? TransitFileForm::Kml
           : form == 2 ? TransitFileForm::Gpx
                       : TransitFileForm::GeoJson;
}

void TransitExporter::exportWithDialog(const PlannedTransit& transit, QWidget* dialogParent) {
    QString filter = filters().front();
    const QString path =
        QFileDialog::getSaveFileName(dialogParent, tr("Export centre line"), QString(),
                                     filters().join(QStringLiteral(";;")), &filter);
    if (!path.isEmpty())
        write(path, filter, transit);
}

bool TransitExporter::write(QString path, const QString& chosenFilter,
                            const PlannedTransit& transit) {
    const TransitFileForm form = formFor(path, chosenFilter);
    const std::vector<ExportedTransit> exported =
        exportedTransits({transit}, session.catalogue(), scales, session.site());
    if (exported.empty()) {
        emit logEvent(tr("No centre line to export: where it passes nearest the site the body "
                         "is below the horizon, or it misses the Earth."),
                      LogLevel::Warning);
        return false;
    }
    const std::string text = transitsFile(form, exported, scales);
    if (const FileResult saved =
            writeFileWhole(QFile::encodeName(path).toStdString(), std::string_view(text));
        !saved) {
        emit logEvent(fileFaultText(path, saved), LogLevel::Error);
        return false;
    }
    emit logEvent(tr("Exported the centre line of %1 to %2.")
                      .arg(QString::fromStdString(logName(session.catalogue()[transit.satellite])),
                           QDir::toNativeSeparators(path)),
                  LogLevel::Info);
    return true;
}
