#pragma once

// Whole-file reads and writes for tests that set up or inspect files on disk.

#include <QByteArray>
#include <QFile>
#include <QString>

#include <cstdio>
#include <functional>
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

// What a function printed to the stream it was given.
inline QByteArray printedBy(const std::function<void(std::FILE*)>& print) {
    std::FILE* out = std::tmpfile();
    print(out);
    std::rewind(out);
    QByteArray printed;
    char buffer[256];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, out)) > 0;)
        printed.append(buffer, int(n));
    std::fclose(out);
    return printed;
}
