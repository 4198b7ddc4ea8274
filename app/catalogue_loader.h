#pragma once

#include "astro/log_level.h"
#include "mount/metatypes.h"

#include <QObject>
#include <QString>

#include <functional>

class SkySession;

// Reads the window's catalogue file into the session, as many sets as the settings allow, and
// says in the log what it could not show: no file yet, a file not read, no known form, sets
// skipped or beyond the limit. The file is asked for anew at every read.
class CatalogueLoader : public QObject {
    Q_OBJECT

public:
    CatalogueLoader(SkySession& session, std::function<QString()> file, QObject* parent = nullptr);

    void reload();
    // Replaces the catalogue file by a copy of the chosen one (making its folder if need be) and
    // reloads; on failure the old file stays whole, and the reload shows what it holds. Nothing
    // happens for no file or the catalogue file itself: false, not reloaded.
    bool replaceWith(const QString& chosen);

signals:
    void logEvent(const QString& text, LogLevel level);

private:
    SkySession& session;
    std::function<QString()> file;
};
