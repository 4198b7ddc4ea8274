#pragma once

// The two element lines of a set: their column layout and the small rules every reader and
// writer of them shares. Plain C++; reading them allocates nothing.

#include "orbit/mean_elements.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// A field's columns, counted from 1 as the layout is published.
struct ElementLineField {
    std::size_t first;
    std::size_t last;

    constexpr std::size_t offset() const { return first - 1; } // index of the first column
    constexpr std::size_t width() const { return last - first + 1; }
};

constexpr std::size_t kElementLineLength = 69;

// Both lines: the line number in column 1, a blank, then the catalogue number. The last column
// holds the check digit.
constexpr ElementLineField kCatalogueNumberField{3, 7};
constexpr ElementLineField kCheckDigitField{69, 69};

// Line 1. The two derivative terms with an implied point are a sign, five digits, the
// exponent's sign and one digit.
constexpr ElementLineField kClassificationField{8, 8};
constexpr ElementLineField kDesignatorField{10, 17};
constexpr ElementLineField kEpochYearField{19, 20};
constexpr ElementLineField kEpochDayField{21, 32};
constexpr ElementLineField kMeanMotionDotField{34, 43};
constexpr ElementLineField kMeanMotionDotDotField{45, 52}; // implied point
constexpr ElementLineField kBstarField{54, 61};            // implied point
constexpr ElementLineField kEphemerisTypeField{63, 63};
constexpr ElementLineField kElementNumberField{65, 68};

// Line 2.
constexpr ElementLineField kInclinationField{9, 16};
constexpr ElementLineField kNodeField{18, 25};
constexpr ElementLineField kEccentricityField{27, 33}; // implied leading point
constexpr ElementLineField kPerigeeField{35, 42};
constexpr ElementLineField kMeanAnomalyField{44, 51};
constexpr ElementLineField kMeanMotionField{53, 63};
constexpr ElementLineField kRevolutionField{64, 68};

// The largest number the catalogue field holds: Z9999.
constexpr long kMaxCatalogueNumber = 339999;

// The field's text; the line must reach the field's last column.
inline std::string_view elementLineField(std::string_view line, ElementLineField field) {
    return line.substr(field.offset(), field.width());
}

// The five columns of a catalogue number: five digits (leading blanks allowed) for 0 to 99999,
// or the Alpha-5 form for 100000 to 339999, a letter other than I and O standing for 10 to 33
// before four digits (A0000 is 100000, J0000 180000, Z9999 339999). Empty for anything else.
std::optional<long> decodeCatalogueNumber(std::string_view field);

// The five columns for a number from 0 to kMaxCatalogueNumber: five digits with leading
// zeros, or the Alpha-5 form from 100000 on. Empty for other numbers.
std::optional<std::string> encodeCatalogueNumber(long number);

// The check digit of an element line: its digits over the first 68 columns, each '-' counting
// one, everything else nothing, modulo 10.
int elementLineCheckDigit(std::string_view line);

// The epoch's year from its two digits: 57 to 99 are 1957 to 1999, lower ones 2000 on.
int yearFromTwoDigits(int twoDigits);

// The line without its trailing blanks, when it then is a whole element line of that number:
// 69 columns of printable ASCII, the line number and a blank, and the right check digit last.
std::optional<std::string_view> strictElementLine(std::string_view line, char lineNumber);

// Why a line is not a whole element line of that number (see strictElementLine), in a few
// words ("line 1 has 68 columns, not 69"); empty when it is one.
std::string elementLineFault(std::string_view line, char lineNumber);

// One set of a TLE text, its lines as they stand without line ends; or an element line out of
// place, a set with a line missing.
struct GroupedElementLines {
    std::string_view name;      // the name line ("0 " of Space-Track's form dropped); empty without
    std::string_view line1;     // empty when line 1 is missing
    std::string_view line2;     // empty when line 2 is missing
    std::size_t lineNumber = 0; // of the set's first line in the text, counting from 1
    bool hasNameLine = false;

