#pragma once

// Every file the program reads or writes goes through these two: a read takes only a regular
// file within a size bound, so that a device or a pipe named as a file can neither stall the
// program nor fill its memory; a write lands whole or not at all.

#include <cstdint>
#include <string>
#include <string_view>

struct FileResult {
    enum Fault {
        None,
        Missing,    // nothing at the path (systemReason says so)
        NotAFile,   // a folder, a device, a pipe, ...
        TooLarge,   // beyond the bound, also when it grew past it while read
        Unreadable, // the system refused (systemReason)
        Unwritable, // the system refused (systemReason); the old file is untouched
    };
    Fault fault = None;
    std::string systemReason; // the system's words, for Missing, Unreadable and Unwritable

    explicit operator bool() const { return fault == None; }
};

// The whole of a regular file of at most maxBytes into bytes (empty on a fault). The path is
// looked at before it is opened, opened without waiting, and looked at again once open: no
// open or read ever blocks on a pipe or a device.
FileResult readFileBounded(const std::string& path, std::uint64_t maxBytes, std::string& bytes);

// Replaces (or makes) the file at path by bytes: written to a new file in the same folder,
// synced and renamed over the path only when every byte has landed. A symbolic link is written
// through, an existing file keeps its permissions, and a path naming anything but a regular
// file is refused (NotAFile). On a fault the file at path is as it was.
FileResult writeFileWhole(const std::string& path, std::string_view bytes);

// The fault in English, path first or named: "PATH is not a regular file.", "PATH is larger
// than 4 MiB.", "Cannot read PATH: Permission denied." For the command-line tools; the window
// words them through its translations (catalogue/file_access.h).
std::string describeFileFault(const std::string& path, const FileResult& result,
                              std::uint64_t maxBytes = 0);

// How a size bound reads: "4 MiB", or bytes when it is no whole number of MiB.
std::string sizeBoundText(std::uint64_t maxBytes);
