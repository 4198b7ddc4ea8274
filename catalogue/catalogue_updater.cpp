#include "catalogue/catalogue_updater.h"

#include "catalogue/file_access.h"
#include "catalogue/omm_reader.h"
#include "catalogue/update_settings.h"
#include "orbitrak_version.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QLocale>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSettings>
#include <QXmlStreamReader>

#include <algorithm>

namespace {

constexpr int kMaxRedirects = 5;

// The English texts are the sources, and the command line shows them untranslated, with Qt only
// putting in the number for %n. So the singular and the plural are source texts of their own,
// each with all the plural forms of a translation.
QString counted(int n, const char* one, const char* many) {
    return CatalogueUpdater::tr(n == 1 ? one : many, nullptr, n);
}

// The one place that checks a body; every form of element set it knows is accepted.
CheckedText checkBody(const QByteArray& body) {
    return checkElementSetsAnyForm(body);
}

// The index of the cache folder: one group per source copy and per paused host, named by a hash
// so that any URL or host makes a valid key.
QString hashKey(const QString& prefix, const QString& text) {
    return prefix + QString::fromLatin1(
                        QCryptographicHash::hash(text.toUtf8(), QCryptographicHash::Sha1).toHex());
}
QString indexFile(const QString& folder) {
    return QDir(folder).filePath(QStringLiteral("update_cache.ini"));
}

bool refusal(int status) {
    return status == 403 || status == 429 || (status >= 500 && status <= 599);
}

QString utcMinute(const QDateTime& t) {
    return t.toUTC().toString(QStringLiteral("yyyy-MM-dd hh:mm"));
}

// A validator goes back to the server as a header: a line break in it would add headers of the
// server's choosing, so one with any control character is not kept.
QByteArray validator(const QByteArray& value) {
    const bool control = std::any_of(value.begin(), value.end(), [](char c) {
        return static_cast<unsigned char>(c) < 0x20 || c == 0x7F;
    });
    return control ? QByteArray() : value;
}

// Whether the answer said where its body ends; otherwise the end of the connection ends it.
bool framed(const QNetworkReply& reply) {
    return reply.header(QNetworkRequest::ContentLengthHeader).isValid() ||
           reply.rawHeader(QByteArrayLiteral("Transfer-Encoding")).toLower().contains("chunked") ||
           reply.attribute(QNetworkRequest::Http2WasUsedAttribute).toBool();
}

// Why a body that ended with its connection is not whole; empty when its form says it is.
QString cutShort(const QByteArray& body) {
    switch (elementSetForm(body)) {
    case ElementSetForm::Json: {
        QJsonParseError error{};
        QJsonDocument::fromJson(body, &error);
        if (error.error != QJsonParseError::NoError)
            return CatalogueUpdater::tr(
                "the answer, without a length, ends before its JSON document does");
        break;
    }
    case ElementSetForm::Xml: {
        QXmlStreamReader reader(body);
        while (!reader.atEnd())
            reader.readNext();
        if (reader.hasError())
            return CatalogueUpdater::tr(
                "the answer, without a length, ends before its XML document does");
        break;
    }
    case ElementSetForm::Tle: {
        int end = int(body.size());
        while (end > 0 && (body[end - 1] == ' ' || body[end - 1] == '\t' || body[end - 1] == '\r' ||
                           body[end - 1] == '\n'))
            --end;
        const int start = end > 0 ? int(body.lastIndexOf('\n', end - 1)) + 1 : 0;
        if (!body.mid(start, end - start).startsWith("2 ") || body.indexOf('\n', end) < 0)
            return CatalogueUpdater::tr(
                "the answer, without a length, does not end with a line feed after a line 2");
        break;
    }
    case ElementSetForm::Csv:
    case ElementSetForm::Kvn:
        if (!body.endsWith('\n'))
            return CatalogueUpdater::tr(
                "the answer, without a length, does not end with a line feed");
        break;
    case ElementSetForm::None:
        break; // it has no set to take
    }
    return QString();
}

} // namespace

