// orbitrak-cli update: the window's TLEs > Update from sources, for scripts and timers.
#include "astro/time_scales.h"
#include "catalogue/catalogue.h"
#include "catalogue/catalogue_updater.h"
#include "catalogue/time_table_updater.h"
#include "catalogue/update_settings.h"
#include "tools/cli/commands.h"
#include "tools/cli/options.h"

#include <QCoreApplication>
#include <QDir>

#include <cstdio>
#include <string>
#include <vector>

namespace {

const char kUsage[] =
    "Usage: orbitrak-cli update [--source URL]... [--out FILE] [--timeout S] [--force]\n"
    "\n"
    "Downloads every source, in any form element sets are published in, told apart by their\n"
    "content: TLEs (with or without name lines) or orbit mean-elements messages (OMM) as JSON,\n"
    "CSV, XML or KVN. Checks each element set (lines starting \"1 \" and \"2 \", check digits,\n"
    "one catalogue number on both lines; an OMM record with every field readable and in range,\n"
    "written as a TLE, its catalogue number at most 339999; the others are skipped and counted)\n"
    "and merges them in source order, the set with the newest epoch taking the place of a\n"
    "catalogue number given more than once. FILE is replaced only when every source gave at\n"
    "least one valid set; otherwise it stays as it was. Standard error gets the lines the\n"
    "window's log shows.\n"
    "\n"
    "As the window does, it asks a web source at most once in 2 hours (using its last copy in\n"
    "the meantime), asks only whether the data changed since that copy, and leaves a host alone\n"
    "for 24 hours after it refused (HTTP 403, 429 or 5xx).\n"
    "\n"
    "An answer without a length that is not chunked ends when the connection does, so it may\n"
    "be cut short: it must be a whole JSON or XML document, or text ending in a line feed (after\n"
    "a line 2 for TLEs), and it is kept aside, failing its source, when it gives fewer than half\n"
    "the element sets of the source's last good answer, unless --force is given.\n"
    "\n";

const char kClosing[] =
    "Exit status: 0 FILE replaced, 1 a source failed or FILE could not be written (FILE\n"
    "unchanged), 2 bad arguments.\n";

} // namespace

Command updateCommand() {
    return {"update",
            "fresh element sets from the settings' sources or given URLs",
            0,
            runUpdate,
            17,
            kUsage,
            {{"source", "URL",
              "an http, https or file URL (file:///path/to/sets.txt); repeat it for\n"
              "several (default: the settings' tle_sources)"},
             {"out", "FILE", "the catalogue file to replace (default satell.txt)"},
             {"timeout", "S", "seconds each source may take, up to 3600 (default 30)"},
             {"force", nullptr,
              "ask even sources downloaded within the last 2 hours, and take an\n"
              "answer kept aside as perhaps cut short (a paused host stays paused)"}},
            kClosing};
}

namespace {} // namespace

int runUpdate(const CommandOptions& options) {
    double seconds = kSourceTimeoutMs / 1000.0;
    if (options.has("timeout") &&
        (!parseNumber(options.value("timeout"), seconds) || seconds <= 0 || seconds > 3600))
        return usageError("update: --timeout needs seconds above 0 and up to 3600, got '" +
                          options.value("timeout") + "'");
    QStringList sources;
    for (const std::string& source : options.values("source")) {
        if (source.empty())
            return usageError("update: --source needs a URL");
        sources << QString::fromStdString(source);
    }
    const std::string out = options.has("out") ? options.value("out") : kCatalogueFileName;
    if (out.empty())
        return usageError("update: --out needs a file name");

    int argc = 1;
    char name[] = "orbitrak-cli";
    char* argv[] = {name, nullptr};
    QCoreApplication application(argc, argv);
    if (sources.isEmpty()) {
        QString warning;
        sources = readTleSources(&warning);
        if (!warning.isEmpty())
            std::fprintf(stderr, "%s\n", warning.toLocal8Bit().constData());
    }
    CatalogueUpdater updater;
    updater.setLimits({kMaxSourceBytes, int(seconds * 1000.0 + 0.5)});
    updater.setForce(options.has("force"));
    QObject::connect(&updater, &CatalogueUpdater::finished, &application, &QCoreApplication::quit);
    updater.start(sources, QString::fromStdString(out));
    application.exec();
    for (const UpdateMessage& message : updateMessages(updater.outcome()))
        std::fprintf(stderr, "%s\n", message.text.toLocal8Bit().constData());

    // The window's time table, continued from the one it reads.
    const std::optional<UtcTable> inUse = initTimeData(timeTableFolders()).table;
    TimeTableUpdater timeTable;
    QObject::connect(&timeTable, &TimeTableUpdater::finished, &application,
                     &QCoreApplication::quit);
    if (timeTable.refreshIfDue(readTimeTableSource(), inUse ? &*inUse : nullptr,
                               QDir(userDataFolder()).filePath(QStringLiteral("user_utc.bin")))) {
        application.exec();
        for (const UpdateMessage& message : timeTable.messages())
            std::fprintf(stderr, "%s\n", message.text.toLocal8Bit().constData());
    }
    return updater.outcome().replaced ? 0 : 1;
}
