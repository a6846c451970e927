// tam options: lists the options of a product's modules (or of a folder of module files), as the
// library reads their declarations: module, name, scope, value type, description, the allowed
// values as written in RIX (a based option's from the option it is based on), the default, the
// option it presents, implements or uses, and the file and line that declare it. The product's
// legacy options follow each module's own. --json prints one "tam-options" document.
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "Commands.h"
#include "DiagnosticJson.h"
#include "Diagnostics.h"
#include "FileAdapter.h"
#include "Files.h"
#include "ModuleDeclarations.h"
#include "Session.h"
#include "Suggest.h"
#include "ValueText.h"

namespace {

const char* const kOptionsFormatName = "tam-options";
constexpr int kOptionsFormatVersion = 1;

struct OptionsOptions {
  std::string source;  // a product file or a folder of module files
  std::string module;
  bool json = false;
};

const char* scopeName(TamOption::Scope scope) {
  switch (scope) {
    case TamOption::SCOPE_PRIVATE:
      return "private";
    case TamOption::SCOPE_LEGACY:
      return "legacy";
    case TamOption::SCOPE_PUBLIC:
      break;
  }
  return "public";
}

const char* kindName(TamOption::Type type) {
  switch (type) {
    case TamOption::TYPE_PRESENTS:
      return "presents";
    case TamOption::TYPE_IMPLEMENTS:
      return "implements";
    case TamOption::TYPE_USES:
      return "uses";
    case TamOption::TYPE_DECLARED:
      break;
  }
  return "declared";
}

// One option as listed.
struct OptionLine {
  std::string module;
  std::string name;
  std::string scope;
  std::string kind;
  std::string type;  // the value type's word; empty for a legacy option, which has none
  std::string description;
  bool mandatory = false;
  bool severalValues = false;
  std::string base;      // module:option of a based option
  std::string basePath;  // the path a presented option stands at
  std::string allowed;   // as written in RIX; empty: any value of the type
  std::string allowedFrom;  // the option whose declaration gives `allowed`, when not this one
  ref_count_ptr<TamValue> defaultValue;  // null: none
  std::string file;
  int line = 0;
};

struct ModuleListing {
  std::string module;
  std::string file;
  std::vector<OptionLine> options;
};

// Reads what the library and the declarations say of the module's options.
class Lister {
 public:
  explicit Lister(FileAdapter& adapter) : adapter_(adapter) {}

  ModuleListing list(const ref_count_ptr<TamModule>& module) {
    ModuleListing listing;
    listing.module = module->id();
    const ModuleFile* file = adapter_.moduleFile(module->id());
    if (file != nullptr) listing.file = file->path();
    for (const ref_count_ptr<TamOption>& option : module->options()) {
      listing.options.push_back(describe(option));
    }
    return listing;
  }

  OptionLine describe(const ref_count_ptr<TamOption>& option) {
    OptionLine line;
    line.module = option->moduleId();
    line.name = option->name();
    line.scope = scopeName(option->scope());
    line.kind = kindName(option->type());
    line.description = option->description();
    line.mandatory = option->mandatory();
    line.severalValues = !option->mutually_exclusive();
    if (option->scope() == TamOption::SCOPE_LEGACY) return line;
    line.type = typeWord(option->valueType());
    if (option->type() != TamOption::TYPE_DECLARED) {
      line.base = option->basedOnModuleId() + ":" + option->basedOnName();
      line.basePath = option->path().toDisplayString();
    }
    const ref_count_ptr<TamValue> byDefault = option->defaultValue();
    if (byDefault->type() != TamValue::VT_UNSET) line.defaultValue = byDefault;
    if (const ModuleDeclaration* own = declaration(line.module, line.name)) {
      line.file = adapter_.moduleFile(line.module)->path();
      line.line = own->line;
    }
    findAllowed(line);
    return line;
  }

 private:
  const ModuleDeclaration* declaration(const std::string& moduleId, const std::string& name) {
    auto found = declarations_.find(moduleId);
    if (found == declarations_.end()) {
      const ModuleFile* file = adapter_.moduleFile(moduleId);
      if (file == nullptr) return nullptr;
      found = declarations_.emplace(moduleId, ModuleDeclarations(*file)).first;
    }
    return found->second.find(name);
  }

