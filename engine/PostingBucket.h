// The reference files holding the hashes of one range of the hash space, as
// the reference cache stores them: one row per range, so that a batch looks
// up only the ranges its own hashes fall in.
#pragma once

#include <QByteArray>
#include <cstdint>
#include <vector>

namespace quillmark {

class PostingBucket {
public:
    /// A hash's low bits name it inside its bucket; the rest name the bucket.
    static constexpr int LowBits = 14;
    static constexpr std::uint32_t BucketCount = std::uint32_t{1} << (32 - LowBits);

    static std::uint32_t bucketOf(std::uint32_t hash) { return hash >> LowBits; }
    static std::uint32_t lowOf(std::uint32_t hash) { return hash & ((1u << LowBits) - 1); }
    /// An entry: the low bits of a hash above the file holding it.
    static std::uint64_t entry(std::uint32_t hash, std::uint32_t file) {
        return std::uint64_t{lowOf(hash)} << 32 | file;
    }

    /// The sorted entries of stored bytes; empty for bytes of another layout.
    static std::vector<std::uint64_t> decode(const QByteArray& bytes);
    /// The bytes of sorted, distinct entries.
    static QByteArray encode(const std::vector<std::uint64_t>& entries);
    /// Appends the files holding the hash of low bits `low` to `files`.
    static void appendFiles(const QByteArray& bytes, std::uint32_t low,
                            std::vector<std::uint32_t>& files);
    /// `entries` without those in `removed` and with those in `added` (all
    /// three sorted; the result sorted and distinct).
    static std::vector<std::uint64_t> merged(const std::vector<std::uint64_t>& entries,
                                             const std::vector<std::uint64_t>& removed,
                                             const std::vector<std::uint64_t>& added);
};

} // namespace quillmark
