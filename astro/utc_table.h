#pragma once

// The leap-second and Delta T table and its binary file format ("UTCBIN00", little-endian):
//   magic[8] | int32 year, uint16 month, uint16 day (table date) | uint32 N | N x LeapRecord |
//   uint32 M | M x DeltaTPoint | float64 a, b, c
// LeapRecord: int32 year, uint16 month, uint16 day, float64 offset s, float32 reference MJD,
// float32 rate s/day. DeltaTPoint: float32 decimal year, float32 Delta T s. Bytes after c are
// ignored.

#include "astro/calendar.h"
#include "astro/file_io.h"

#include <cfloat>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// One step of TAI - UTC. From its UTC date (00:00) on:
// TAI - UTC = offset + (MJD_UTC - refMjd) * rate seconds, with MJD = JD - 2400000.5.
struct LeapRecord {
    std::int32_t year = 0;
    std::uint16_t month = 1;
    std::uint16_t day = 1;
    double offset = 0.0; // s
    float refMjd = 0.0f;
    float rate = 0.0f; // s/day; 0 for every step after 1972
};
static_assert(sizeof(LeapRecord) == 24, "LeapRecord must stay 24 bytes");

// Delta T = TT - UT1 at a decimal year (JD - 2451545) / 365.25 + 2000.
struct DeltaTPoint {
    float year = 0.0f;
    float deltaT = 0.0f; // s
};
static_assert(sizeof(DeltaTPoint) == 8, "DeltaTPoint must stay 8 bytes");

struct UtcTable {
    bool proleptic = false; // false: Julian calendar before the reform date
    CalendarTime reformDate{1582, 10, 15};
    double reformJd = 2299160.5;
    std::vector<LeapRecord> leaps;   // ascending dates expected, not verified
    std::vector<DeltaTPoint> points; // ascending years expected, not verified
    CalendarTime tableDate;          // issue date of the table (only year, month, day are used)
    // Delta T after the last point: (a * y + b) * y + c seconds.
    double a = 0.0;
    double b = 0.0;
    double c = 0.0;
    bool extrapolationActive = false;
    double extrapolationStart = DBL_MAX; // TT Julian date
    double extrapolationOffset = 0.0;    // days
};

// True when the date (year, month, day) of c lies before the date of r; the time is ignored.
bool dateBefore(const CalendarTime& c, const LeapRecord& r);

// The largest table file read; real tables are a few kilobytes.
constexpr std::uint64_t kMaxUtcFileBytes = 16 << 20;

// Reads a table file image. Nothing is returned when it has the wrong magic, no leap records,
// fewer than 12 Delta T points, counts that its size cannot hold, or a table date more than two
// days after the last point.
std::optional<UtcTable> decodeUtcTable(std::string_view bytes);
// The same for a file, read with readFileBounded (at most kMaxUtcFileBytes); how the reading
// went goes to *file when given.
std::optional<UtcTable> loadUtcFile(const std::string& path, FileResult* file = nullptr);

// The file image of a table (counts taken from the sequences), and writing it to a file whole
// or not at all (writeFileWhole).
std::vector<unsigned char> encodeUtcTable(const UtcTable& table);
FileResult writeUtcFile(const std::string& path, const UtcTable& table);
