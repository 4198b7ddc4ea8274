#pragma once

#include "orbit/element_lines.h"

#include <QByteArray>

#include <optional>
#include <string>

// A three-line element set that passed the stand-in's checks, each line without its line end.
struct UploadedElementSet {
    std::string nameLine;
    std::string line1;
    std::string line2;
    MeanElements elements; // as the firmware reads the lines
};

// Checks an uploaded element set as a mount would before taking it: a name line and two
// element lines, parted by line feeds (a final line feed and carriage returns before them are
// allowed), the element lines as the firmware reads them (ElementLineStrictness::Firmware).
std::optional<UploadedElementSet> checkElementSet(const QByteArray& text);
