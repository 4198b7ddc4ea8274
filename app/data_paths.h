#pragma once

#include <QString>

#include <string>
#include <vector>

// Where the window finds its files. The working directory comes first, as it always has; then
// the per-user data folder ($XDG_DATA_HOME/Halvstar/Orbitrak, by default
// ~/.local/share/Halvstar/Orbitrak), so that a program started from a desktop menu finds its
// catalogue; then, for the time table, the data installed with the program
// (<executable>/../share/orbitrak), so that any install prefix works.
namespace data_paths {

QString userFolder();

// satell.txt of the working directory when there is one, else the per-user folder's (which may
// not exist yet: it is where a new catalogue goes).
QString catalogueFile();

// The folders to look for user_utc.bin and utc.bin in, in order.
std::vector<std::string> timeTableFolders();

} // namespace data_paths