// The texts belong to CatalogueUpdater's translation context: the window shows them translated,
// the command line, which installs no translation, in English.
QVector<UpdateMessage> updateMessages(const UpdateOutcome& outcome) {
    QVector<UpdateMessage> messages = outcome.notes;
    if (outcome.replaced)
        messages.append(
            {LogLevel::Info,
             CatalogueUpdater::tr("Updated %1 from %2.")
                 .arg(counted(outcome.sets,
                              QT_TRANSLATE_N_NOOP("CatalogueUpdater", "%n element set"),
                              QT_TRANSLATE_N_NOOP("CatalogueUpdater", "%n element sets")),
                      counted(outcome.sourceCount,
                              QT_TRANSLATE_N_NOOP("CatalogueUpdater", "%n source"),
                              QT_TRANSLATE_N_NOOP("CatalogueUpdater", "%n sources")))});
    if (outcome.skipped > 0)
        messages.append(
            {LogLevel::Warning,
             counted(outcome.skipped,
                     QT_TRANSLATE_N_NOOP("CatalogueUpdater",
                                         "Skipped %n element set that failed their checks."),
                     QT_TRANSLATE_N_NOOP("CatalogueUpdater",
                                         "Skipped %n element sets that failed their checks."))});
    if (outcome.beyondTle > 0)
        messages.append(
            {LogLevel::Warning,
             counted(outcome.beyondTle,
                     QT_TRANSLATE_N_NOOP(
                         "CatalogueUpdater",
                         "Skipped %n element set whose catalogue number does not fit a TLE."),
                     QT_TRANSLATE_N_NOOP(
                         "CatalogueUpdater",
                         "Skipped %n element sets whose catalogue numbers do not fit a TLE."))});
    for (const SourceFailure& failure : outcome.failures)
        messages.append(
            {LogLevel::Error,
             CatalogueUpdater::tr("Cannot update from %1: %2.").arg(failure.url, failure.reason)});
    if (!outcome.error.isEmpty())
        messages.append({LogLevel::Error, outcome.error});
    return messages;
}

CatalogueUpdater::CatalogueUpdater(QObject* parent)
    : QObject(parent), cacheFolder(updateCacheFolder()),
      now([] { return QDateTime::currentDateTimeUtc(); }) {
    deadline.setSingleShot(true);
    connect(&deadline, &QTimer::timeout, this, &CatalogueUpdater::onDeadline);
}

// Replies still running are dropped without a word: nobody is left to tell.
CatalogueUpdater::~CatalogueUpdater() {
    for (Source& source : sources) {
        if (source.reply) {
            source.reply->disconnect(this);
            source.reply->abort();
        }
    }
}

bool CatalogueUpdater::start(const QStringList& urls, const QString& targetFile) {
    if (running)
        return false;
    running = true;
    target = targetFile;
    outcome_ = UpdateOutcome();
    outcome_.sourceCount = urls.size();
    received = 0;
    sources.assign(std::size_t(urls.size()), Source());
    bool anyFile = false;
    for (int i = 0; i < urls.size(); ++i) {
        Source& source = sources[std::size_t(i)];
        source.text = urls[i];
        source.url = QUrl(urls[i].trimmed(), QUrl::StrictMode);
        const QString scheme = source.url.scheme();
        if (scheme == QLatin1String("http") || scheme == QLatin1String("https"))
            startSource(i);
        else if (source.url.isLocalFile())
            anyFile = true;
        else
            fail(source, tr("not an http, https or file URL"));
    }
    if (urls.isEmpty())
        outcome_.error = tr("No sources to update from.");
    deadline.start(limits_.timeoutMs);
    // Local files and the outcome of a list without downloads come from the event loop too.
    QTimer::singleShot(0, this, [this, anyFile] {
        if (anyFile)
            readFileSources();
        finishIfDone();
    });
    return true;
}

QVector<HostPause> CatalogueUpdater::pausedHosts(const QStringList& sources,
                                                 const QString& cacheFolder, const QDateTime& at) {
    const QSettings index(indexFile(cacheFolder), QSettings::IniFormat);
    QVector<HostPause> paused;
    for (const QString& source : sources) {
        const QString host = QUrl(source.trimmed()).host();
        const QString key = hashKey(QStringLiteral("pause_"), host);
        const QDateTime until = index.value(key + QLatin1String("/until")).toDateTime();
        const bool known = std::any_of(paused.begin(), paused.end(),
                                       [&](const HostPause& p) { return p.host == host; });
        if (!host.isEmpty() && !known && until.isValid() && until > at)
            paused.append({host, index.value(key + QLatin1String("/status")).toInt(), until});
    }
    return paused;
}

