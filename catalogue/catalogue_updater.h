#pragma once

#include "astro/log_level.h"
#include "catalogue/element_set_merge.h"

#include <QByteArray>
#include <QDateTime>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QUrl>
#include <QVector>

#include <functional>
#include <vector>

class QNetworkAccessManager;
class QNetworkReply;

// Bounds of one source: a body larger than this, or an answer not complete within this time,
// fails the source.
constexpr qint64 kMaxSourceBytes = 20 * 1024 * 1024;
constexpr int kSourceTimeoutMs = 30000;
// What Qt may hold of an answer that has not been read yet.
constexpr qint64 kReplyBufferBytes = 256 * 1024;
// The public element-set services change their data at most this often and ask clients not to
// ask sooner; a host that refused (403, 429, 5xx) is left alone this long.
constexpr qint64 kSourceFreshSecs = 2 * 3600;
constexpr qint64 kRefusalPauseSecs = 24 * 3600;

// The event-log lines of an update, the same for the window and the command line.
struct UpdateMessage {
    LogLevel level;
    QString text;
};

// A host left alone after it refused: until when, and the status it answered.
struct HostPause {
    QString host;
    int status = 0;
    QDateTime until; // UTC
};

struct SourceFailure {
    QString url;
    QString reason; // "HTTP status 404", "no valid element set", "cancelled", ...
};

struct UpdateOutcome {
    bool replaced = false;
    int sourceCount = 0;
    int sets = 0;                    // of the merge; written when replaced
    int skipped = 0;                 // sets that failed their checks, in all sources
    int beyondTle = 0;               // valid sets whose catalogue numbers do not fit a TLE
    QVector<SourceFailure> failures; // one per failing source, in source order
    QString error;                   // no source at all, or the file could not be written
    QVector<UpdateMessage> notes;    // cached copies used, moved sources, hosts paused
    QVector<QByteArray> bodies;      // with a body check: every source's body, when all gave one
};

QVector<UpdateMessage> updateMessages(const UpdateOutcome& outcome);

// Downloads every source at once (http and https through Qt Network, file URLs read directly),
// checks and merges their sets and replaces the catalogue file only when every source gave at
// least one valid set. The replacement goes through a temporary file in the target's folder,
// so the old file stays whole on every failure. Certificate checks stay on; redirects are
// followed only when no less safe than the request (https never falls back to http).
//
// Politeness towards the services: the last good body of every http(s) source is kept in the
// cache folder with its time, Last-Modified and ETag. Within kSourceFreshSecs of its last
// download a source is not asked at all (unless forced) and its copy is merged; otherwise the
// request is conditional and a 304 reuses the copy. A 403, 429 or 5xx pauses the host for
// kRefusalPauseSecs, recorded in the cache folder for every program; forcing does not lift it.
//
// An answer without a length that is not chunked ends when the connection does, so a cut
// connection looks like its end. Such an answer must be a whole JSON or XML document, or text
// ending in a line feed (after a line 2 for TLEs); and unless forced, it must give at least half
// the sets of the source's last good answer, or it is kept aside and the source fails.
//
// Each update asks through a network manager of its own, dropped when the update ends: a server
// that never ends its header keeps Qt's connection reading after an abort, and must not hold up
// later updates.
class CatalogueUpdater : public QObject {
    Q_OBJECT

public:
    struct Limits {
        qint64 maxBytes;
        int timeoutMs;
    };

    explicit CatalogueUpdater(QObject* parent = nullptr);
    ~CatalogueUpdater() override;

    // For the next start: tests shorten them, the command line takes --timeout.
    void setLimits(Limits limits) { limits_ = limits; }
    // For the next start: ask even sources downloaded within kSourceFreshSecs.
    void setForce(bool force) { force_ = force; }
    // Where copies and pauses are kept; updateCacheFolder() unless set.
    void setCacheFolder(const QString& folder) { cacheFolder = folder; }
    // The present instant in UTC; the system clock unless set (tests).
    void setClock(std::function<QDateTime()> clock) { now = std::move(clock); }
    // For data other than element sets: a body (downloaded or the kept copy) is usable when the
    // check gives no reason. The bodies go to outcome().bodies; nothing is merged or written.
    using BodyCheck = std::function<QString(const QByteArray& body)>;
    void setBodyCheck(BodyCheck check) { bodyCheck = std::move(check); }

    // The hosts of these sources that are paused at the given instant.
    static QVector<HostPause> pausedHosts(const QStringList& sources, const QString& cacheFolder,
                                          const QDateTime& at);
    // Ends a pause early, for a person who asked for it.
    static void liftPause(const QString& host, const QString& cacheFolder);
    // When the source was last asked, answered or not; invalid when never.
    static QDateTime lastAsked(const QString& source, const QString& cacheFolder);

    // Returns false, doing nothing, while an update runs. finished() always comes later,
    // from the event loop, never from inside start().
    bool start(const QStringList& sources, const QString& targetFile);
    // Fails every source still downloading; finished() follows at once.
    void cancel();
    bool isRunning() const { return running; }
    const UpdateOutcome& outcome() const { return outcome_; }

signals:
    void progress(int sourcesDone, int sourceCount, qint64 bytesReceived);
    // The outcome is ready. A receiver must not delete the updater directly (deleteLater).
    void finished();

private:
    struct Source {
        QString text; // as given, for the messages
        QUrl url;
        QNetworkReply* reply = nullptr;
        QByteArray body;
        QString key; // of its copy in the cache folder
        bool cached = false;
        QDateTime cachedAt;
        QByteArray lastModified, etag;
        int lastSets = 0;      // valid sets of the last good answer
        bool unframed = false; // the answer had no length and was not chunked
        int redirects = 0;
        bool allPermanent = true; // every redirect so far was 301 or 308
        QUrl movedTo;
        QString failure;
        bool done = false;
        std::vector<CheckedElementSet> sets;
        QByteArray accepted; // with a body check
        QString rejection;   // why the last body was not taken
    };

    void request(int index, const QUrl& url);
    void startSource(int index);
    bool useCache(Source& source);
    void storeCopy(const Source& source, const QByteArray& body, QNetworkReply* reply);
    void pauseHost(const QString& host, int status);
    bool redirect(int index);
    void readFileSources();
    void onMetaData(int index);
    void onReadyRead(int index);
    void onReplyFinished(int index);
    void onDeadline();
    bool accept(Source& source, const QByteArray& body, bool orFail);
    bool acceptSets(Source& source, const QByteArray& body, bool orFail);
    void fail(Source& source, const QString& reason);
    void finishIfDone();
    void dropNetwork();
    void writeCatalogue();
    QString tooLarge() const;

    QNetworkAccessManager* network = nullptr; // of the running update
    bool networkCutShort = false;             // a reply of it was aborted while running
    QTimer deadline;
    Limits limits_{kMaxSourceBytes, kSourceTimeoutMs};
    bool force_ = false;
    QString cacheFolder;
    std::function<QDateTime()> now;
    BodyCheck bodyCheck;
    std::vector<Source> sources;
    QString target;
    qint64 received = 0; // bytes of every source so far
    bool running = false;
    UpdateOutcome outcome_;
};
