// The tam subcommands. Each add function registers its subcommand with its options and, when the
// subcommand is chosen on the command line, stores in `run` the function that performs it and
// returns its exit status (kExitOk, kExitReported or kExitUsage, see Diagnostics.h).
#ifndef TAM_TOOL_COMMANDS_H
#define TAM_TOOL_COMMANDS_H

#include <CLI/CLI.hpp>
#include <functional>

#include "DiagnosticJson.h"

using CommandRun = std::function<int()>;

void addEvalCommand(CLI::App& app, CommandRun& run);
void addCheckCommand(CLI::App& app, CommandRun& run);
void addValidateCommand(CLI::App& app, CommandRun& run);
void addRenameCommand(CLI::App& app, CommandRun& run);
void addSweepCommand(CLI::App& app, CommandRun& run);
// tam serve hands its command line, unchanged, to the server program.
void addServeCommand(CLI::App& app, CommandRun& run, int argc, char** argv);
void addExplainCommand(CLI::App& app, CommandRun& run);
void addOptionsCommand(CLI::App& app, CommandRun& run);

// The document `tam check --json` prints when the check cannot run: format and error.
OutputJson checkFailureDocument(const Diagnostic& error);
// The document `tam validate --json` prints when the validation cannot run: format and error.
OutputJson validateFailureDocument(const Diagnostic& error);

#endif  // TAM_TOOL_COMMANDS_H
