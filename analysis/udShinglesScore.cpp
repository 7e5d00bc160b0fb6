// Similarity scoring: matches of an earlier set in the current one, per cent
// of the larger set, with the rounding of the 80-bit extended format.
#include "udShingles.h"

#include "HashMembership.h"

#include <algorithm>
#include <bit>
#include <stdexcept>
#include <string>

namespace quillmark {

namespace {

__extension__ typedef unsigned __int128 Wide;

int bitWidth(Wide value) {
    const auto high = static_cast<std::uint64_t>(value >> 64);
    if (high != 0)
        return 64 + std::bit_width(high);
    return std::bit_width(static_cast<std::uint64_t>(value));
}

// Rounds `value` to 64 significant bits, ties to even.
Wide roundToSignificand(Wide value) {
    const int width = bitWidth(value);
    if (width <= 64)
        return value;
    const int dropped = width - 64;
    const Wide unit = Wide{1} << dropped;
    const Wide rest = value & (unit - 1);
    const Wide half = unit >> 1;
    Wide kept = value - rest;
    if (rest > half || (rest == half && (kept & unit) != 0))
        kept += unit;
    return kept;
}

std::int32_t scoreAgainst(const TudShingleList& earlier, const TudShingleList& current,
                          const HashMembership& currentSet) {
    const std::int64_t matches = currentSet.countFound(earlier.Hashes);
    const std::int64_t denominator = std::max(earlier.Count, current.Count);
    return PercentOfMatches(matches, denominator);
}

} // namespace

std::int32_t PercentOfMatches(std::int64_t matches, std::int64_t denominator) {
    if (denominator < 1)
        throw std::invalid_argument("A score needs a positive number of shingles (got " +
                                    std::to_string(denominator) + ")");
    if (matches < 0 || matches > denominator)
        throw std::invalid_argument("The number of matches must lie between 0 and " +
                                    std::to_string(denominator) + " (got " +
                                    std::to_string(matches) + ")");

    // q = 100 / m as Q * 2^-s with 2^63 <= Q < 2^64: the smallest s for which
    // floor(100 * 2^s / m) reaches 2^63, then round the remainder.
    const Wide m = static_cast<std::uint64_t>(denominator);
    int s = 63 + std::bit_width(static_cast<std::uint64_t>(denominator)) - 7;
    while ((Wide{100} << s) < (m << 63))
        ++s;
    const Wide numerator = Wide{100} << s;
    Wide q = numerator / m;
    const Wide remainder = numerator % m;
    if (2 * remainder > m || (2 * remainder == m && (q & 1) != 0))
        ++q;
    if (q == (Wide{1} << 64)) {
        q >>= 1;
        --s;
    }

    // p = q * matches rounded the same way; the score is p truncated. As
    // matches <= m, p stays near 100 and below 2^s units, so the shift is
    // the truncation.
    const Wide p = roundToSignificand(q * static_cast<std::uint64_t>(matches));
    return static_cast<std::int32_t>(p >> s);
}

std::int32_t MatchPercent(const TudShingleList& earlier, const TudShingleList& current) {
    return scoreAgainst(earlier, current, HashMembership(current.Hashes));
}

std::int32_t BestMatchPercent(std::span<const TudShingleList> earlier,
                              const TudShingleList& current) {
    if (earlier.empty())
        return 0;
    const HashMembership currentSet(current.Hashes);
    std::int32_t best = scoreAgainst(earlier.front(), current, currentSet);
    for (const TudShingleList& set : earlier.subspan(1))
        best = std::max(best, scoreAgainst(set, current, currentSet));
    return best;
}

} // namespace quillmark
