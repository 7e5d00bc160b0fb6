// Near-copies of one text lacking its most held hash are anchored elsewhere;
// each document rather joins the group that holds the most of nearly all of
// its frequent hashes, if one does for enough of them.
//
// Each document takes a majority vote over the groups its frequent hashes
// vote for, in hash order, and joins the winner if it really had enough
// votes. A group holding more than half of a document's votes wins in any
// order, and the votes counted in parts on the threads still find it; so
// only the documents without such a group vote again in hash order, and the
// groups are the same for any thread count.
#pragma once

#include "EntryRuns.h"
#include "analysis/Stopped.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace quillmark {

class GroupVote {
public:
    /// `groupOf` names each document's group by a member; `entries` are the
    /// sorted entries, `frequentRuns` their runs of frequent hashes.
    GroupVote(std::vector<std::uint32_t>& groupOf, const std::uint64_t* entries,
              const std::vector<Run>& frequentRuns, int threads, const StopCheck& stop);

    /// Moves the documents to the groups they vote for; groups are then
    /// named by their first member.
    void run();

private:
    /// A thread's counts; `state` is a running vote (group << 32 | its lead
    /// over the others), later a count of the votes for one group.
    struct Scratch {
        std::vector<std::uint32_t> holders;
        std::vector<std::uint32_t> groupsMet;
        std::vector<std::uint64_t> state;
        std::vector<std::uint32_t> votes;
        bool elsewhere = false;
    };
    /// How far a document's vote went: a clear winner or none, a winner of
    /// the parts to count again, or a vote to take again in hash order.
    enum Settled : std::uint8_t { Yes, ToCount, ToVoteInOrder };
    enum class Dominants { Find, Known };

    static void vote(std::uint64_t& state, std::uint32_t group);
    /// The group with the most holders of a frequent hash, or none.
    std::uint32_t dominant(Scratch& own, std::size_t first, std::size_t last) const;
    /// Calls visit(scratch, document, group) for each distinct holder of each
    /// hash that votes for a group, on the threads; finds the group each hash
    /// votes for when asked.
    template <class Visit> void forEachVote(Dominants dominance, Visit&& visit);
    template <class Visit>
    void voteInSpan(std::size_t span, Scratch& own, Dominants dominance, Pacer& pacer,
                    Visit&& visit);

    /// The votes in parts, one per thread; false when every vote went to the
    /// document's own group.
    bool voteInParts();
    /// The parts joined: a group with a majority of the whole is the one left.
    std::vector<std::uint64_t> joinParts();
    /// Settles the documents with too few votes or a clear winner; true when
    /// some are left to count.
    bool settle(const std::vector<std::uint64_t>& joined);
    /// Counts the votes for the group left; true when some documents have no
    /// majority for it.
    bool countForCandidates();
    /// The documents without a majority vote again in hash order.
    void voteInOrder();
    /// Per span of runs, in hash order, the votes of the documents to vote
    /// again: document << 32 | group.
    std::vector<std::vector<std::uint64_t>> ballots() const;
    void moveAndRename();

    std::vector<std::uint32_t>& m_groupOf;
    const std::uint64_t* m_entries;
    const std::vector<Run>& m_runs;
    int m_threads;
    const StopCheck& m_stop;
    std::vector<std::size_t> m_spans;
    /// Per run, the group its hash votes for.
    std::vector<std::uint32_t> m_dominants;
    std::vector<Scratch> m_scratches;
    /// Per document: its votes, the group it may join, the votes for that
    /// group, and how far its vote went.
    std::vector<std::uint32_t> m_total;
    std::vector<std::uint32_t> m_candidate;
    std::vector<std::uint32_t> m_votes;
    std::vector<std::uint8_t> m_settled;
};

} // namespace quillmark
