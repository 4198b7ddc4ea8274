// orbitrak-cli: the orbit and sky computations of Orbitrak from the command line.
#include "orbitrak_version.h"
#include "tools/cli/commands.h"
#include "tools/cli/options.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

void printHelp(const std::vector<Command>& commands) {
    std::printf("Usage: orbitrak-cli <command> [options]\n"
                "       orbitrak-cli <command> --help\n"
                "       orbitrak-cli --version\n\n"
                "Commands:\n");
    for (const Command& c : commands)
        std::printf("  %-12s %s\n", c.name, c.summary);
}

int run(const Command& command, const std::vector<std::string>& args) {
    std::vector<OptionSpec> declared = command.options;
    declared.push_back(kHelpOption);
    CommandOptions options(declared);
    std::string error;
    if (!options.parse(args, error))
        return usageError(std::string(command.name) + ": " + error);
    if (options.has("help")) {
        std::fputs(command.usage, stdout);
        std::printf("Options:\n%s\n%s", optionsHelp(declared, command.column).c_str(),
                    command.closing);
        return finishOutput();
    }
    if (command.positionals != kJudgesArguments)
        if (const int refused = refuseExtraArguments(command.name, options, command.positionals))
            return refused;
    return command.run(options);
}

} // namespace

int usageError(const std::string& message) {
    std::fprintf(stderr, "orbitrak-cli: %s\n", message.c_str());
    return 2;
}

int refuseExtraArguments(const char* command, const CommandOptions& options, std::size_t allowed) {
    if (options.positional().size() <= allowed)
        return 0;
    return usageError(std::string(command) + ": unexpected argument '" +
                      options.positional()[allowed] + "'");
}

int finishOutput() {
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::fprintf(stderr, "orbitrak-cli: cannot write the output\n");
        return 1;
    }
    return 0;
}

TimeScales loadTimeScales(std::FILE* out) {
    std::string report;
    TimeScales scales = TimeScales::fromFolders({""}, &report);
    std::fputs(report.c_str(), out);
    std::fflush(out);
    return scales;
}

int main(int argc, char** argv) {
    if (argc < 2)
        return usageError("no command given (see orbitrak-cli --help)");
    const std::vector<Command> commands = {propagateCommand(), skyCommand(),      updateCommand(),
                                           passesCommand(),    transitsCommand(), convertCommand(),
                                           trackCommand()};
    const std::string name = argv[1];
    if (name == "--help" || name == "-h" || name == "help") {
        printHelp(commands);
        return finishOutput();
    }
    if (name == "--version") {
        std::printf("orbitrak-cli %s\n", ORBITRAK_VERSION);
        return finishOutput();
    }
    for (const Command& c : commands)
        if (name == c.name)
            return run(c, std::vector<std::string>(argv + 2, argv + argc));
    return usageError("unknown command '" + name + "' (see orbitrak-cli --help)");
}
