// A host that answers from fields the test sets and records every call the
// engine makes, in order.
#pragma once

#include "engine/EngineHost.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <map>

namespace quillmark::test {

class FakeHost : public EngineHost {
public:
    // What the engine reads.
    QString source;
    QString output;
    int shingleLen = 3;
    Truncation truncationSwitch = Truncation::Off;
    HtmlHandling htmlSwitch = HtmlHandling::Keep;
    Unmask unmaskSwitch = Unmask::Off;
    int percent = 20;
    QByteArray templateFile;
    int commonShare = 0;
    SaveMode mode = SaveMode::Move;
    Answer answer = Answer::Yes;
    bool againstOutputSwitch = false;
    std::vector<QByteArray> references;
    /// Empty: no reference cache.
    QByteArray cachePath;
    /// Empty: no team archive.
    QByteArray archive;
    /// Called from appendLog with the line.
    std::function<void(const QString&)> onLog;
    /// Called from processEvents with the number of calls so far (1-based).
    std::function<void(int)> onProcessEvents;
    /// Called from resultsChanged with the number of calls so far (1-based).
    std::function<void(int)> onResultsChanged;

    // What the engine wrote, last value per element.
    std::map<ProgressRow, QString> counters;
    std::map<ProgressRow, QString> labels;
    std::map<ProgressRow, std::pair<int, int>> ranges;
    std::map<ProgressRow, int> positions;
    QString result;
    StartCaption caption = StartCaption::Start;
    ButtonState startState = ButtonState::Enabled;
    ButtonState selectState = ButtonState::Disabled;
    QStringList log;
    QStringList errors;
    QStringList questions;
    int resultPageShown = 0;
    int resultsChangedCalls = 0;
    int processEventsCalls = 0;
    /// Every call as "name arguments", in order.
    QStringList calls;

    /// Log lines without their time stamp.
    QStringList messages() const;
    /// The calls whose record starts with `prefix`.
    QStringList callsStartingWith(const QString& prefix) const;

    QString sourceDirectory() override;
    QString outputDirectory() override;
    int shingleLength() override;
    Truncation truncation() override;
    HtmlHandling htmlHandling() override;
    Unmask unmask() override;
    int allowedPercent() override;
    SaveMode saveMode() override;
    bool againstOutput() override { return againstOutputSwitch; }
    QByteArray templatePath() override { return templateFile; }
    int commonPercent() override { return commonShare; }
    std::vector<QByteArray> referencePaths() override { return references; }
    QByteArray referenceCachePath() override { return cachePath; }
    QByteArray archiveUri() override { return archive; }
    void setCounter(ProgressRow row, const QString& text) override;
    void setProgressLabel(ProgressRow row, const QString& text) override;
    void setBarRange(ProgressRow row, int minimum, int maximum) override;
    void setBarPosition(ProgressRow row, int position) override;
    void setResult(const QString& text) override;
    void setStartCaption(StartCaption caption) override;
    void setStartState(ButtonState state) override;
    void setSelectState(ButtonState state) override;
    void clearLog() override;
    void appendLog(const QString& line, PageSwitch page) override;
    void resultsChanged() override;
    void processEvents() override;
    void showError(const QString& text) override;
    Answer ask(const QString& question) override;
};

} // namespace quillmark::test
