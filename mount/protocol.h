#pragma once

#include "astro/angles.h"
#include "mount/firmware_version.h"

#include <QByteArray>
#include <QDate>
#include <QString>
#include <QStringList>

#include <optional>

// The mount's command protocol, both ways, written once: every command the program writes (and
// the stand-in answers), and how every reply reads (and how the stand-in writes the ones whose
// form matters). A command runs from ':' to '#'; an awaited reply ends at the next '#', which is
// not part of it, so the replies here come without it.
namespace MountProtocol {

// --- Commands ---

// The mnemonics, whole commands ending in '#' or the prefixes of those with parameters.
inline constexpr char kHighPrecision[] = ":U2#"; // no reply
inline constexpr char kFirmwareVersion[] = ":GVN#";
inline constexpr char kLatitude[] = ":Gt#";
inline constexpr char kLongitude[] = ":Gg#";
inline constexpr char kElevation[] = ":Gev#";
inline constexpr char kUploadPrefix[] = ":TLEL0";
inline constexpr char kPassPrefix[] = ":TLEP";
inline constexpr char kSlew[] = ":TLES#";
inline constexpr char kTrackingStatus[] = ":TLESCK#";
inline constexpr char kAxisErrors[] = ":GaE#";
inline constexpr char kStop[] = ":STOP#";
inline constexpr char kPark[] = ":KA#";
inline constexpr char kUnpark[] = ":PO#";
// The mount's clock, as on every LX200 mount: its date, its local time and its UTC offset.
inline constexpr char kDate[] = ":GC#";
inline constexpr char kLocalTime[] = ":GL#";
inline constexpr char kUtcOffset[] = ":GG#";

// What opens every connection, in one write: a lone '#' that ends any half command the mount
// may hold, high precision, then the firmware version, whose reply is the one awaited.
QByteArray openingCommand();

// ":TLEL0" + the three lines joined as they are (their own line feeds part them), escaped, as
// UTF-8 + "#".
QByteArray uploadCommand(const QString& nameLine, const QString& line1, const QString& line2);

// ":TLEP" + the working Julian date with eight decimals + ",10#".
QByteArray passCommand(double jd);

// Stop, Park and Unpark: the mount answers none of them.
bool isMotionCommand(const QByteArray& command);

// The element set as the upload carries it. The mount cuts commands at '#' and parameters at
// ',', and the lines must stay apart, so four characters travel escaped: '$' as "$$", a line
// feed as "$0a", '#' as "$23" and ',' as "$2C". The dollar sign goes first, so the dollars that
// the other escapes bring in are not doubled.
QString escapeUploadText(const QString& text);
// Undoes the escapes (the hex digits in either case). Empty when a '$' starts none of them.
std::optional<QByteArray> unescapeUploadText(const QByteArray& escaped);

// A command or a reply as the log shows it: Latin-1, cut to `length` characters, with "..."
// when it was longer.
QString excerpt(const QByteArray& bytes, int length);

// --- Replies ---

// A reply as written on the wire, with its closing '#'.
inline QByteArray framedReply(const QByteArray& reply) {
    return reply + '#';
}

// Splits a reply into fields. The walk stops at the first carriage return or line feed.
// Outside quotes each separator ends a field (empty fields are kept); with quoting on, '"'
// toggles the quoted state and is dropped. The last field is always appended, so a non-empty
// walk gives at least one field; an empty text gives none.
QStringList splitFields(const QString& text, const QString& separators, bool quoting);

struct SexagesimalValue {
    double value = 0.0;
    bool valid = false; // at least one number was found, and the result is finite
    // Nothing in the text was passed over: blanks and at most one sign, then one to three
    // numbers (digits with at most one point) apart by one or two separator characters (any
    // printable character but a digit, a point or a sign), then at most two more separators
    // and blanks. "+48*30:15.2" is complete; "12.3.4", "+4-5", "4::::5" and "1:2:3:4" are not.
    bool complete = false;
};

// Reads an angle or distance as the mount writes it: an optional sign before the first digit,
// then numbers (runs of digits and '.') separated by anything else, the first taken whole, the
// second in sixtieths, the third in 3600ths and so on. "+48*30:15.2" is 48.504222...
SexagesimalValue parseSexagesimal(const QByteArray& text);

// ":GVN#": "major.minor.patch"; missing or non-numeric fields count 0, fields after the third
// are ignored, and numbers too large for 32 bits saturate.
FirmwareVersion readFirmwareVersion(const QByteArray& reply);

// ":Gt#", ":Gg#", ":Gev#": latitude in degrees (north positive), longitude in degrees (WEST
// positive, as the mount counts it), elevation in metres. A field is read only when the whole
// reply is one sexagesimal value (see SexagesimalValue::complete) within the site's range.
std::optional<double> readLatitude(const QByteArray& reply);
std::optional<double> readLongitude(const QByteArray& reply);
std::optional<double> readElevation(const QByteArray& reply);

// The same fields as the mount writes them: latitude "sDD*MM:SS.S", longitude "sDDD*MM:SS.S",
// elevation "sXXXX.X", each rounded to its last digit.
QByteArray latitudeReply(double degrees);
QByteArray longitudeReply(double westDegrees);
QByteArray elevationReply(double metres);

// ":TLEL0": the set was taken when the reply starts with 'V'.
bool uploadAccepted(const QByteArray& reply);
// ":TLEP": only the exact replies "E" and "N" mean no pass; anything else is pass data.
bool passFound(const QByteArray& reply);

// ":TLES#", by its first character.
enum class SlewOutcome {
    NoPass,      // E
    Refused,     // F: parked or blocked
    TransitOver, // Q
    ToSatellite, // S: the satellite is up
    ToStart,     // V: to where the transit begins
    Unknown,     // anything else, the empty reply too
};
SlewOutcome readSlewReply(const QByteArray& reply);

// ":TLESCK#", by its first character: E, P, Q, S, T or V.
enum class TrackingState {
    NotRequested,       // E
    WaitingForTransit,  // P
    TransitEnded,       // Q
    SlewingToSatellite, // S
    Tracking,           // T
    SlewingToStart,     // V
};
// Any other reply, the empty one too, tells nothing.
std::optional<TrackingState> readTrackingState(const QByteArray& reply);

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
// must be a decimal number in the C locale as a whole, blanks around it allowed, and finite in
// arc-seconds too.
AxisErrorReading readAxisErrors(const QByteArray& reply);

// ":GC#": "MM/DD/YY", the year in this century; nothing else, and a real date.
std::optional<QDate> readDate(const QByteArray& reply);
// ":GL#": "HH:MM:SS" or "HH:MM:SS.SS" (one to three decimals), in seconds since local midnight.
std::optional<double> readLocalTime(const QByteArray& reply);
// ":GG#": the hours to add to local time to get UTC, as "sHH", "sHH.H", "sHH:MM" or
// "sHH:MM:SS.S"; the sign is required (a time of day misread as an offset would lack it), and
// the offset lies within 14 hours.
std::optional<double> readUtcOffset(const QByteArray& reply);

// The same as the stand-in writes them. centiseconds: since local midnight, below a day;
// offsetSeconds: the hours to add to local time to get UTC, in seconds, written "sHH.H" when it
// is a whole number of tenths of an hour, else "sHH:MM:SS.S".
QByteArray dateReply(const QDate& date);
QByteArray localTimeReply(qint64 centiseconds);
QByteArray utcOffsetReply(double offsetSeconds);

} // namespace MountProtocol
