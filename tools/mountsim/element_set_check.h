#pragma once

#include <QByteArray>

#include <optional>
#include <string>

// A three-line element set that passed the stand-in's checks, each line without its line end.
struct CheckedElementSet {
    std::string nameLine;
    std::string line1;
    std::string line2;
};

// Checks an uploaded element set as a mount would before taking it: a name line and two
// element lines, parted by line feeds (a final line feed and carriage returns before them are
// allowed). Each element line is printable ASCII of 69 columns (trailing blanks aside), starts
// with its line number and a blank, ends with its check digit, and has every field in its
// columns in the form that field takes; both lines carry the same catalogue number.
std::optional<CheckedElementSet> checkElementSet(const QByteArray& text);

// The check digit of an element line: the sum of its digits over columns 1 to 68, each '-'
// counting one, modulo 10.
int elementLineCheckDigit(const std::string& line);