    bool complete() const { return !line1.empty() && !line2.empty(); }
};

// How the lines of a TLE text form sets; every reader of TLE text takes its sets from here, so
// that they all agree. Lines end in LF or CR LF; a UTF-8 byte-order mark, blank lines and lines
// starting with '#' are passed over. A line starting "1 " followed by one starting "2 " is a
// set; so is a line that starts neither way followed by those two, its name line. An element
// line that fits neither is a set with a line missing; other text is passed over (a page
// around the sets).
std::vector<GroupedElementLines> groupElementLines(std::string_view text);

// The name of a set without a name line: its international designator (line 1, columns 10 to
// 17) as "1998-067A", or its catalogue number when that is blank.
std::string elementSetNameFromLine1(std::string_view line1);

// A set's two element lines, without line ends.
struct ElementLines {
    std::string line1;
    std::string line2;
};

// The two lines with the epoch (line 1, columns 19 to 32, YYDDD.DDDDDDDD) moved later by the
// seconds given (earlier when negative), to the nearest 1e-8 day, and line 1's check digit
// recomputed. A set whose epoch is later reaches every point of its track later by as much.
// Every other column, and whatever follows column 69 (a line end), stays as it was; line 2 is
// returned unchanged. The day may cross into the year before or after (leap years counted).
// Empty when a line is shorter than 69 columns or does not start with its number and a blank,
// when the epoch is not two digits, three digits (leading blanks allowed), a point and eight
// digits, or when the new year lies outside what the two digits can say (1957 to 2056).
std::optional<ElementLines> shiftElementEpoch(std::string_view line1, std::string_view line2,
                                              double seconds);

// How strictly readElementLines takes two element lines: one reader, three degrees of tolerance.
enum class ElementLineStrictness {
    // Published sets, as the update and orbitrak-cli convert take them: two whole lines
    // (strictElementLine) of one catalogue number, every field in its form (digits where digits
    // belong), every value in range (meanElementsInRange). The two derivative terms are the
    // decimals their columns write ("-11606-4" is -0.11606e-4 rounded once).
    Published,
    // The mount's firmware, as the stand-in checks an upload: two whole lines whose catalogue
    // columns are alike, a blank before each field, blanks allowed among the digits of the
    // counters, the eccentricity and the mantissas (read as zeros), a blank exponent sign read
    // as '+', a blank or capital classification. Values are not range-checked.
    Firmware,
    // satell.txt as it has always been read: nothing is refused. A line ends at its line end;
    // its line number is not looked at. Fields are read in column order, blanks among the
    // digits of the eccentricity, the mantissas and the counters as zeros, a blank
    // classification as 'U', up to the first field the line does not reach or that does not
    // read; that one and the ones after it stay zero (epoch day 0 of 2000). Line 2's catalogue
    // number is kept where it reads, else line 1's.
    Historical,
};

// The values of two element lines as the strictness reads them, with the name given; empty
// when it refuses them (never for Historical). The international designator "98067A" becomes
// the OBJECT_ID "1998-067A". Except for Published, a derivative term is its mantissa times its
// power of ten, as the model has always been given them from these lines.
std::optional<MeanElements>
readElementLines(std::string_view line1, std::string_view line2, std::string_view name,
                 ElementLineStrictness strictness = ElementLineStrictness::Published);

// The two lines of a set, each value rounded to its column as published element sets are:
// the epoch day and the first derivative to 8 decimals, the second derivative and BSTAR as a
// five-digit mantissa with a one-digit exponent ("-11606-4", zero " 00000+0"), eccentricity to
// 7 digits without the point, the angles to 4 decimals, the mean motion to 8, the revolution
// count modulo 100000; check digits last. Empty when the set cannot be a TLE: a catalogue number
// above kMaxCatalogueNumber, values out of range, or a value its column cannot hold.
std::optional<ElementLines> writeElementLines(const MeanElements& elements);
