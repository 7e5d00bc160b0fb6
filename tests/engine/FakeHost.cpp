#include "FakeHost.h"

namespace quillmark::test {

namespace {

QString rowName(ProgressRow row) {
    switch (row) {
    case ProgressRow::Loading:
        return QStringLiteral("Loading");
    case ProgressRow::Comparison:
        return QStringLiteral("Comparison");
    case ProgressRow::Saving:
        return QStringLiteral("Saving");
    }
    return {};
}

} // namespace

QStringList FakeHost::messages() const {
    QStringList out;
    for (const QString& line : log)
        out << line.mid(line.indexOf(QStringLiteral("-> ")) + 3);
    return out;
}

QStringList FakeHost::callsStartingWith(const QString& prefix) const {
    QStringList out;
    for (const QString& call : calls)
        if (call.startsWith(prefix))
            out << call;
    return out;
}

QString FakeHost::sourceDirectory() {
    calls << QStringLiteral("sourceDirectory");
    return source;
}

QString FakeHost::outputDirectory() {
    calls << QStringLiteral("outputDirectory");
    return output;
}

int FakeHost::shingleLength() {
    calls << QStringLiteral("shingleLength");
    return shingleLen;
}

Truncation FakeHost::truncation() {
    calls << QStringLiteral("truncation");
    return truncationSwitch;
}

HtmlHandling FakeHost::htmlHandling() {
    calls << QStringLiteral("htmlHandling");
    return htmlSwitch;
}

Unmask FakeHost::unmask() {
    calls << QStringLiteral("unmask");
    return unmaskSwitch;
}

int FakeHost::allowedPercent() {
    calls << QStringLiteral("allowedPercent");
    return percent;
}

SaveMode FakeHost::saveMode() {
    calls << QStringLiteral("saveMode");
    return mode;
}

void FakeHost::setCounter(ProgressRow row, const QString& text) {
    calls << QStringLiteral("setCounter %1 %2").arg(rowName(row), text);
    counters[row] = text;
}

void FakeHost::setProgressLabel(ProgressRow row, const QString& text) {
    calls << QStringLiteral("setProgressLabel %1 %2").arg(rowName(row), text);
    labels[row] = text;
}

void FakeHost::setBarRange(ProgressRow row, int minimum, int maximum) {
    calls << QStringLiteral("setBarRange %1 %2 %3").arg(rowName(row)).arg(minimum).arg(maximum);
    ranges[row] = {minimum, maximum};
}

void FakeHost::setBarPosition(ProgressRow row, int position) {
    calls << QStringLiteral("setBarPosition %1 %2").arg(rowName(row)).arg(position);
    positions[row] = position;
}

void FakeHost::setResult(const QString& text) {
    calls << QStringLiteral("setResult ") + text;
    result = text;
}

void FakeHost::setStartCaption(StartCaption value) {
    calls << (value == StartCaption::Start ? QStringLiteral("setStartCaption Start")
                                           : QStringLiteral("setStartCaption Stop"));
    caption = value;
}

void FakeHost::setStartState(ButtonState state) {
    calls << (state == ButtonState::Enabled ? QStringLiteral("setStartState Enabled")
                                            : QStringLiteral("setStartState Disabled"));
    startState = state;
}

void FakeHost::setSelectState(ButtonState state) {
    calls << (state == ButtonState::Enabled ? QStringLiteral("setSelectState Enabled")
                                            : QStringLiteral("setSelectState Disabled"));
    selectState = state;
}

void FakeHost::clearLog() {
    calls << QStringLiteral("clearLog");
    log.clear();
}

void FakeHost::appendLog(const QString& line, PageSwitch page) {
    calls << QStringLiteral("appendLog ") + line;
    log << line;
    if (page == PageSwitch::ShowResultPage)
        ++resultPageShown;
    if (onLog)
        onLog(line);
}

void FakeHost::resultsChanged() {
    calls << QStringLiteral("resultsChanged");
    ++resultsChangedCalls;
    if (onResultsChanged)
        onResultsChanged(resultsChangedCalls);
}

void FakeHost::processEvents() {
    calls << QStringLiteral("processEvents");
    ++processEventsCalls;
    if (onProcessEvents)
        onProcessEvents(processEventsCalls);
}

void FakeHost::showError(const QString& text) {
    calls << QStringLiteral("showError ") + text;
    errors << text;
}

Answer FakeHost::ask(const QString& question) {
    calls << QStringLiteral("ask ") + question;
    questions << question;
    return answer;
}

} // namespace quillmark::test
