// What tells one file from another, and one version of a file from the next.
#pragma once

#include <cstdint>
#include <optional>
#include <sys/stat.h>

namespace quillmark {

struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::int64_t size = -1;
    timespec modified{};
    timespec changed{};
    /// CRC-32 of the bytes, where they were read: what tells that a file
    /// found elsewhere is this version to the byte.
    std::optional<std::uint32_t> checksum;

    static FileIdentity of(const struct stat& info) {
        return {static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino),
                static_cast<std::int64_t>(info.st_size), info.st_mtim, info.st_ctim, std::nullopt};
    }

    /// Whether the bytes are the same version: equal size and modification
    /// time. A copy made as mv makes it (another file system, a move back)
    /// keeps both, so this survives the journey that the inode does not.
    bool sameVersion(const FileIdentity& other) const {
        return size == other.size && equal(modified, other.modified);
    }

    /// Whether it is the same file, untouched in between: the version, the
    /// inode and the change time (which any write, rename or chmod moves).
    bool sameFile(const FileIdentity& other) const {
        return device == other.device && inode == other.inode && sameVersion(other) &&
               equal(changed, other.changed);
    }

private:
    static bool equal(const timespec& a, const timespec& b) {
        return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
    }
};

} // namespace quillmark
