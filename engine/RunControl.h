// What the parts of a run share: the host and the settings it shows now, the
// log, the number of threads, and the stop. A stop request is noticed only
// here, and leaves as the Stopped exception.
#pragma once

#include "DirectoryListing.h"
#include "DocumentTable.h"
#include "EngineHost.h"
#include "LocalTime.h"
#include "ParallelLoader.h"
#include "analysis/Stopped.h"

#include <QByteArray>
#include <QString>
#include <chrono>
#include <functional>

namespace quillmark {

class RunControl {
public:
    /// How long a wait lasts before the host handles its events again.
    static constexpr std::chrono::milliseconds pace{20};

    /// `stopRequested` tells whether the user asked the operation at hand to stop.
    RunControl(EngineHost& host, std::function<bool()> stopRequested);

    EngineHost& host() { return m_host; }
    /// A log line, after the time.
    void AddLog(const QString& message, PageSwitch page = PageSwitch::KeepPage);
    /// An error box; the text gets its final full stop.
    void showError(const QString& text);

    bool stopRequested() const { return m_stopRequested(); }
    /// Throws Stopped when a stop was asked for.
    void throwIfStopped() const;
    /// Lets the host handle what is pending (repaints, a stop press).
    void processEvents() { m_host.processEvents(); }
    /// The same, then throws Stopped when a stop was asked for meanwhile.
    void handleEvents();
    /// Asks `ready`, giving it at most `pace` to wait, until it answers yes;
    /// the host handles its events between two asks. Throws Stopped when a
    /// stop arrives meanwhile.
    void waitFor(const std::function<bool(std::chrono::milliseconds)>& ready);

    /// 0 for one thread per processor.
    void setJobCount(int count);
    /// How many threads read, fingerprint and compare.
    int threadCount() const;

    /// The settings the host shows now, for a file yet to be named.
    LoadJob settingsNow();
    static LoadJob withPath(LoadJob settings, const QByteArray& path);
    /// Whether a run reads the entry as a text.
    static bool isBatchText(const DirectoryEntry& entry);
    /// A reason a file was not read, in the run's language.
    static QString translatedReason(const QString& reason);
    /// "done/total", as the progress counters show it.
    static QString counterText(qint64 done, qint64 total);
    /// ", не прочитано - N" when the run met unreadable files, else empty.
    static QString unreadNote(const DocumentTable& documents);

private:
    EngineHost& m_host;
    std::function<bool()> m_stopRequested;
    LocalTime m_clock;
    int m_jobCount = 0;
};

} // namespace quillmark
