#include "app/settings.h"

#include <QSettings>

namespace {

const char* const organisation = "Halvstar";
const char* const application = "Orbitrak";
const char* const mountIpKey = "mount_IP";

} // namespace

QString readMountIp() {
    QSettings settings(QString::fromLatin1(organisation), QString::fromLatin1(application));
    return settings.value(QString::fromLatin1(mountIpKey), QString()).toString();
}

bool writeMountIp(const QString& mountIp) {
    try {
        QSettings settings(QString::fromLatin1(organisation), QString::fromLatin1(application));
        settings.setValue(QString::fromLatin1(mountIpKey), mountIp);
        settings.sync();
        return settings.status() == QSettings::NoError;
    } catch (...) {
        return false;
    }
}
