// Reads and fingerprints files on a bounded pool of threads. The caller hands
// out the files in listing order, with the settings it read for each, and
// takes the results back in the same order, so nothing that follows depends
// on the number of threads.
#pragma once

#include "DocumentTable.h"
#include "FileIdentity.h"
#include "analysis/Stopped.h"
#include "analysis/TextReader.h"

#include <QByteArray>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <exception>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace quillmark {

/// Whether a job takes the checksum of the bytes it reads.
enum class Checksum { Skip, Take };

/// One file to read, with the settings in force when it was handed out.
struct LoadJob {
    QByteArray path;
    HtmlHandling html = HtmlHandling::Keep;
    Encoding encoding = Encoding::Auto;
    int shingleLength = 0;
    Truncation truncation = Truncation::Off;
    Unmask unmask = Unmask::Off;
    Checksum checksum = Checksum::Skip;
    friend bool operator==(const LoadJob&, const LoadJob&) = default;
};

struct LoadedText {
    /// What was asked for.
    LoadJob job;
    TudShingleList shingles;
    FingerprintSettings settings;
    TextOrigin origin;
    /// Words a disguise changed (Unmasking) and words of hidden document
    /// text, counted either way.
    std::int32_t disguisedWords = 0;
    FileIdentity identity;
    /// CRC-32 of the bytes read, when the job asked for it.
    std::uint32_t checksum = 0;
    /// What reading or fingerprinting threw (UnreadableText for a file that
    /// is not a text, FileOpenError, Stopped, ...); null when it worked.
    std::exception_ptr error;
};

class ParallelLoader {
public:
    /// `threads` workers (at least one); at most a few jobs per worker are
    /// handed out and not yet taken, which bounds the memory results hold.
    explicit ParallelLoader(int threads);
    /// Stops the files being read and waits for the workers.
    ~ParallelLoader();
    ParallelLoader(const ParallelLoader&) = delete;
    ParallelLoader& operator=(const ParallelLoader&) = delete;

    /// One thread per processor.
    static int defaultThreads();
    /// Reads one file on the calling thread.
    static LoadedText loadOne(const LoadJob& job, const StopCheck& stop = {});

    bool hasRoom() const;
    void submit(LoadJob job);
    /// The result of the oldest job not taken yet, once it is ready, waiting at
    /// most `wait` (while none is ready, until several are); nothing when it
    /// is not ready by then or nothing is out.
    std::optional<LoadedText> take(std::chrono::milliseconds wait);
    /// Asks the workers to give up the files they are reading (their results
    /// then carry Stopped) and to take no more.
    void stop();

private:
    struct Slot {
        LoadJob job;
        std::optional<LoadedText> result;
    };
    void work();
    /// Finished jobs before the first unfinished one.
    std::size_t readyAtFront() const;
    /// Whether the caller waiting for results should wake.
    bool batchReady() const;

    std::size_t m_window;
    mutable std::mutex m_mutex;
    std::condition_variable m_workReady;
    std::condition_variable m_resultReady;
    /// Jobs handed out and not yet taken, oldest first; m_next of them have
    /// been picked up by a worker.
    std::deque<Slot> m_slots;
    std::size_t m_next = 0;
    /// Picked-up jobs are referred to by their number, which does not move
    /// when the front slots are taken.
    std::size_t m_taken = 0;
    bool m_closing = false;
    std::atomic<bool> m_stop{false};
    std::vector<std::thread> m_threads;
};

} // namespace quillmark
