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

std::uint16_t u16At(const unsigned char* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

std::uint32_t u32At(const unsigned char* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

std::uint64_t u64At(const unsigned char* p) {
    return static_cast<std::uint64_t>(u32At(p)) | (static_cast<std::uint64_t>(u32At(p + 4)) << 32);
}

std::int32_t i32At(const unsigned char* p) {
    const std::uint32_t u = u32At(p);
    std::int32_t v;
    std::memcpy(&v, &u, sizeof v);
    return v;
}

float f32At(const unsigned char* p) {
    const std::uint32_t u = u32At(p);
    float v;
    std::memcpy(&v, &u, sizeof v);
    return v;
}

double f64At(const unsigned char* p) {
    const std::uint64_t u = u64At(p);
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
    const std::uint64_t fileSize = bytes.size();
    unsigned char header[kHeaderSize];
    if (fileSize < kHeaderSize || !in.take(header, kHeaderSize) ||
        std::memcmp(header, kMagic, sizeof kMagic) != 0)
        return std::nullopt;

    UtcTable table;
    table.tableDate.year = i32At(header + 8);
    table.tableDate.month = u16At(header + 12);
    table.tableDate.day = u16At(header + 14);
    const std::uint32_t n = u32At(header + 16);
    // Counts beyond the 32-bit signed range cannot be indexed by the search cache.
    if (n == 0 || n > kMaxCount)
        return std::nullopt;
    // The size checks come before any allocation: the counts are untrusted.
    std::uint64_t remaining = fileSize - kHeaderSize;
    if (remaining < n * kLeapSize + 4)
        return std::nullopt;
    remaining -= n * kLeapSize + 4;

    table.leaps.resize(n);
    for (LeapRecord& r : table.leaps) {
        unsigned char b[kLeapSize];
        if (!in.take(b, kLeapSize))
            return std::nullopt;
        r.year = i32At(b);
        r.month = u16At(b + 4);
        r.day = u16At(b + 6);
        r.offset = f64At(b + 8);
        r.refMjd = f32At(b + 16);
        r.rate = f32At(b + 20);
    }

    unsigned char count[4];
    if (!in.take(count, sizeof count))
        return std::nullopt;
    const std::uint32_t m = u32At(count);
    if (m < kMinPoints || m > kMaxCount || remaining < m * kPointSize + kTrailerSize)
        return std::nullopt;

    table.points.resize(m);
    for (DeltaTPoint& p : table.points) {
        unsigned char b[kPointSize];
        if (!in.take(b, kPointSize))
            return std::nullopt;
        p.year = f32At(b);
        p.deltaT = f32At(b + 4);
    }

    unsigned char trailer[kTrailerSize];
    if (!in.take(trailer, kTrailerSize))
        return std::nullopt;
    table.a = f64At(trailer);
    table.b = f64At(trailer + 8);
    table.c = f64At(trailer + 16);

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
