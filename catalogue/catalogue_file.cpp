#include "catalogue/catalogue_file.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

bool isSameFile(const QString& a, const QString& b) {
    const QFileInfo first(a);
    const QFileInfo second(b);
    return first.exists() && second.exists() &&
           first.canonicalFilePath() == second.canonicalFilePath();
}

bool replaceCatalogueFile(const QString& source, const QString& target) {
    if (!QFileInfo(source).isFile() || isSameFile(source, target))
        return false;

    QFile input(source);
    if (!input.open(QIODevice::ReadOnly))
        return false;
    QSaveFile output(target);
    if (!output.open(QIODevice::WriteOnly))
        return false;
    char buffer[1 << 16];
    while (true) {
        const qint64 n = input.read(buffer, sizeof buffer);
        if (n < 0) {
            output.cancelWriting();
            break;
        }
        if (n == 0)
            break;
        if (output.write(buffer, n) != n) {
            output.cancelWriting();
            break;
        }
    }
    return output.commit();
}
