// tam: evaluates, explains, checks, validates, renames and sweeps products whose modules are kept
// as RIX files and whose structure is a JSON product file, lists their options, and configures
// them in the browser. See docs/product-format.md and docs/serve-api.md.
#include <tam/libtam.h>

#include <CLI/CLI.hpp>
#include <csignal>
#include <exception>
#include <iostream>
#include <new>
#include <string>

#include "Commands.h"
#include "Diagnostics.h"

namespace {

// Runs the chosen command; whatever it throws becomes a message and an exit status.
int runReported(const CommandRun& run) {
  try {
    return run();
  } catch (const ToolError& e) {
    std::cerr << e.what() << "\n";
    return e.status();
  } catch (const TamException& e) {
    std::cerr << "tam: error: " << describeException(e) << "\n";
    return kExitReported;
  } catch (const std::bad_alloc&) {
    std::cerr << "tam: error: out of memory\n";
    return kExitReported;
  } catch (const std::exception& e) {
    std::cerr << "tam: error: " << e.what() << "\n";
    return kExitReported;
  } catch (...) {
    std::cerr << "tam: error: unexpected failure\n";
    return kExitReported;
  }
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
  addServeCommand(app, run);
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return app.exit(e) == 0 ? kExitOk : kExitUsage;
  }
  return runReported(run);
}
