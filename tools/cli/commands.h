#pragma once

// The commands of orbitrak-cli, one table entry each. main.cpp reads the options an entry
// declares, answers --help with its help and refuses positional arguments beyond those it
// takes; then the entry runs and returns the exit status: 0 done, 1 output could not be
// written, 2 bad arguments or unreadable input (with one line on standard error).

#include "astro/time_scales.h"
#include "tools/common/command_line.h"

#include <cstddef>
#include <cstdio>
#include <string>
#include <vector>

struct Command {
    const char* name;
    const char* summary; // its line in orbitrak-cli --help
    // How many positional arguments it takes; with kJudgesArguments it judges them itself.
    std::size_t positionals;
    int (*run)(const CommandOptions& options);
    // Its help: usage and description, then "Options:" and the options' lines with their
    // descriptions from the given column, then a blank line and the closing lines.
    std::size_t column;
    const char* usage;
    std::vector<OptionSpec> options; // --help comes last of its own accord
    const char* closing;
};

constexpr std::size_t kJudgesArguments = std::size_t(-1);

Command propagateCommand();
Command skyCommand();
Command updateCommand();
Command passesCommand();
Command transitsCommand();
Command convertCommand();
Command trackCommand();

int runPropagate(const CommandOptions& options);
int runSky(const CommandOptions& options);
// Exit status 0 replaced, 1 a source failed (the file untouched), 2 bad arguments.
int runUpdate(const CommandOptions& options);
int runPasses(const CommandOptions& options);
int runTransits(const CommandOptions& options);
// Exit status 0 a set written, 1 none (or output not written), 2 bad arguments.
int runConvert(const CommandOptions& options);
int runTrack(const CommandOptions& options);

// Writes "orbitrak-cli: <message>" as one line to standard error and returns 2.
int usageError(const std::string& message);

// "unexpected argument" for the first positional argument beyond the first allowed: 2 with
// the message; 0 when there is none.
int refuseExtraArguments(const char* command, const CommandOptions& options, std::size_t allowed);

// Flushes standard output; 0 if everything written got out, else a message and 1.
int finishOutput();

// The working directory's time table, its start-up lines written to `out` as they stand.
TimeScales loadTimeScales(std::FILE* out);
