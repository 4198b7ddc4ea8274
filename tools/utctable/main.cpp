// orbitrak-utctable: builds the leap-second and Delta T table file read at start-up.

#include "astro/finals.h"
#include "astro/utc_table.h"
#include "catalogue/catalogue_updater.h"
#include "catalogue/time_table_updater.h"
#include "tools/utctable/utc_csv.h"

#include "orbitrak_version.h"

#include <QCommandLineParser>
#include <QDateTime>

#include <cstdio>
#include <cstring>
#include <sstream>
#include <string>
#include <string_view>

#ifndef ORBITRAK_DATA_DIR
#define ORBITRAK_DATA_DIR "data"
#endif

namespace {

constexpr int kExitUsage = 2;

void printHelp() {
    std::printf(
        "Usage: orbitrak-utctable [-o FILE] [--tai-utc CSV] [--delta-t CSV] [--finals FILE]\n"
        "\n"
        "Builds the leap-second and Delta T table that Orbitrak reads at start-up\n"
        "(utc.bin, or user_utc.bin to override it) from the TAI-UTC history and the\n"
        "Delta T series. After the last Delta T point the table keeps Delta T constant.\n"
        "\n"
        "With --finals, an IERS finals2000A file (Bulletin A) continues them: Delta T =\n"
        "32.184 s + (TAI-UTC) - (UT1-UTC) on the first of every month, up to the last day\n"
        "with observed values, which becomes the table date. A step of UT1-UTC by 1 s\n"
        "after the last leap second of the history adds one.\n"
        "\n"
        "  -o FILE          output file (default: utc.bin in the current directory)\n"
        "  --tai-utc CSV    TAI-UTC history (default: %s/tai-utc.csv)\n"
        "  --delta-t CSV    Delta T series (default: %s/delta-t.csv)\n"
        "  --finals FILE    an IERS finals2000A file, e.g. finals2000A.all\n"
        "  -h, --help       show this help and exit\n"
        "  --version        show the version and exit\n",
        ORBITRAK_DATA_DIR, ORBITRAK_DATA_DIR);
}

int fail(const std::string& message) {
    std::fprintf(stderr, "orbitrak-utctable: %s\n", message.c_str());
    return kExitUsage;
}

// Latin-1 maps every byte to one character and back, so paths pass unchanged whatever their
// encoding.
QString fromBytes(const char* text) {
    return QString::fromLatin1(text);
}

std::string toBytes(const QString& text) {
    return text.toLatin1().toStdString();
}

} // namespace

int main(int argc, char** argv) {
    QCommandLineParser parser;
    const QCommandLineOption outputOption("o", QString(), "FILE", "utc.bin");
    const QCommandLineOption taiUtcOption("tai-utc", QString(), "CSV",
                                          fromBytes(ORBITRAK_DATA_DIR "/tai-utc.csv"));
    const QCommandLineOption deltaTOption("delta-t", QString(), "CSV",
                                          fromBytes(ORBITRAK_DATA_DIR "/delta-t.csv"));
    const QCommandLineOption finalsOption("finals", QString(), "FILE");
    parser.addOptions({outputOption, taiUtcOption, deltaTOption, finalsOption});

    // Scripts know these exact forms only (no "--name=value", no "--o"), and help or a fault
    // in the order the arguments come; QCommandLineParser accepts more and reports later, so
    // the words are checked here before it reads them.
    QStringList arguments{fromBytes(argv[0])};
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "-h" || arg == "--help") {
            printHelp();
            return 0;
        }
        if (arg == "--version") {
            std::printf("orbitrak-utctable %s\n", ORBITRAK_VERSION);
            return 0;
        }
        if (arg != "-o" && arg != "--tai-utc" && arg != "--delta-t" && arg != "--finals")
            return fail("unknown option '" + arg + "' (try --help)");
        if (i + 1 >= argc || argv[i + 1][0] == '\0')
            return fail("option " + arg + " needs a value");
        arguments << fromBytes(argv[i]) << fromBytes(argv[i + 1]);
        ++i;
    }
    if (!parser.parse(arguments))
        return fail(toBytes(parser.errorText()));
    const std::string output = toBytes(parser.value(outputOption));
    const std::string tai_utc_path = toBytes(parser.value(taiUtcOption));
    const std::string delta_t_path = toBytes(parser.value(deltaTOption));

    std::vector<LeapRecord> leaps;
    std::vector<DeltaTRow> rows;
    std::string error;
    std::string text;
    {
        if (const FileResult read = readFileBounded(tai_utc_path, kMaxSourceBytes, text); !read)
            return fail(describeFileFault(tai_utc_path, read, kMaxSourceBytes));
        std::istringstream in(text);
        if (!readTaiUtcCsv(in, leaps, error))
            return fail(tai_utc_path + ": " + error);
    }
    {
        if (const FileResult read = readFileBounded(delta_t_path, kMaxSourceBytes, text); !read)
            return fail(describeFileFault(delta_t_path, read, kMaxSourceBytes));
        std::istringstream in(text);
        if (!readDeltaTCsv(in, rows, error))
            return fail(delta_t_path + ": " + error);
    }
    UtcTable table;
    if (!buildUtcTable(leaps, rows, table, error))
        return fail(error);
    if (parser.isSet(finalsOption)) {
        const QString path = parser.value(finalsOption);
        if (const FileResult read = readFileBounded(toBytes(path), kMaxSourceBytes, text); !read)
            return fail(describeFileFault(toBytes(path), read, kMaxSourceBytes));
        std::vector<FinalsDay> days;
        FinalsFault fault;
        const double nowMjd = double(QDateTime::currentMSecsSinceEpoch()) / 86400000.0 + 40587.0;
        UtcTable extended;
        if (!readFinals2000A(text, days, fault) ||
            !buildTableFromFinals(table, days, nowMjd, extended, fault))
            return fail(toBytes(path) + ": " + finalsFaultText(fault).toLocal8Bit().toStdString());
        for (std::size_t i = table.leaps.size(); i < extended.leaps.size(); ++i) {
            const LeapRecord& leap = extended.leaps[i];
            std::printf("New leap second from %s: %04d-%02d-%02d, TAI-UTC %.0f s\n",
                        toBytes(path).c_str(), static_cast<int>(leap.year), leap.month, leap.day,
                        leap.offset);
        }
        table = std::move(extended);
    }
    // What the program would refuse is not worth writing; a table in place stays until the new
    // one has landed whole.
    const std::vector<unsigned char> image = encodeUtcTable(table);
    const std::string_view bytes(reinterpret_cast<const char*>(image.data()), image.size());
    if (!decodeUtcTable(bytes))
        return fail("the table for " + output + " would not read back");
    if (const FileResult written = writeFileWhole(output, bytes); !written)
        return fail(describeFileFault(output, written));
    std::printf("%s: %zu leap records, %zu Delta T points, table date %04d-%02d-%02d\n",
                output.c_str(), table.leaps.size(), table.points.size(),
                static_cast<int>(table.tableDate.year), table.tableDate.month, table.tableDate.day);
    return 0;
}
