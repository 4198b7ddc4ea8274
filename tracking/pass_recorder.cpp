#include "tracking/pass_recorder.h"

#include "astro/calendar.h"
#include "astro/file_io.h"
#include "astro/time_scales.h"

#include <QDir>
#include <QFile>

#include <algorithm>
#include <cmath>

void AxisErrorStatistics::add(double arcsec) {
    if (!std::isfinite(arcsec))
        return;
    ++count;
    sumOfSquares += arcsec * arcsec;
    peak = std::max(peak, std::fabs(arcsec));
}

double AxisErrorStatistics::rms() const {
    return count == 0 ? 0.0 : std::sqrt(sumOfSquares / double(count));
}

PassRecorder::PassRecorder(const TimeScales& scales, QString folder,
                           std::function<SatelliteFix(long)> fix, QObject* parent)
    : QObject(parent), scales(scales), folder(std::move(folder)), fix(std::move(fix)) {}

void PassRecorder::follow(long catalogueNumber, double timeOffsetSeconds) {
    number = catalogueNumber;
    offsetSeconds = timeOffsetSeconds;
}

void PassRecorder::beginPass() {
    endPass();
    recording = true;
    passNumber = number;
    passOffsetSeconds = offsetSeconds;
    startJd = fix(passNumber).jd;
    mountFollows = false;
    kept.clear();
    first = {};
    second = {};
    emit passBegan();
    emit samplesChanged();
}

void PassRecorder::addReading(char stateCode, double firstErrorArcsec, double secondErrorArcsec) {
    if (!recording)
        return;
    const SatelliteFix where = fix(passNumber);
    kept.push_back({where.jd, stateCode, firstErrorArcsec, secondErrorArcsec, where.altitudeDeg,
                    where.azimuthDeg});
    if (stateCode == 'T') {
        first.add(firstErrorArcsec);
        second.add(secondErrorArcsec);
    }
    emit samplesChanged();
    // A mount may still say it follows nothing right after it took the slew.
    mountFollows = mountFollows || QByteArrayLiteral("SVPT").contains(stateCode);
    if (mountFollows && (stateCode == 'Q' || stateCode == 'E')) {
        endPass();
    } else if (kept.size() >= kMaxSamples) {
        endPass();
        beginPass();
    }
}

void PassRecorder::endPass() {
    if (!recording)
        return;
    recording = false;
    if (!kept.empty())
        write();
}

static QByteArray field(double value, int decimals) {
    return std::isfinite(value) ? QByteArray::number(value, 'f', decimals) : QByteArray();
}

QByteArray PassRecorder::csv() const {
    QByteArray text = "utc,status,first_axis_error_arcsec,second_axis_error_arcsec,altitude_deg,"
                      "azimuth_deg,time_offset_s\n";
    const QByteArray offset = field(passOffsetSeconds, 3);
    for (const PassSample& s : kept) {
        text += QByteArray::fromStdString(
                    formatCalendar(scales.utcCalendarFromJd(s.jd), CalendarFormat::Iso)) +
                ',' + s.state + ',' + field(s.firstErrorArcsec, 3) + ',' +
                field(s.secondErrorArcsec, 3) + ',' + field(s.altitudeDeg, 6) + ',' +
                field(s.azimuthDeg, 6) + ',' + offset + '\n';
    }
    return text;
}

void PassRecorder::write() {
    const CalendarTime c = scales.utcCalendarFromJd(startJd);
    const QString name =
        QString::asprintf("%04d%02d%02d-%02d%02d%02d-%ld.csv", int(c.year), int(c.month),
                          int(c.day), int(c.hour), int(c.minute), int(c.second), passNumber);
    const QString path = QDir(folder).filePath(name);
    const QString shown = QDir::toNativeSeparators(path);
    const QByteArray text = csv();
    if (!QDir().mkpath(folder)) {
        emit logEvent(tr("Could not write the pass record %1.").arg(shown), LogLevel::Error);
        return;
    }
    const FileResult written = writeFileWhole(QFile::encodeName(path).toStdString(),
                                              std::string_view(text.constData(), text.size()));
    if (!written) {
        emit logEvent(tr("Could not write the pass record %1: %2.")
                          .arg(shown, written.fault == FileResult::NotAFile
                                          ? tr("not a regular file")
                                          : QString::fromLocal8Bit(written.systemReason.c_str())),
                      LogLevel::Error);
        return;
    }
    if (first.count == 0 && second.count == 0) {
        emit logEvent(tr("Pass record: %1 (no tracking errors read).").arg(shown), LogLevel::Info);
        return;
    }
    emit logEvent(tr("Pass record: %1 (RMS %2\", %3\").")
                      .arg(shown, QString::number(first.rms(), 'f', 1),
                           QString::number(second.rms(), 'f', 1)),
                  LogLevel::Info);
}
