#include "catalogue/catalogue_file.h"

#include "catalogue/catalogue.h"
#include "catalogue/file_access.h"

#include <QFileInfo>

bool isSameFile(const QString& a, const QString& b) {
    const QFileInfo first(a);
    const QFileInfo second(b);
    return first.exists() && second.exists() &&
           first.canonicalFilePath() == second.canonicalFilePath();
}

QString replaceCatalogueFile(const QString& source, const QString& target) {
    if (isSameFile(source, target))
        return QString();
    QByteArray bytes;
    const qint64 limit = qint64(kMaxElementSetFileBytes);
    if (const FileResult read = readFileBounded(source, limit, bytes); !read)
        return fileFaultText(source, read, limit);
    if (const FileResult written = writeFileWhole(target, bytes); !written)
        return fileFaultText(target, written);
    return QString();
}
