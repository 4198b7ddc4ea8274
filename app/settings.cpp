#include "app/settings.h"

#include <QSettings>

QString mountIp;

static const char* const organisation = "Halvstar";
static const char* const application = "Orbitrak";
static const char* const mountIpKey = "mount_IP";

void readSettings() {
    QSettings settings(QString::fromLatin1(organisation), QString::fromLatin1(application));
    mountIp = settings.value(QString::fromLatin1(mountIpKey), QString()).toString();
}

bool writeSettings() {
    try {
        QSettings settings(QString::fromLatin1(organisation), QString::fromLatin1(application));
        settings.setValue(QString::fromLatin1(mountIpKey), mountIp);
        settings.sync();
        return settings.status() == QSettings::NoError;
    } catch (...) {
        return false;
    }
}
