#pragma once

// One line of comma-separated values as the program writes them (csvText,
// catalogue/omm_writer.h) and as spreadsheets save them.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The fields of one line, as they stand (blanks kept): a field in double quotes may hold commas
// and doubled quotes. Empty when a quote is left open or stray text follows a closing one. A
// quoted field's apostrophe before = + - or @ is taken off: it only keeps a spreadsheet program
// from reading the text as a formula.
std::optional<std::vector<std::string>> csvFields(std::string_view line);