void CatalogueUpdater::liftPause(const QString& host, const QString& cacheFolder) {
    QSettings index(indexFile(cacheFolder), QSettings::IniFormat);
    index.remove(hashKey(QStringLiteral("pause_"), host));
}

QDateTime CatalogueUpdater::lastAsked(const QString& source, const QString& cacheFolder) {
    const QSettings index(indexFile(cacheFolder), QSettings::IniFormat);
    const QString key =
        hashKey(QStringLiteral("source_"), QUrl(source.trimmed(), QUrl::StrictMode).toString());
    const QDateTime asked = index.value(key + QLatin1String("/asked")).toDateTime();
    return asked.isValid() ? asked : index.value(key + QLatin1String("/time")).toDateTime();
}

// A paused host is not asked; a copy younger than kSourceFreshSecs is used unless forced.
void CatalogueUpdater::startSource(int index) {
    Source& source = sources[std::size_t(index)];
    source.key = hashKey(QStringLiteral("source_"), source.url.toString());
    const QSettings cache(indexFile(cacheFolder), QSettings::IniFormat);
    source.cachedAt = cache.value(source.key + QLatin1String("/time")).toDateTime();
    source.lastModified =
        validator(cache.value(source.key + QLatin1String("/last_modified")).toByteArray());
    source.etag = validator(cache.value(source.key + QLatin1String("/etag")).toByteArray());
    source.lastSets = cache.value(source.key + QLatin1String("/sets")).toInt();
    source.cached =
        source.cachedAt.isValid() && QFileInfo(QDir(cacheFolder).filePath(source.key)).isFile();
    const QDateTime at = now();
    const QVector<HostPause> paused = pausedHosts({source.text}, cacheFolder, at);
    if (!paused.isEmpty()) {
        fail(source, tr("paused until %1 UTC after HTTP %2")
                         .arg(utcMinute(paused[0].until))
                         .arg(paused[0].status));
        return;
    }
    const qint64 age = source.cachedAt.secsTo(at);
    if (source.cached && !force_ && age >= 0 && age < kSourceFreshSecs && useCache(source)) {
        const int minutes = int(age / 60);
        outcome_.notes.append(
            {LogLevel::Info,
             counted(
                 minutes,
                 QT_TRANSLATE_N_NOOP("CatalogueUpdater", "Used the copy of %1 from %n minute ago."),
                 QT_TRANSLATE_N_NOOP("CatalogueUpdater",
                                     "Used the copy of %1 from %n minutes ago."))
                 .arg(source.text)});
        return;
    }
    request(index, source.url);
}

// Merges the source's copy; false, leaving the source open, when the copy cannot be read.
bool CatalogueUpdater::useCache(Source& source) {
    QByteArray body;
    if (readFileBounded(QDir(cacheFolder).filePath(source.key), limits_.maxBytes, body) &&
        accept(source, body, false))
        return true;
    source.cached = false; // nothing to fall back on: ask unconditionally
    return false;
}

void CatalogueUpdater::storeCopy(const Source& source, const QByteArray& body,
                                 QNetworkReply* reply) {
    QDir().mkpath(cacheFolder);
    if (!body.isNull()) {
        if (!writeFileWhole(QDir(cacheFolder).filePath(source.key), body))
            return; // a copy that cannot be kept only costs a download next time
    }
    QSettings cache(indexFile(cacheFolder), QSettings::IniFormat);
    cache.setValue(source.key + QLatin1String("/url"), source.url.toString());
    cache.setValue(source.key + QLatin1String("/time"), now());
    const QByteArray lastModified = validator(reply->rawHeader(QByteArrayLiteral("Last-Modified")));
    const QByteArray etag = validator(reply->rawHeader(QByteArrayLiteral("ETag")));
    if (!body.isNull() && !bodyCheck)
        cache.setValue(source.key + QLatin1String("/sets"), int(source.sets.size()));
    if (!lastModified.isEmpty() || !body.isNull())
        cache.setValue(source.key + QLatin1String("/last_modified"), lastModified);
    if (!etag.isEmpty() || !body.isNull())
        cache.setValue(source.key + QLatin1String("/etag"), etag);
}

