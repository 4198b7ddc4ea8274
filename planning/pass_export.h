#pragma once

// The planner's passes written out: as CSV (the columns of orbitrak-cli passes --csv) and as an
// iCalendar file (RFC 5545) with one event per pass. The window's export and orbitrak-cli share
// these, so both write the same bytes.

#include "astro/calendar.h"
#include "astro/site.h"
#include "planning/passes.h"

#include <optional>
#include <string>
#include <vector>

class TimeScales;

struct ExportedPass {
    int catalogNumber = 0;
    std::string name; // UTF-8
    SatellitePass pass;
    std::optional<double> magnitude; // at culmination, where known
};

// A text cell of CSV: quoted when it holds a separator, a quote or a line end. One that starts
// with = + - or @ is quoted with an apostrophe before it ("'=A1"), so that a spreadsheet program
// shows it as text instead of running it as a formula; the OMM CSV reader takes the apostrophe
// off again. Only for text: a number such as -0.5 goes as it is.
std::string csvText(const std::string& text);
// A name as CSV shows it: csvText without surrounding blanks.
std::string csvName(const std::string& text);

// The header line and one line per pass, '\n' ends. withMagnitude appends a magnitude column
// (empty where unknown), so that readers of the fixed columns see no change without it.
std::string passesCsv(const std::vector<ExportedPass>& passes, const TimeScales& scales,
                      bool withMagnitude = false);

// A VCALENDAR of one VEVENT per whole pass, from its rise to its set, CRLF line ends, lines
// folded at 75 octets; a pass the window cuts (a satellite that never rises or sets among them)
// is no event. The UID is made of the catalogue number and the rise to the nearest minute, so
// exporting the same pass again, from any window, replaces the event. stamp: the DTSTAMP, UTC.
std::string passesICalendar(const std::vector<ExportedPass>& passes, const TimeScales& scales,
                            const Site& site, const CalendarTime& stamp);
