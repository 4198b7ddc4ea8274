#pragma once

// Helpers shared by the fuzz targets: a scratch folder for the readers that take a path, and the
// cutting of an input into the pieces in which a peer's bytes arrive.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <unistd.h>

namespace fuzz {

// A failed property: reported like a crash, so that libFuzzer keeps the input.
[[noreturn]] inline void fail(const char* what) {
    std::fprintf(stderr, "fuzz property failed: %s\n", what);
    std::abort();
}

// A folder of this process's own in the temporary folder, removed with its files at exit.
inline const std::string& scratchFolder() {
    struct Folder {
        std::string path;
        Folder() {
            const char* dir = std::getenv("TMPDIR");
            path = std::string(dir && *dir ? dir : "/tmp") + "/orbitrak-fuzz-XXXXXX";
            if (!mkdtemp(&path[0]))
                fail("mkdtemp");
        }
        ~Folder() { std::filesystem::remove_all(path); }
    };
    static const Folder folder;
    return folder.path;
}

// Replaces the file's content by the given bytes.
inline void writeFile(const std::string& path, const std::uint8_t* data, std::size_t size) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file || (size > 0 && std::fwrite(data, 1, size, file) != size) || std::fclose(file) != 0)
        fail("cannot write the scratch file");
}

// How a stream arrives. The first byte of an input: its low four bits tell how many piece
// lengths follow (one byte each, 0 meaning an arrival without bytes), bit 7 asks for a flood
// (the first piece arrives kFloodRepeats times over, enough to pass any receive bound). The
// rest is the stream, cut into pieces of the given lengths in turn; without lengths, or with
// only zeros, it arrives whole. An input of printable text after a '0' is therefore a stream
// that arrives at once. Bits 4 to 6 are left to the targets.
constexpr int kFloodRepeats = 300;
using Piece = std::vector<std::uint8_t>;

inline std::vector<Piece> cutIntoArrivals(const std::uint8_t* data, std::size_t size) {
    std::vector<Piece> pieces;
    if (size == 0)
        return pieces;
    std::size_t pos = 1;
    std::vector<std::size_t> lengths;
    for (int i = 0; i < (data[0] & 0x0f) && pos < size; ++i)
        lengths.push_back(data[pos++]);
    int repeats = (data[0] & 0x80) ? kFloodRepeats : 1;
    auto add = [&](std::size_t n) {
        for (; repeats > 0; --repeats)
            pieces.emplace_back(data + pos, data + pos + n);
        repeats = 1;
        pos += n;
    };
    if (std::all_of(lengths.begin(), lengths.end(), [](std::size_t n) { return n == 0; })) {
        if (!lengths.empty())
            add(0);
        add(size - pos);
        return pieces;
    }
    std::size_t next = 0;
    while (pos < size) // add() moves pos on
        add(std::min(lengths[next++ % lengths.size()], size - pos));
    return pieces;
}

} // namespace fuzz
