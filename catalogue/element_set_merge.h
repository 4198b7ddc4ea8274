#pragma once

// Element sets as downloaded: the checks a set must pass before it may reach the catalogue
// file, and the merge of several sources into one file.

#include <cstddef>
#include <string>
#include <vector>

class QByteArray;

// One set that passed the checks: its three lines without line ends, its catalogue number
// (Alpha-5 decoded: A0001 is 100001) and its epoch as year * 1000 + day of year.
// A set without a name line is named by its line 1 (elementSetNameFromLine1). setNumber counts
// every set of the text, skipped ones too, from 1; lineNumber is that of its first line.
struct CheckedElementSet {
    std::string nameLine;
    std::string line1;
    std::string line2;
    long catalogueNumber = 0;
    double epoch = 0.0;
    std::size_t setNumber = 0;
    std::size_t lineNumber = 0;
};

// Why a set was left out: its place (as CheckedElementSet counts it; line 0 where the form has
// no lines to count) and the check it failed, in a few words.
struct SkippedSet {
    std::size_t setNumber = 0;
    std::size_t lineNumber = 0;
    std::string reason;
};

// How many reasons a read keeps: the first ones, in text order.
constexpr std::size_t kSkipReasonsKept = 5;

// Counts a skipped set and keeps its reason when fewer than kSkipReasonsKept are kept; reasons
// come in text order.
void noteSkippedSet(std::size_t& skipped, std::vector<SkippedSet>& reasons, SkippedSet why);

struct CheckedText {
    std::vector<CheckedElementSet> sets; // in text order
    std::size_t skipped = 0;             // sets that failed a check
    std::vector<SkippedSet> reasons;     // of the first skipped ones
    std::size_t beyondTle = 0;           // valid sets whose numbers do not fit a TLE (> 339999)
};

// The sets of a TLE text, grouped by groupElementLines (orbit/element_lines.h): with or without
// name lines, Space-Track's "0 NAME" read as NAME. A set is kept when both element lines are
// strict (strictElementLine; CR aside), carry one catalogue number and line 1 a readable epoch,
// and its name line is short printable text. The others, element lines out of place among them,
// are counted as skipped.
CheckedText checkElementSets(const std::string& text);

// The sets of several sources in source order, each catalogue number once: where a number
// comes again, the set with the newest epoch takes the place of the number's first appearance
// (on equal epochs the earlier one stays).
// checkElementSets for a body of any form (see catalogue/omm_reader.h): TLE text as
// checkElementSets reads it; orbit mean-elements messages (JSON, CSV, XML, KVN) with each valid
// record written as two element lines (writeElementLines in orbit/element_lines.h) and its
// name line (tleNameLine). Records that fail are counted as skipped, valid ones whose catalogue
// number is above 339999 as beyondTle. Defined with the Qt readers, in
// orbitrak_catalogue_forms.
CheckedText checkElementSetsAnyForm(const QByteArray& body);

// A name as a set's name line: control characters as blanks, at most 100 bytes; a blank name
// gives the catalogue number instead, as a blank line would shift every later set of a file.
std::string tleNameLine(const std::string& name, long catalogueNumber);

std::vector<CheckedElementSet>
mergeElementSets(const std::vector<std::vector<CheckedElementSet>>& sources);

// The catalogue file's text: three lines per set, each ending in a line feed.
std::string catalogueText(const std::vector<CheckedElementSet>& sets);
