#include "ParallelComparison.h"

#include "MatchIndexScorer.h"

#include <algorithm>
#include <cassert>
#include <system_error>

namespace quillmark {

ParallelComparison::ParallelComparison(const MatchIndex& index, std::int32_t first,
                                       std::size_t rankCount, int threads, Results results)
    : m_index(index)
    , m_first(first)
    , m_rankCount(rankCount)
    , m_results(results)
    , m_chunks((std::max(index.documentCount() - first, 0) + kChunk - 1) / kChunk)
    , m_scoredEnd(first)
    , m_chunkDone(static_cast<std::size_t>(m_chunks), 0) {
    assert(index.complete() && "the index was built to its end");
    assert(rankCount == 0 || results.ranked.size() >= std::size_t(index.documentCount()));
    const int count = std::clamp(threads, 1, std::max(m_chunks, 1));
    m_threads.reserve(static_cast<std::size_t>(count));
    try {
        for (int t = 0; t < count; ++t)
            m_threads.emplace_back([this] { work(); });
    } catch (const std::system_error&) {
        // No more threads to be had: fewer do the work, but at least one.
        if (m_threads.empty())
            throw;
    }
}

ParallelComparison::~ParallelComparison() {
    stop();
}

void ParallelComparison::stop() {
    m_stop = true;
    for (std::thread& thread : m_threads)
        if (thread.joinable())
            thread.join();
}

std::int32_t ParallelComparison::chunkEnd(std::int32_t chunk) const {
    return std::min(m_first + (chunk + 1) * kChunk, m_index.documentCount());
}

bool ParallelComparison::waitFor(std::int32_t document, std::chrono::milliseconds wait) {
    if (document < m_scoredEnd.load(std::memory_order_acquire))
        return true;
    std::unique_lock lock(m_mutex);
    m_progress.wait_for(lock, wait, [&] {
        return m_failure || document < m_scoredEnd.load(std::memory_order_relaxed);
    });
    if (m_failure)
        std::rethrow_exception(m_failure);
    return document < m_scoredEnd.load(std::memory_order_relaxed);
}

void ParallelComparison::work() {
    try {
        MatchIndex::Scorer scorer(m_index);
        for (std::int32_t chunk = m_nextChunk++; chunk < m_chunks && !m_stop;
             chunk = m_nextChunk++) {
            for (std::int32_t k = m_first + chunk * kChunk; k < chunkEnd(chunk) && !m_stop; ++k) {
                const auto at = static_cast<std::size_t>(k);
                const MatchIndex::Match best =
                    m_rankCount > 0 ? scorer.rankMatches(k, m_rankCount, m_results.ranked[at])
                                    : scorer.bestMatch(k);
                m_results.scores[at] = best.score;
                m_results.bestMatches[at] = best.document;
            }
            if (m_stop)
                return;
            const std::lock_guard lock(m_mutex);
            m_chunkDone[static_cast<std::size_t>(chunk)] = 1;
            const std::int32_t before = m_doneChunks;
            while (m_doneChunks < m_chunks && m_chunkDone[static_cast<std::size_t>(m_doneChunks)])
                ++m_doneChunks;
            if (m_doneChunks == before)
                continue;
            m_scoredEnd.store(chunkEnd(m_doneChunks - 1), std::memory_order_release);
            m_progress.notify_all();
        }
    } catch (...) {
        const std::lock_guard lock(m_mutex);
        if (!m_failure)
            m_failure = std::current_exception();
        m_stop = true;
        m_progress.notify_all();
    }
}

} // namespace quillmark
