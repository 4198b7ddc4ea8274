#include "mount/firmware_version.h"

#include "mount/reply_fields.h"

#include <limits>
#include <tuple>

static bool isBlank(QChar c) {
    return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\v') ||
           c == QLatin1Char('\f');
}

// Like C strtoul in base 10: leading blanks, then the leading digits; 0 without any.
static quint32 leadingNumber(const QString& field) {
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

FirmwareVersion FirmwareVersion::fromReply(const QByteArray& reply) {
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

bool FirmwareVersion::operator<(const FirmwareVersion& other) const {
    return std::tie(major, minor, patch) < std::tie(other.major, other.minor, other.patch);
}

bool FirmwareVersion::operator==(const FirmwareVersion& other) const {
    return major == other.major && minor == other.minor && patch == other.patch;
}
