#pragma once

// The options of orbitrak-mountsim, declared in the tools' option layer and read with Qt's
// parser, whose help and messages the program gives.

#include "tools/common/command_line.h"
#include "tools/mountsim/sim_server.h"
#include "tools/mountsim/simulated_mount.h"

#include <QHostAddress>

#include <vector>

// The program's description in its help.
extern const char kSimDescription[];

// What the options ask for.
struct SimSetup {
    QHostAddress address;
    quint16 port = 0;
    SimulatedMount::Config config;
    Misbehaviour misbehaviour;
    bool logToFile = false;
    QString logFile;
};

// In the order the help lists them.
std::vector<OptionSpec> simOptions();

// Reads the options parser has read into setup; false with the message for the first that
// does not read.
bool readSimSetup(const QCommandLineParser& parser, SimSetup& setup, QString& error);
