#include "astro/file_io.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <random>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

FileResult systemFault(FileResult::Fault fault, int error) {
    return {fault, std::generic_category().message(error)};
}

FileResult openFault(int error) {
    return systemFault(error == ENOENT ? FileResult::Missing : FileResult::Unreadable, error);
}

// Reads what the descriptor holds, stopping one byte past the bound: a file may grow while read.
FileResult readOpen(int fd, std::uint64_t maxBytes, std::uint64_t expected, std::string& bytes) {
    try {
        bytes.reserve(std::size_t(expected));
        char buffer[1 << 16];
        while (bytes.size() <= maxBytes) {
            const std::uint64_t room = maxBytes - bytes.size() + 1;
            const ssize_t n =
                ::read(fd, buffer, std::size_t(std::min<std::uint64_t>(sizeof buffer, room)));
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0)
                return systemFault(FileResult::Unreadable, errno);
            if (n == 0)
                return {};
            bytes.append(buffer, std::size_t(n));
        }
    } catch (const std::bad_alloc&) {
        return systemFault(FileResult::Unreadable, ENOMEM);
    }
    return {FileResult::TooLarge, {}};
}

} // namespace

FileResult readFileBounded(const std::string& path, std::uint64_t maxBytes, std::string& bytes) {
    bytes.clear();
    // Looked at first, so that a device is never opened at all: opening some has effects.
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        return openFault(errno);
    if (!S_ISREG(info.st_mode))
        return {FileResult::NotAFile, {}};
    if (std::uint64_t(info.st_size) > maxBytes)
        return {FileResult::TooLarge, {}};
    // The path may name something else by now.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return openFault(errno);
    FileResult result;
    if (::fstat(fd, &info) != 0)
        result = systemFault(FileResult::Unreadable, errno);
    else if (!S_ISREG(info.st_mode))
        result = {FileResult::NotAFile, {}};
    else if (std::uint64_t(info.st_size) > maxBytes)
        result = {FileResult::TooLarge, {}};
    else
        result = readOpen(fd, maxBytes, std::uint64_t(info.st_size), bytes);
    ::close(fd);
    if (!result)
        std::string().swap(bytes);
    return result;
}

FileResult writeFileWhole(const std::string& path, std::string_view bytes) {
    std::string target = path;
    struct stat info {};
    if (::lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode)) {
        if (char* real = ::realpath(path.c_str(), nullptr)) {
            target = real;
            std::free(real);
        }
    }
    const bool exists = ::stat(target.c_str(), &info) == 0;
    if (exists && !S_ISREG(info.st_mode))
        return {FileResult::NotAFile, {}};

    // A name of its own beside the target: the rename then stays within one file system.
    std::random_device seed;
    std::mt19937_64 random((std::uint64_t(seed()) << 32) ^ seed());
    std::string temporary;
    int fd = -1;
    for (int attempt = 0; attempt < 16 && fd < 0; ++attempt) {
        char suffix[32];
        std::snprintf(suffix, sizeof suffix, ".%016llx.part",
                      static_cast<unsigned long long>(random()));
        temporary = target + suffix;
        fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST)
            return systemFault(FileResult::Unwritable, errno);
    }
    if (fd < 0)
        return systemFault(FileResult::Unwritable, EEXIST);

    int error = 0;
    if (exists)
        (void)::fchmod(fd, info.st_mode & 07777); // as before, where the owner allows it
    for (std::size_t done = 0; error == 0 && done < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno != EINTR)
            error = errno;
        else if (n > 0)
            done += std::size_t(n);
    }
    // A full disk may only show here, or even only at close on some file systems.
    if (error == 0 && ::fsync(fd) != 0)
        error = errno;
    if (::close(fd) != 0 && error == 0)
        error = errno;
    if (error == 0 && ::rename(temporary.c_str(), target.c_str()) != 0)
        error = errno;
    if (error != 0) {
        ::unlink(temporary.c_str());
        return systemFault(FileResult::Unwritable, error);
    }
    return {};
}

std::string sizeBoundText(std::uint64_t maxBytes) {
    constexpr std::uint64_t mebibyte = 1 << 20;
    if (maxBytes % mebibyte == 0)
        return std::to_string(maxBytes / mebibyte) + " MiB";
    return std::to_string(maxBytes) + " bytes";
}

std::string describeFileFault(const std::string& path, const FileResult& result,
                              std::uint64_t maxBytes) {
    switch (result.fault) {
    case FileResult::None:
        break;
    case FileResult::Missing:
        return path + " does not exist.";
    case FileResult::NotAFile:
        return path + " is not a regular file.";
    case FileResult::TooLarge:
        return path + " is larger than " + sizeBoundText(maxBytes) + ".";
    case FileResult::Unreadable:
        return "Cannot read " + path + ": " + result.systemReason + ".";
    case FileResult::Unwritable:
        return "Cannot write " + path + ": " + result.systemReason + ".";
    }
    return std::string();
}
