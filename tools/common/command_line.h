#pragma once

// The option layer of Orbitrak's command-line programs. Each option is declared once, with its
// value's name and its help text, and read either strictly by CommandOptions (orbitrak-cli:
// "--name value" and "--name=value"; an option declared to take a value takes the next argument
// whatever it looks like, so negative numbers pass: "--lon -147.72"; "--" ends the options) or
// by Qt's parser (orbitrak-mountsim, whose help and messages are Qt's).

#include <QCommandLineParser>

#include <cstddef>
#include <string>
#include <vector>

struct OptionSpec {
    const char* name;        // without the leading "--"
    const char* valueName;   // what its value is ("FILE"); nullptr for an option without one
    const char* description; // for orbitrak-cli lines broken by hand, one '\n' between them
    const char* defaultValue = nullptr; // what Qt's parser gives when it is not set

    bool takesValue() const { return valueName != nullptr; }
    // The same option, told differently in one program's help.
    constexpr OptionSpec describedAs(const char* text) const {
        return {name, valueName, text, defaultValue};
    }
};

// The options' lines of a help text: "  --name VALUE", the description from the given column
// (on a line of its own when the name reaches it), its further lines indented as far.
std::string optionsHelp(const std::vector<OptionSpec>& options, std::size_t column);

// The options for Qt's parser, in the given order.
QList<QCommandLineOption> qtOptions(const std::vector<OptionSpec>& options);

class CommandOptions {
public:
    explicit CommandOptions(const std::vector<OptionSpec>& options);

    // Reads the arguments after the command name. On failure returns false with a one-line
    // message ("unknown option --x", "option --tle needs a value", ...).
    bool parse(const std::vector<std::string>& args, std::string& error);

    bool has(const std::string& name) const;
    // The value given last, or an empty string.
    std::string value(const std::string& name) const;
    // Every value given, in order (an option that may be repeated).
    std::vector<std::string> values(const std::string& name) const;
    const std::vector<std::string>& positional() const { return positional_; }

private:
    const OptionSpec* option(const std::string& name) const;

    std::vector<OptionSpec> options_;
    QCommandLineParser parser_;
    std::vector<std::string> positional_;
};

// A finite decimal number that fills the whole text ("-147.72", "+5", "1e3"), read the same
// in every locale.
bool parseNumber(const std::string& text, double& value);

// Comma-separated numbers ("-1440,0,1440"); blanks around each number are allowed, empty items
// are not.
bool parseNumberList(const std::string& text, std::vector<double>& values);

// Reads --name into value when given: a number from low to high, else false with a message.
bool readNumber(const CommandOptions& options, const char* name, double low, double high,
                double& value, std::string& error);

// Number texts as the window shows them: fixed notation, C locale, empty for no value.
std::string fixed(double value, int decimals);
