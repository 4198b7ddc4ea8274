#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// The mount's satellite-tracking state in words, from the first character of its ":TLESCK#"
// reply: E, P, Q, S, T or V. Any other reply, the empty one too, tells nothing, and the
// caller keeps the state it showed.
std::optional<QString> trackingStatusFromReply(const QByteArray& reply);

// What a ":GaE#" reply says about the two axis tracking errors (fields 2 and 4, degrees).
struct AxisErrorReading {
    enum Outcome {
        TooFewFields, // fewer than five fields: the reply is malformed
        NotNumbers,   // field 2 or 4 is not a finite number: the errors are left out
        Numbers,
    };
    Outcome outcome = TooFewFields;
    double firstDegrees = 0.0;
    double secondDegrees = 0.0;
};

// Fields separated by ',' with '"' quoting, read up to the first line end; each error field
// must be a decimal number in the C locale as a whole, blanks around it allowed.
AxisErrorReading readAxisErrors(const QByteArray& reply);

// The state, two blanks, "errors: " and both errors in arc-seconds with two decimals, each
// followed by '"' as the arc-second sign: Tracking satellite  errors: 9.00", -3.60"
QString statusLineWithErrors(const QString& state, double firstDegrees, double secondDegrees);
