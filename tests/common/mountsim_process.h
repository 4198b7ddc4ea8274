#pragma once

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStringList>

#include <memory>

// orbitrak-mountsim run by a test as a separate process (the test defines ORBITRAK_MOUNTSIM,
// its path). It starts on a free port, or the one given, and names it on its first line of
// output; it is killed when this object goes.
class MountSimProcess {
public:
    ~MountSimProcess() { stop(); }

    // Returns the port it listens on, or 0 when it did not start.
    quint16 start(const QStringList& options, const QString& log, quint16 port = 0,
                  int patienceMs = 20000) {
        stop();
        process = std::make_unique<QProcess>();
        process->start(QStringLiteral(ORBITRAK_MOUNTSIM),
                       options + QStringList{"--port", QString::number(port), "--log", log});
        if (!process->waitForStarted(patienceMs))
            return 0;
        while (!process->canReadLine()) {
            if (!process->waitForReadyRead(patienceMs))
                return 0;
        }
        const QRegularExpressionMatch match =
            QRegularExpression("^listening on 127\\.0\\.0\\.1:(\\d+)$")
                .match(QString::fromLatin1(process->readLine()).trimmed());
        return match.hasMatch() ? quint16(match.captured(1).toUInt()) : 0;
    }

    void stop() {
        if (!process)
            return;
        process->kill();
        process->waitForFinished(5000);
        process.reset();
    }

    explicit operator bool() const { return bool(process); }
    QProcess* operator->() const { return process.get(); }

private:
    std::unique_ptr<QProcess> process;
};

// The lines of a stand-in's log that start with the prefix: ":" for the commands it received.
inline QStringList mountSimLog(const QString& path, const QString& prefix) {
    QFile file(path);
    QStringList lines;
    if (file.open(QIODevice::ReadOnly))
        lines = QString::fromLatin1(file.readAll())
                    .split('\n')
                    .filter(QRegularExpression("^" + QRegularExpression::escape(prefix)));
    return lines;
}
