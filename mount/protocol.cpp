#include "mount/protocol.h"

#include "astro/site.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

namespace MountProtocol {

// --- Commands ---

QByteArray openingCommand() {
    return '#' + QByteArray(kHighPrecision) + kFirmwareVersion;
}

QByteArray uploadCommand(const QString& nameLine, const QString& line1, const QString& line2) {
    return kUploadPrefix + escapeUploadText(nameLine + line1 + line2).toUtf8() + '#';
}

QByteArray passCommand(double jd) {
    return kPassPrefix + QByteArray::number(jd, 'f', 8) + QByteArrayLiteral(",10#");
}

bool isMotionCommand(const QByteArray& command) {
    return command == kStop || command == kPark || command == kUnpark;
}

QString escapeUploadText(const QString& text) {
    QString escaped = text;
    escaped.replace(QLatin1Char('$'), QLatin1String("$$"));
    escaped.replace(QLatin1Char('\n'), QLatin1String("$0a"));
    escaped.replace(QLatin1Char('#'), QLatin1String("$23"));
    escaped.replace(QLatin1Char(','), QLatin1String("$2C"));
    return escaped;
}

std::optional<QByteArray> unescapeUploadText(const QByteArray& escaped) {
    QByteArray text;
    text.reserve(escaped.size());
    for (int i = 0; i < escaped.size(); ++i) {
        const char c = escaped[i];
        if (c != '$') {
            text += c;
            continue;
        }
        if (i + 1 < escaped.size() && escaped[i + 1] == '$') {
            text += '$';
            i += 1;
            continue;
        }
        if (i + 2 >= escaped.size())
            return std::nullopt;
        const QByteArray code = escaped.mid(i + 1, 2).toLower();
        if (code == "0a")
            text += '\n';
        else if (code == "23")
            text += '#';
        else if (code == "2c")
            text += ',';
        else
            return std::nullopt;
        i += 2;
    }
    return text;
}

QString excerpt(const QByteArray& bytes, int length) {
    QString text = QString::fromLatin1(bytes.left(length));
    if (bytes.size() > length)
        text += QStringLiteral("...");
    return text;
}

// --- Fields ---

QStringList splitFields(const QString& text, const QString& separators, bool quoting) {
    QStringList fields;
    if (text.isEmpty())
        return fields;
    QString field;
    bool quoted = false;
    for (const QChar c : text) {
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n'))
            break;
        if (quoting && c == QLatin1Char('"')) {
            quoted = !quoted;
            continue;
        }
        if (!quoted && separators.contains(c)) {
            fields.append(field);
            field.clear();
            continue;
        }
        field.append(c);
    }
    fields.append(field);
    return fields;
}

namespace {

bool isNumberChar(char c) {
    return (c >= '0' && c <= '9') || c == '.';
}

// Like C atof on a run of digits and points: a second point ends the number. Parsed without
// the C library, whose decimal separator follows the user's locale.
double runValue(const char* begin, const char* end) {
    const char* stop = begin;
    bool point = false;
    bool digits = false;
    for (; stop != end; ++stop) {
        if (*stop == '.') {
            if (point)
                break;
            point = true;
        } else {
            digits = true;
        }
    }
    if (!digits)
        return 0.0;
    double value = 0.0;
    const auto result = std::from_chars(begin, stop, value, std::chars_format::fixed);
    if (result.ec == std::errc::result_out_of_range)
        return HUGE_VAL;
    return value;
}

bool isSeparatorChar(char c) {
    const auto u = static_cast<unsigned char>(c);
    return u >= 0x20 && u != 0x7f && !isNumberChar(c) && c != '+' && c != '-';
}

bool isBlankChar(char c) {
    return c == ' ' || c == '\t';
}

// Whether the whole text is one sexagesimal value, with nothing passed over.
bool isComplete(const char* p, const char* end) {
    while (p != end && isBlankChar(*p))
        ++p;
    if (p != end && (*p == '+' || *p == '-'))
        ++p;
    int numbers = 0;
    while (true) {
        const char* start = p;
        int points = 0;
        for (; p != end && isNumberChar(*p); ++p)
            points += *p == '.';
        if (p == start || points > 1 || p - start == points || ++numbers > 3)
            return false;
        const char* separators = p;
        while (p != end && isSeparatorChar(*p) && !isBlankChar(*p) && p - separators < 2)
            ++p;
        const char* afterSeparators = p;
        while (p != end && isBlankChar(*p))
            ++p;
        if (p == end)
            return true;
        // A blank alone may part two numbers.
        if (!isNumberChar(*p) || (afterSeparators == separators && p == separators))
            return false;
    }
}

bool isBlank(QChar c) {
    return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\v') ||
           c == QLatin1Char('\f');
}

// Like C strtoul in base 10: leading blanks, then the leading digits; 0 without any.
quint32 leadingNumber(const QString& field) {
    int i = 0;
    while (i < field.size() && isBlank(field[i]))
        ++i;
    quint64 value = 0;
    const quint64 limit = std::numeric_limits<quint32>::max();
    for (; i < field.size() && field[i] >= QLatin1Char('0') && field[i] <= QLatin1Char('9'); ++i) {
        value = value * 10 + quint64(field[i].unicode() - '0');
        if (value > limit)
            value = limit + 1; // saturate below, and stay clear of 64-bit overflow
    }
    return value > limit ? quint32(limit) : quint32(value);
}

std::optional<double> readSiteField(const QByteArray& reply, bool (*inRange)(double)) {
    const SexagesimalValue reading = parseSexagesimal(reply);
    if (reading.complete && inRange(reading.value))
        return reading.value;
    return std::nullopt;
}

// Degrees as sign, degrees, '*', minutes, ':', seconds with one decimal, rounded to a tenth
// of an arc-second so that 59.95" carries into the next minute instead of printing 60.0.
QByteArray sexagesimal(double degrees, int degreeDigits) {
    if (!std::isfinite(degrees))
        degrees = 0.0;
    const double magnitude = std::fmin(std::fabs(degrees), 1.0e6);
    const qint64 tenths = qRound64(magnitude * 36000.0);
    const char sign = degrees < 0.0 && tenths > 0 ? '-' : '+';
    const qint64 whole = tenths / 36000;
    const int minutes = int((tenths / 600) % 60);
    const int secondTenths = int(tenths % 600);
    return QString::asprintf("%c%0*lld*%02d:%02d.%d", sign, degreeDigits, whole, minutes,
                             secondTenths / 10, secondTenths % 10)
        .toLatin1();
}

// Infinity and NaN parse as numbers in Qt, but would show as "inf" arc-seconds.
std::optional<double> errorDegrees(const QString& field) {
    bool ok = false;
    const double value = field.toDouble(&ok);
    if (!ok || !std::isfinite(value) || !std::isfinite(value * kArcsecondsPerDegree))
        return std::nullopt;
    return value;
}

// The number of `count` digits at `at`, or -1.
int digitsAt(const QByteArray& text, int at, int count) {
    if (at < 0 || at + count > text.size())
        return -1;
    int value = 0;
    for (int i = at; i < at + count; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return -1;
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

// ".D", ".DD" ... at `at` up to the end, with one to maxDigits digits, as a fraction.
std::optional<double> fractionAt(const QByteArray& text, int at, int maxDigits) {
    const int digits = int(text.size()) - at - 1;
    if (digits < 1 || digits > maxDigits || text[at] != '.')
        return std::nullopt;
    const int value = digitsAt(text, at + 1, digits);
    if (value < 0)
        return std::nullopt;
    return value / std::pow(10.0, digits);
}

char firstCharacter(const QByteArray& reply) {
    return reply.isEmpty() ? '\0' : reply[0];
}

} // namespace

SexagesimalValue parseSexagesimal(const QByteArray& text) {
    const char* p = text.constData();
    const char* const end = p + text.size();
    double sign = 1.0;
    for (; p != end && !isNumberChar(*p); ++p) {
        if (*p == '+')
            sign = 1.0;
        else if (*p == '-')
            sign = -1.0;
    }

    double sum = 0.0;
    double scale = 1.0;
    int count = 0;
    while (p != end) {
        if (!isNumberChar(*p)) {
            ++p;
            continue;
        }
        const char* runEnd = p;
        while (runEnd != end && isNumberChar(*runEnd))
            ++runEnd;
        sum += runValue(p, runEnd) / scale;
        scale *= 60.0;
        ++count;
        p = runEnd;
    }

    SexagesimalValue result;
    result.value = sign * sum;
    result.valid = count > 0;
    result.complete = isComplete(text.constData(), end);
    // An absurdly long digit run must not put infinity into the site record.
    if (!std::isfinite(result.value)) {
        result.value = 0.0;
        result.valid = false;
        result.complete = false;
    }
    return result;
}

// --- Replies ---

FirmwareVersion readFirmwareVersion(const QByteArray& reply) {
    const QStringList fields = splitFields(QString::fromLatin1(reply), QStringLiteral("."), false);
    FirmwareVersion version;
    if (fields.size() > 0)
        version.major = leadingNumber(fields[0]);
    if (fields.size() > 1)
        version.minor = leadingNumber(fields[1]);
    if (fields.size() > 2)
        version.patch = leadingNumber(fields[2]);
    return version;
}

std::optional<double> readLatitude(const QByteArray& reply) {
    return readSiteField(reply, &Site::latitudeInRange);
}

std::optional<double> readLongitude(const QByteArray& reply) {
    return readSiteField(reply, &Site::longitudeInRange);
}

std::optional<double> readElevation(const QByteArray& reply) {
    return readSiteField(reply, &Site::elevationInRange);
}

QByteArray latitudeReply(double degrees) {
    return sexagesimal(degrees, 2);
}

QByteArray longitudeReply(double westDegrees) {
    return sexagesimal(westDegrees, 3);
}

QByteArray elevationReply(double metres) {
    if (!std::isfinite(metres))
        metres = 0.0;
    const double magnitude = std::fmin(std::fabs(metres), 1.0e9);
    const qint64 tenths = qRound64(magnitude * 10.0);
    const char sign = metres < 0.0 && tenths > 0 ? '-' : '+';
    return QString::asprintf("%c%04lld.%d", sign, tenths / 10, int(tenths % 10)).toLatin1();
}

bool uploadAccepted(const QByteArray& reply) {
    return reply.startsWith('V');
}

bool passFound(const QByteArray& reply) {
    return reply != "E" && reply != "N";
}

SlewOutcome readSlewReply(const QByteArray& reply) {
    switch (firstCharacter(reply)) {
    case 'E':
        return SlewOutcome::NoPass;
    case 'F':
        return SlewOutcome::Refused;
    case 'Q':
        return SlewOutcome::TransitOver;
    case 'S':
        return SlewOutcome::ToSatellite;
    case 'V':
        return SlewOutcome::ToStart;
    default:
        return SlewOutcome::Unknown;
    }
}

std::optional<TrackingState> readTrackingState(const QByteArray& reply) {
    switch (firstCharacter(reply)) {
    case 'E':
        return TrackingState::NotRequested;
    case 'P':
        return TrackingState::WaitingForTransit;
    case 'Q':
        return TrackingState::TransitEnded;
    case 'S':
        return TrackingState::SlewingToSatellite;
    case 'T':
        return TrackingState::Tracking;
    case 'V':
        return TrackingState::SlewingToStart;
    default:
        return std::nullopt;
    }
}

AxisErrorReading readAxisErrors(const QByteArray& reply) {
    AxisErrorReading reading;
    const QStringList fields = splitFields(QString::fromLatin1(reply), QStringLiteral(","), true);
    if (fields.size() < 5)
        return reading;
    const std::optional<double> first = errorDegrees(fields[2]);
    const std::optional<double> second = errorDegrees(fields[4]);
    if (!first || !second) {
        reading.outcome = AxisErrorReading::NotNumbers;
        return reading;
    }
    reading.outcome = AxisErrorReading::Numbers;
    reading.firstDegrees = *first;
    reading.secondDegrees = *second;
    return reading;
}

std::optional<QDate> readDate(const QByteArray& reply) {
    if (reply.size() != 8 || reply[2] != '/' || reply[5] != '/')
        return std::nullopt;
    const int month = digitsAt(reply, 0, 2);
    const int day = digitsAt(reply, 3, 2);
    const int year = digitsAt(reply, 6, 2);
    const QDate date(2000 + year, month, day);
    if (month < 0 || day < 0 || year < 0 || !date.isValid())
        return std::nullopt;
    return date;
}

std::optional<double> readLocalTime(const QByteArray& reply) {
    if (reply.size() < 8 || reply[2] != ':' || reply[5] != ':')
        return std::nullopt;
    const int hours = digitsAt(reply, 0, 2);
    const int minutes = digitsAt(reply, 3, 2);
    const int seconds = digitsAt(reply, 6, 2);
    if (hours < 0 || hours > 23 || minutes < 0 || minutes > 59 || seconds < 0 || seconds > 59)
        return std::nullopt;
    double fraction = 0.0;
    if (reply.size() > 8) {
        const std::optional<double> decimals = fractionAt(reply, 8, 3);
        if (!decimals)
            return std::nullopt;
        fraction = *decimals;
    }
    return hours * 3600.0 + minutes * 60.0 + seconds + fraction;
}

std::optional<double> readUtcOffset(const QByteArray& reply) {
    if (reply.size() < 3 || (reply[0] != '+' && reply[0] != '-'))
        return std::nullopt;
    const double sign = reply[0] == '-' ? -1.0 : 1.0;
    const int hours = digitsAt(reply, 1, 2);
    if (hours < 0)
        return std::nullopt;
    double value = hours;
    if (reply.size() == 5) { // sHH.H
        const std::optional<double> tenths = fractionAt(reply, 3, 1);
        if (!tenths)
            return std::nullopt;
        value += *tenths;
    } else if (reply.size() != 3) { // sHH:MM or sHH:MM:SS.S
        const int minutes = reply[3] == ':' ? digitsAt(reply, 4, 2) : -1;
        if (minutes < 0 || minutes > 59)
            return std::nullopt;
        value += minutes / 60.0;
        if (reply.size() != 6) {
            const int seconds = reply.size() >= 9 && reply[6] == ':' ? digitsAt(reply, 7, 2) : -1;
            if (seconds < 0 || seconds > 59)
                return std::nullopt;
            double fraction = 0.0;
            if (reply.size() > 9) {
                const std::optional<double> decimals = fractionAt(reply, 9, 1);
                if (!decimals)
                    return std::nullopt;
                fraction = *decimals;
            }
            value += (seconds + fraction) / 3600.0;
        }
    }
    if (value > 14.0)
        return std::nullopt;
    return sign * value;
}

QByteArray dateReply(const QDate& date) {
    return QString::asprintf("%02d/%02d/%02d", date.month(), date.day(), date.year() % 100)
        .toLatin1();
}

QByteArray localTimeReply(qint64 centiseconds) {
    const qint64 c = std::clamp<qint64>(centiseconds, 0, 8639999);
    return QString::asprintf("%02d:%02d:%02d.%02d", int(c / 360000), int(c / 6000 % 60),
                             int(c / 100 % 60), int(c % 100))
        .toLatin1();
}

QByteArray utcOffsetReply(double offsetSeconds) {
    if (!std::isfinite(offsetSeconds))
        offsetSeconds = 0.0;
    const qint64 tenths = qRound64(qBound(0.0, std::fabs(offsetSeconds), 14.0 * 3600.0) * 10.0);
    const char sign = offsetSeconds < 0.0 && tenths > 0 ? '-' : '+';
    if (tenths % 3600 == 0) // a whole tenth of an hour
        return QString::asprintf("%c%02d.%d", sign, int(tenths / 36000), int(tenths / 3600 % 10))
            .toLatin1();
    return QString::asprintf("%c%02d:%02d:%02d.%d", sign, int(tenths / 36000),
                             int(tenths / 600 % 60), int(tenths / 10 % 60), int(tenths % 10))
        .toLatin1();
}

} // namespace MountProtocol
