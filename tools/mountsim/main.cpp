// orbitrak-mountsim: a stand-in for the Halvstar mount, for tests and for trying the program
// without hardware.
#include "orbitrak_version.h"
#include "tools/mountsim/sim_options.h"
#include "tools/mountsim/sim_server.h"
#include "tools/mountsim/simulated_mount.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QHostAddress>

#include <cstdio>

static int fail(const QString& message) {
    std::fprintf(stderr, "orbitrak-mountsim: %s\n", qPrintable(message));
    return 2;
}

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("orbitrak-mountsim"));
    QCoreApplication::setApplicationVersion(QStringLiteral(ORBITRAK_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(QString::fromLatin1(kSimDescription));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOptions(qtOptions(simOptions()));
    parser.process(app);
    SimSetup setup;
    QString error;
    if (!readSimSetup(parser, setup, error))
        return fail(error);

    QFile log;
    if (setup.logToFile) {
        log.setFileName(setup.logFile);
        if (!log.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return fail("cannot write the log " + setup.logFile + ": " + log.errorString());
    } else if (!log.open(stderr, QIODevice::WriteOnly)) {
        return fail("cannot write to standard error");
    }

    SimulatedMount mount(setup.config);
    SimServer server(mount, setup.misbehaviour, log);
    if (!server.listen(setup.address, setup.port))
        return fail("cannot listen on " + setup.address.toString() + " port " +
                    QString::number(setup.port) + ": " + server.errorString());

    const QHostAddress bound = server.serverAddress();
    const QString shown = bound.protocol() == QAbstractSocket::IPv6Protocol
                              ? '[' + bound.toString() + ']'
                              : bound.toString();
    std::printf("listening on %s:%u\n", qPrintable(shown), unsigned(server.serverPort()));
    std::fflush(stdout);
    return app.exec();
}
