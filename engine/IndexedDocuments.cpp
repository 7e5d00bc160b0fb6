#include "IndexedDocuments.h"

#include "analysis/HashMembership.h"

#include <utility>

namespace quillmark {

namespace {

/// `list` without the hashes `removed` holds; Count follows.
TudShingleList without(const TudShingleList& list, const HashMembership& removed) {
    TudShingleList kept;
    kept.Hashes.reserve(list.Hashes.size());
    for (const std::uint32_t hash : list.Hashes)
        if (!removed.contains(hash))
            kept.Hashes.push_back(hash);
    kept.Count = static_cast<std::int32_t>(kept.Hashes.size());
    return kept;
}

} // namespace

IndexedDocuments::IndexedDocuments(DocumentTable& table)
    : m_table(table) {
    const std::int32_t first = table.referenceCount;
    for (std::int32_t i = 0; i < first; ++i)
        if (!table.shingles[static_cast<std::size_t>(i)].Hashes.empty())
            m_held.push_back(i);
    m_compact = static_cast<std::int32_t>(m_held.size()) < first;
    m_filtered = !table.removedHashes.empty();
    if (!m_compact && !m_filtered) {
        m_held.clear();
        return;
    }
    if (!m_compact)
        m_held.clear();
    for (std::int32_t k = m_compact ? first : 0; k < table.count(); ++k)
        m_held.push_back(k);
    if (m_filtered) {
        const HashMembership removed(table.removedHashes);
        for (const std::int32_t i : m_held)
            m_lists.push_back(without(table.shingles[static_cast<std::size_t>(i)], removed));
    } else {
        for (const std::int32_t i : m_held)
            m_lists.push_back(std::move(table.shingles[static_cast<std::size_t>(i)]));
    }
    m_compact = true;
    m_offset = static_cast<std::int32_t>(m_held.size()) - table.count();
}

IndexedDocuments::~IndexedDocuments() {
    if (m_filtered)
        return;
    for (std::size_t j = 0; j < m_lists.size(); ++j)
        m_table.shingles[static_cast<std::size_t>(m_held[j])] = std::move(m_lists[j]);
}

std::span<const TudShingleList> IndexedDocuments::documents() const {
    return m_compact ? std::span<const TudShingleList>(m_lists)
                     : std::span<const TudShingleList>(m_table.shingles);
}

std::int32_t IndexedDocuments::toTable(std::int32_t document) const {
    return m_compact && document >= 0 ? m_held[static_cast<std::size_t>(document)] : document;
}

} // namespace quillmark
