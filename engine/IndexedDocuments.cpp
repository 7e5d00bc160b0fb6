#include "IndexedDocuments.h"

#include <utility>

namespace quillmark {

IndexedDocuments::IndexedDocuments(DocumentTable& table)
    : m_table(table) {
    const std::int32_t first = table.referenceCount;
    for (std::int32_t i = 0; i < first; ++i)
        if (!table.shingles[static_cast<std::size_t>(i)].Hashes.empty())
            m_held.push_back(i);
    m_compact = static_cast<std::int32_t>(m_held.size()) < first;
    if (!m_compact) {
        m_held.clear();
        return;
    }
    for (std::int32_t k = first; k < table.count(); ++k)
        m_held.push_back(k);
    for (const std::int32_t i : m_held)
        m_lists.push_back(std::move(table.shingles[static_cast<std::size_t>(i)]));
    m_offset = static_cast<std::int32_t>(m_held.size()) - table.count();
}

IndexedDocuments::~IndexedDocuments() {
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
