#include "catalogue/catalogue_updater.h"

#include <QFile>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSaveFile>

#include <algorithm>

namespace {

constexpr int kMaxRedirects = 5;

// The English texts are the sources, and the command line shows them untranslated, with Qt only
// putting in the number for %n. So the singular and the plural are source texts of their own,
// each with all the plural forms of a translation.
QString counted(int n, const char* one, const char* many) {
    return CatalogueUpdater::tr(n == 1 ? one : many, nullptr, n);
}

} // namespace

// The texts belong to CatalogueUpdater's translation context: the window shows them translated,
// the command line, which installs no translation, in English.
QVector<UpdateMessage> updateMessages(const UpdateOutcome& outcome) {
    QVector<UpdateMessage> messages;
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
    for (const SourceFailure& failure : outcome.failures)
        messages.append(
            {LogLevel::Error,
             CatalogueUpdater::tr("Cannot update from %1: %2.").arg(failure.url, failure.reason)});
    if (!outcome.error.isEmpty())
        messages.append({LogLevel::Error, outcome.error});
    return messages;
}

CatalogueUpdater::CatalogueUpdater(QObject* parent)
    : QObject(parent), network(new QNetworkAccessManager(this)) {
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
            request(i);
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

void CatalogueUpdater::request(int index) {
    QNetworkRequest request(sources[std::size_t(index)].url);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setMaximumRedirectsAllowed(kMaxRedirects);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                         QNetworkRequest::AlwaysNetwork);
    request.setHeader(QNetworkRequest::UserAgentHeader, QByteArrayLiteral("Orbitrak"));
    // Uncompressed, so that the size limit counts what the server sends.
    request.setRawHeader(QByteArrayLiteral("Accept-Encoding"), QByteArrayLiteral("identity"));
    QNetworkReply* reply = network->get(request);
    sources[std::size_t(index)].reply = reply;
    connect(reply, &QNetworkReply::metaDataChanged, this, [this, index] { onMetaData(index); });
    connect(reply, &QNetworkReply::readyRead, this, [this, index] { onReadyRead(index); });
    connect(reply, &QNetworkReply::finished, this, [this, index] { onReplyFinished(index); });
}

void CatalogueUpdater::readFileSources() {
    for (Source& source : sources) {
        if (source.done || !source.url.isLocalFile())
            continue;
        // Only plain files: a device or a pipe could hand out bytes without end or none.
        const QFileInfo info(source.url.toLocalFile());
        QFile file(info.filePath());
        if (!info.isFile() || !file.open(QIODevice::ReadOnly)) {
            fail(source, tr("cannot read the file"));
            continue;
        }
        const QByteArray body = file.read(limits_.maxBytes + 1);
        received += body.size();
        if (body.size() > limits_.maxBytes)
            fail(source, tooLarge());
        else
            accept(source, body);
    }
}

void CatalogueUpdater::onMetaData(int index) {
    Source& source = sources[std::size_t(index)];
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
    // The connection's and the protocol's own failures (refused, TLS, cut short, a redirect
    // refused or failing) say more than the status of the answer they may have followed.
    const bool httpError = (error >= QNetworkReply::ContentAccessDenied &&
                            error < QNetworkReply::ProtocolUnknownError) ||
                           error >= QNetworkReply::InternalServerError;
    if (error != QNetworkReply::NoError && !(httpError && status.isValid()))
        fail(source, reply->errorString());
    else if (status.toInt() != 200)
        fail(source, tr("HTTP status %1").arg(status.toInt()));
    else if (source.body.size() + reply->bytesAvailable() > limits_.maxBytes)
        fail(source, tooLarge());
    else
        accept(source, source.body + reply->readAll());
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

void CatalogueUpdater::accept(Source& source, const QByteArray& body) {
    CheckedText checked = checkElementSets(std::string(body.constData(), std::size_t(body.size())));
    outcome_.skipped += int(checked.skipped);
    if (checked.sets.empty()) {
        fail(source, tr("no valid element set"));
        return;
    }
    source.sets = std::move(checked.sets);
    source.done = true;
    source.body.clear();
    if (source.reply) {
        source.reply->deleteLater();
        source.reply = nullptr;
    }
}

// Does nothing for a source that is already settled.
void CatalogueUpdater::fail(Source& source, const QString& reason) {
    if (source.done)
        return;
    source.done = true;
    source.failure = reason;
    source.body.clear();
    if (source.reply) {
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
    if (outcome_.failures.isEmpty() && outcome_.error.isEmpty())
        writeCatalogue();
    sources.clear();
    running = false;
    emit finished();
}

void CatalogueUpdater::writeCatalogue() {
    std::vector<std::vector<CheckedElementSet>> all;
    for (Source& source : sources)
        all.push_back(std::move(source.sets));
    const std::vector<CheckedElementSet> merged = mergeElementSets(all);
    const std::string text = catalogueText(merged);
    outcome_.sets = int(merged.size());
    QSaveFile file(target);
    if (file.open(QIODevice::WriteOnly) &&
        file.write(text.data(), qint64(text.size())) == qint64(text.size()) && file.commit())
        outcome_.replaced = true;
    else
        outcome_.error = tr("Cannot write %1.").arg(target);
}

QString CatalogueUpdater::tooLarge() const {
    constexpr qint64 mebibyte = 1024 * 1024;
    if (limits_.maxBytes % mebibyte == 0)
        return tr("more than %1 MiB").arg(limits_.maxBytes / mebibyte);
    return tr("more than %1 bytes").arg(limits_.maxBytes);
}
