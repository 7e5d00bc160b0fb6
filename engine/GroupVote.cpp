#include "GroupVote.h"

#include <algorithm>
#include <limits>

namespace quillmark {

namespace {

constexpr std::uint32_t kNone = std::numeric_limits<std::uint32_t>::max();
constexpr std::uint64_t kHigh = std::uint64_t{1} << 32;

/// Adds the running vote `part` into `whole`: the leads of one group add up,
/// those of two groups cancel.
void joinLead(std::uint64_t& whole, std::uint64_t part) {
    const auto lead = static_cast<std::uint32_t>(part);
    const auto held = static_cast<std::uint32_t>(whole);
    if (lead == 0)
        return;
    if (held == 0)
        whole = part;
    else if (hashOf(whole) == hashOf(part))
        whole += lead;
    else if (held >= lead)
        whole -= lead;
    else
        whole = (part & ~(kHigh - 1)) | (lead - held);
}

} // namespace

GroupVote::GroupVote(std::vector<std::uint32_t>& groupOf, const std::uint64_t* entries,
                     const std::vector<Run>& frequentRuns, int threads, const StopCheck& stop)
    : m_groupOf(groupOf)
    , m_entries(entries)
    , m_runs(frequentRuns)
    , m_threads(threads)
    , m_stop(stop)
    , m_spans(spansOf(frequentRuns, threads))
    , m_dominants(frequentRuns.size(), kNone)
    , m_scratches(static_cast<std::size_t>(threads)) {}

void GroupVote::run() {
    if (!voteInParts())
        return; // every vote went to the document's own group
    const bool anyToCount = settle(joinParts());
    const bool anyInOrder = anyToCount && countForCandidates();
    m_scratches = {};
    if (anyInOrder)
        voteInOrder();
    moveAndRename();
}

inline void GroupVote::vote(std::uint64_t& state, std::uint32_t group) {
    if (static_cast<std::uint32_t>(state) == 0)
        state = std::uint64_t{group} << 32 | 1;
    else if (hashOf(state) == group)
        ++state;
    else
        --state;
}

inline std::uint32_t GroupVote::dominant(Scratch& own, std::size_t first, std::size_t last) const {
    if (last - first < kFrequent)
        return kNone;
    for (std::size_t i = first; i < last; ++i) {
        if (i > first && m_entries[i] == m_entries[i - 1])
            continue;
        const std::uint32_t group = m_groupOf[lowHalf(m_entries[i])];
        if (own.holders[group]++ == 0)
            own.groupsMet.push_back(group);
    }
    std::uint32_t most = kNone;
    std::uint32_t held = kFrequent - 1;
    for (std::uint32_t group : own.groupsMet) {
        if (own.holders[group] > held ||
            (own.holders[group] == held && most != kNone && group < most)) {
            held = own.holders[group];
            most = group;
        }
        own.holders[group] = 0;
    }
    own.groupsMet.clear();
    return most;
}

template <class Visit> void GroupVote::forEachVote(Dominants dominance, Visit&& visit) {
    const std::size_t n = m_groupOf.size();
    inParallel(m_threads, m_spans.size() - 1, m_stop,
               [&](std::size_t span, std::size_t thread, Pacer& pacer) {
                   Scratch& own = m_scratches[thread];
                   if (own.state.empty())
                       own.state.assign(n, 0);
                   if (own.votes.empty())
                       own.votes.assign(n, 0);
                   if (dominance == Dominants::Find && own.holders.empty())
                       own.holders.assign(n, 0);
                   voteInSpan(span, own, dominance, pacer, visit);
               });
}

template <class Visit>
void GroupVote::voteInSpan(std::size_t span, Scratch& own, Dominants dominance, Pacer& pacer,
                           Visit&& visit) {
    for (std::size_t r = m_spans[span]; r < m_spans[span + 1]; ++r) {
        const Run run = m_runs[r];
        pacer.step(run.last - run.first);
        if (dominance == Dominants::Find)
            m_dominants[r] = dominant(own, run.first, run.last);
        if (m_dominants[r] == kNone)
            continue;
        for (std::size_t i = run.first; i < run.last; ++i)
            if (i == run.first || m_entries[i] != m_entries[i - 1])
                visit(own, lowHalf(m_entries[i]), m_dominants[r]);
    }
}

bool GroupVote::voteInParts() {
    forEachVote(Dominants::Find, [&](Scratch& own, std::uint32_t document, std::uint32_t group) {
        own.elsewhere |= group != m_groupOf[document];
        ++own.votes[document];
        vote(own.state[document], group);
    });
    bool elsewhere = false;
    for (const Scratch& own : m_scratches)
        elsewhere |= own.elsewhere;
    return elsewhere;
}

std::vector<std::uint64_t> GroupVote::joinParts() {
    const std::size_t n = m_groupOf.size();
    std::vector<std::uint64_t> joined(n, 0);
    m_total.assign(n, 0);
    for (Scratch& own : m_scratches) {
        own.holders = {};
        for (std::size_t d = 0; d < own.votes.size(); ++d)
            m_total[d] += own.votes[d];
        own.votes = {};
        for (std::size_t d = 0; d < own.state.size(); ++d)
            joinLead(joined[d], own.state[d]);
        std::fill(own.state.begin(), own.state.end(), 0);
    }
    return joined;
}

// A document with too few votes keeps its group; one whose joined lead is
// over half of its votes and enough by itself joins that group. The others
// count their votes for the group left.
bool GroupVote::settle(const std::vector<std::uint64_t>& joined) {
    const std::size_t n = m_groupOf.size();
    m_candidate.assign(n, kNone);
    m_votes.assign(n, 0);
    m_settled.assign(n, Yes);
    bool anyToCount = false;
    for (std::size_t d = 0; d < n; ++d) {
        const auto lead = static_cast<std::uint32_t>(joined[d]);
        if (lead != 0)
            m_candidate[d] = hashOf(joined[d]);
        if (m_total[d] < kFrequent)
            continue;
        if (2 * std::uint64_t{lead} > m_total[d] && lead >= kFrequent) {
            m_votes[d] = lead;
            continue;
        }
        m_settled[d] = ToCount;
        anyToCount = true;
    }
    return anyToCount;
}

bool GroupVote::countForCandidates() {
    forEachVote(Dominants::Known, [&](Scratch& own, std::uint32_t document, std::uint32_t group) {
        if (m_settled[document] == ToCount && group == m_candidate[document])
            ++own.state[document];
    });
    bool anyInOrder = false;
    for (std::size_t d = 0; d < m_groupOf.size(); ++d) {
        if (m_settled[d] != ToCount)
            continue;
        m_votes[d] = 0;
        for (const Scratch& own : m_scratches)
            m_votes[d] += own.state.empty() ? 0 : static_cast<std::uint32_t>(own.state[d]);
        if (2 * std::uint64_t{m_votes[d]} <= m_total[d]) {
            m_settled[d] = ToVoteInOrder;
            anyInOrder = true;
        }
    }
    return anyInOrder;
}

std::vector<std::vector<std::uint64_t>> GroupVote::ballots() const {
    const std::size_t spanCount = m_spans.size() - 1;
    std::vector<std::vector<std::uint64_t>> ballots(spanCount);
    inParallel(m_threads, spanCount, m_stop, [&](std::size_t span, std::size_t, Pacer& pacer) {
        for (std::size_t r = m_spans[span]; r < m_spans[span + 1]; ++r) {
            const Run run = m_runs[r];
            pacer.step(run.last - run.first);
            if (m_dominants[r] == kNone)
                continue;
            for (std::size_t i = run.first; i < run.last; ++i) {
                const std::uint32_t document = lowHalf(m_entries[i]);
                if ((i == run.first || m_entries[i] != m_entries[i - 1]) &&
                    m_settled[document] == ToVoteInOrder)
                    ballots[span].push_back(std::uint64_t{document} << 32 | m_dominants[r]);
            }
        }
    });
    return ballots;
}

void GroupVote::voteInOrder() {
    const std::vector<std::vector<std::uint64_t>> spans = ballots();
    std::vector<std::uint64_t> state(m_groupOf.size(), 0);
    for (const std::vector<std::uint64_t>& span : spans)
        for (std::uint64_t ballot : span)
            vote(state[hashOf(ballot)], lowHalf(ballot));
    for (std::size_t d = 0; d < m_groupOf.size(); ++d) {
        if (m_settled[d] == ToVoteInOrder) {
            m_candidate[d] = hashOf(state[d]);
            m_votes[d] = 0;
        }
    }
    for (const std::vector<std::uint64_t>& span : spans)
        for (std::uint64_t ballot : span)
            m_votes[hashOf(ballot)] += m_candidate[hashOf(ballot)] == lowHalf(ballot) ? 1 : 0;
}

void GroupVote::moveAndRename() {
    const std::size_t n = m_groupOf.size();
    for (std::size_t d = 0; d < n; ++d)
        if (m_votes[d] >= kFrequent)
            m_groupOf[d] = m_candidate[d];
    std::vector<std::uint32_t> leader(n, kNone);
    for (std::size_t d = 0; d < n; ++d)
        leader[m_groupOf[d]] =
            std::min<std::uint32_t>(leader[m_groupOf[d]], static_cast<std::uint32_t>(d));
    for (std::size_t d = 0; d < n; ++d)
        m_groupOf[d] = leader[m_groupOf[d]];
}

} // namespace quillmark
