#pragma once

#include <QByteArray>

#include <optional>
#include <string>

// A three-line element set that passed the stand-in's checks, each line without its line end.
struct UploadedElementSet {
    std::string nameLine;
    std::string line1;
    std::string line2;
};

// Checks an uploaded element set as a mount would before taking it: a name line and two
// element lines, parted by line feeds (a final line feed and carriage returns before them are
// allowed). Each element line is printable ASCII of 69 columns (trailing blanks aside), starts
// with its line number and a blank, ends with its check digit, and has every field in its
// columns in the form that field takes; both lines carry the same catalogue number.
std::optional<UploadedElementSet> checkElementSet(const QByteArray& text);
