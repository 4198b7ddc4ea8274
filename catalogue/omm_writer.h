#pragma once

// Element sets written as orbit mean-elements messages in the forms omm_reader reads: JSON,
// CSV, XML (CCSDS NDM/OMM) and KVN, with CelesTrak's field names, order and layout. Numbers are
// the shortest decimals that read back as the same values. Plain C++.

#include "orbit/mean_elements.h"

#include <string>
#include <vector>

// A JSON array of one object per set.
std::string ommJson(const std::vector<MeanElements>& sets);

// A header row, then one row per set; CR LF ends.
std::string ommCsv(const std::vector<MeanElements>& sets);

// An NDM document of one OMM per set.
std::string ommXml(const std::vector<MeanElements>& sets);

// "KEY = value" lines, each set from its CCSDS_OMM_VERS line on.
std::string ommKvn(const std::vector<MeanElements>& sets);

// A text cell of CSV: quoted when it holds a separator, a quote or a line end. One that starts
// with = + - or @ is quoted with an apostrophe before it ("'=A1"), so that a spreadsheet program
// shows it as text instead of running it as a formula; the OMM CSV reader takes the apostrophe
// off again. Only for text: a number such as -0.5 goes as it is.
std::string csvText(const std::string& text);
