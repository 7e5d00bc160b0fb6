#include "ParallelLoader.h"

#include "TextFile.h"

#include <algorithm>
#include <zlib.h>

namespace quillmark {

ParallelLoader::ParallelLoader(int threads)
    : m_window(static_cast<std::size_t>(std::max(threads, 1)) * 8) {
    // libxml2 must be set up before two threads may parse at once.
    DocumentText::prepareLibraries();
    for (int i = 0; i < std::max(threads, 1); ++i)
        m_threads.emplace_back([this] { work(); });
}

ParallelLoader::~ParallelLoader() {
    stop();
    {
        const std::lock_guard lock(m_mutex);
        m_closing = true;
    }
    m_workReady.notify_all();
    for (std::thread& thread : m_threads)
        thread.join();
}

int ParallelLoader::defaultThreads() {
    return static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
}

LoadedText ParallelLoader::loadOne(const LoadJob& job, const StopCheck& stop) {
    LoadedText loaded;
    loaded.job = job;
    try {
        const std::string bytes = TextFile::bytes(job.path, loaded.identity);
        if (job.checksum == Checksum::Take) {
            loaded.checksum = static_cast<std::uint32_t>(
                ::crc32_z(0, reinterpret_cast<const Bytef*>(bytes.data()), bytes.size()));
        }
        TextReader::Result read = TextFile::textOf(bytes, job.html, job.encoding);
        // A document is already its text: markup in it is words.
        const HtmlHandling html =
            TextReader::isDocument(read.origin.format) ? HtmlHandling::Keep : job.html;
        // Hidden document text is a disguise too, though it is never read.
        loaded.disguisedWords =
            read.hiddenWords + ShinglesFromText(read.text, job.truncation, html, job.unmask,
                                                job.shingleLength, loaded.shingles, stop);
        loaded.settings = {job.shingleLength, job.truncation, html, job.unmask};
        loaded.origin = read.origin;
    } catch (...) {
        loaded.error = std::current_exception();
    }
    return loaded;
}

bool ParallelLoader::hasRoom() const {
    const std::lock_guard lock(m_mutex);
    return m_slots.size() < m_window;
}

void ParallelLoader::submit(LoadJob job) {
    {
        const std::lock_guard lock(m_mutex);
        m_slots.push_back({std::move(job), std::nullopt});
    }
    m_workReady.notify_one();
}

std::size_t ParallelLoader::readyAtFront() const {
    std::size_t ready = 0;
    while (ready < m_slots.size() && m_slots[ready].result.has_value())
        ++ready;
    return ready;
}

bool ParallelLoader::batchReady() const {
    // Waking the caller for each file would cost a switch of threads per
    // file; it rather wakes once half the window is ready, or all of it.
    const std::size_t ready = readyAtFront();
    return ready > 0 && (ready >= m_window / 2 || ready == m_slots.size());
}

std::optional<LoadedText> ParallelLoader::take(std::chrono::milliseconds wait) {
    std::unique_lock lock(m_mutex);
    const auto frontReady = [this] {
        return !m_slots.empty() && m_slots.front().result.has_value();
    };
    if (!frontReady()) {
        m_resultReady.wait_for(lock, wait, [this] { return batchReady(); });
        if (!frontReady())
            return std::nullopt;
    }
    LoadedText loaded = std::move(*m_slots.front().result);
    m_slots.pop_front();
    --m_next;
    ++m_taken;
    return loaded;
}

void ParallelLoader::stop() {
    m_stop = true;
}

void ParallelLoader::work() {
    const StopCheck stopped = [this] { return m_stop.load(std::memory_order_relaxed); };
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_workReady.wait(lock, [this] { return m_closing || m_next < m_slots.size(); });
        if (m_closing)
            return;
        const std::size_t number = m_taken + m_next++;
        const LoadJob job = m_slots[number - m_taken].job;
        lock.unlock();
        LoadedText loaded;
        loaded.job = job;
        if (stopped())
            loaded.error = std::make_exception_ptr(Stopped());
        else
            loaded = loadOne(job, stopped);
        lock.lock();
        // Only the caller takes slots, and only finished ones, so this job's
        // slot is still there.
        m_slots[number - m_taken].result = std::move(loaded);
        if (batchReady())
            m_resultReady.notify_all();
    }
}

} // namespace quillmark
