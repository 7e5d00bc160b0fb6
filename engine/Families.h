// Families of copies: texts joined by "failed against". Each text scoring
// above the allowed percentage is joined to its best match; a family is a
// connected group of two or more texts. Computed from the stored scores, so
// a new selection with another percentage has its own families at once.
#pragma once

#include "DocumentTable.h"

#include <cstdint>
#include <utility>
#include <vector>

namespace quillmark {

struct Family {
    /// A text that failed and the best match it was joined to.
    struct Link {
        std::int32_t text = -1;
        std::int32_t match = -1;
        std::int32_t score = 0;
        friend bool operator==(const Link&, const Link&) = default;
    };
    /// Table numbers, ascending: reference texts (the table's head) first,
    /// then the batch's texts in listing order.
    std::vector<std::int32_t> members;
    /// In the order of their failed texts.
    std::vector<Link> links;
    std::int32_t highestScore = 0;
    /// The family's first text of the batch.
    std::int32_t firstText = -1;
};

class Families {
public:
    Families() = default;
    /// The families of the compared documents of `table` at `percent`,
    /// numbered 1, 2, ... in the order of their first text of the batch.
    static Families of(const DocumentTable& table, int percent);

    /// The number of document `index`'s family; 0 for none.
    std::int32_t familyOf(std::int32_t index) const;
    /// Family `number` is list()[number - 1].
    const std::vector<Family>& list() const& { return m_families; }
    /// Of a temporary (engine.families().list()), the list itself.
    std::vector<Family> list() && { return std::move(m_families); }

private:
    std::vector<std::int32_t> m_numbers;
    std::vector<Family> m_families;
};

} // namespace quillmark
