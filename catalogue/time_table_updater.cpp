#include "catalogue/time_table_updater.h"

#include "astro/finals.h"
#include "catalogue/file_access.h"
#include "catalogue/update_settings.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <string_view>

namespace {

constexpr double kUnixEpochMjd = 40587.0;

QString isoDate(const CalendarTime& c) {
    return QDate(c.year, c.month, c.day).toString(Qt::ISODate);
}

QString mjdText(std::int32_t mjd) {
    return isoDate(mjdDate(mjd));
}

int compareDates(const CalendarTime& a, const CalendarTime& b) {
    return compareCalendar(makeCalendar(a.year, a.month, a.day),
                           makeCalendar(b.year, b.month, b.day));
}

} // namespace

QString finalsFaultText(const FinalsFault& fault) {
    switch (fault.kind) {
    case FinalsFault::None:
        break;
    case FinalsFault::EndsMidLine:
        return TimeTableUpdater::tr("the file ends in the middle of a line");
    case FinalsFault::BadColumns:
        return TimeTableUpdater::tr("line %1: the date, MJD or UT1-UTC columns cannot be read")
            .arg(fault.line);
    case FinalsFault::DateMismatch:
        return TimeTableUpdater::tr("line %1: the date is not that of MJD %2")
            .arg(fault.line)
            .arg(fault.mjd);
    case FinalsFault::NotConsecutive:
        return TimeTableUpdater::tr("line %1: MJD %2 does not follow the line before")
            .arg(fault.line)
            .arg(fault.mjd);
    case FinalsFault::OutOfRange:
        return TimeTableUpdater::tr("line %1: UT1-UTC of %2 s is out of range")
            .arg(fault.line)
            .arg(fault.value, 0, 'f', 4);
    case FinalsFault::ObservedAfterPredicted:
        return TimeTableUpdater::tr("line %1: observed values after predicted ones")
            .arg(fault.line);
    case FinalsFault::ValuesAfterEnd:
        return TimeTableUpdater::tr("line %1: values after rows without them").arg(fault.line);
    case FinalsFault::TooFewObserved:
        return TimeTableUpdater::tr("%1 observed days, at least %2 are needed")
            .arg(fault.value, 0, 'f', 0)
            .arg(kMinFinalsObservedDays);
    case FinalsFault::ImplausibleDate:
        return TimeTableUpdater::tr("the observed values end on %1, which cannot be right")
            .arg(mjdText(fault.mjd));
    case FinalsFault::BeforeHistory:
        return TimeTableUpdater::tr("the file starts on %1, before the leap-second history")
            .arg(mjdText(fault.mjd));
    case FinalsFault::UnexpectedJump:
        return TimeTableUpdater::tr("UT1-UTC jumps by %1 s on %2")
            .arg(fault.value, 0, 'f', 4)
            .arg(mjdText(fault.mjd));
    case FinalsFault::MissingLeapStep:
        return TimeTableUpdater::tr("UT1-UTC does not step at the leap second of %1")
            .arg(mjdText(fault.mjd));
    }
    return QString();
}

TimeTableUpdater::TimeTableUpdater(QObject* parent)
    : QObject(parent), downloader(new CatalogueUpdater(this)), cacheFolder(updateCacheFolder()),
      now([] { return QDateTime::currentDateTimeUtc(); }) {
    downloader->setLimits({kMaxSourceBytes, kTimeTableTimeoutMs});
    downloader->setBodyCheck([this](const QByteArray& body) { return check(body); });
    connect(downloader, &CatalogueUpdater::finished, this, &TimeTableUpdater::onDownloaded);
}

void TimeTableUpdater::setCacheFolder(const QString& folder) {
    cacheFolder = folder;
    downloader->setCacheFolder(folder);
}

void TimeTableUpdater::setClock(std::function<QDateTime()> clock) {
    now = clock;
    downloader->setClock(std::move(clock));
}

bool TimeTableUpdater::refreshIfDue(const QString& source_, const UtcTable* inUse,
                                    const QString& targetFile) {
    if (downloader->isRunning() || source_.trimmed().isEmpty() || !inUse || inUse->leaps.empty())
        return false;
    const QDateTime at = now();
    const QDateTime asked = CatalogueUpdater::lastAsked(source_, cacheFolder);
    // An attempt dated ahead of the clock tells of a clock set back, not of a recent attempt.
    if (asked.isValid() && asked <= at.addSecs(86400) && asked.secsTo(at) < kTimeTableIntervalSecs)
        return false;
    // The pause was told as it began.
    if (!CatalogueUpdater::pausedHosts({source_}, cacheFolder, at).isEmpty())
        return false;
    source = source_;
    target = targetFile;
    history = *inUse;
    messages_.clear();
    replaced_ = false;
    return downloader->start({source}, QString());
}

QString TimeTableUpdater::check(const QByteArray& body) {
    std::vector<FinalsDay> days;
    FinalsFault fault;
    const double nowMjd = double(now().toMSecsSinceEpoch()) / 86400000.0 + kUnixEpochMjd;
    if (!readFinals2000A(std::string_view(body.constData(), std::size_t(body.size())), days,
                         fault) ||
        !buildTableFromFinals(history, days, nowMjd, built, fault))
        return finalsFaultText(fault);
    return QString();
}

void TimeTableUpdater::onDownloaded() {
    const UpdateOutcome& outcome = downloader->outcome();
    messages_ = updateMessages(outcome);
    if (outcome.bodies.isEmpty()) {
        emit finished();
        return;
    }
    // The table in use, or one written since it was read, may be as new.
    CalendarTime newest = history.tableDate;
    if (const std::optional<UtcTable> written =
            loadUtcFile(QFile::encodeName(target).toStdString()))
        newest = compareDates(written->tableDate, newest) > 0 ? written->tableDate : newest;
    if (compareDates(built.tableDate, newest) <= 0) {
        messages_.append({LogLevel::Info, tr("The time table from %1 holds nothing newer than %2.")
                                              .arg(source, isoDate(newest))});
        emit finished();
        return;
    }
    QDir().mkpath(QFileInfo(target).absolutePath());
    if (const FileResult written = writeUtcFile(QFile::encodeName(target).toStdString(), built)) {
        replaced_ = true;
        messages_.append(
            {LogLevel::Info, tr("Time table updated to %1.").arg(isoDate(built.tableDate))});
    } else {
        messages_.append({LogLevel::Error, fileFaultText(target, written)});
    }
    emit finished();
}
