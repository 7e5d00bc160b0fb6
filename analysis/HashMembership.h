// A set of shingle hashes built once and asked many times whether it holds a
// value; scoring asks it once per hash of every earlier text.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace quillmark {

class HashMembership {
public:
    explicit HashMembership(std::span<const std::uint32_t> hashes);

    bool contains(std::uint32_t hash) const {
        if (hash == emptySlot)
            return m_holdsEmptyValue;
        for (std::uint32_t slot = slotOf(hash);; slot = (slot + 1) & m_mask) {
            const std::uint32_t stored = m_slots[slot];
            if (stored == hash)
                return true;
            if (stored == emptySlot)
                return false;
        }
    }

    /// How many entries of `hashes` the set holds, repeats counted each time.
    std::int64_t countFound(std::span<const std::uint32_t> hashes) const;

private:
    // A slot holding 0 is free; the value 0 itself is kept aside.
    static constexpr std::uint32_t emptySlot = 0;

    std::uint32_t slotOf(std::uint32_t hash) const {
        return static_cast<std::uint32_t>((std::uint64_t{hash} * 0x9E3779B97F4A7C15ull) >>
                                          m_shift) &
               m_mask;
    }

    std::vector<std::uint32_t> m_slots;
    std::uint32_t m_mask = 0;
    unsigned m_shift = 0;
    bool m_holdsEmptyValue = false;
};

} // namespace quillmark
