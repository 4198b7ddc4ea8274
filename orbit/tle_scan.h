#pragma once

// Scanning of the two element lines with exactly the results of C's formatted scanning
// (sscanf in the "C" locale) for the formats
//   line 1: "%2d %5ld %1c %10s %2d %12lf %11lf %7lf %2d %7lf %2d %2d %6ld "
//   line 2: "%2d %5ld %9lf %9lf %8lf %9lf %9lf %10lf %6ld \n"   (or %11lf for mean motion)
// including widths, whitespace skipping, partial numbers such as "1e", "inf", "nan" and hex
// floats, and stopping at the first field that does not match. Fields after that keep the
// values they had. Written by hand because sscanf dominates the cost of reading a catalogue and
// follows the process locale, which a Qt application sets from the environment.
//
// The scans read no further than the line's terminating NUL.

struct Line1Fields {
    int cardnumb = 0;
    long satnum = 0;
    char classification = 0;
    char intldesg[11] = {};
    int epochyr = 0;
    double epochdays = 0;
    double ndot = 0;
    double nddot = 0; // mantissa
    int nexp = 0;
    double bstar = 0; // mantissa
    int ibexp = 0;
    int numb = 0; // ephemeris type
    long elnum = 0;
};

struct Line2Fields {
    int cardnumb = 0;
    long satnum = 0;
    double inclo = 0;
    double nodeo = 0;
    double ecco = 0;
    double argpo = 0;
    double mo = 0;
    double no = 0;
    long revnum = 0;
};

enum class CatalogueNumbers {
    Digits, // five digits, exactly as "%5ld" reads them
    Alpha5, // also the Alpha-5 form: a letter A-Z without I and O, then four digits
};

// Both return the number of fields assigned, as sscanf does (0 instead of EOF).
int scanLine1(const char* line, Line1Fields& f, CatalogueNumbers numbers);
int scanLine2(const char* line, bool wide_mean_motion, Line2Fields& f, CatalogueNumbers numbers);
