#include "catalogue/file_access.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

FileResult readFileBounded(const QString& path, qint64 maxBytes, QByteArray& bytes) {
    std::string read;
    const FileResult result =
        readFileBounded(QFile::encodeName(path).toStdString(), std::uint64_t(maxBytes), read);
    bytes = QByteArray(read.data(), int(read.size()));
    return result;
}

FileResult writeFileWhole(const QString& path, const QByteArray& bytes) {
    return writeFileWhole(QFile::encodeName(path).toStdString(),
                          std::string_view(bytes.constData(), std::size_t(bytes.size())));
}

QString fileFaultText(const QString& path, const FileResult& result, qint64 maxBytes) {
    const QString shown = QDir::toNativeSeparators(path);
    const QString reason = QString::fromLocal8Bit(result.systemReason.c_str());
    switch (result.fault) {
    case FileResult::None:
        break;
    case FileResult::Missing:
        return QCoreApplication::translate("FileAccess", "%1 does not exist.").arg(shown);
    case FileResult::NotAFile:
        return QCoreApplication::translate("FileAccess", "%1 is not a regular file.").arg(shown);
    case FileResult::TooLarge:
        if (maxBytes % (1 << 20) == 0)
            return QCoreApplication::translate("FileAccess", "%1 is larger than %2 MiB.")
                .arg(shown)
                .arg(maxBytes >> 20);
        return QCoreApplication::translate("FileAccess", "%1 is larger than %2 bytes.")
            .arg(shown)
            .arg(maxBytes);
    case FileResult::Unreadable:
        return QCoreApplication::translate("FileAccess", "Cannot read %1: %2.").arg(shown, reason);
    case FileResult::Unwritable:
        return QCoreApplication::translate("FileAccess", "Cannot write %1: %2.").arg(shown, reason);
    }
    return QString();
}
