#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// The element set as the mount's upload command carries it. The mount cuts commands at '#'
// and parameters at ',', and the lines must stay apart, so four characters travel escaped:
// '$' as "$$", a line feed as "$0a", '#' as "$23" and ',' as "$2C". The dollar sign goes
// first, so the dollars that the other escapes bring in are not doubled.
QString escapeUploadText(const QString& text);

// Undoes the escapes (the hex digits in either case). Empty when a '$' starts none of them.
std::optional<QByteArray> unescapeUploadText(const QByteArray& escaped);

// ":TLEL0" + the escaped lines, joined as they are (their own line feeds part them), as
// UTF-8 + "#".
QByteArray uploadCommand(const QString& nameLine, const QString& line1, const QString& line2);

// ":TLEP" + the working Julian date with eight decimals + ",10#".
QByteArray passCommand(double jd);
