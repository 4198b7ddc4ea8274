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

} // namespace

int read_TLE_file(const char* path, std::size_t maxSets, Catalogue& catalogue) {
    std::FILE* file = std::fopen(path, "rb");
    std::vector<TLE_Satellite>& satellites = catalogue.satellites;
    satellites.clear();
    if (!file)
        return 1;

    auto reader = std::make_unique<TextLineReader>(file);
    char name[kLineBufferSize] = {};
    char line1[kLineBufferSize] = {};
    char line2[kLineBufferSize] = {};
    std::size_t count = 0;
    while (true) {
        // All three reads happen, as a stdio loop would do them, before the end is judged.
        bool complete = reader->readLine(name, kLineBufferSize);
        complete = reader->readLine(line1, kLineBufferSize) && complete;
        complete = reader->readLine(line2, kLineBufferSize) && complete;
        if (!complete)
            break;
        TLE_Satellite entry;
        entry.name_line = name;
        entry.line1 = line1;
        entry.line2 = line2;
        fill_TLE_Satellite(entry, name, line1, line2);
        satellites.push_back(std::move(entry));
        if (++count == maxSets)
            break;
    }
    // A file that cannot be read to its end (a folder, a failing disk) counts as unreadable.
    const bool failed = reader->failed();
    std::fclose(file);
    if (failed) {
        satellites.clear();
        return 1;
    }
    return 0;
}

std::optional<double> median_age_days(const Catalogue& catalogue, double utcJd) {
    if (catalogue.empty())
        return std::nullopt;
    std::vector<double> ages;
    ages.reserve(catalogue.size());
    for (const TLE_Satellite& satellite : catalogue.satellites)
        ages.push_back(utcJd - satellite.elements.jdsatepoch);
    const std::size_t middle = ages.size() / 2;
    std::nth_element(ages.begin(), ages.begin() + middle, ages.end());
    if (ages.size() % 2 == 1)
        return ages[middle];
    const double below = *std::max_element(ages.begin(), ages.begin() + middle);
    return (below + ages[middle]) / 2.0;
}
