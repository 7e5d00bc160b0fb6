#include "HashMembership.h"

#include <algorithm>
#include <bit>

namespace quillmark {

HashMembership::HashMembership(std::span<const std::uint32_t> hashes) {
    // At most half full, so probes stay short.
    const std::size_t capacity = std::bit_ceil(std::max<std::size_t>(hashes.size() * 2, 16));
    m_slots.assign(capacity, emptySlot);
    m_mask = static_cast<std::uint32_t>(capacity - 1);
    m_shift = 64 - static_cast<unsigned>(std::countr_zero(capacity));
    for (const std::uint32_t hash : hashes) {
        if (hash == emptySlot) {
            m_holdsEmptyValue = true;
            continue;
        }
        std::uint32_t slot = slotOf(hash);
        while (m_slots[slot] != emptySlot && m_slots[slot] != hash)
            slot = (slot + 1) & m_mask;
        m_slots[slot] = hash;
    }
}

std::int64_t HashMembership::countFound(std::span<const std::uint32_t> hashes) const {
    std::int64_t found = 0;
    for (const std::uint32_t hash : hashes)
        found += contains(hash) ? 1 : 0;
    return found;
}

} // namespace quillmark
