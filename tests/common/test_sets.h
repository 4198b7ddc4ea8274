#pragma once

#include "catalogue/catalogue.h"

#include <QByteArray>
#include <QFile>
#include <QList>

// Element sets that several tests use, as they stand in a file, line feeds included.
inline const QByteArray kIssName = "ISS (ZARYA)\n";
inline const QByteArray kIssDisplayName =
    "ISS (ZARYA)              (25544)"; // as the table shows it
inline const QByteArray kIssLine1 =
    "1 25544U 98067A   26078.51782528  .00016717  00000-0  30597-3 0  9993\n";
inline const QByteArray kIssLine2 =
    "2 25544  51.6416 247.4627 0006703 130.5360 325.0288 15.49503057500451\n";
inline const QByteArray kCalsphereLine1 =
    "1 00900U 64063C   26078.25058051  .00000586  00000+0  58848-3 0  9991\n";
inline const QByteArray kCalsphereLine2 =
    "2 00900  90.2170  69.6682 0024457 200.0471 222.5878 13.76510242 59057\n";

// Sets whose elements give no position a satellite can have on 2026-03-19 from 00:00 UTC: SGP4
// puts the first 120 km inside the Earth (near-Earth, propagated in batches), the second
// 2,650,000 km away (deep space, set by set); the third's drag uses its orbit up half a day
// after its epoch, and SGP4 gives errors and, between them, positions anywhere.
inline const QByteArray kInvalidSets =
    "BELOW THE SURFACE\n"
    "1 99991U 26001A   26078.50000000  .00000000  00000-0  00000-0 0  9994\n"
    "2 99991  51.6416 247.4627 0001000 130.5360 325.0288 17.50000000    15\n"
    "BEYOND THE MOON\n"
    "1 99992U 26001A   26078.50000000  .00000000  00000-0  00000-0 0  9995\n"
    "2 99992  10.0000 247.4627 0001000 130.5360 325.0288  0.00200000    13\n"
    "FALLEN\n"
    "1 99993U 26001A   26077.50000000  .00000000  00000-0  99999+0 0  9999\n"
    "2 99993  51.6000 247.4627 0001000 130.5360 325.0288 15.50000000    14\n";

// One three-line group of the ISS set, the catalogue field (columns 3 to 7) of both element
// lines replaced.
inline QByteArray group(const QByteArray& name, const QByteArray& number = "25544") {
    return name + QByteArray(kIssLine1).replace(2, 5, number) +
           QByteArray(kIssLine2).replace(2, 5, number);
}

// count such groups named SAT 0, SAT 1, ...
inline QByteArray numberedGroups(int count) {
    QByteArray text;
    for (int i = 0; i < count; ++i)
        text += group("SAT " + QByteArray::number(i) + "\n");
    return text;
}

// One set of orbit mean-elements records in each of CelesTrak's four forms (sample.json, .csv,
// .xml, .kvn): the ISS, a nine-digit debris piece, an Alpha-5 number and, between them, three
// records that fail their checks; bad.json holds only those three.
#define ORBITRAK_OMM_SAMPLES ORBITRAK_TEST_DATA "/catalogue/omm"

// The real catalogue of March 2026, about 14,000 sets.
#define ORBITRAK_ACTIVE_CATALOGUE ORBITRAK_TEST_DATA "/catalogue/active-2026-03.txt"

// Its first `count` sets as they stand in it, three lines each.
inline QList<QByteArray> activeCatalogueHead(int count) {
    QFile file(ORBITRAK_ACTIVE_CATALOGUE);
    QList<QByteArray> sets;
    for (int i = 0; i < count && (i > 0 || file.open(QIODevice::ReadOnly)); ++i) {
        QByteArray set = file.readLine(); // one read after the other
        set += file.readLine();
        sets << set + file.readLine();
    }
    return sets;
}

inline const Catalogue& activeCatalogue() {
    static const Catalogue catalogue = [] {
        Catalogue read;
        readCatalogueFile(ORBITRAK_ACTIVE_CATALOGUE, 0, read);
        return read;
    }();
    return catalogue;
}
