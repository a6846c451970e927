// tam validate: runs the validator over the product's whole tree, from the root, and reports each
// finding as an error at the statement, declaration or load-if it concerns, with the finding's
// code (see ScopeFindings). References to legacy options are never findings: the host keeps those
// options, and every module may read and set them. The exit status is 1 when there are findings.
#include <tam/libtam.h>

#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "Commands.h"
#include "Diagnostics.h"
#include "ScopeFindings.h"
#include "Session.h"

namespace {

struct ValidateOptions {
  std::string product;
};

int runValidate(const ValidateOptions& options) {
  Session session(options.product);
  session.buildTree({});
  const std::vector<ProductNode*> nodes = session.nodes();
  const ScopeCheck result =
      checkScopes(session.root(), nodes, session.product(), session.adapter(), session.window());
  DiagnosticPrinter printer(std::cout);
  for (const Diagnostic& problem : result.unresolved) printer.report(problem);
  for (const Diagnostic& finding : result.findings) printer.report(finding);
  printer.reportHidden();
  std::cout << "validated " << nodes.size() << (nodes.size() == 1 ? " node: " : " nodes: ");
  if (printer.errors() == 0) {
    std::cout << "no findings\n";
  } else {
    std::cout << printer.errors() << (printer.errors() == 1 ? " error\n" : " errors\n");
  }
  return printer.exitStatus();
}

}  // namespace

void addValidateCommand(CLI::App& app, CommandRun& run) {
  auto options = std::make_shared<ValidateOptions>();
  CLI::App* command =
      app.add_subcommand("validate", "Check that every option is used only where it is visible");
  command->add_option("PRODUCT", options->product, "The product file (JSON)")->required();
  addDiagnosticOptions(command);
  command->callback([options, &run] { run = [options] { return runValidate(*options); }; });
}
