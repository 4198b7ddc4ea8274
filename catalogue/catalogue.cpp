#include "catalogue/catalogue.h"

#include "astro/file_io.h"
#include "orbit/element_lines.h"

#include <algorithm>
#include <string>

const char* const kCatalogueFileName = "satell.txt";

namespace {

// Lines are kept and read at most this long, line end included, as they always have been.
constexpr std::size_t kLineBufferSize = 256;

// A line of the text as the catalogue keeps and reads it: at most kLineBufferSize - 1 characters,
// with a line feed when the text had a line end after it.
std::string keptLine(std::string_view line, std::string_view text) {
    const bool ended = line.data() + line.size() < text.data() + text.size();
    std::string out(line.substr(0, kLineBufferSize - 2));
    if (ended)
        out += '\n';
    return out;
}

} // namespace

void readCatalogueText(std::string_view text, std::size_t maxSets, Catalogue& catalogue) {
    std::vector<CatalogueEntry>& satellites = catalogue.satellites;
    satellites.clear();
    catalogue.setsInFile = 0;
    catalogue.skippedSets = 0;
    const std::vector<GroupedElementLines> sets = groupElementLines(text);
    // Room for them all at once: a vector grown by doubling keeps up to as much again.
    satellites.reserve(maxSets != 0 ? std::min(maxSets, sets.size()) : sets.size());
    for (const GroupedElementLines& set : sets) {
        if (!set.complete()) {
            ++catalogue.skippedSets;
            continue;
        }
        ++catalogue.setsInFile;
        if (maxSets != 0 && satellites.size() >= maxSets)
            continue; // only counted
        CatalogueEntry entry;
        entry.nameLine =
            set.hasNameLine ? keptLine(set.name, text) : elementSetNameFromLine1(set.line1) + '\n';
        entry.line1 = keptLine(set.line1, text);
        entry.line2 = keptLine(set.line2, text);
        fillCatalogueEntry(entry, entry.nameLine, entry.line1, entry.line2);
        satellites.push_back(std::move(entry));
    }
}

int readCatalogueFile(const char* path, std::size_t maxSets, Catalogue& catalogue) {
    catalogue = Catalogue{};
    std::string text;
    if (!readFileBounded(path, kMaxElementSetFileBytes, text))
        return 1;
    readCatalogueText(text, maxSets, catalogue);
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
