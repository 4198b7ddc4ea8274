#include "app/pass_exporter.h"

#include "astro/time_scales.h"
#include "catalogue/file_access.h"
#include "planning/pass_export.h"
#include "planning/planned.h"
#include "sky/sky_session.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

PassExporter::PassExporter(const SkySession& session, const TimeScales& scales, QObject* parent)
    : QObject(parent), session(session), scales(scales) {}

PassExporter::Format PassExporter::formatFor(QString& path, bool csvFilterChosen) {
    const QString suffix = QFileInfo(path).suffix().toLower();
    const bool csv =
        suffix == QLatin1String("csv") || (suffix != QLatin1String("ics") && csvFilterChosen);
    if (suffix.isEmpty())
        path += csv ? QStringLiteral(".csv") : QStringLiteral(".ics");
    return csv ? Format::Csv : Format::ICalendar;
}

int PassExporter::write(QString path, bool csvFilterChosen, const std::vector<PlannedPass>& shown,
                        bool withMagnitudes) {
    const bool csv = formatFor(path, csvFilterChosen) == Format::Csv;
    const std::vector<ExportedPass> passes = exportedPasses(shown, session.catalogue());
    // The calendar holds whole passes only; a file of none would look like a quiet sky.
    const int count = int(passes.size());
    const int written =
        csv ? count : int(std::count_if(passes.begin(), passes.end(), [](const ExportedPass& e) {
            return e.pass.whole();
        }));
    if (written == 0) {
        emit logEvent(count == 0 ? tr("No pass to export: the planner shows none.")
                                 : tr("No whole pass to export: a pass must rise "
                                      "and set within the search window."),
                      LogLevel::Warning);
        return 0;
    }
    const std::string text = csv ? passesCsv(passes, scales, withMagnitudes)
                                 : passesICalendar(passes, scales, session.site(),
                                                   scales.utcCalendarFromJd(session.instant()));
    const QString shownPath = QDir::toNativeSeparators(path);
    if (const FileResult saved =
            writeFileWhole(QFile::encodeName(path).toStdString(), std::string_view(text));
        !saved) {
        emit logEvent(fileFaultText(path, saved), LogLevel::Error);
        return 0;
    }
    if (written < count)
        emit logEvent(tr("Exported %1 of %2 passes to %3; %4 left out as not whole "
                         "(rising or setting outside the search window).")
                          .arg(written)
                          .arg(count)
                          .arg(shownPath)
                          .arg(count - written),
                      LogLevel::Info);
    else
        emit logEvent((written == 1 ? tr("Exported %n pass to %1.", nullptr, written)
                                    : tr("Exported %n passes to %1.", nullptr, written))
                          .arg(shownPath),
                      LogLevel::Info);
    return written;
}
