#include "Families.h"

#include <algorithm>
#include <numeric>

namespace quillmark {

namespace {

/// Disjoint sets of table numbers, each named by its smallest member.
class Groups {
public:
    explicit Groups(std::size_t size)
        : m_parent(size) {
        std::iota(m_parent.begin(), m_parent.end(), 0);
    }

    std::int32_t root(std::int32_t item) {
        while (m_parent[static_cast<std::size_t>(item)] != item) {
            auto& parent = m_parent[static_cast<std::size_t>(item)];
            parent = m_parent[static_cast<std::size_t>(parent)];
            item = parent;
        }
        return item;
    }

    void join(std::int32_t a, std::int32_t b) {
        const std::int32_t x = root(a);
        const std::int32_t y = root(b);
        m_parent[static_cast<std::size_t>(std::max(x, y))] = std::min(x, y);
    }

private:
    std::vector<std::int32_t> m_parent;
};

} // namespace

Families Families::of(const DocumentTable& table, int percent) {
    const std::int32_t count = std::min(table.comparedCount, table.count());
    Families result;
    result.m_numbers.assign(static_cast<std::size_t>(std::max(count, 0)), 0);
    std::vector<Family::Link> links;
    for (std::int32_t k = table.referenceCount; k < count; ++k) {
        const auto at = static_cast<std::size_t>(k);
        const std::int32_t match = table.bestMatches[at];
        if (table.scores[at] > percent && match >= 0 && match < k)
            links.push_back({k, match, table.scores[at]});
    }
    if (links.empty())
        return result;
    Groups groups(static_cast<std::size_t>(count));
    for (const Family::Link& link : links)
        groups.join(link.text, link.match);

    // A family is numbered by its first text of the batch: its first failed
    // text or its first match there, whichever comes first.
    std::vector<std::int32_t> firstOfRoot(static_cast<std::size_t>(count), -1);
    for (std::int32_t k = table.referenceCount; k < count; ++k) {
        auto& first = firstOfRoot[static_cast<std::size_t>(groups.root(k))];
        if (first < 0)
            first = k;
    }
    std::vector<std::int32_t> roots;
    for (const Family::Link& link : links)
        roots.push_back(groups.root(link.text));
    std::sort(roots.begin(), roots.end(), [&](std::int32_t a, std::int32_t b) {
        return firstOfRoot[static_cast<std::size_t>(a)] < firstOfRoot[static_cast<std::size_t>(b)];
    });
    roots.erase(std::unique(roots.begin(), roots.end()), roots.end());
    std::vector<std::int32_t> numberOfRoot(static_cast<std::size_t>(count), 0);
    for (std::size_t i = 0; i < roots.size(); ++i)
        numberOfRoot[static_cast<std::size_t>(roots[i])] = static_cast<std::int32_t>(i + 1);

    result.m_families.resize(roots.size());
    for (std::size_t i = 0; i < roots.size(); ++i)
        result.m_families[i].firstText = firstOfRoot[static_cast<std::size_t>(roots[i])];
    for (std::int32_t k = 0; k < count; ++k) {
        const std::int32_t number = numberOfRoot[static_cast<std::size_t>(groups.root(k))];
        if (number == 0)
            continue;
        result.m_numbers[static_cast<std::size_t>(k)] = number;
        result.m_families[static_cast<std::size_t>(number - 1)].members.push_back(k);
    }
    for (const Family::Link& link : links) {
        Family& family = result.m_families[static_cast<std::size_t>(
            result.m_numbers[static_cast<std::size_t>(link.text)] - 1)];
        family.links.push_back(link);
        family.highestScore = std::max(family.highestScore, link.score);
    }
    return result;
}

std::int32_t Families::familyOf(std::int32_t index) const {
    if (index < 0 || static_cast<std::size_t>(index) >= m_numbers.size())
        return 0;
    return m_numbers[static_cast<std::size_t>(index)];
}

} // namespace quillmark
