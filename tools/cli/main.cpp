// orbitrak-cli: the orbit and sky computations of Orbitrak from the command line.
#include "orbitrak_version.h"
#include "tools/cli/commands.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct Command {
    const char* name;
    const char* summary;
    int (*run)(const std::vector<std::string>& args);
};

const Command kCommands[] = {
    {"propagate", "positions and velocities of element sets at minutes from their epochs (CSV)",
     runPropagate},
    {"sky", "the live satellite table for one instant and site, as the window shows it", runSky},
    {"update", "fresh element sets from the settings' sources or given URLs", runUpdate},
    {"passes", "the passes of every satellite over a site within a time window", runPasses},
    {"transits",
     "satellites crossing the Sun or the Moon as seen from a site, with the centre line",
     runTransits},
    {"convert", "element sets from any of TLE, JSON, CSV, XML and KVN to any other", runConvert},
};

void printHelp(std::FILE* out) {
    std::fprintf(out, "Usage: orbitrak-cli <command> [options]\n"
                      "       orbitrak-cli <command> --help\n"
                      "       orbitrak-cli --version\n\n"
                      "Commands:\n");
    for (const Command& c : kCommands)
        std::fprintf(out, "  %-12s %s\n", c.name, c.summary);
}

} // namespace

int usageError(const std::string& message) {
    std::fprintf(stderr, "orbitrak-cli: %s\n", message.c_str());
    return 2;
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
    const std::string name = argv[1];
    if (name == "--help" || name == "-h" || name == "help") {
        printHelp(stdout);
        return finishOutput();
    }
    if (name == "--version") {
        std::printf("orbitrak-cli %s\n", ORBITRAK_VERSION);
        return finishOutput();
    }
    for (const Command& c : kCommands)
        if (name == c.name)
            return c.run(std::vector<std::string>(argv + 2, argv + argc));
    return usageError("unknown command '" + name + "' (see orbitrak-cli --help)");
}
