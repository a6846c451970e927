// tam: evaluates, checks, validates and renames products whose modules are kept as RIX files and
// whose structure is a JSON product file. See docs/product-format.md.
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

const char kExitStatuses[] =
    "Exit status: 0 when nothing but warnings was reported (with --werror, warnings count as "
    "errors), 1 when errors were reported, 2 when the command line or the input cannot be used.";

// Runs the chosen command; whatever it throws becomes a diagnostic and an exit status.
int runReported(const CommandRun& run) {
  DiagnosticPrinter printer(std::cerr);
  try {
    return run();
  } catch (const ToolError& e) {
    std::cout.flush();
    if (e.diagnostics().empty()) {
      printer.reportText(e.what());
    } else {
      for (const Diagnostic& diagnostic : e.diagnostics()) printer.report(diagnostic);
    }
    return e.status();
  } catch (const TamException& e) {
    printer.report(Diagnostic::general(describeException(e)));
  } catch (const std::bad_alloc&) {
    printer.report(Diagnostic::general("out of memory"));
  } catch (const std::exception& e) {
    printer.report(Diagnostic::general(e.what()));
  } catch (...) {
    printer.report(Diagnostic::general("unexpected failure"));
  }
  return kExitReported;
}

}  // namespace

int main(int argc, char** argv) {
  // A file size limit must make a write fail with an error the command reports, not end it.
  std::signal(SIGXFSZ, SIG_IGN);

  CLI::App app{"tam: evaluate, check, validate and rename products described in RIX modules",
               "tam"};
  app.set_version_flag("--version", std::string("tam ") + TAM_VERSION_STRING);
  app.require_subcommand(1);
  CommandRun run;
  addEvalCommand(app, run);
  addCheckCommand(app, run);
  addValidateCommand(app, run);
  addRenameCommand(app, run);
  // Set after the subcommands are added, which would otherwise inherit it.
  app.footer(kExitStatuses);
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return app.exit(e) == 0 ? kExitOk : kExitUsage;
  }
  return runReported(run);
}