// Logged once, as the pause begins; later updates name it in each source's failure.
void CatalogueUpdater::pauseHost(const QString& host, int status) {
    const QDateTime until = now().addSecs(kRefusalPauseSecs);
    QDir().mkpath(cacheFolder);
    QSettings index(indexFile(cacheFolder), QSettings::IniFormat);
    const QString key = hashKey(QStringLiteral("pause_"), host);
    if (index.value(key + QLatin1String("/until")).toDateTime() >= until.addSecs(-60))
        return; // another source of the host refused in this update already
    index.setValue(key + QLatin1String("/host"), host);
    index.setValue(key + QLatin1String("/status"), status);
    index.setValue(key + QLatin1String("/until"), until);
    outcome_.notes.append(
        {LogLevel::Warning, tr("Updates from %1 paused until %2 UTC after HTTP %3.")
                                .arg(host, utcMinute(until))
                                .arg(status)});
}

void CatalogueUpdater::request(int index, const QUrl& url) {
    Source& source = sources[std::size_t(index)];
    QNetworkRequest request(url);
    // Followed by hand, to tell a permanent move from a passing one.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::ManualRedirectPolicy);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                         QNetworkRequest::AlwaysNetwork);
    request.setHeader(QNetworkRequest::UserAgentHeader,
                      QByteArrayLiteral("Orbitrak/" ORBITRAK_VERSION));
    // Uncompressed, so that the size limit counts what the server sends.
    request.setRawHeader(QByteArrayLiteral("Accept-Encoding"), QByteArrayLiteral("identity"));
    if (source.cached) {
        const QByteArray since =
            source.lastModified.isEmpty()
                ? QLocale::c()
                          .toString(source.cachedAt.toUTC(),
                                    QStringLiteral("ddd, dd MMM yyyy hh:mm:ss"))
                          .toLatin1() +
                      " GMT"
                : source.lastModified;
        request.setRawHeader(QByteArrayLiteral("If-Modified-Since"), since);
        request.setRawHeader(QByteArrayLiteral("If-None-Match"),
                             source.etag.isEmpty() ? QByteArrayLiteral("\"\"") : source.etag);
    }
    {
        QDir().mkpath(cacheFolder);
        QSettings index(indexFile(cacheFolder), QSettings::IniFormat);
        index.setValue(source.key + QLatin1String("/asked"), now());
    }
    if (!network)
        network = new QNetworkAccessManager(this);
    QNetworkReply* reply = network->get(request);
    // Read as it arrives: Qt then takes no more from the connection than this ahead of us.
    reply->setReadBufferSize(kReplyBufferBytes);
    source.reply = reply;
    connect(reply, &QNetworkReply::metaDataChanged, this, [this, index] { onMetaData(index); });
    connect(reply, &QNetworkReply::readyRead, this, [this, index] { onReadyRead(index); });
    connect(reply, &QNetworkReply::finished, this, [this, index] { onReplyFinished(index); });
}

// Follows a redirect answer when it is no less safe; false when the answer is none.
bool CatalogueUpdater::redirect(int index) {
    Source& source = sources[std::size_t(index)];
    QNetworkReply* reply = source.reply;
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const QVariant location = reply->attribute(QNetworkRequest::RedirectionTargetAttribute);
    if (status < 300 || status > 399 || status == 304 || !location.isValid())
        return false;
    const QUrl target = reply->url().resolved(location.toUrl());
    const bool downgrade = reply->url().scheme() == QLatin1String("https") &&
                           target.scheme() != QLatin1String("https");
    reply->disconnect(this);
    reply->deleteLater();
    source.reply = nullptr;
    source.body.clear();
    if (++source.redirects > kMaxRedirects) {
        source.movedTo.clear(); // a loop is no move
        fail(source, tr("too many redirects"));
        return true;
    }
    if (downgrade ||
        (target.scheme() != QLatin1String("http") && target.scheme() != QLatin1String("https"))) {
        fail(source, tr("redirected to %1, which is less safe").arg(target.toString()));
        return true;
    }
    const bool permanent = status == 301 || status == 308;
    source.allPermanent = source.allPermanent && permanent;
    if (source.allPermanent)
        source.movedTo = target;
    const QVector<HostPause> paused = pausedHosts({target.toString()}, cacheFolder, now());
    if (!paused.isEmpty())
        fail(source, tr("paused until %1 UTC after HTTP %2")
                         .arg(utcMinute(paused[0].until))
                         .arg(paused[0].status));
    else
        request(index, target);
    return true;
}

