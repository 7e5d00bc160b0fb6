// Scores documents against the documents before them on a pool of threads
// while the caller takes the results in listing order. A document's result
// depends on the index alone, never on which thread scored it or when, so it
// is the same for any number of threads.
#pragma once

#include "DocumentTable.h"
#include "MatchIndex.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <mutex>
#include <span>
#include <thread>
#include <vector>

namespace quillmark {

class ParallelComparison {
public:
    /// Where the results go, one entry per document of the index; `ranked`
    /// may be empty when no ranking is asked for.
    struct Results {
        std::span<std::int32_t> scores;
        std::span<std::int32_t> bestMatches;
        std::span<std::vector<RankedMatch>> ranked;
    };

    /// Starts scoring the documents from `first` to the last one of a
    /// complete index on `threads` threads, with the `rankCount` best earlier
    /// documents of each when above 0. The index and the results must
    /// outlive the comparison; a result may be read once waitFor says it is
    /// there.
    ParallelComparison(const MatchIndex& index, std::int32_t first, std::size_t rankCount,
                       int threads, Results results);
    /// Stops.
    ~ParallelComparison();
    ParallelComparison(const ParallelComparison&) = delete;
    ParallelComparison& operator=(const ParallelComparison&) = delete;

    /// Whether `document` and every document before it are scored, waiting
    /// at most `wait` for it. Throws what scoring threw (std::bad_alloc).
    bool waitFor(std::int32_t document, std::chrono::milliseconds wait);
    /// Asks the threads to take no more documents and waits for the ones
    /// they are scoring.
    void stop();

private:
    /// Documents handed out at a time.
    static constexpr std::int32_t kChunk = 16;

    void work();
    std::int32_t chunkEnd(std::int32_t chunk) const;

    const MatchIndex& m_index;
    const std::int32_t m_first;
    const std::size_t m_rankCount;
    const Results m_results;
    const std::int32_t m_chunks;

    std::atomic<std::int32_t> m_nextChunk{0};
    std::atomic<bool> m_stop{false};
    /// Documents before this one are all scored.
    std::atomic<std::int32_t> m_scoredEnd;
    std::mutex m_mutex;
    std::condition_variable m_progress;
    std::vector<std::uint8_t> m_chunkDone;
    std::int32_t m_doneChunks = 0;
    std::exception_ptr m_failure;
    std::vector<std::thread> m_threads;
};

} // namespace quillmark
