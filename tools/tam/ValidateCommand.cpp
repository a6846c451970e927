// tam validate: runs the validator over the product's whole tree, from the root, and reports each
// finding as an error at the statement, declaration or load-if it concerns, with the finding's
// code (see ScopeFindings). References to legacy options are never findings: the host keeps those
// options, and every module may read and set them. The exit status is 1 when there are findings.
// With --json the report is one document (docs/schema/tam-validate.schema.json), also when the
// validation cannot run.
#include <tam/libtam.h>

#include <cstddef>
#include <iostream>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "Commands.h"
#include "DiagnosticJson.h"
#include "Diagnostics.h"
#include "ScopeFindings.h"
#include "Session.h"

namespace {

constexpr int kValidateFormatVersion = 1;

struct ValidateOptions {
  std::string product;
  bool json = false;
};

struct Report {
  std::size_t nodes = 0;
  std::vector<Diagnostic> diagnostics;  // references that do not resolve, then the findings
};

Report validate(const ValidateOptions& options) {
  Session session(options.product);
  session.buildTree({});
  const std::vector<ProductNode*> nodes = session.nodes();
  ScopeCheck result =
      checkScopes(session.root(), nodes, session.product(), session.adapter(), session.window());
  Report report;
  report.nodes = nodes.size();
  report.diagnostics = std::move(result.unresolved);
  for (Diagnostic& finding : result.findings) report.diagnostics.push_back(std::move(finding));
  return report;
}

int printText(const Report& report) {
  DiagnosticPrinter printer(std::cout);
  for (const Diagnostic& diagnostic : report.diagnostics) printer.report(diagnostic);
  printer.reportHidden();
  std::cout << "validated " << report.nodes << (report.nodes == 1 ? " node: " : " nodes: ");
  if (printer.errors() == 0) {
    std::cout << "no findings\n";
  } else {
    std::cout << printer.errors() << (printer.errors() == 1 ? " error\n" : " errors\n");
  }
  return printer.exitStatus();
}

int printJson(const Report& report) {
  const DiagnosticList list = diagnosticList(report.diagnostics);
  OutputJson summary = OutputJson::object();
  summary["nodes"] = report.nodes;
  summary["errors"] = list.errors;
  summary["not_shown"] = list.notShown;
  printDocument(reportJson("tam-validate", kValidateFormatVersion, list, summary));
  return list.errors > 0 ? kExitReported : kExitOk;
}

int runValidate(const ValidateOptions& options) {
  if (!options.json) return printText(validate(options));
  return reportAsDocument([&options] { return printJson(validate(options)); },
                          &validateFailureDocument);
}

}  // namespace

OutputJson validateFailureDocument(const Diagnostic& error) {
  return failureJson("tam-validate", kValidateFormatVersion, error);
}

void addValidateCommand(CLI::App& app, CommandRun& run) {
  auto options = std::make_shared<ValidateOptions>();
  CLI::App* command =
      app.add_subcommand("validate", "Check that every option is used only where it is visible");
  command->add_option("PRODUCT", options->product, "The product file (JSON)")->required();
  command->add_flag("--json", options->json, "Print the findings as one JSON document");
  addErrorLimitOption(command);
  addDiagnosticOptions(command);
  command->callback([options, &run] { run = [options] { return runValidate(*options); }; });
}