void CatalogueUpdater::readFileSources() {
    for (Source& source : sources) {
        if (source.done || !source.url.isLocalFile())
            continue;
        // Only plain files: a device or a pipe could hand out bytes without end or none.
        QByteArray body;
        const FileResult read = readFileBounded(source.url.toLocalFile(), limits_.maxBytes, body);
        received += body.size();
        if (read.fault == FileResult::NotAFile)
            fail(source, tr("not a regular file"));
        else if (read.fault == FileResult::TooLarge)
            fail(source, tooLarge());
        else if (!read)
            fail(source, tr("cannot read the file (%1)")
                             .arg(QString::fromLocal8Bit(read.systemReason.c_str())));
        else
            accept(source, body, true);
    }
}

void CatalogueUpdater::onMetaData(int index) {
    Source& source = sources[std::size_t(index)];
    // Again, for a request that Qt started later than it was made (waiting for a network).
    source.reply->setReadBufferSize(kReplyBufferBytes);
    const QVariant length = source.reply->header(QNetworkRequest::ContentLengthHeader);
    if (length.isValid() && length.toLongLong() > limits_.maxBytes) {
        fail(source, tooLarge());
        finishIfDone();
    }
}

void CatalogueUpdater::onReadyRead(int index) {
    Source& source = sources[std::size_t(index)];
    const QByteArray data = source.reply->read(limits_.maxBytes + 1 - source.body.size());
    source.body += data;
    received += data.size();
    if (source.body.size() > limits_.maxBytes) {
        fail(source, tooLarge());
    }
    finishIfDone();
}

void CatalogueUpdater::onReplyFinished(int index) {
    Source& source = sources[std::size_t(index)];
    QNetworkReply* reply = source.reply;
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    const QNetworkReply::NetworkError error = reply->error();
    // The connection's and the protocol's own failures (refused, TLS, cut short) say more than
    // the status of the answer they may have followed.
    const bool httpError = (error >= QNetworkReply::ContentAccessDenied &&
                            error < QNetworkReply::ProtocolUnknownError) ||
                           error >= QNetworkReply::InternalServerError;
    if (error != QNetworkReply::NoError && !(httpError && status.isValid())) {
        fail(source, reply->errorString());
    } else if (redirect(index)) {
        if (source.reply) { // asked anew: the move is told when that answer comes
            finishIfDone();
            return;
        }
    } else if (status.toInt() == 304 && source.cached) {
        storeCopy(source, QByteArray(), reply);
        if (!useCache(source))
            fail(source, source.rejection);
    } else if (status.toInt() != 200) {
        if (refusal(status.toInt()))
            pauseHost(reply->url().host(), status.toInt());
        fail(source, tr("HTTP status %1").arg(status.toInt()));
    } else if (source.body.size() + reply->bytesAvailable() > limits_.maxBytes) {
        fail(source, tooLarge());
    } else {
        const QByteArray body = source.body + reply->readAll();
        source.unframed = !framed(*reply);
        if (accept(source, body, true))
            storeCopy(source, body, reply);
    }
    if (source.movedTo.isValid() && source.movedTo != source.url)
        outcome_.notes.append(
            {LogLevel::Warning,
             (bodyCheck ? tr("%1 has moved to %2.")
                        : tr("%1 has moved to %2: change it in TLEs > Sources..."))
                 .arg(source.text, source.movedTo.toString())});
    finishIfDone();
}

void CatalogueUpdater::onDeadline() {
    const QString reason =
        tr("no answer within %1 s").arg(QString::number(limits_.timeoutMs / 1000.0));
    for (Source& source : sources)
        fail(source, reason);
    finishIfDone();
}

void CatalogueUpdater::cancel() {
    if (!running)
        return;
    for (Source& source : sources)
        fail(source, tr("cancelled"));
    finishIfDone();
}

// Without a valid set: false, and the source fails when orFail says so and stays open otherwise.
bool CatalogueUpdater::accept(Source& source, const QByteArray& body, bool orFail) {
    if (bodyCheck) {
        source.rejection = bodyCheck(body);
        if (!source.rejection.isEmpty()) {
            if (orFail)
                fail(source, source.rejection);
            return false;
        }
        source.accepted = body;
    } else if (!acceptSets(source, body, orFail)) {
        return false;
    }
    source.done = true;
    source.body.clear();
    if (source.reply) {
        source.reply->deleteLater();
        source.reply = nullptr;
    }
    return true;
}

