// tam check: reads every module file given (or found in the folders given) and reports each
// problem in the layout of GCC and Clang: the module line and interface layout, each declaration,
// the rules, and every option reference to a module or an option that does not exist. The report
// goes to standard output; the exit status is 1 when anything was reported.
#include <tam/libtam.h>

#include <filesystem>
#include <iostream>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "Commands.h"
#include "Diagnostics.h"
#include "FileAdapter.h"
#include "Files.h"
#include "ModuleChecker.h"
#include "Product.h"
#include "ProductLock.h"
#include "ValueText.h"

namespace {

[[noreturn]] void usageError(const std::string& message) {
  throw ToolError("tam: error: " + message, kExitUsage);
}

struct CheckOptions {
  std::vector<std::string> paths;
  std::string product;
};

std::vector<std::string> moduleFilesOf(const std::vector<std::string>& paths) {
  std::vector<std::string> files;
  for (const std::string& path : paths) {
    if (isDirectory(path)) {
      std::vector<std::string> found;
      std::string problem;
      if (!listModuleFiles(path, found, problem)) {
        throw ToolError(path + ": error: " + problem, kExitUsage);
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
  if (unique.empty()) throw ToolError("tam: error: no module files (*.rix) to check", kExitUsage);
  return unique;
}

// Without paths, the product's module folders; legacy options always come from the product.
std::vector<std::string> pathsToCheck(const CheckOptions& options, FileAdapter& adapter) {
  if (options.product.empty()) {
    if (options.paths.empty()) usageError("give module files or folders, or --product");
    return options.paths;
  }
  Product product = Product::load(options.product);
  for (const LegacyEntry& legacy : product.legacyOptions()) {
    std::vector<ref_count_ptr<TamValue>> values;
    for (const nlohmann::json& value : legacy.values) values.push_back(legacyValueFromJson(value));
    adapter.addLegacyOption(legacy.moduleId, legacy.optionName, values);
  }
  return options.paths.empty() ? product.folderPaths() : options.paths;
}

int runCheck(const CheckOptions& options) {
  // The product's files are read under its lock, which settles an interrupted commit first.
  ProductLock lock;
  if (!options.product.empty()) {
    lock = ProductLock::acquire(options.product, ProductLock::Mode::kShared);
  }
  FileAdapter adapter;
  std::vector<std::string> files = moduleFilesOf(pathsToCheck(options, adapter));
  Tam::initialize(&adapter);

  std::map<std::string, std::vector<Diagnostic>> problems;
  for (const Diagnostic& problem : adapter.addFiles(files))
    problems[problem.file].push_back(problem);
  for (const std::string& path : files) {
    ModuleFile file = ModuleFile::read(path);
    if (!file.hasModuleLine() || file.id().empty()) continue;
    ModuleChecker checker(adapter);
    checker.setLegacyHint(options.product.empty());
    std::vector<Diagnostic> found = checker.check(file);
    problems[path].insert(problems[path].end(), found.begin(), found.end());
  }
  Tam::initialize(nullptr);

  std::size_t errors = 0;
  std::size_t warnings = 0;
  for (const std::string& path : files) {
    auto it = problems.find(path);
    if (it == problems.end()) continue;
    for (const Diagnostic& problem : it->second) {
      std::cout << problem.format();
      ++(problem.severity == "error" ? errors : warnings);
    }
    problems.erase(it);
  }
  std::cout << "checked " << files.size() << (files.size() == 1 ? " file: " : " files: ");
  if (errors + warnings == 0) {
    std::cout << "no problems\n";
    return kExitOk;
  }
  std::cout << errors << (errors == 1 ? " error, " : " errors, ") << warnings
            << (warnings == 1 ? " warning\n" : " warnings\n");
  return kExitReported;
}

}  // namespace

void addCheckCommand(CLI::App& app, CommandRun& run) {
  auto options = std::make_shared<CheckOptions>();
  CLI::App* command = app.add_subcommand(
      "check", "Check module files and report every problem as file:line:column");
  command->add_option("FILE_OR_DIR", options->paths,
                      "Module files, or folders of *.rix files (default: the product's folders)");
  command->add_option("--product", options->product,
                      "A product file whose legacy options the modules may refer to");
  command->callback([options, &run] { run = [options] { return runCheck(*options); }; });
}
