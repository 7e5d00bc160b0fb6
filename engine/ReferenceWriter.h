// Writes the reference files a run has fingerprinted into the cache on a
// thread of its own, in the order they are given, while the run reads the
// next ones. Everything one writer writes is one transaction: a run stopped
// or killed before finish() leaves the cache as it was.
#pragma once

#include "ReferenceCache.h"

#include <QString>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <variant>

namespace quillmark {

class ReferenceWriter {
public:
    /// Files handed over and not yet written; bounds the memory they hold.
    static constexpr std::size_t QueueLength = 256;
    /// The thread is woken for this many at once: a wake-up per file costs
    /// more than writing it.
    static constexpr std::size_t WakeLength = 64;

    /// Uses `cache` alone until destroyed; nothing is written before the
    /// first file comes.
    ReferenceWriter(ReferenceCache& cache, QByteArray directory);
    /// Gives up a write not finished: it leaves nothing in the cache.
    ~ReferenceWriter();
    ReferenceWriter(const ReferenceWriter&) = delete;
    ReferenceWriter& operator=(const ReferenceWriter&) = delete;

    /// Hands over a file fingerprinted anew, waiting at most `wait` for room;
    /// false when there was none, and `entry` is left as it was.
    bool put(const QByteArray& name, CachedFingerprint& entry, std::chrono::milliseconds wait);
    /// Drops `gone` and ends the transaction once everything before is written.
    void finish(std::vector<QByteArray> gone);
    /// Waits at most `wait` for finish() to take effect; true when it has.
    bool waitFinished(std::chrono::milliseconds wait);
    /// Why the cache was not written (after waitFinished()); empty when it was.
    const QString& failure() const { return m_failure; }

private:
    struct Fresh {
        QByteArray name;
        CachedFingerprint entry;
    };
    struct Finish {
        std::vector<QByteArray> gone;
    };
    using Item = std::variant<Fresh, Finish>;

    /// Queues what `make` gives once there is room.
    template <class Make> bool push(const Make& make, std::chrono::milliseconds wait);
    void work();
    void write(Item& item);

    ReferenceCache& m_cache;
    QByteArray m_directory;
    std::mutex m_mutex;
    /// The thread waits on it for work, the caller for room or the end.
    std::condition_variable m_workReady;
    std::condition_variable m_roomReady;
    std::deque<Item> m_queue;
    bool m_idle = false;
    bool m_finishing = false;
    bool m_cancelled = false;
    bool m_finished = false;
    QString m_failure;
    std::thread m_thread;
};

} // namespace quillmark
