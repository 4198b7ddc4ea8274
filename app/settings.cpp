#include "app/settings.h"

#include <QSettings>

namespace {

const char* const organisation = "Halvstar";
const char* const application = "Orbitrak";
const char* const mountIpKey = "mount_IP";
const char* const passesVisibleKey = "passes_visible";

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

bool readPassesVisible() {
    QSettings settings(QString::fromLatin1(organisation), QString::fromLatin1(application));
    return settings.value(QString::fromLatin1(passesVisibleKey), false).toBool();
}

bool writePassesVisible(bool visible) {
    try {
        QSettings settings(QString::fromLatin1(organisation), QString::fromLatin1(application));
        settings.setValue(QString::fromLatin1(passesVisibleKey), visible);
        settings.sync();
        return settings.status() == QSettings::NoError;
    } catch (...) {
        return false;
    }
}
