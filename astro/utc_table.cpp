#include "astro/utc_table.h"

#include <cstring>
#include <new>

namespace {

constexpr char kMagic[8] = {'U', 'T', 'C', 'B', 'I', 'N', '0', '0'};
constexpr std::uint64_t kHeaderSize = 20; // magic, table date, N
constexpr std::uint64_t kLeapSize = 24;
constexpr std::uint64_t kPointSize = 8;
constexpr std::uint64_t kTrailerSize = 24; // a, b, c
constexpr std::uint32_t kMinPoints = 12;
constexpr std::uint32_t kMaxCount = 0x7fffffff;
// A table may be issued up to two days after its last Delta T point.
constexpr double kTableDateTolerance = 0.005479452054794521;

std::uint16_t getU16(const unsigned char* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

std::uint32_t getU32(const unsigned char* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

std::uint64_t getU64(const unsigned char* p) {
    return static_cast<std::uint64_t>(getU32(p)) |
           (static_cast<std::uint64_t>(getU32(p + 4)) << 32);
}

std::int32_t getI32(const unsigned char* p) {
    const std::uint32_t u = getU32(p);
    std::int32_t v;
    std::memcpy(&v, &u, sizeof v);
    return v;
}

float getF32(const unsigned char* p) {
    const std::uint32_t u = getU32(p);
    float v;
    std::memcpy(&v, &u, sizeof v);
    return v;
}

double getF64(const unsigned char* p) {
    const std::uint64_t u = getU64(p);
    double v;
    std::memcpy(&v, &u, sizeof v);
    return v;
}

void putU16(std::vector<unsigned char>& out, std::uint16_t v) {
    out.push_back(static_cast<unsigned char>(v & 0xff));
    out.push_back(static_cast<unsigned char>(v >> 8));
}

void putU32(std::vector<unsigned char>& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<unsigned char>((v >> (8 * i)) & 0xff));
}

void putU64(std::vector<unsigned char>& out, std::uint64_t v) {
    for (int i = 0; i < 8; ++i)
        out.push_back(static_cast<unsigned char>((v >> (8 * i)) & 0xff));
}

void putI32(std::vector<unsigned char>& out, std::int32_t v) {
    std::uint32_t u;
    std::memcpy(&u, &v, sizeof u);
    putU32(out, u);
}

void putF32(std::vector<unsigned char>& out, float v) {
    std::uint32_t u;
    std::memcpy(&u, &v, sizeof u);
    putU32(out, u);
}

void putF64(std::vector<unsigned char>& out, double v) {
    std::uint64_t u;
    std::memcpy(&u, &v, sizeof u);
    putU64(out, u);
}

// The file's bytes, read front to back.
struct ByteCursor {
    const unsigned char* at;
    std::uint64_t left;

    bool take(unsigned char* buffer, std::size_t size) {
        if (left < size)
            return false;
        std::memcpy(buffer, at, size);
        at += size;
        left -= size;
        return true;
    }
};

std::optional<UtcTable> readTable(std::string_view bytes) {
    ByteCursor in{reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size()};
    const std::uint64_t file_size = bytes.size();
    unsigned char header[kHeaderSize];
    if (file_size < kHeaderSize || !in.take(header, kHeaderSize) ||
        std::memcmp(header, kMagic, sizeof kMagic) != 0)
        return std::nullopt;

    UtcTable table;
    table.tableDate.year = getI32(header + 8);
    table.tableDate.month = getU16(header + 12);
    table.tableDate.day = getU16(header + 14);
    const std::uint32_t n = getU32(header + 16);
    // Counts beyond the 32-bit signed range cannot be indexed by the search cache.
    if (n == 0 || n > kMaxCount)
        return std::nullopt;
    // The size checks come before any allocation: the counts are untrusted.
    std::uint64_t remaining = file_size - kHeaderSize;
    if (remaining < n * kLeapSize + 4)
        return std::nullopt;
    remaining -= n * kLeapSize + 4;

    table.leaps.resize(n);
    for (LeapRecord& r : table.leaps) {
        unsigned char b[kLeapSize];
        if (!in.take(b, kLeapSize))
            return std::nullopt;
        r.year = getI32(b);
        r.month = getU16(b + 4);
        r.day = getU16(b + 6);
        r.offset = getF64(b + 8);
        r.refMjd = getF32(b + 16);
        r.rate = getF32(b + 20);
    }

    unsigned char count[4];
    if (!in.take(count, sizeof count))
        return std::nullopt;
    const std::uint32_t m = getU32(count);
    if (m < kMinPoints || m > kMaxCount || remaining < m * kPointSize + kTrailerSize)
        return std::nullopt;

    table.points.resize(m);
    for (DeltaTPoint& p : table.points) {
        unsigned char b[kPointSize];
        if (!in.take(b, kPointSize))
            return std::nullopt;
        p.year = getF32(b);
        p.deltaT = getF32(b + 4);
    }

    unsigned char trailer[kTrailerSize];
    if (!in.take(trailer, kTrailerSize))
        return std::nullopt;
    table.a = getF64(trailer);
    table.b = getF64(trailer + 8);
    table.c = getF64(trailer + 16);

    CalendarTime date;
    date.year = table.tableDate.year;
    date.month = table.tableDate.month;
    date.day = table.tableDate.day;
    if (decimalYear(calendarToJd(nullptr, date)) >
        static_cast<double>(table.points.back().year) + kTableDateTolerance)
        return std::nullopt;
    return table;
}

} // namespace

bool dateBefore(const CalendarTime& c, const LeapRecord& r) {
    if (c.year != r.year)
        return c.year < r.year;
    if (c.month != r.month)
        return c.month < r.month;
    return c.day < r.day;
}

std::optional<UtcTable> decodeUtcTable(std::string_view bytes) {
    try {
        return readTable(bytes);
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
}

std::optional<UtcTable> loadUtcFile(const std::string& path, FileResult* file) {
    std::string bytes;
    const FileResult read = readFileBounded(path, kMaxUtcFileBytes, bytes);
    if (file)
        *file = read;
    if (!read)
        return std::nullopt;
    return decodeUtcTable(bytes);
}

std::vector<unsigned char> encodeUtcTable(const UtcTable& table) {
    std::vector<unsigned char> out;
    out.reserve(kHeaderSize + 4 + kTrailerSize + table.leaps.size() * kLeapSize +
                table.points.size() * kPointSize);
    for (char ch : kMagic)
        out.push_back(static_cast<unsigned char>(ch));
    putI32(out, table.tableDate.year);
    putU16(out, table.tableDate.month);
    putU16(out, table.tableDate.day);
    putU32(out, static_cast<std::uint32_t>(table.leaps.size()));
    for (const LeapRecord& r : table.leaps) {
        putI32(out, r.year);
        putU16(out, r.month);
        putU16(out, r.day);
        putF64(out, r.offset);
        putF32(out, r.refMjd);
        putF32(out, r.rate);
    }
    putU32(out, static_cast<std::uint32_t>(table.points.size()));
    for (const DeltaTPoint& p : table.points) {
        putF32(out, p.year);
        putF32(out, p.deltaT);
    }
    putF64(out, table.a);
    putF64(out, table.b);
    putF64(out, table.c);
    return out;
}

FileResult writeUtcFile(const std::string& path, const UtcTable& table) {
    const std::vector<unsigned char> bytes = encodeUtcTable(table);
    return writeFileWhole(
        path, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}
