#pragma once

// Element sets in every form they are published in: three-line TLE text, and orbit
// mean-elements messages (OMM) as CelesTrak writes them in JSON (an array of objects), CSV (a
// header row, then one row per set), XML (CCSDS NDM/OMM) and KVN ("KEY = value" lines). The form
// is told from the content alone. JSON and XML are read with Qt's readers.

#include "catalogue/catalogue.h"
#include "catalogue/element_set_merge.h"
#include "catalogue/file_access.h"
#include "orbit/mean_elements.h"

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <vector>

enum class ElementSetForm { None, Tle, Json, Csv, Xml, Kvn };

// The form of a text: JSON when it starts with '[' or '{', XML with '<', KVN when its first line
// is "CCSDS_OMM_VERS = ..." or "OBJECT_NAME = ...", CSV when its first line names OBJECT_NAME
// among comma-separated columns, TLE when groupElementLines (orbit/element_lines.h) finds a
// whole set in it, with or without a name line; otherwise None. A UTF-8 byte-order mark and leading
// blank lines are passed over.
ElementSetForm elementSetForm(const QByteArray& text);

// The form's name as orbitrak-cli convert spells it: "tle", "json", "csv", "xml", "kvn".
const char* elementSetFormName(ElementSetForm form);

struct MeanElementsRead {
    std::vector<MeanElements> sets;  // in text order
    std::size_t skipped = 0;         // records with a missing, unreadable or out-of-range field
    std::vector<SkippedSet> reasons; // of the first skipped ones
};

// The records of an OMM text in the given form (not Tle or None: nothing). A record is kept
// when it has all of OBJECT_NAME, OBJECT_ID, EPOCH, MEAN_MOTION, ECCENTRICITY, INCLINATION,
// RA_OF_ASC_NODE, ARG_OF_PERICENTER, MEAN_ANOMALY, EPHEMERIS_TYPE, CLASSIFICATION_TYPE,
// NORAD_CAT_ID, ELEMENT_SET_NO, REV_AT_EPOCH, BSTAR, MEAN_MOTION_DOT and MEAN_MOTION_DDOT, each
// readable and in range (meanElementsInRange); the others are counted. JSON that does not parse
// gives nothing; XML that breaks off keeps the records before the break. A CSV row is one line
// (a quoted field ends on its line), so no broken row can take later rows with it.
MeanElementsRead readMeanElements(const QByteArray& text, ElementSetForm form);

// The sets of any form as mean elements: TLE text through checkElementSets and
// readElementLines (names trimmed), OMM through readMeanElements.
MeanElementsRead readAnyMeanElements(const QByteArray& text, ElementSetForm form);

// readCatalogueFile for a file of any form. TLE text is read as readCatalogueText reads it; OMM
// records become entries initialised from their values as read (fillCatalogueEntry), the skipped
// ones counted in catalogue.skippedSets. A file in none of the forms leaves the catalogue empty.
// Returns why the file was not read (readFileBounded, at most kMaxElementSetFileBytes), the
// catalogue then empty; form (when given) tells what the file held.
FileResult readElementSetFile(const QString& path, std::size_t maxSets, Catalogue& catalogue,
                              ElementSetForm* form = nullptr);
