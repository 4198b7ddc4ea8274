#include "tools/common/command_line.h"

#include "astro/csv.h"
#include "astro/text_numbers.h"

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

std::string optionsHelp(const std::vector<OptionSpec>& options, std::size_t column) {
    std::string help;
    for (const OptionSpec& option : options) {
        std::string label = std::string("  --") + option.name;
        if (option.takesValue())
            label += std::string(" ") + option.valueName;
        help += label.size() < column ? label + std::string(column - label.size(), ' ')
                                      : label + '\n' + std::string(column, ' ');
        for (const char* c = option.description; *c; ++c) {
            help += *c;
            if (*c == '\n')
                help += std::string(column, ' ');
        }
        help += '\n';
    }
    return help;
}

QList<QCommandLineOption> qtOptions(const std::vector<OptionSpec>& options) {
    QList<QCommandLineOption> qt;
    for (const OptionSpec& option : options)
        qt << (option.takesValue() ? QCommandLineOption(QString::fromLatin1(option.name),
                                                        QString::fromLatin1(option.description),
                                                        QString::fromLatin1(option.valueName),
                                                        QString::fromLatin1(option.defaultValue))
                                   : QCommandLineOption(QString::fromLatin1(option.name),
                                                        QString::fromLatin1(option.description)));
    return qt;
}

CommandOptions::CommandOptions(const std::vector<OptionSpec>& options) : options_(options) {
    for (const OptionSpec& option : options_)
        parser_.addOption(option.takesValue()
                              ? QCommandLineOption(fromBytes(option.name), QString(), "value")
                              : QCommandLineOption(fromBytes(option.name)));
}

const OptionSpec* CommandOptions::option(const std::string& name) const {
    for (const OptionSpec& o : options_)
        if (o.name == name)
            return &o;
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
        const OptionSpec* found = option(name);
        if (!found) {
            error = "unknown option --" + name;
            return false;
        }
        if (!found->takesValue() && eq != std::string::npos) {
            error = "option --" + name + " takes no value";
            return false;
        }
        options << fromBytes(arg);
        if (found->takesValue() && eq == std::string::npos) {
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

std::string fixed(double value, int decimals) {
    if (!std::isfinite(value))
        return std::string();
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}
