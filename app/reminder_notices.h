#pragma once

#include "astro/log_level.h"
#include "mount/metatypes.h"

#include <QObject>

class PassReminders;
class QSystemTrayIcon;
class QWidget;
class SkySession;

// The reminders of planned passes, kept in the settings across starts: each fires as the
// session's time moves on and is logged and, where there is a system tray, shown on the desktop
// (a click on the notice brings the window up). They are kept until their pass has begun.
class ReminderNotices : public QObject {
    Q_OBJECT

public:
    // window: raised by a click on a notice, and naming the notices; it is the parent too.
    ReminderNotices(const SkySession& session, QWidget& window);

    PassReminders* reminders() const { return passReminders; }
    // Brings back the stored reminders (a warning logged for those that do not read); one whose
    // time has come fires at once.
    void restore();

signals:
    void logEvent(const QString& text, LogLevel level);

private:
    void notify(const QString& message);

    QWidget& window;
    PassReminders* passReminders = nullptr;
    QSystemTrayIcon* tray = nullptr;
};
