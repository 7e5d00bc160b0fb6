// Sorts every hash of every document, with the document it came from, on
// several threads.
#pragma once

#include "analysis/Stopped.h"
#include "analysis/udShingles.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace quillmark {

/// Writes hash << 32 | document for every hash of every document into
/// `entries` (room for `total`), sorted; the entries of one hash keep the
/// listing order. Returns where each stream of entries starts (and the total
/// at the end): no run of one hash crosses a stream.
std::vector<std::uint32_t> sortEntries(std::span<const TudShingleList> documents,
                                       std::uint64_t* entries, std::size_t total, int threads,
                                       const StopCheck& stop);

} // namespace quillmark
