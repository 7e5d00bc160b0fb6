// The documents the index holds, in table order. References left without
// shingles share no hash with the batch: the index holds only the others,
// which keeps every score and every first best match. While it lives, the
// lists of the held documents are moved out of the table (when some are
// left out); they go back when it ends. When the table names hashes left out
// of every score (common text), the index holds copies of the lists without
// them instead.
#pragma once

#include "DocumentTable.h"

#include <cstdint>
#include <span>
#include <vector>

namespace quillmark {

class IndexedDocuments {
public:
    explicit IndexedDocuments(DocumentTable& table);
    ~IndexedDocuments();
    IndexedDocuments(const IndexedDocuments&) = delete;
    IndexedDocuments& operator=(const IndexedDocuments&) = delete;

    /// The documents to index.
    std::span<const TudShingleList> documents() const;
    /// The table's number of an index document (-1 stays).
    std::int32_t toTable(std::int32_t document) const;
    /// Index number minus table number of a batch document.
    std::int32_t offset() const { return m_offset; }

private:
    DocumentTable& m_table;
    /// The table's numbers of the index documents; empty when it holds all.
    std::vector<std::int32_t> m_held;
    std::vector<TudShingleList> m_lists;
    bool m_compact = false;
    /// The lists are copies without the removed hashes.
    bool m_filtered = false;
    std::int32_t m_offset = 0;
};

} // namespace quillmark
