// "quillmark-cli archive …": adding a directory's texts to the team archive,
// and listing, checking and removing what it holds.
#pragma once

#include "engine/ArchiveSet.h"

#include <string>

namespace quillmark {

class TerminalHost;

/// Prints the counts of "archive add" and returns the exit status.
int archiveAddStatus(const ArchiveAdded& counts, TerminalHost& host);

/// Runs "archive list|check|remove" from `argv` (argv[0] is the action) and
/// returns the exit status.
int runArchiveAdmin(int argc, char** argv, const std::string& version);

} // namespace quillmark
