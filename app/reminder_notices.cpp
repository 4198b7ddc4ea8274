#include "app/reminder_notices.h"

#include "app/settings.h"
#include "planning/pass_reminders.h"
#include "sky/sky_session.h"

#include <QApplication>
#include <QSystemTrayIcon>
#include <QWidget>

ReminderNotices::ReminderNotices(const SkySession& session, QWidget& window)
    : QObject(&window), window(window) {
    passReminders = new PassReminders([&session] { return session.instant(); }, this);
    passReminders->setLeadMinutes(readReminderMinutes());
    connect(passReminders, &PassReminders::reminderDue, this, &ReminderNotices::notify);
    connect(passReminders, &PassReminders::changed, this,
            [this] { writePassReminders(passReminders->reminders()); });
    connect(&session, &SkySession::rowsChanged, passReminders, &PassReminders::check);
}

void ReminderNotices::restore() {
    QString warning;
    passReminders->restore(readPassReminders(&warning));
    if (!warning.isEmpty())
        emit logEvent(warning, LogLevel::Warning);
}

void ReminderNotices::notify(const QString& message) {
    emit logEvent(message, LogLevel::Info);
    if (!QSystemTrayIcon::isSystemTrayAvailable())
        return;
    if (!tray) {
        tray = new QSystemTrayIcon(QApplication::windowIcon(), &window);
        connect(tray, &QSystemTrayIcon::messageClicked, this, [this] {
            window.showNormal();
            window.raise();
            window.activateWindow();
        });
    }
    tray->show();
    tray->showMessage(window.windowTitle(), message);
}
