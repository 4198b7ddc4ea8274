#include "catalogue/catalogue.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>

const char* const kCatalogueFileName = "satell.txt";

namespace {

constexpr int kLineBufferSize = 256;

// Line reads of a text-mode file: at most size - 1 characters, stopping after a line feed,
// which is kept; a CR LF pair reads as LF on every platform. Buffered by hand: the catalogue is
// read character by character and stdio's per-call locking would dominate.
class TextLineReader {
public:
    explicit TextLineReader(std::FILE* file) : file(file) {}

    // False when end of file was met during the read (the line may still hold characters).
    bool readLine(char* line, int size) {
        int n = 0;
        while (n < size - 1) {
            int c = next();
            if (c == EOF) {
                line[n] = '\0';
                return false;
            }
            if (c == '\r' && peek() == '\n')
                c = next();
            line[n++] = char(c);
            if (c == '\n')
                break;
        }
        line[n] = '\0';
        return true;
    }

private:
    int next() {
        if (pos == end && !refill())
            return EOF;
        return static_cast<unsigned char>(buffer[pos++]);
    }

    int peek() {
        if (pos == end && !refill())
            return EOF;
        return static_cast<unsigned char>(buffer[pos]);
    }

    bool refill() {
        pos = 0;
        end = std::fread(buffer, 1, sizeof buffer, file);
        return end > 0;
    }

public:
    bool failed() const { return std::ferror(file) != 0; }

private:
    std::FILE* file;
    char buffer[1 << 16];
    std::size_t pos = 0;
    std::size_t end = 0;
};

bool isBlank(const char* line) {
    for (; *line != '\0'; ++line)
        if (*line != ' ' && *line != '\t' && *line != '\r' && *line != '\n')
            return false;
    return true;
}

} // namespace

int readCatalogueFile(const char* path, std::size_t maxSets, Catalogue& catalogue) {
    std::FILE* file = std::fopen(path, "rb");
    std::vector<CatalogueEntry>& satellites = catalogue.satellites;
    satellites.clear();
    catalogue.setsInFile = 0;
    catalogue.skippedSets = 0;
    if (!file)
        return 1;

    auto reader = std::make_unique<TextLineReader>(file);
    char name[kLineBufferSize] = {};
    char line1[kLineBufferSize] = {};
    char line2[kLineBufferSize] = {};
    while (true) {
        // Blank lines between sets are passed over: one stray line must not shift every set
        // after it.
        bool more = reader->readLine(name, kLineBufferSize);
        while (more && isBlank(name))
            more = reader->readLine(name, kLineBufferSize);
        if (isBlank(name))
            break;
        reader->readLine(line1, kLineBufferSize);
        reader->readLine(line2, kLineBufferSize);
        // Fewer than three lines left. A last line without a line feed still counts.
        if (line2[0] == '\0')
            break;
        ++catalogue.setsInFile;
        if (maxSets != 0 && satellites.size() >= maxSets)
            continue; // only counted
        CatalogueEntry entry;
        entry.nameLine = name;
        entry.line1 = line1;
        entry.line2 = line2;
        fillCatalogueEntry(entry, name, line1, line2);
        satellites.push_back(std::move(entry));
    }
    // A file that cannot be read to its end (a folder, a failing disk) counts as unreadable.
    const bool failed = reader->failed();
    std::fclose(file);
    if (failed) {
        satellites.clear();
        catalogue.setsInFile = 0;
        return 1;
    }
    return 0;
}

std::optional<double> medianAgeDays(const Catalogue& catalogue, double utcJd) {
    if (catalogue.empty())
        return std::nullopt;
    std::vector<double> ages;
    ages.reserve(catalogue.size());
    for (const CatalogueEntry& satellite : catalogue.satellites)
        ages.push_back(utcJd - satellite.elements.jdsatepoch);
    const std::size_t middle = ages.size() / 2;
    std::nth_element(ages.begin(), ages.begin() + middle, ages.end());
    if (ages.size() % 2 == 1)
        return ages[middle];
    const double below = *std::max_element(ages.begin(), ages.begin() + middle);
    return (below + ages[middle]) / 2.0;
}
