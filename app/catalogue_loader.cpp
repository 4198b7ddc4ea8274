#include "app/catalogue_loader.h"

#include "app/settings.h"
#include "catalogue/catalogue_file.h"
#include "catalogue/file_access.h"
#include "catalogue/omm_reader.h"
#include "catalogue/update_settings.h"
#include "sky/sky_session.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLoggingCategory>

// Which catalogue was read, for a user or a script asking with
// QT_LOGGING_RULES="orbitrak.catalogue.info=true"; silent otherwise.
Q_LOGGING_CATEGORY(catalogueLog, "orbitrak.catalogue", QtWarningMsg)

CatalogueLoader::CatalogueLoader(SkySession& session, std::function<QString()> file,
                                 QObject* parent)
    : QObject(parent), session(session), file(std::move(file)) {}

void CatalogueLoader::reload() {
    const QString path = file();
    Catalogue catalogue;
    ElementSetForm form = ElementSetForm::None;
    const FileResult read =
        readElementSetFile(path, std::size_t(readMaxElementSets()), catalogue, &form);
    const QString absolute = QFileInfo(path).absoluteFilePath();
    if (read.fault == FileResult::Missing) {
        emit logEvent(tr("No element sets yet: get them with TLEs > Load TLEs... "
                         "or TLEs > Update from sources."),
                      LogLevel::Info);
    } else if (!read) {
        emit logEvent(fileFaultText(absolute, read, qint64(kMaxElementSetFileBytes)),
                      LogLevel::Warning);
    } else if (form == ElementSetForm::None) {
        emit logEvent(
            tr("%1 holds no element sets in a known form.").arg(QDir::toNativeSeparators(absolute)),
            LogLevel::Warning);
    }
    // The update's own words: a record left out here failed the same checks.
    if (const int skipped = int(catalogue.skippedSets); skipped > 0)
        emit logEvent(
            skipped == 1
                ? QCoreApplication::translate("CatalogueUpdater",
                                              "Skipped %n element set that failed their checks.",
                                              nullptr, skipped)
                : QCoreApplication::translate("CatalogueUpdater",
                                              "Skipped %n element sets that failed their checks.",
                                              nullptr, skipped),
            LogLevel::Warning);
    qCInfo(catalogueLog).noquote() << "read" << catalogue.size() << "element sets from" << absolute;
    if (catalogue.setsInFile > catalogue.size())
        emit logEvent(tr("Showing the first %1 of %2 element sets.")
                          .arg(catalogue.size())
                          .arg(catalogue.setsInFile),
                      LogLevel::Warning);
    session.setCatalogue(std::move(catalogue));
}

bool CatalogueLoader::replaceWith(const QString& chosen) {
    const QString target = file();
    if (chosen.isEmpty() || isSameFile(chosen, target))
        return false;
    QDir().mkpath(QFileInfo(target).absolutePath());
    if (const QString problem = replaceCatalogueFile(chosen, target); !problem.isEmpty())
        emit logEvent(tr("%1 The catalogue is unchanged.").arg(problem), LogLevel::Error);
    reload();
    return true;
}
