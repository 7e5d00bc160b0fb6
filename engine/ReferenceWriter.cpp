#include "ReferenceWriter.h"

namespace quillmark {

ReferenceWriter::ReferenceWriter(ReferenceCache& cache, QByteArray directory)
    : m_cache(cache)
    , m_directory(std::move(directory))
    , m_thread([this] { work(); }) {}

ReferenceWriter::~ReferenceWriter() {
    {
        std::lock_guard lock(m_mutex);
        m_cancelled = !m_finished;
    }
    m_workReady.notify_one();
    if (m_cancelled)
        m_cache.interrupt();
    m_thread.join();
    m_cache.abandonUpdate();
    m_cache.resumeAfterInterrupt();
}

template <class Make> bool ReferenceWriter::push(const Make& make, std::chrono::milliseconds wait) {
    std::unique_lock lock(m_mutex);
    if (!m_roomReady.wait_for(lock, wait, [this] { return m_queue.size() < QueueLength; }))
        return false;
    m_queue.push_back(make());
    const bool wake = m_idle && m_queue.size() >= WakeLength;
    lock.unlock();
    if (wake)
        m_workReady.notify_one();
    return true;
}

bool ReferenceWriter::put(const QByteArray& name, CachedFingerprint& entry,
                          std::chrono::milliseconds wait) {
    return push([&] { return Item(Fresh{name, std::move(entry)}); }, wait);
}

void ReferenceWriter::finish(std::vector<QByteArray> gone) {
    {
        std::lock_guard lock(m_mutex);
        m_queue.push_back(Finish{std::move(gone)});
        m_finishing = true;
    }
    m_workReady.notify_one();
}

bool ReferenceWriter::waitFinished(std::chrono::milliseconds wait) {
    std::unique_lock lock(m_mutex);
    return m_roomReady.wait_for(lock, wait, [this] { return m_finished; });
}

void ReferenceWriter::work() {
    bool failed = false;
    std::deque<Item> batch;
    for (;;) {
        std::unique_lock lock(m_mutex);
        m_idle = true;
        m_workReady.wait(
            lock, [this] { return m_cancelled || m_finishing || m_queue.size() >= WakeLength; });
        m_idle = false;
        if (m_cancelled)
            return;
        batch.swap(m_queue);
        lock.unlock();
        m_roomReady.notify_all();
        for (Item& item : batch) {
            // After a failure the rest is only taken off the queue.
            if (failed)
                break;
            try {
                write(item);
            } catch (const std::exception& error) {
                failed = true;
                m_cache.abandonUpdate();
                std::lock_guard failure(m_mutex);
                m_failure = QString::fromUtf8(error.what());
            }
        }
        const bool last = !batch.empty() && std::holds_alternative<Finish>(batch.back());
        batch.clear();
        if (last) {
            {
                std::lock_guard done(m_mutex);
                m_finished = true;
            }
            m_roomReady.notify_all();
            return;
        }
    }
}

void ReferenceWriter::write(Item& item) {
    if (auto* finish = std::get_if<Finish>(&item)) {
        if (!m_cache.updating() && !finish->gone.empty())
            m_cache.beginUpdate(m_directory);
        if (m_cache.updating())
            m_cache.finishUpdate(finish->gone);
        return;
    }
    if (!m_cache.updating())
        m_cache.beginUpdate(m_directory);
    auto& fresh = std::get<Fresh>(item);
    m_cache.put(fresh.name, fresh.entry);
}

} // namespace quillmark
