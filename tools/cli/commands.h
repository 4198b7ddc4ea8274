#pragma once

// The commands of orbitrak-cli. Each takes the arguments after its name and returns the exit
// status: 0 done, 1 output could not be written, 2 bad arguments or unreadable input (with one
// line on standard error).

#include "astro/time_scales.h"

#include <cstdio>
#include <string>
#include <vector>

int runPropagate(const std::vector<std::string>& args);
int runSky(const std::vector<std::string>& args);
// Exit status 0 replaced, 1 a source failed (the file untouched), 2 bad arguments.
int runUpdate(const std::vector<std::string>& args);
int runPasses(const std::vector<std::string>& args);
int runTransits(const std::vector<std::string>& args);
// Exit status 0 a set written, 1 none (or output not written), 2 bad arguments.
int runConvert(const std::vector<std::string>& args);

// Writes "orbitrak-cli: <message>" as one line to standard error and returns 2.
int usageError(const std::string& message);

// Flushes standard output; 0 if everything written got out, else a message and 1.
int finishOutput();

// The working directory's time table, its start-up lines written to `out` as they stand.
TimeScales loadTimeScales(std::FILE* out);
