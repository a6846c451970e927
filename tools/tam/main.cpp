// tam: evaluates, explains, checks, validates, renames and sweeps products whose modules are kept
// as RIX files and whose structure is a JSON product file, lists their options, and configures
// them in the browser. See docs/product-format.md and docs/serve-api.md.
#include <tam/libtam.h>

#include <CLI/CLI.hpp>
#include <csignal>
#include <iostream>
#include <string>

#include "Commands.h"
#include "DiagnosticJson.h"
#include "Diagnostics.h"
#include "EvalDocument.h"
#include "Suggest.h"

namespace {

const char kExitStatuses[] =
    "Exit status: 0 when nothing but warnings was reported (with --werror, warnings count as "
    "errors), 1 when errors were reported, 2 when the command line or the input cannot be used.";

// "A subcommand is required" begins in lower case; "PRODUCT is required" keeps its name.
std::string lowerFirst(std::string text) {
  const auto upper = [](char c) { return c >= 'A' && c <= 'Z'; };
  if (text.size() > 1 && upper(text[0]) && !upper(text[1])) {
    text[0] = static_cast<char>(text[0] - 'A' + 'a');
  }
  return text;
}

// A command line that cannot be used, in tam's words, with where to read how it is used.
Diagnostic usageProblem(const CLI::App& app, const CLI::ParseError& e, int argc, char** argv) {
  std::vector<std::string> commands;
  for (const CLI::App* command : app.get_subcommands({})) commands.push_back(command->get_name());
  std::string message = lowerFirst(e.what());
  std::string help = "tam --help";
  if (argc > 1 && argv[1][0] != '-') {
    const std::string given = argv[1];
    bool known = false;
    for (const std::string& command : commands) known = known || command == given;
    if (known) {
      help = "tam " + given + " --help";
    } else {
      message = "unknown command " + quote(given) + didYouMean(given, commands);
    }
  } else if (argc <= 1) {
    std::string list;
    for (std::size_t i = 0; i < commands.size(); ++i) {
      list += (i == 0 ? "" : i + 1 == commands.size() ? " or " : ", ") + commands[i];
    }
    message = "a command is needed: " + list;
  }
  Diagnostic diagnostic = Diagnostic::general(message);
  Diagnostic note = Diagnostic::general("'" + help + "' shows how it is used");
  note.severity = Severity::kNote;
  diagnostic.notes.push_back(note);
  return diagnostic;
}

// The commands whose --json promises one document whatever happens, and that document for a
// failure; null for the others.

FailureDocument failureDocumentOf(const std::string& command) {
  if (command == "eval") return &evalFailureDocument;
  if (command == "check") return &checkFailureDocument;
  if (command == "validate") return &validateFailureDocument;
  return nullptr;
}

// A command line that cannot be used, as a document when the command was asked for JSON.
bool reportedAsDocument(const Diagnostic& problem, int argc, char** argv) {
  if (argc < 2) return false;
  const FailureDocument document = failureDocumentOf(argv[1]);
  if (document == nullptr) return false;
  for (int i = 2; i < argc; ++i) {
    if (std::string(argv[i]) == "--") return false;
    if (std::string(argv[i]) == "--json") {
      printDocument(document(problem));
      return true;
    }
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  // A file size limit must make a write fail with an error the command reports, not end it.
  std::signal(SIGXFSZ, SIG_IGN);

  CLI::App app{
      "tam: evaluate, explain, check, validate, rename and sweep products described in RIX modules",
      "tam"};
  app.set_version_flag("--version", std::string("tam ") + TAM_VERSION_STRING);
  app.require_subcommand(1);
  CommandRun run;
  addEvalCommand(app, run);
  addExplainCommand(app, run);
  addOptionsCommand(app, run);
  addCheckCommand(app, run);
  addValidateCommand(app, run);
  addRenameCommand(app, run);
  addSweepCommand(app, run);
  addServeCommand(app, run, argc, argv);
  // Set after the subcommands are added, which would otherwise inherit it.
  app.footer(kExitStatuses);
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    // --help and --version end the parse too, with the exit code 0.
    if (e.get_exit_code() == 0) return app.exit(e);
    const Diagnostic problem = usageProblem(app, e, argc, argv);
    if (!reportedAsDocument(problem, argc, argv)) DiagnosticPrinter(std::cerr).report(problem);
    return kExitUsage;
  }
  return runReported(run);
}
