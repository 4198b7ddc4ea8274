#include "planning/pass_reminders.h"

#include <algorithm>
#include <cmath>

namespace {

bool samePass(const PassReminder& r, std::int32_t number, double riseJd) {
    return r.catalogueNumber == number &&
           std::abs(r.riseJd - riseJd) < PassReminders::kSamePassDays;
}

} // namespace

PassReminders::PassReminders(Clock clock, QObject* parent)
    : QObject(parent), clock(std::move(clock)) {}

void PassReminders::setClock(Clock newClock) {
    clock = std::move(newClock);
}

void PassReminders::setLeadMinutes(int minutes) {
    lead = std::max(1, minutes); // at least a minute before the rise, or never
}

const PassReminder* PassReminders::find(std::int32_t number, double riseJd) const {
    const auto it = std::find_if(list.begin(), list.end(), [&](const PassReminder& r) {
        return samePass(r, number, riseJd);
    });
    return it == list.end() ? nullptr : &*it;
}

void PassReminders::add(const PassReminder& reminder) {
    if (!std::isfinite(reminder.riseJd))
        return;
    list.erase(std::remove_if(list.begin(), list.end(),
                              [&](const PassReminder& r) {
                                  return samePass(r, reminder.catalogueNumber, reminder.riseJd);
                              }),
               list.end());
    list.push_back(reminder);
    emit changed();
    check(); // one due already fires now
}

void PassReminders::cancel(std::int32_t number, double riseJd) {
    const std::size_t before = list.size();
    list.erase(std::remove_if(list.begin(), list.end(),
                              [&](const PassReminder& r) { return samePass(r, number, riseJd); }),
               list.end());
    if (list.size() != before)
        emit changed();
}

void PassReminders::restore(std::vector<PassReminder> stored) {
    list = std::move(stored);
    emit changed();
    check();
}

void PassReminders::follow(const std::vector<PassReminder>& passes) {
    bool moved = false;
    for (PassReminder& r : list)
        for (const PassReminder& p : passes)
            if (samePass(r, p.catalogueNumber, p.riseJd) && r.riseJd != p.riseJd) {
                r.riseJd = p.riseJd;
                r.maxAltitudeDeg = p.maxAltitudeDeg;
                moved = true;
            }
    if (moved)
        emit changed();
}

void PassReminders::check() {
    const double now = clock ? clock() : 0.0;
    if (now <= 0.0 || list.empty())
        return;
    std::vector<PassReminder> due;
    const std::size_t before = list.size();
    list.erase(std::remove_if(list.begin(), list.end(),
                              [&](const PassReminder& r) {
                                  if (now >= r.riseJd)
                                      return true; // begun: too late to remind
                                  if (now < r.riseJd - lead / kMinutesPerDay)
                                      return false;
                                  due.push_back(r);
                                  return true;
                              }),
               list.end());
    if (list.size() == before)
        return;
    emit changed();
    for (const PassReminder& r : due)
        emit reminderDue(
            message(r, std::max(1, int(std::lround((r.riseJd - now) * kMinutesPerDay)))));
}

QString PassReminders::message(const PassReminder& r, int minutesLeft) {
    const QString altitude = QString::number(std::lround(r.maxAltitudeDeg));
    return (minutesLeft == 1 ? tr("%1 rises in %n minute (max %2°).", nullptr, minutesLeft)
                             : tr("%1 rises in %n minutes (max %2°).", nullptr, minutesLeft))
        .arg(r.name, altitude);
}
