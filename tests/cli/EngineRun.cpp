#include "EngineRun.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <stdexcept>

namespace quillmark::test {

EngineRun::EngineRun(std::vector<std::string> arguments) {
    CLI::App app;
    m_options.addTo(app);
    // CLI11 takes the arguments last first.
    std::reverse(arguments.begin(), arguments.end());
    app.parse(arguments);

    m_log = std::fopen("/dev/null", "w");
    if (m_log == nullptr)
        throw std::runtime_error("cannot open /dev/null");
    m_host = std::make_unique<TerminalHost>(m_options, m_log, ProgressDisplay::Hidden);
    m_engine = std::make_unique<BatchEngine>(*m_host);
    m_host->attach(*m_engine);
    m_engine->setRankedMatchCount(m_options.pairCount());
    m_engine->startOrStopRun();
    if (m_engine->lastOutcome() != RunOutcome::Completed)
        throw std::runtime_error("the run did not complete");
}

EngineRun::~EngineRun() {
    m_engine.reset();
    m_host.reset();
    if (m_log != nullptr)
        std::fclose(m_log);
}

QByteArray EngineRun::render(ReportFormat format) const {
    return Report(m_options, *m_engine).render(format);
}

} // namespace quillmark::test
