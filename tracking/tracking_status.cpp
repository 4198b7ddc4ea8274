#include "tracking/tracking_status.h"

#include "mount/reply_fields.h"

#include <QCoreApplication>

#include <cmath>

static constexpr double arcSecondsPerDegree = 3600.0;

std::optional<QString> trackingStatusFromReply(const QByteArray& reply) {
    if (reply.isEmpty())
        return std::nullopt;
    // The window's texts are translated under its own name.
    const char* const context = "MainWindow";
    switch (reply[0]) {
    case 'E':
        return QCoreApplication::translate(context, "No transit tracking requested");
    case 'P':
        return QCoreApplication::translate(context, "Waiting for transit");
    case 'Q':
        return QCoreApplication::translate(context, "Transit ended");
    case 'S':
        return QCoreApplication::translate(context, "Slewing to catch satellite");
    case 'T':
        return QCoreApplication::translate(context, "Tracking satellite");
    case 'V':
        return QCoreApplication::translate(context, "Slewing to start of transit");
    default:
        return std::nullopt;
    }
}

// Infinity and NaN parse as numbers in Qt, but would show as "inf" arc-seconds.
static std::optional<double> errorDegrees(const QString& field) {
    bool ok = false;
    const double value = field.toDouble(&ok);
    if (!ok || !std::isfinite(value) || !std::isfinite(value * arcSecondsPerDegree))
        return std::nullopt;
    return value;
}

AxisErrorReading readAxisErrors(const QByteArray& reply) {
    AxisErrorReading reading;
    const QStringList fields = splitFields(QString::fromLatin1(reply), QStringLiteral(","), true);
    if (fields.size() < 5)
        return reading;
    const std::optional<double> first = errorDegrees(fields[2]);
    const std::optional<double> second = errorDegrees(fields[4]);
    if (!first || !second) {
        reading.outcome = AxisErrorReading::NotNumbers;
        return reading;
    }
    reading.outcome = AxisErrorReading::Numbers;
    reading.firstDegrees = *first;
    reading.secondDegrees = *second;
    return reading;
}

QString statusLineWithErrors(const QString& state, double firstDegrees, double secondDegrees) {
    return state + QStringLiteral("  errors: ") +
           QString::number(firstDegrees * arcSecondsPerDegree, 'f', 2) + QStringLiteral("\", ") +
           QString::number(secondDegrees * arcSecondsPerDegree, 'f', 2) + QLatin1Char('"');
}
