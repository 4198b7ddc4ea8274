#pragma once

#include "catalogue/catalogue_entry.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

// The window's catalogue file, in the working directory, and how many of its sets it shows.
extern const char* const kCatalogueFileName;
constexpr std::size_t kWindowSetLimit = 500;
// The largest element set file read, in any form: a whole catalogue as OMM XML fits.
constexpr std::uint64_t kMaxElementSetFileBytes = 64 << 20;

// The loaded element sets, in file order: the row order of the satellite table. Propagation
// updates the sets' working values in place.
struct Catalogue {
    std::vector<CatalogueEntry> satellites;
    // Complete sets in the file read, also those beyond the limit of the read.
    std::size_t setsInFile = 0;
    // Records of an orbit mean-elements file that were left out for a missing, unreadable or
    // out-of-range field (see readElementSetFile in catalogue/omm_reader.h); in TLE text, sets
    // with a line missing.
    std::size_t skippedSets = 0;

    std::size_t size() const { return satellites.size(); }
    bool empty() const { return satellites.empty(); }
    CatalogueEntry& operator[](std::size_t i) { return satellites[i]; }
    const CatalogueEntry& operator[](std::size_t i) const { return satellites[i]; }
};

// Replaces the catalogue by the sets of a TLE text, as groupElementLines (orbit/element_lines.h)
// finds them, at most maxSets of them (0: no limit), and counts them all; the lines of a set go
// to readElementLines as they stand (ElementLineStrictness::Historical), whatever they hold. A set
// without a name line is named by its line 1 (elementSetNameFromLine1). Element lines out of place
// count as skipped sets.
void readCatalogueText(std::string_view text, std::size_t maxSets, Catalogue& catalogue);

// readCatalogueText for a file's text. Returns 1 when the file is not read (see
// readFileBounded in astro/file_io.h; the catalogue is then empty), else 0.
int readCatalogueFile(const char* path, std::size_t maxSets, Catalogue& catalogue);

// The median of the sets' ages in days at a UTC Julian date (the date less each epoch); none
// for an empty catalogue.
std::optional<double> medianAgeDays(const Catalogue& catalogue, double utcJd);