  // The constraints that apply: the option's own, or those of the first option down its chain
  // of bases that has some, as the library takes them.
  void findAllowed(OptionLine& line) {
    std::string moduleId = line.module;
    std::string name = line.name;
    for (int link = 0; link < TamOption::kMaxBaseChain; ++link) {
      const ModuleDeclaration* found = declaration(moduleId, name);
      if (found == nullptr) return;
      line.allowed = ModuleDeclarations::constraintsText(*found);
      const TamDeclarationOutline::Reference& base = found->outline.base();
      if (!line.allowed.empty() || !base.moduleId.isPresent()) break;
      moduleId = base.moduleId.text;
      name = base.optionName.text;
    }
    if (moduleId != line.module || name != line.name) line.allowedFrom = moduleId + ":" + name;
  }

  FileAdapter& adapter_;
  std::map<std::string, ModuleDeclarations> declarations_;
};

void printText(const std::vector<ModuleListing>& modules) {
  bool first = true;
  for (const ModuleListing& module : modules) {
    for (const OptionLine& option : module.options) {
      std::cout << (first ? "" : "\n") << option.module << ":" << option.name << "\n";
      first = false;
      auto field = [](const char* label, const std::string& value) {
        if (!value.empty()) std::cout << "  " << label << value << "\n";
      };
      field("declared:    ", option.line > 0 ? option.file + ":" + std::to_string(option.line)
                                             : "");
      field("scope:       ", option.scope == std::string("legacy")
                                 ? "legacy (its values are kept by the host)"
                                 : option.scope);
      field("type:        ", option.type);
      if (!option.base.empty()) {
        field(option.kind == std::string("presents")     ? "presents:    "
              : option.kind == std::string("implements") ? "implements:  "
                                                         : "uses:        ",
              option.base + (option.basePath.empty() ? "" : " [" + option.basePath + "]"));
      }
      field("description: ", option.description);
      if (!option.type.empty()) {
        field("allowed:     ", option.allowed.empty()
                                   ? "any " + option.type + " value"
                                   : option.allowed + (option.allowedFrom.empty()
                                                           ? ""
                                                           : " (from " + option.allowedFrom + ")"));
      }
      field("default:     ", option.defaultValue ? valueText(option.defaultValue) : "");
      field("mandatory:   ", option.mandatory ? "yes" : "");
      field("values:      ", option.severalValues && option.scope != std::string("legacy")
                                 ? "several at once (non_mutually_exclusive)"
                                 : "");
    }
  }
}

OutputJson nullable(const std::string& text) {
  return text.empty() ? OutputJson(nullptr) : OutputJson(text);
}

void printJson(const std::string& source, const std::vector<ModuleListing>& modules) {
  OutputJson document = OutputJson::object();
  document["format"] = formatJson(kOptionsFormatName, kOptionsFormatVersion);
  document["source"] = source;
  OutputJson list = OutputJson::array();
  for (const ModuleListing& module : modules) {
    OutputJson item = OutputJson::object();
    item["module"] = module.module;
    item["file"] = nullable(module.file);
    OutputJson options = OutputJson::array();
    for (const OptionLine& option : module.options) {
      OutputJson entry = OutputJson::object();
      entry["option"] = option.module + ":" + option.name;
      entry["name"] = option.name;
      entry["scope"] = option.scope;
      entry["kind"] = option.kind;
      entry["type"] = nullable(option.type);
      entry["description"] = nullable(option.description);
      entry["mandatory"] = option.mandatory;
      entry["several_values"] = option.severalValues;
      OutputJson base = nullptr;
      if (!option.base.empty()) {
        base = OutputJson::object();
        base["option"] = option.base;
        base["path"] = nullable(option.basePath);
      }
      entry["base"] = base;
      entry["allowed"] = nullable(option.allowed);
      entry["allowed_from"] = nullable(option.allowedFrom);
      entry["default"] = option.defaultValue ? valueJson(option.defaultValue) : OutputJson(nullptr);
      OutputJson declared = nullptr;
      if (option.line > 0) {
        declared = OutputJson::object();
        declared["file"] = option.file;
        declared["line"] = option.line;
      }
      entry["declared"] = declared;
      options.push_back(entry);
    }
    item["options"] = options;
    list.push_back(item);
  }
  document["modules"] = list;
  std::cout << document.dump(2, ' ', false, OutputJson::error_handler_t::replace) << "\n";
}

// The module ids to list: the one asked for, or all of them in id order.
std::vector<std::string> chosenModules(const OptionsOptions& options, const FileAdapter& adapter) {
  std::vector<std::string> ids;
  for (const auto& file : adapter.moduleFiles()) ids.push_back(file.first);
  if (options.module.empty()) return ids;
  if (adapter.moduleFile(options.module) == nullptr) {
    throw ToolError("tam: error: options: no module '" + options.module + "' in " +
                        options.source + didYouMean(options.module, ids),
                    kExitUsage);
  }
  return {options.module};
}

std::vector<ModuleListing> listModules(const OptionsOptions& options, FileAdapter& adapter,
                                       const ref_count_ptr<TamWindow>& window) {
  Lister lister(adapter);
  std::vector<ModuleListing> listings;
  for (const std::string& id : chosenModules(options, adapter)) {
    const std::size_t failedBefore = adapter.failedLoads().size();
    try {
      listings.push_back(lister.list(window->getModule(id)));
    } catch (const TamException& e) {
      if (adapter.failedLoads().size() == failedBefore) throw;
      throw ToolError(adapter.describeLoadFailure(), kExitReported);
    }
  }
  return listings;
}

// A folder of module files: its modules, with no product around them.
int listFolder(const OptionsOptions& options) {
  std::vector<std::string> files;
  std::string problem;
  if (!listModuleFiles(options.source, files, problem)) {
    throw ToolError(Diagnostic::error(SourcePlace::fileOnly(options.source), problem), kExitUsage);
  }
  if (files.empty()) {
    throw ToolError(Diagnostic::error(SourcePlace::fileOnly(options.source), "no *.rix module files"),
                    kExitUsage);
  }
  FileAdapter adapter;
  std::vector<Diagnostic> problems = adapter.addFiles(files);
  if (!problems.empty()) throw ToolError(problems, kExitUsage);
  Tam::initialize(&adapter);
  std::vector<ModuleListing> listings;
  {
    ref_count_ptr<TamWindow> window = Tam::createWindow();
    listings = listModules(options, adapter, window);
  }
  Tam::initialize(nullptr);
  if (options.json) {
    printJson(options.source, listings);
  } else {
    printText(listings);
  }
  return kExitOk;
}

int runOptions(const OptionsOptions& options) {
  if (isDirectory(options.source)) return listFolder(options);
  Session session(options.source);
  std::vector<ModuleListing> listings =
      listModules(options, session.adapter(), session.window());
  // The host's legacy options, declared in each module as it was loaded.
  Lister lister(session.adapter());
  for (ModuleListing& listing : listings) {
    ref_count_ptr<TamModule> module = session.window()->getModule(listing.module);
    for (const LegacyEntry& legacy : session.product().legacyOptions()) {
      if (legacy.moduleId != listing.module) continue;
      OptionLine line = lister.describe(module->getOption(legacy.optionName));
      line.file = session.product().path();
      line.line = session.product().document().line(legacy.pointer);
      listing.options.push_back(line);
    }
  }
  if (options.json) {
    printJson(options.source, listings);
  } else {
    printText(listings);
  }
  return kExitOk;
}

}  // namespace

void addOptionsCommand(CLI::App& app, CommandRun& run) {
  auto options = std::make_shared<OptionsOptions>();
  CLI::App* command = app.add_subcommand(
      "options", "List the options of a product's modules, or of a folder of module files");
  command->add_option("PRODUCT_OR_DIR", options->source,
                      "The product file (JSON), or a folder of *.rix module files")
      ->required();
  command->add_option("MODULE", options->module, "List this module's options only");
  command->add_flag("--json", options->json, "Print the list as one JSON document");
  command->callback([options, &run] { run = [options] { return runOptions(*options); }; });
}
