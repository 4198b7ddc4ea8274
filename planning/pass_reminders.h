#pragma once

#include "astro/time_units.h"

#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>
#include <vector>

// One planned pass to be reminded of. The satellite is known by its catalogue number and the
// pass by its rise, not by rows: the catalogue may be read again before the reminder is due.
// The name and the highest altitude are kept for the message, which needs no catalogue then.
struct PassReminder {
    std::int32_t catalogueNumber = 0;
    double riseJd = 0.0; // working Julian date
    QString name;
    double maxAltitudeDeg = 0.0;
};

// The reminders of coming passes. Each one fires once, leadMinutes() before its rise, with the
// message "NAME rises in 5 minutes (max 63°)."; one whose pass has begun goes without a word.
// The present comes from a clock of the owner's choosing (a test's may run ahead), and is read
// only when check() is called: the owner calls it as its time moves on.
class PassReminders : public QObject {
    Q_OBJECT

public:
    // The present as a working Julian date; 0 while it is not known yet.
    using Clock = std::function<double()>;
    static constexpr int kDefaultLeadMinutes = 5;
    // A new search finds the same rise to within milliseconds, fresher element sets to seconds.
    static constexpr double kSamePassDays = 1.0 / kMinutesPerDay;

    explicit PassReminders(Clock clock, QObject* parent = nullptr);

    void setClock(Clock clock);
    void setLeadMinutes(int minutes);
    int leadMinutes() const { return lead; }

    const std::vector<PassReminder>& reminders() const { return list; }
    // The reminder of this pass, or null.
    const PassReminder* find(std::int32_t catalogueNumber, double riseJd) const;
    // Replaces the reminder of the same pass, if any.
    void add(const PassReminder& reminder);
    void cancel(std::int32_t catalogueNumber, double riseJd);
    // Reminders kept from an earlier run: those of passes that have begun go, those due fire at
    // once.
    void restore(std::vector<PassReminder> stored);
    // The same passes as a new search found them: their reminders follow the new rise.
    void follow(const std::vector<PassReminder>& passes);
    // Fires every reminder that is due and drops those of passes that have begun.
    void check();

    // The message of a reminder with the given minutes left.
    static QString message(const PassReminder& reminder, int minutesLeft);

signals:
    void reminderDue(const QString& message);
    // The reminders changed: added, cancelled, fired or dropped.
    void changed();

private:
    Clock clock;
    int lead = kDefaultLeadMinutes;
    std::vector<PassReminder> list;
};
