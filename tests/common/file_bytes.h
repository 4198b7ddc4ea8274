#pragma once

// Whole-file reads and writes for tests that set up or inspect files on disk.

#include <QByteArray>
#include <QFile>
#include <QString>

#include <vector>

// True only when every byte reached the file.
inline bool writeBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size();
}

// A file that cannot be opened reads as `missing`, so a test can tell it from an empty one.
inline QByteArray readBytes(const QString& path, const QByteArray& missing = "<missing>") {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : missing;
}

inline QByteArray bytesOf(const std::vector<unsigned char>& bytes) {
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), int(bytes.size()));
}
