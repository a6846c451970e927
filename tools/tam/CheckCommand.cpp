// tam check: reads every module file given (or found in the folders given) and reports each
// problem in the layout of GCC and Clang: the module line and interface layout, each declaration,
// the rules, every reference to a module or an option that does not exist, values whose kind or
// value cannot fit, mutually exclusive rules that never fire, and rules never read after a stray
// terminator (see ModuleChecker and RuleChecker). With --product, also the product's nodes, their
// load-ifs, and the options used where they are not visible (ProductChecker). Files that cannot
// be read as modules at all are reported first: they are the root cause of anything else.
// Errors make the exit status 1; warnings alone do not, unless --werror.
#include <tam/libtam.h>

#include <filesystem>
#include <iostream>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "Commands.h"
#include "DiagnosticJson.h"
#include "Diagnostics.h"
#include "FileAdapter.h"
#include "Files.h"
#include "ModuleChecker.h"
#include "Product.h"
#include "ProductChecker.h"
#include "ProductLock.h"
#include "ValueText.h"

namespace {

constexpr int kCheckFormatVersion = 1;

struct CheckOptions {
  std::vector<std::string> paths;
  std::string product;
  bool json = false;
};

std::vector<std::string> moduleFilesOf(const std::vector<std::string>& paths) {
  std::vector<std::string> files;
  for (const std::string& path : paths) {
    std::string problem;
    if (isDirectory(path)) {
      std::vector<std::string> found;
      if (!listModuleFiles(path, found, problem)) {
        throw ToolError(Diagnostic::error(SourcePlace::fileOnly(path), problem), kExitUsage);
      }
      files.insert(files.end(), found.begin(), found.end());
      continue;
    }
    readTextFile(path, TextFileKind::kModule);
    files.push_back(path);
  }
  // A file named twice, or also found in a folder given, is checked once.
  std::vector<std::string> unique;
  std::set<std::string> seen;
  for (const std::string& file : files) {
    if (seen.insert(std::filesystem::path(file).lexically_normal().string()).second) {
      unique.push_back(file);
    }
  }
  if (unique.empty()) failUsage("no module files (*.rix) to check");
  return unique;
}

struct Report {
  std::size_t files = 0;
  std::vector<Diagnostic> diagnostics;  // in the order they are shown
};

Report collect(const CheckOptions& options) {
  // The product's files are read under its lock, which settles an interrupted commit first.
  ProductLock lock;
  if (!options.product.empty()) {
    lock = ProductLock::acquire(options.product, ProductLock::Mode::kShared);
  }
  FileAdapter adapter;
  adapter.setLenient(true);
  std::unique_ptr<Product> product;
  std::vector<std::string> paths = options.paths;
  if (!options.product.empty()) {
    product = std::make_unique<Product>(Product::load(options.product));
    for (const LegacyEntry& legacy : product->legacyOptions()) {
      std::vector<ref_count_ptr<TamValue>> values;
      for (const nlohmann::json& value : legacy.values) {
        values.push_back(legacyValueFromJson(value));
      }
      adapter.addLegacyOption(legacy.moduleId, legacy.optionName, values);
    }
    if (paths.empty()) paths = product->folderPaths();
  } else if (paths.empty()) {
    failUsage("give module files or folders, or --product");
  }
  const std::vector<std::string> files = moduleFilesOf(paths);

  Report report;
  report.files = files.size();
  // Files that cannot be read as modules come first: nothing else about them can be said.
  report.diagnostics = adapter.addFiles(files);
  Tam::initialize(&adapter);
  ModuleChecker checker(adapter);
  checker.setLegacyHint(options.product.empty());
  for (const std::string& path : files) {
    const ModuleFile file = ModuleFile::read(path);
    if (!file.hasModuleLine() || file.id().empty()) continue;
    const std::vector<Diagnostic> found = checker.check(file);
    report.diagnostics.insert(report.diagnostics.end(), found.begin(), found.end());
  }
  if (product) {
    const std::vector<Diagnostic> found = checkProduct(*product, adapter);
    report.diagnostics.insert(report.diagnostics.end(), found.begin(), found.end());
  }
  Tam::initialize(nullptr);
  return report;
}

std::string plural(std::size_t count, const char* word) {
  return std::to_string(count) + " " + word + (count == 1 ? "" : "s");
}

int printText(const Report& report) {
  DiagnosticPrinter printer(std::cout);
  for (const Diagnostic& diagnostic : report.diagnostics) printer.report(diagnostic);
  printer.reportHidden();
  std::cout << "checked " << plural(report.files, "file") << ": ";
  if (printer.errors() + printer.warnings() == 0) {
    std::cout << "no problems\n";
  } else {
    std::cout << plural(printer.errors(), "error") << ", " << plural(printer.warnings(), "warning")
              << "\n";
  }
  return printer.exitStatus();
}

int printJson(const Report& report) {
  const DiagnosticList list = diagnosticList(report.diagnostics);
  OutputJson summary = OutputJson::object();
  summary["files"] = report.files;
  summary["errors"] = list.errors;
  summary["warnings"] = list.warnings;
  summary["not_shown"] = list.notShown;
  printDocument(reportJson("tam-check", kCheckFormatVersion, list, summary));
  const bool failed =
      list.errors > 0 || (diagnosticOptions().warningsAsErrors && list.warnings > 0);
  return failed ? kExitReported : kExitOk;
}

int runCheck(const CheckOptions& options) {
  if (!options.json) return printText(collect(options));
  return reportAsDocument([&options] { return printJson(collect(options)); },
                          &checkFailureDocument);
}

}  // namespace

OutputJson checkFailureDocument(const Diagnostic& error) {
  return failureJson("tam-check", kCheckFormatVersion, error);
}

void addCheckCommand(CLI::App& app, CommandRun& run) {
  auto options = std::make_shared<CheckOptions>();
  CLI::App* command = app.add_subcommand(
      "check", "Check module files and report every problem as file:line:column");
  command->add_option("FILE_OR_DIR", options->paths,
                      "Module files, or folders of *.rix files (default: the product's folders)");
  command->add_option("--product", options->product,
                      "A product file: its legacy options are known to the modules, and its "
                      "nodes, load-ifs and the visibility of options are checked too");
  command->add_flag("--json", options->json, "Print the problems as one JSON document");
  addWarningOptions(command);
  addErrorLimitOption(command);
  addDiagnosticOptions(command);
  command->callback([options, &run] { run = [options] { return runCheck(*options); }; });
}
