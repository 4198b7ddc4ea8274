#pragma once

// The file helpers of astro/file_io.h for Qt's paths and bytes, and their faults in the
// window's words.

#include "astro/file_io.h"

#include <QByteArray>
#include <QString>

FileResult readFileBounded(const QString& path, qint64 maxBytes, QByteArray& bytes);
FileResult writeFileWhole(const QString& path, const QByteArray& bytes);

// "PATH is not a regular file." and the like, translated; maxBytes for TooLarge.
QString fileFaultText(const QString& path, const FileResult& result, qint64 maxBytes = 0);
