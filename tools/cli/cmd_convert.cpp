// orbitrak-cli convert: element sets from any form they are published in to any other, in
// CelesTrak's field names and layout.
#include "catalogue/element_set_merge.h"
#include "catalogue/omm_reader.h"
#include "catalogue/omm_writer.h"
#include "orbit/element_lines.h"
#include "orbit/mean_elements.h"
#include "tools/cli/commands.h"
#include "tools/cli/options.h"

#include <QFile>

#include <cstdio>
#include <string>
#include <vector>

namespace {

const char kUsage[] =
    "Usage: orbitrak-cli convert [--to tle|json|csv|xml|kvn] [FILE]\n"
    "\n"
    "Reads the element sets of FILE (standard input without it) in any of five forms, found\n"
    "from the content: TLEs (with or without name lines), or orbit mean-elements messages\n"
    "(OMM) as JSON, CSV, XML or KVN, as CelesTrak publishes them. Writes them to standard\n"
    "output in the form of --to (default tle), with CelesTrak's field names and layout. Each\n"
    "value of a TLE is rounded to its column as published TLEs are; catalogue numbers from\n"
    "100000 to 339999 are written in the Alpha-5 form (A0000 to Z9999), and sets with larger\n"
    "numbers cannot be TLEs. Sets with a missing, unreadable or out-of-range field are\n"
    "skipped; standard error says why for the first five (\"set N (line L): REASON\") and\n"
    "counts what was left out.\n"
    "\n";

const char kClosing[] =
    "Exit status: 0 at least one set written, 1 none (or output not written), 2 bad arguments,\n"
    "an unreadable file or one in none of the five forms.\n";

} // namespace

// --to is judged before the arguments.
Command convertCommand() {
    return {"convert",
            "element sets from any of TLE, JSON, CSV, XML and KVN to any other",
            kJudgesArguments,
            runConvert,
            17,
            kUsage,
            {{"to", "FORM", "tle (default), json, csv, xml or kvn"}},
            kClosing};
}

int runConvert(const CommandOptions& options) {
    const std::string to = options.has("to") ? options.value("to") : "tle";
    if (to != "tle" && to != "json" && to != "csv" && to != "xml" && to != "kvn")
        return usageError("convert: --to needs tle, json, csv, xml or kvn, got '" + to + "'");
    if (const int refused = refuseExtraArguments("convert", options, 1))
        return refused;

    const bool fromFile = !options.positional().empty();
    const std::string path = fromFile ? options.positional().front() : "-";
    QByteArray text;
    if (fromFile) {
        if (const FileResult read = readFileBounded(QString::fromLocal8Bit(path.c_str()),
                                                    qint64(kMaxElementSetFileBytes), text);
            !read)
            return usageError("convert: " + describeFileFault(path, read, kMaxElementSetFileBytes));
    } else {
        // Standard input is a stream by nature, bounded all the same.
        QFile in;
        if (!in.open(stdin, QIODevice::ReadOnly))
            return usageError("convert: cannot read standard input");
        text = in.read(qint64(kMaxElementSetFileBytes) + 1);
        if (in.error() != QFileDevice::NoError)
            return usageError("convert: cannot read standard input");
        if (text.size() > qint64(kMaxElementSetFileBytes))
            return usageError("convert: standard input is larger than " +
                              sizeBoundText(kMaxElementSetFileBytes) + ".");
    }

    const ElementSetForm form = elementSetForm(text);
    MeanElementsRead read = readAnyMeanElements(text, form);
    if (read.sets.empty() && read.skipped == 0)
        return usageError("convert: " + (fromFile ? path : std::string("Standard input")) +
                          " holds no element sets in a known form.");
    std::size_t beyondTle = 0;
    if (to == "tle") {
        std::vector<MeanElements> kept;
        std::string out;
        for (MeanElements& e : read.sets) {
            const std::optional<ElementLines> lines = writeElementLines(e);
            if (!lines) {
                ++(e.noradCatId > kMaxCatalogueNumber ? beyondTle : read.skipped);
                continue;
            }
            out = tleNameLine(e.objectName, e.noradCatId) + "\n" + lines->line1 + "\n" +
                  lines->line2 + "\n";
            std::fputs(out.c_str(), stdout);
            kept.push_back(std::move(e));
        }
        read.sets = std::move(kept);
    } else {
        const std::string out = to == "json"  ? ommJson(read.sets)
                                : to == "csv" ? ommCsv(read.sets)
                                : to == "xml" ? ommXml(read.sets)
                                              : ommKvn(read.sets);
        std::fwrite(out.data(), 1, out.size(), stdout);
    }

    // The first few reasons, then the counts. JSON tells no lines.
    for (const SkippedSet& why : read.reasons) {
        const std::string line =
            why.lineNumber > 0 ? " (line " + std::to_string(why.lineNumber) + ")" : "";
        std::fprintf(stderr, "orbitrak-cli: convert: set %zu%s: %s\n", why.setNumber, line.c_str(),
                     why.reason.c_str());
    }
    if (read.skipped > 0)
        std::fprintf(stderr,
                     "orbitrak-cli: convert: skipped %zu element sets that failed their checks\n",
                     read.skipped);
    if (beyondTle > 0)
        std::fprintf(stderr,
                     "orbitrak-cli: convert: skipped %zu element sets whose catalogue numbers do "
                     "not fit a TLE\n",
                     beyondTle);
    const int written = finishOutput();
    if (read.sets.empty()) {
        std::fprintf(stderr, "orbitrak-cli: convert: no valid element set written\n");
        return 1;
    }
    return written;
}
