#pragma once

#include "astro/log_level.h"
#include "catalogue/element_set_merge.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QUrl>
#include <QVector>

#include <vector>

class QNetworkAccessManager;
class QNetworkReply;

// Bounds of one source: a body larger than this, or an answer not complete within this time,
// fails the source.
constexpr qint64 kMaxSourceBytes = 20 * 1024 * 1024;
constexpr int kSourceTimeoutMs = 30000;

struct SourceFailure {
    QString url;
    QString reason; // "HTTP status 404", "no valid element set", "cancelled", ...
};

struct UpdateOutcome {
    bool replaced = false;
    int sourceCount = 0;
    int sets = 0;                    // of the merge; written when replaced
    int skipped = 0;                 // sets that failed their checks, in all sources
    QVector<SourceFailure> failures; // one per failing source, in source order
    QString error;                   // no source at all, or the file could not be written
};

// The event-log lines of an outcome, the same for the window and the command line.
struct UpdateMessage {
    LogLevel level;
    QString text;
};
QVector<UpdateMessage> updateMessages(const UpdateOutcome& outcome);

// Downloads every source at once (http and https through Qt Network, file URLs read directly),
// checks and merges their sets and replaces the catalogue file only when every source gave at
// least one valid set. The replacement goes through a temporary file in the target's folder,
// so the old file stays whole on every failure. Certificate checks stay on; redirects are
// followed only when no less safe than the request (https never falls back to http).
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
        QString failure;
        bool done = false;
        std::vector<CheckedElementSet> sets;
    };

    void request(int index);
    void readFileSources();
    void onMetaData(int index);
    void onReadyRead(int index);
    void onReplyFinished(int index);
    void onDeadline();
    void accept(Source& source, const QByteArray& body);
    void fail(Source& source, const QString& reason);
    void finishIfDone();
    void writeCatalogue();
    QString tooLarge() const;

    QNetworkAccessManager* network;
    QTimer deadline;
    Limits limits_{kMaxSourceBytes, kSourceTimeoutMs};
    std::vector<Source> sources;
    QString target;
    qint64 received = 0; // bytes of every source so far
    bool running = false;
    UpdateOutcome outcome_;
};
