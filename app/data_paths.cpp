#include "app/data_paths.h"

#include "catalogue/catalogue.h"
#include "catalogue/update_settings.h"

#include <QFileInfo>

namespace data_paths {

QString userFolder() {
    return userDataFolder();
}

QString catalogueFile() {
    const QString here = QString::fromLatin1(kCatalogueFileName);
    if (QFileInfo::exists(here))
        return here;
    return userFolder() + QLatin1Char('/') + here;
}

std::vector<std::string> timeTableFolders() {
    return ::timeTableFolders();
}

} // namespace data_paths
