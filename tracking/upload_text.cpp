#include "tracking/upload_text.h"

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

QByteArray uploadCommand(const QString& nameLine, const QString& line1, const QString& line2) {
    return QByteArrayLiteral(":TLEL0") + escapeUploadText(nameLine + line1 + line2).toUtf8() + '#';
}

QByteArray passCommand(double jd) {
    return QByteArrayLiteral(":TLEP") + QByteArray::number(jd, 'f', 8) + QByteArrayLiteral(",10#");
}
