#pragma once

#include <cstddef>

// Catalogue file of the window: satell.txt in the working directory.
extern const char* const kCatalogueFileName;
constexpr std::size_t kWindowSetLimit = 500;

// Replaces satellite_list by the three-line groups of a text file, at most maxSets of them
// (0: no limit). Returns 1 when the file cannot be opened or read (the list is then empty),
// else 0.
int read_TLE_file(const char* path, std::size_t maxSets);

// read_TLE_file(kCatalogueFileName, kWindowSetLimit)
int load_TLEs();
