#include "tools/cli/options.h"

#include "catalogue/omm_reader.h"
#include "sky/observing_sites.h"

#include <QFile>

#include <cstdio>

bool readSite(const CommandOptions& options, Site& site, std::string& error,
              std::string* horizonFile) {
    if (options.has("site")) {
        if (options.has("lat") || options.has("lon") || options.has("elev")) {
            error = "--site and --lat, --lon, --elev exclude each other";
            return false;
        }
        const std::string name = options.value("site");
        QString warning;
        const std::optional<ObservingSite> named =
            findObservingSite(readObservingSites(&warning), QString::fromLocal8Bit(name.c_str()));
        if (!warning.isEmpty())
            std::fprintf(stderr, "%s\n", warning.toLocal8Bit().constData());
        if (!named) {
            error = "no observing site named '" + name +
                    "' in the settings (the window's Mount > Observing site...)";
            return false;
        }
        site = named->site();
        if (horizonFile)
            *horizonFile = QFile::encodeName(named->horizonFile).toStdString();
        return true;
    }
    const Site defaults;
    double latitude = defaults.latitudeDeg();
    double eastLongitude = defaults.eastLongitudeDeg();
    double elevation = defaults.elevation;
    if (!readNumber(options, "lat", -Site::kMaxLatitudeDeg, Site::kMaxLatitudeDeg, latitude,
                    error) ||
        !readNumber(options, "lon", -Site::kMaxLongitudeDeg, Site::kMaxLongitudeDeg, eastLongitude,
                    error) ||
        !readNumber(options, "elev", Site::kMinElevationM, Site::kMaxElevationM, elevation, error))
        return false;
    site = Site::fromDegrees(latitude, eastLongitude, elevation);
    return true;
}

bool readHorizon(const std::string& path, HorizonMask& mask, std::string& error) {
    const HorizonMask::FileRead read = HorizonMask::readFile(path, mask);
    if (!read.file)
        error = describeFileFault(path, read.file, HorizonMask::kMaxFileBytes);
    else if (read.badLine > 0)
        error = "'" + path + "', line " + std::to_string(read.badLine) +
                ": expected an azimuth and an altitude in degrees";
    return read.ok();
}

bool readInstant(const CommandOptions& options, const char* name,
                 std::optional<CalendarTime>& instant, std::string& error) {
    if (!options.has(name))
        return true;
    instant = parseCalendar(options.value(name));
    if (!instant)
        error =
            std::string("--") + name +
            " needs a UTC instant such as 2026-03-19T12:00:00.250Z or a date such as 2026-03-19, "
            "got '" +
            options.value(name) + "'";
    return instant.has_value();
}

bool readElementSets(const CommandOptions& options, std::size_t limit, Catalogue& catalogue,
                     std::string& error) {
    const std::string path = options.has("tle") ? options.value("tle") : kCatalogueFileName;
    ElementSetForm form = ElementSetForm::None;
    if (const FileResult read =
            readElementSetFile(QString::fromLocal8Bit(path.c_str()), limit, catalogue, &form);
        !read)
        error = describeFileFault(path, read, kMaxElementSetFileBytes);
    else if (form == ElementSetForm::None)
        error = path + " holds no element sets in a known form.";
    else
        return true;
    return false;
}
