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
    m_changed.notify_all();
    if (m_cancelled)
        m_cache.interrupt();
    m_thread.join();
    m_cache.abandonUpdate();
    m_cache.resumeAfterInterrupt();
}

template <class Make> bool ReferenceWriter::push(const Make& make, std::chrono::milliseconds wait) {
    std::unique_lock lock(m_mutex);
    if (!m_changed.wait_for(lock, wait, [this] { return m_queue.size() < QueueLength; }))
        return false;
    m_queue.push_back(make());
    lock.unlock();
    m_changed.notify_all();
    return true;
}

bool ReferenceWriter::put(const QByteArray& name, CachedFingerprint& entry,
                          std::chrono::milliseconds wait) {
    return push([&] { return Item(Fresh{name, std::move(entry)}); }, wait);
}

bool ReferenceWriter::putVersion(const QByteArray& name, const FileVersion& version,
                                 std::chrono::milliseconds wait) {
    return push([&] { return Item(Touched{name, version}); }, wait);
}

void ReferenceWriter::finish(std::vector<QByteArray> gone) {
    {
        std::lock_guard lock(m_mutex);
        m_queue.push_back(Finish{std::move(gone)});
    }
    m_changed.notify_all();
}

bool ReferenceWriter::waitFinished(std::chrono::milliseconds wait) {
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, wait, [this] { return m_finished; });
}

void ReferenceWriter::work() {
    bool failed = false;
    for (;;) {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return m_cancelled || !m_queue.empty(); });
        if (m_cancelled)
            return;
        Item item = std::move(m_queue.front());
        m_queue.pop_front();
        lock.unlock();
        m_changed.notify_all();
        const bool last = std::holds_alternative<Finish>(item);
        // After a failure the rest is only taken off the queue.
        if (!failed) {
            try {
                write(item);
            } catch (const std::exception& error) {
                failed = true;
                m_cache.abandonUpdate();
                lock.lock();
                m_failure = QString::fromUtf8(error.what());
                lock.unlock();
            }
        }
        if (last) {
            {
                std::lock_guard done(m_mutex);
                m_finished = true;
            }
            m_changed.notify_all();
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
    if (auto* fresh = std::get_if<Fresh>(&item)) {
        m_cache.put(fresh->name, fresh->entry);
        return;
    }
    const auto& touched = std::get<Touched>(item);
    m_cache.putVersion(touched.name, touched.version);
}

} // namespace quillmark
