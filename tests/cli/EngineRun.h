// A batch run inside the test's own process, set up as quillmark-cli sets it
// up, so that a report can be made from its engine.
#pragma once

#include "cli/CliOptions.h"
#include "cli/Report.h"
#include "cli/TerminalHost.h"
#include "engine/BatchEngine.h"

#include <QByteArray>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace quillmark::test {

class EngineRun {
public:
    /// Parses `arguments` as the command line (the source directory among
    /// them) and runs the batch once. Throws std::runtime_error when the run
    /// does not complete.
    explicit EngineRun(std::vector<std::string> arguments);
    ~EngineRun();

    EngineRun(const EngineRun&) = delete;
    EngineRun& operator=(const EngineRun&) = delete;

    const CliOptions& options() const { return m_options; }
    const BatchEngine& engine() const { return *m_engine; }
    /// The report of the run in `format`.
    QByteArray render(ReportFormat format) const;
    /// The HTML report as text.
    std::string html() const { return render(ReportFormat::Html).toStdString(); }

private:
    CliOptions m_options;
    std::FILE* m_log = nullptr;
    std::unique_ptr<TerminalHost> m_host;
    std::unique_ptr<BatchEngine> m_engine;
};

} // namespace quillmark::test
