#pragma once

#include <QProcess>
#include <QSignalSpy>
#include <QStringList>

// What a program run to its end said, and how it ended (-1: it did not start, crashed or did not
// finish in time).
struct ProgramRun {
    int exitCode = -1;
    QByteArray out, err;
};

// Runs a program in the given folder (default: this one). The event loop turns while it runs, so
// that it may talk to a server of the test.
inline ProgramRun runProgram(const QString& program, const QStringList& arguments,
                             const QString& folder = {}, int patienceMs = 60000) {
    qRegisterMetaType<QProcess::ExitStatus>();
    QProcess process;
    process.setWorkingDirectory(folder);
    QSignalSpy finished(&process, qOverload<int, QProcess::ExitStatus>(&QProcess::finished));
    process.start(program, arguments);
    ProgramRun run;
    if (process.waitForStarted(patienceMs) && finished.wait(patienceMs) &&
        process.exitStatus() == QProcess::NormalExit)
        run = {process.exitCode(), process.readAllStandardOutput(), process.readAllStandardError()};
    return run;
}
