#include "app/data_paths.h"

#include "catalogue/catalogue.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace data_paths {

QString userFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/Halvstar/Orbitrak");
}

QString installedFolder() {
    return QDir::cleanPath(QCoreApplication::applicationDirPath() +
                           QStringLiteral("/../share/orbitrak"));
}

QString catalogueFile() {
    const QString here = QString::fromLatin1(kCatalogueFileName);
    if (QFileInfo::exists(here))
        return here;
    return userFolder() + QLatin1Char('/') + here;
}

std::vector<std::string> timeTableFolders() {
    std::vector<std::string> folders{""};
    for (const QString& folder : {userFolder(), installedFolder()})
        folders.push_back(QFile::encodeName(folder).toStdString());
    return folders;
}

} // namespace data_paths