bool CatalogueUpdater::acceptSets(Source& source, const QByteArray& body, bool orFail) {
    source.rejection = source.unframed ? cutShort(body) : QString();
    if (!source.rejection.isEmpty()) {
        if (orFail)
            fail(source, source.rejection);
        return false;
    }
    CheckedText checked = checkBody(body);
    if (checked.sets.empty()) {
        source.rejection = tr("no valid element set");
        if (orFail) {
            outcome_.skipped += int(checked.skipped);
            outcome_.beyondTle += int(checked.beyondTle);
            fail(source, source.rejection);
        }
        return false;
    }
    outcome_.skipped += int(checked.skipped);
    outcome_.beyondTle += int(checked.beyondTle);
    const int count = int(checked.sets.size());
    if (source.unframed && !force_ && 2 * count < source.lastSets) {
        outcome_.notes.append(
            {LogLevel::Warning,
             tr("The answer of %1 came without a length and gave %2, fewer than half of the %3 "
                "of its last update: it may have been cut short, so it was kept aside, not "
                "merged. A forced update takes it (orbitrak-cli update --force, or TLEs > "
                "Update now, ignoring the 2-hour rule).")
                 .arg(source.text,
                      counted(count, QT_TRANSLATE_N_NOOP("CatalogueUpdater", "%n element set"),
                              QT_TRANSLATE_N_NOOP("CatalogueUpdater", "%n element sets")),
                      QString::number(source.lastSets))});
        source.rejection = tr("kept aside as perhaps cut short");
        fail(source, source.rejection);
        return false;
    }
    source.sets = std::move(checked.sets);
    return true;
}

// Does nothing for a source that is already settled.
void CatalogueUpdater::fail(Source& source, const QString& reason) {
    if (source.done)
        return;
    source.done = true;
    source.failure = reason;
    source.body.clear();
    if (source.reply) {
        if (source.reply->isRunning())
            networkCutShort = true;
        source.reply->disconnect(this);
        source.reply->abort();
        source.reply->deleteLater();
        source.reply = nullptr;
    }
}

// Reports progress, and the outcome once every source is settled.
void CatalogueUpdater::finishIfDone() {
    if (!running)
        return;
    const int done =
        int(std::count_if(sources.begin(), sources.end(), [](const Source& s) { return s.done; }));
    emit progress(done, int(sources.size()), received);
    if (done < int(sources.size()))
        return;
    deadline.stop();
    for (const Source& source : sources) {
        if (!source.failure.isEmpty())
            outcome_.failures.append({source.text, source.failure});
    }
    if (outcome_.failures.isEmpty() && outcome_.error.isEmpty()) {
        if (bodyCheck) {
            for (const Source& source : sources)
                outcome_.bodies.append(source.accepted);
        } else {
            writeCatalogue();
        }
    }
    dropNetwork();
    sources.clear();
    running = false;
    emit finished();
}

// The next update starts on a manager of its own, whatever this one's connections still do.
// Its replies, aborted as their sources settled, go with it. A manager with a reply cut short
// may have a connection thread that ignores the abort (a header that never ends), and deleting
// it would hold the window's thread for Qt's 5 s wait on that thread: it stays, idle, until the
// updater goes.
void CatalogueUpdater::dropNetwork() {
    if (network && !networkCutShort)
        network->deleteLater();
    network = nullptr;
    networkCutShort = false;
}

void CatalogueUpdater::writeCatalogue() {
    std::vector<std::vector<CheckedElementSet>> all;
    for (Source& source : sources)
        all.push_back(std::move(source.sets));
    const std::vector<CheckedElementSet> merged = mergeElementSets(all);
    const std::string text = catalogueText(merged);
    outcome_.sets = int(merged.size());
    const FileResult written =
        writeFileWhole(QFile::encodeName(target).toStdString(), std::string_view(text));
    if (written)
        outcome_.replaced = true;
    else
        outcome_.error = fileFaultText(target, written);
}

QString CatalogueUpdater::tooLarge() const {
    constexpr qint64 mebibyte = 1024 * 1024;
    if (limits_.maxBytes % mebibyte == 0)
        return tr("more than %1 MiB").arg(limits_.maxBytes / mebibyte);
    return tr("more than %1 bytes").arg(limits_.maxBytes);
}
