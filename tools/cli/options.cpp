#include "tools/cli/options.h"

#include "astro/csv.h"
#include "astro/text_numbers.h"
#include "catalogue/omm_reader.h"
#include "sky/observing_sites.h"

#include <QFile>

#include <cmath>
#include <cstdio>

namespace {

// Latin-1 maps every byte to one character and back, so file names and other values pass
// unchanged whatever their encoding; option names are plain ASCII.
QString fromBytes(const std::string& text) {
    return QString::fromLatin1(text.data(), int(text.size()));
}

std::string toBytes(const QString& text) {
    return text.toLatin1().toStdString();
}

} // namespace

CommandOptions::CommandOptions(const std::vector<OptionRule>& rules) : rules_(rules) {
    for (const OptionRule& rule : rules_)
        parser_.addOption(rule.takesValue
                              ? QCommandLineOption(fromBytes(rule.name), QString(), "value")
                              : QCommandLineOption(fromBytes(rule.name)));
}

const OptionRule* CommandOptions::rule(const std::string& name) const {
    for (const OptionRule& r : rules_)
        if (r.name == name)
            return &r;
    return nullptr;
}

bool CommandOptions::parse(const std::vector<std::string>& args, std::string& error) {
    // QCommandLineParser would take a single-dash word for an option and report its faults
    // only after reading everything, in words of its own. Scripts know single-dash words as
    // arguments and the message of the first fault, so the words are sorted and checked here
    // in order, and the parser reads the options and their values.
    positional_.clear();
    QStringList options{QStringLiteral("orbitrak-cli")};
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg.size() < 3 || arg.compare(0, 2, "--") != 0) {
            if (arg == "--")
                optionsEnded = true;
            else
                positional_.push_back(arg);
            continue;
        }
        const std::size_t eq = arg.find('=');
        const std::string name =
            arg.substr(2, eq == std::string::npos ? std::string::npos : eq - 2);
        const OptionRule* found = rule(name);
        if (!found) {
            error = "unknown option --" + name;
            return false;
        }
        if (!found->takesValue && eq != std::string::npos) {
            error = "option --" + name + " takes no value";
            return false;
        }
        options << fromBytes(arg);
        if (found->takesValue && eq == std::string::npos) {
            if (i + 1 == args.size()) {
                error = "option --" + name + " needs a value";
                return false;
            }
            options << fromBytes(args[++i]);
        }
    }
    if (!parser_.parse(options)) {
        error = toBytes(parser_.errorText());
        return false;
    }
    return true;
}

bool CommandOptions::has(const std::string& name) const {
    return parser_.isSet(fromBytes(name));
}

std::string CommandOptions::value(const std::string& name) const {
    const QStringList all = parser_.values(fromBytes(name));
    return all.isEmpty() ? std::string() : toBytes(all.back());
}

std::vector<std::string> CommandOptions::values(const std::string& name) const {
    std::vector<std::string> all;
    for (const QString& value : parser_.values(fromBytes(name)))
        all.push_back(toBytes(value));
    return all;
}

bool parseNumber(const std::string& text, double& value) {
    return readNumber(text, value);
}

bool parseNumberList(const std::string& text, std::vector<double>& values) {
    const std::optional<std::vector<std::string>> items = csvFields(text);
    if (!items)
        return false;
    std::vector<double> parsed(items->size());
    for (std::size_t i = 0; i < items->size(); ++i) {
        if (!readNumber((*items)[i], parsed[i]))
            return false;
    }
    values = parsed;
    return true;
}

bool readNumber(const CommandOptions& options, const char* name, double low, double high,
                double& value, std::string& error) {
    if (!options.has(name))
        return true;
    if (!parseNumber(options.value(name), value) || value < low || value > high) {
        error = std::string("--") + name + " needs a number from " + fixed(low, 0) + " to " +
                fixed(high, 0) + ", got '" + options.value(name) + "'";
        return false;
    }
    return true;
}

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
    const HorizonFileRead read = readHorizonMaskFile(QString::fromLocal8Bit(path.c_str()), mask);
    if (read.problem == HorizonFileProblem::BadLine)
        error = "'" + path + "', line " + std::to_string(read.badLine) +
                ": expected an azimuth and an altitude in degrees";
    else if (read.problem != HorizonFileProblem::None)
        error = describeFileFault(path, read.file, HorizonMask::kMaxFileBytes);
    return read.problem == HorizonFileProblem::None;
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

std::string fixed(double value, int decimals) {
    if (!std::isfinite(value))
        return std::string();
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

bool readElementSets(const std::string& path, std::size_t limit, Catalogue& catalogue,
                     std::string& error) {
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
