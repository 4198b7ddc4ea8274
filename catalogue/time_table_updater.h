#pragma once

#include "astro/utc_table.h"
#include "catalogue/catalogue_updater.h"

struct FinalsFault;

// Bulletin A comes out weekly: the table is refreshed at most this often.
constexpr qint64 kTimeTableIntervalSecs = 7 * 86400;
// A whole finals2000A.all is about 3.5 MB and nobody waits for it.
constexpr int kTimeTableTimeoutMs = 120000;

// Why a finals2000A file was refused, in words.
QString finalsFaultText(const FinalsFault& fault);

// Keeps the time table current: downloads a finals2000A file through the catalogue's downloader
// (its kept copy, conditional requests, host pauses, User-Agent and bounds), builds the table
// that continues the one in use and writes it whole as user_utc.bin, which the next start
// prefers when it is newer. A file that fails any check changes nothing.
class TimeTableUpdater : public QObject {
    Q_OBJECT

public:
    explicit TimeTableUpdater(QObject* parent = nullptr);

    void setCacheFolder(const QString& folder);
    void setClock(std::function<QDateTime()> clock);
    void setLimits(CatalogueUpdater::Limits limits) { downloader->setLimits(limits); }

    // Starts a refresh and returns true, unless the source is empty, was asked within
    // kTimeTableIntervalSecs, its host is paused, or no table is in use to continue (its leap
    // seconds are the history the file extends). finished() comes later, from the event loop.
    bool refreshIfDue(const QString& source, const UtcTable* inUse, const QString& targetFile);
    bool isRunning() const { return downloader->isRunning(); }
    // The log lines of the last refresh, and whether it wrote the file.
    const QVector<UpdateMessage>& messages() const { return messages_; }
    bool replaced() const { return replaced_; }

signals:
    void finished();

private:
    QString check(const QByteArray& body);
    void onDownloaded();

    CatalogueUpdater* downloader;
    QString cacheFolder;
    std::function<QDateTime()> now;
    UtcTable history;
    QString source, target;
    UtcTable built; // by the last check that passed
    QVector<UpdateMessage> messages_;
    bool replaced_ = false;
};
