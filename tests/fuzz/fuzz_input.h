#pragma once

// Helpers shared by the fuzz targets: a scratch file for the readers that take a path, and the
// cutting of an input into the pieces in which a peer's bytes arrive.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

namespace fuzz {

// A file of this process's own in the temporary folder, removed at exit.
inline const std::string& scratchPath() {
    static const std::string path = [] {
        const char* dir = std::getenv("TMPDIR");
        std::string pattern = std::string(dir && *dir ? dir : "/tmp") + "/orbitrak-fuzz-XXXXXX";
        std::vector<char> name(pattern.begin(), pattern.end());
        name.push_back('\0');
        const int fd = mkstemp(name.data());
        if (fd < 0) {
            std::perror("mkstemp");
            std::abort();
        }
        close(fd);
        static std::string kept(name.data());
        std::atexit([] { std::remove(kept.c_str()); });
        return kept;
    }();
    return path;
}

// Replaces the file's content by the given bytes.
inline void writeFile(const std::string& path, const std::uint8_t* data, std::size_t size) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file || (size > 0 && std::fwrite(data, 1, size, file) != size) || std::fclose(file) != 0) {
        std::perror(path.c_str());
        std::abort();
    }
}

// How a stream arrives. The first byte of an input: its low four bits tell how many piece
// lengths follow (one byte each, 0 meaning an arrival without bytes), bit 7 asks for a flood
// (the first piece arrives kFloodRepeats times over, enough to pass any receive bound). The
// rest is the stream, cut into pieces of the given lengths in turn; without lengths, or with
// only zeros, it arrives whole. An input of printable text after a '0' is therefore a stream
// that arrives at once. Bits 4 to 6 are left to the targets.
struct Arrivals {
    static constexpr int kFloodRepeats = 300;

    std::vector<std::vector<std::uint8_t>> pieces;
};

inline Arrivals cutIntoArrivals(const std::uint8_t* data, std::size_t size) {
    Arrivals arrivals;
    if (size == 0)
        return arrivals;
    const std::uint8_t header = data[0];
    std::size_t pos = 1;
    std::vector<std::size_t> lengths;
    for (int i = 0; i < (header & 0x0f) && pos < size; ++i)
        lengths.push_back(data[pos++]);
    int repeats = (header & 0x80) ? Arrivals::kFloodRepeats : 1;
    auto add = [&](const std::uint8_t* begin, std::size_t n) {
        for (; repeats > 1; --repeats)
            arrivals.pieces.emplace_back(begin, begin + n);
        arrivals.pieces.emplace_back(begin, begin + n);
    };
    if (std::all_of(lengths.begin(), lengths.end(), [](std::size_t n) { return n == 0; })) {
        if (!lengths.empty())
            add(data + pos, 0);
        add(data + pos, size - pos);
        return arrivals;
    }
    std::size_t next = 0;
    while (pos < size) {
        const std::size_t n = std::min(lengths[next++ % lengths.size()], size - pos);
        add(data + pos, n);
        pos += n;
    }
    return arrivals;
}

// With ORBITRAK_FUZZ_VERBOSE set, targets print what they do (for checking seeds by hand).
inline bool verbose() {
    static const bool on = std::getenv("ORBITRAK_FUZZ_VERBOSE") != nullptr;
    return on;
}

// A failed property: reported like a crash, so that libFuzzer keeps the input.
[[noreturn]] inline void fail(const char* what) {
    std::fprintf(stderr, "fuzz property failed: %s\n", what);
    std::abort();
}

} // namespace fuzz
