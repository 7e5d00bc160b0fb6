#include "PostingBucket.h"

#include <algorithm>
#include <cstring>
#include <iterator>

namespace quillmark {

namespace {

// All low bits first, then all files, in entry order: a lookup searches the
// narrow column alone. Native byte order: the cache belongs to this machine.
constexpr std::size_t EntryBytes = sizeof(std::uint16_t) + sizeof(std::uint32_t);

std::uint16_t lowAt(const char* data, std::size_t at) {
    std::uint16_t low = 0;
    std::memcpy(&low, data + at * sizeof low, sizeof low);
    return low;
}

std::uint32_t fileAt(const char* data, std::size_t count, std::size_t at) {
    std::uint32_t file = 0;
    std::memcpy(&file, data + count * sizeof(std::uint16_t) + at * sizeof file, sizeof file);
    return file;
}

} // namespace

std::vector<std::uint64_t> PostingBucket::decode(const QByteArray& bytes) {
    if (bytes.size() % EntryBytes != 0)
        return {};
    const std::size_t count = static_cast<std::size_t>(bytes.size()) / EntryBytes;
    std::vector<std::uint64_t> entries(count);
    for (std::size_t i = 0; i < count; ++i)
        entries[i] =
            std::uint64_t{lowAt(bytes.constData(), i)} << 32 | fileAt(bytes.constData(), count, i);
    return entries;
}

QByteArray PostingBucket::encode(const std::vector<std::uint64_t>& entries) {
    QByteArray bytes(static_cast<qsizetype>(entries.size() * EntryBytes), Qt::Uninitialized);
    char* lows = bytes.data();
    char* files = lows + entries.size() * sizeof(std::uint16_t);
    for (const std::uint64_t entry : entries) {
        const auto low = static_cast<std::uint16_t>(entry >> 32);
        const auto file = static_cast<std::uint32_t>(entry);
        std::memcpy(lows, &low, sizeof low);
        std::memcpy(files, &file, sizeof file);
        lows += sizeof low;
        files += sizeof file;
    }
    return bytes;
}

void PostingBucket::appendFiles(const QByteArray& bytes, std::uint32_t low,
                                std::vector<std::uint32_t>& files) {
    if (bytes.size() % EntryBytes != 0)
        return;
    const std::size_t count = static_cast<std::size_t>(bytes.size()) / EntryBytes;
    const char* data = bytes.constData();
    std::size_t first = 0;
    for (std::size_t size = count; size > 0;) {
        const std::size_t half = size / 2;
        if (lowAt(data, first + half) < low) {
            first += half + 1;
            size -= half + 1;
        } else {
            size = half;
        }
    }
    for (std::size_t at = first; at < count && lowAt(data, at) == low; ++at)
        files.push_back(fileAt(data, count, at));
}

std::vector<std::uint64_t> PostingBucket::merged(const std::vector<std::uint64_t>& entries,
                                                 const std::vector<std::uint64_t>& removed,
                                                 const std::vector<std::uint64_t>& added) {
    std::vector<std::uint64_t> kept;
    kept.reserve(entries.size());
    std::set_difference(entries.begin(), entries.end(), removed.begin(), removed.end(),
                        std::back_inserter(kept));
    std::vector<std::uint64_t> result;
    result.reserve(kept.size() + added.size());
    std::set_union(kept.begin(), kept.end(), added.begin(), added.end(),
                   std::back_inserter(result));
    result.erase(std::unique(result.begin(), result.end()), result.end());
    return result;
}

} // namespace quillmark
