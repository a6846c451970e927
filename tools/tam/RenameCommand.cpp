// tam rename: renames modules and options across a product. Every module file goes through the
// library's translater (under its new id when it is the renamed module), the declaration of a
// renamed option is given its new name, and in the product file every node's module, load-if,
// host value and legacy option is rewritten in place, the rest of the file kept as written.
// Without --write it only shows what would change, file and line, before and after. Either way the
// product is first loaded and evaluated again from the new texts in a scratch session, and a
// rename that would break it is refused (RenameCheck.h). With --write the command holds the
// product's lock from its first read to its last write (ProductLock.h), and the new contents are
// committed all or nothing (FileCommit.h).
#include <tam/libtam.h>

#include <algorithm>
#include <chrono>
#include <cctype>
#include <iostream>
#include <map>
#include <memory>
#include <optional>
#include <nlohmann/json.hpp>
#include <set>
#include <string>
#include <vector>

#include "Commands.h"
#include "Diagnostics.h"
#include "FileCommit.h"
#include "LineDiff.h"
#include "ModuleChecker.h"
#include "ProductLock.h"
#include "RenameCheck.h"
#include "Session.h"

namespace {

struct RenameOptions {
  std::vector<std::string> modules;
  std::vector<std::string> options;
  bool write = false;
  bool force = false;
  double waitSeconds = static_cast<double>(ProductLock::kDefaultWait.count());
  std::string product;
};

struct OptionRename {
  std::string moduleId;
  std::string from;
  std::string to;
};

struct Renames {
  std::map<std::string, std::string> modules;  // old id to new id
  std::vector<OptionRename> options;
};

[[noreturn]] void usage(const std::string& message) { failUsage(message); }

bool validName(const std::string& name) {
  return !name.empty() && name.find_first_of("\n\r") == std::string::npos;
}

Renames parseRenames(const RenameOptions& options) {
  Renames renames;
  for (const std::string& argument : options.modules) {
    std::size_t equals = argument.find('=');
    if (equals == std::string::npos) usage("--module " + argument + ": expected OLD=NEW");
    std::string from = argument.substr(0, equals);
    std::string to = argument.substr(equals + 1);
    if (!validName(from) || !validName(to) || to.find(':') != std::string::npos) {
      usage("--module " + argument + ": expected OLD=NEW with two module ids");
    }
    if (!renames.modules.emplace(from, to).second) usage("module '" + from + "' is renamed twice");
  }
  for (const std::string& argument : options.options) {
    std::size_t colon = argument.find(':');
    std::size_t equals = colon == std::string::npos ? std::string::npos : argument.find('=', colon);
    if (equals == std::string::npos) usage("--option " + argument + ": expected MODULE:OLD=NEW");
    OptionRename rename{argument.substr(0, colon), argument.substr(colon + 1, equals - colon - 1),
                        argument.substr(equals + 1)};
    if (!validName(rename.moduleId) || !validName(rename.from) || !validName(rename.to)) {
      usage("--option " + argument + ": expected MODULE:OLD=NEW with a module id and two names");
    }
    for (const OptionRename& other : renames.options) {
      if (other.moduleId == rename.moduleId && other.from == rename.from) {
        usage("option " + rename.moduleId + ":" + rename.from + " is renamed twice");
      }
    }
    renames.options.push_back(rename);
  }
  if (renames.modules.empty() && renames.options.empty()) {
    usage("rename needs at least one --module OLD=NEW or --option MODULE:OLD=NEW");
  }
  return renames;
}

// Refuses renames of what does not exist and renames onto names already taken.
void checkRenames(Session& session, const Renames& renames) {
  FileAdapter& adapter = session.adapter();
  std::set<std::string> newIds;
  for (const auto& rename : renames.modules) {
    if (adapter.moduleFile(rename.first) == nullptr) usage("no module '" + rename.first + "'");
    if (adapter.moduleFile(rename.second) != nullptr || !newIds.insert(rename.second).second) {
      usage("module '" + rename.second + "' exists already");
    }
  }
  for (const OptionRename& rename : renames.options) {
    if (adapter.moduleFile(rename.moduleId) == nullptr)
      usage("no module '" + rename.moduleId + "'");
    ref_count_ptr<TamModule> module;
    try {
      module = session.window()->getModule(rename.moduleId);
    } catch (const TamException& e) {
      throw ToolError(adapter.failedLoads().empty() ? Diagnostic::general(describeException(e))
                                                    : adapter.describeLoadFailure(),
                      kExitReported);
    }
    try {
      module->getOption(rename.from);
    } catch (const TamException&) {
      usage("module '" + rename.moduleId + "' has no option '" + rename.from + "'");
    }
    bool taken = true;
    try {
      module->getOption(rename.to);
    } catch (const TamException&) {
      taken = false;
    }
    if (taken) usage("module '" + rename.moduleId + "' has an option '" + rename.to + "' already");
  }
}

// The new name of an option's own declaration line, or the line unchanged.
std::string renameDeclaration(const std::string& line, const std::string& from,
                              const std::string& to) {
  const TamDeclarationOutline::Part name = TamDeclarationOutline::read(line).name();
  if (!name.isPresent() || name.text != from) return line;
  return line.substr(0, name.begin.offset) + Tam::rixQuoteOptionName(to) +
         line.substr(name.end.offset);
}

// Renames the declarations of the renamed options of module `moduleId` in a translated text,
// which has the layout the module writes: one line each for the module line, "interface start",
// every declaration and "interface end", then the rules.
std::string renameDeclarations(const std::string& text, const std::string& moduleId,
                               const Renames& renames) {
  ModuleFile layout = ModuleFile::fromText("", text);
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  for (const ModuleLine& declaration : layout.declarations()) {
    std::string& line = lines[static_cast<std::size_t>(declaration.line - 1)];
    for (const OptionRename& rename : renames.options) {
      if (rename.moduleId == moduleId) line = renameDeclaration(line, rename.from, rename.to);
    }
  }
  std::string result;
  for (std::size_t i = 0; i < lines.size(); ++i) result += (i > 0 ? "\n" : "") + lines[i];
  return result;
}

struct Edit {
  std::size_t offset;
  std::size_t length;
  std::string text;
};

// Edits of the product file text that keep everything but the strings being renamed.
class ProductEdits {
 public:
  explicit ProductEdits(const JsonDocument& document)
      : document_(document), lines_(document.text()) {}

  // The string value of the member at `pointer`.
  void replaceValue(const std::string& pointer, const std::string& from, const std::string& to) {
    std::string key = lastKey(pointer);
    std::string keyToken = token(key);
    std::size_t at = lineStart(pointer);
    const std::string& text = document_.text();
    for (at = text.find(keyToken, at); at != std::string::npos; at = text.find(keyToken, at + 1)) {
      std::size_t value = skipBlanks(at + keyToken.size());
      if (value >= text.size() || text[value] != ':') continue;
      value = skipBlanks(value + 1);
      std::string oldToken = token(from);
      if (text.compare(value, oldToken.size(), oldToken) == 0 && used_.insert(value).second) {
        edits_.push_back({value, oldToken.size(), token(to)});
        return;
      }
    }
    fail(pointer);
  }

  // The key of the member at `pointer`.
  void replaceKey(const std::string& pointer, const std::string& to) {
    std::string keyToken = token(lastKey(pointer));
    const std::string& text = document_.text();
    for (std::size_t at = text.find(keyToken, lineStart(pointer)); at != std::string::npos;
         at = text.find(keyToken, at + 1)) {
      std::size_t colon = skipBlanks(at + keyToken.size());
      if (colon < text.size() && text[colon] == ':' && used_.insert(at).second) {
        edits_.push_back({at, keyToken.size(), token(to)});
        return;
      }
    }
    fail(pointer);
  }

  bool empty() const { return edits_.empty(); }

  // The text with every edit made, built in one pass.
  std::string apply() const {
    std::vector<Edit> edits = edits_;
    std::sort(edits.begin(), edits.end(),
              [](const Edit& a, const Edit& b) { return a.offset < b.offset; });
    const std::string& original = document_.text();
    std::string text;
    std::size_t at = 0;
    for (const Edit& edit : edits) {
      text.append(original, at, edit.offset - at);
      text += edit.text;
      at = edit.offset + edit.length;
    }
    text.append(original, at, std::string::npos);
    return text;
  }

 private:
  static std::string token(const std::string& value) {
    return nlohmann::json(value).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
  }

  static std::string lastKey(const std::string& pointer) {
    std::string segment = pointer.substr(pointer.rfind('/') + 1);
    std::string key;
    for (std::size_t i = 0; i < segment.size(); ++i) {
      if (segment[i] == '~' && i + 1 < segment.size()) {
        key += segment[++i] == '0' ? '~' : '/';
      } else {
        key += segment[i];
      }
    }
    return key;
  }

  std::size_t lineStart(const std::string& pointer) const {
    int line = document_.line(pointer);
    return line < 1 ? 0 : lines_.lineStart(line);
  }

  std::size_t skipBlanks(std::size_t at) const {
    const std::string& text = document_.text();
    while (at < text.size() && std::isspace(static_cast<unsigned char>(text[at]))) ++at;
    return at;
  }

  [[noreturn]] void fail(const std::string& pointer) const {
    throw ToolError(Diagnostic::error(document_.place(pointer),
                                      "cannot rewrite this string in place (write it as a plain "
                                      "JSON string, without escapes, and try again)"),
                    kExitUsage);
  }

  const JsonDocument& document_;
  const TamLineIndex lines_;
  std::vector<Edit> edits_;
  std::set<std::size_t> used_;
};

void editNode(const NodeEntry& node, const Renames& renames, TamTranslater& translater,
              ProductEdits& edits, Session& session) {
  auto module = renames.modules.find(node.moduleId);
  if (module != renames.modules.end()) {
    edits.replaceValue(JsonDocument::member(node.pointer, "module"), node.moduleId, module->second);
  }
  if (node.hasLoadIf) {
    std::string translated;
    try {
      translated = translater.translateCondition(node.loadIf);
    } catch (const TamException& e) {
      throw ToolError(
          Diagnostic::error(session.product().place(JsonDocument::member(node.pointer, "load_if")),
                            "load-if: " + describeException(e)),
          kExitUsage);
    }
    if (translated != node.loadIf) {
      edits.replaceValue(JsonDocument::member(node.pointer, "load_if"), node.loadIf, translated);
    }
  }
  for (const HostValueEntry& value : node.values) {
    std::pair<std::string, std::string> mapped =
        translater.lookupMapping(value.moduleId, value.optionName);
    if (mapped.first != value.moduleId || mapped.second != value.optionName) {
      edits.replaceValue(JsonDocument::member(value.pointer, "option"),
                         value.moduleId + ":" + value.optionName,
                         mapped.first + ":" + mapped.second);
    }
  }
  for (const NodeEntry& child : node.children) editNode(child, renames, translater, edits, session);
}

void editLegacy(const Product& product, const Renames& renames, ProductEdits& edits) {
  std::set<std::string> modulesDone;
  for (const LegacyEntry& legacy : product.legacyOptions()) {
    auto module = renames.modules.find(legacy.moduleId);
    if (module != renames.modules.end() && modulesDone.insert(legacy.moduleId).second) {
      edits.replaceKey(JsonDocument::member("/legacy_options", legacy.moduleId), module->second);
    }
    for (const OptionRename& rename : renames.options) {
      if (rename.moduleId == legacy.moduleId && rename.from == legacy.optionName) {
        edits.replaceKey(legacy.pointer, rename.to);
      }
    }
  }
}

// Mutually exclusive rules name options without their module, so the translater leaves them;
// say where a renamed option's name still stands in one.
void warnExclusiveNames(const ModuleFile& file, const Renames& renames,
                        DiagnosticPrinter& printer) {
  const TamRixOutline outline = TamRixOutline::fromRules(file.rules());
  for (const TamRixOutline::Node& name : outline.nodes()) {
    // The names of mutually exclusive rules are the references without a module id.
    if (name.kind != TamRixOutline::KIND_OPTION_REFERENCE || name.moduleIdPos.isKnown()) continue;
    for (const OptionRename& rename : renames.options) {
      if (name.optionName != rename.from) continue;
      printer.report(Diagnostic::warning(
          file.placeInRules(name.optionNamePos.offset,
                            name.optionNamePos.offset + name.optionName.size()),
          quote(rename.from) +
              " in a mutually exclusive rule names an option without its module and is not "
              "renamed; check it by hand"));
    }
  }
}

// The new content of every module file a rename changes. A file whose text only the
// translater's layout would change (blank lines in the interface) is left alone.
std::vector<FileUpdate> renameModules(Session& session, const Renames& renames,
                                      TamTranslater& translater, DiagnosticPrinter& printer) {
  TamTranslater unchanged;
  std::vector<const ModuleFile*> files;
  for (const auto& entry : session.adapter().moduleFiles()) files.push_back(&entry.second);
  std::sort(files.begin(), files.end(),
            [](const ModuleFile* a, const ModuleFile* b) { return a->path() < b->path(); });
  std::vector<FileUpdate> updates;
  for (const ModuleFile* file : files) {
    auto module = renames.modules.find(file->id());
    std::string newId = module == renames.modules.end() ? file->id() : module->second;
    std::string translated;
    std::string normalised;
    try {
      translated =
          renameDeclarations(translater.translateRixData(newId, file->text()), file->id(), renames);
      normalised = unchanged.translateRixData(file->id(), file->text());
    } catch (const TamException& e) {
      Diagnostic problem =
          Diagnostic::error(SourcePlace::fileOnly(file->path()), describeException(e));
      for (const Diagnostic& found : ModuleChecker(session.adapter()).check(*file)) {
        if (found.severity == Severity::kError) {
          problem = found;
          break;
        }
      }
      throw ToolError(problem, kExitReported);
    }
    warnExclusiveNames(*file, renames, printer);
    if (translated != normalised) updates.push_back({file->path(), translated, std::nullopt});
  }
  return updates;
}

std::string originalText(Session& session, const std::string& path) {
  for (const auto& entry : session.adapter().moduleFiles()) {
    if (entry.second.path() == path) return entry.second.text();
  }
  return session.product().document().text();
}

int runRename(const RenameOptions& options) {
  Renames renames = parseRenames(options);
  // A writer holds the product's lock from its first read to its last write, so that no other tam
  // reads the product half written or renames from the texts this one replaces.
  ProductLock lock;
  if (options.write) {
    auto wait = std::chrono::milliseconds(static_cast<long long>(options.waitSeconds * 1000));
    lock = ProductLock::acquire(options.product, ProductLock::Mode::kExclusive, wait);
  }
  const ProductLock* held = options.write ? &lock : nullptr;
  Session session(options.product, held);
  session.buildTree({});
  checkRenames(session, renames);

  TamTranslater translater;
  for (const auto& rename : renames.modules)
    translater.addModuleMapping(rename.first, rename.second);
  for (const OptionRename& rename : renames.options) {
    translater.addOptionMapping(rename.moduleId, rename.from, rename.to);
  }
  DiagnosticPrinter printer(std::cout);
  std::vector<FileUpdate> updates = renameModules(session, renames, translater, printer);
  ProductEdits edits(session.product().document());
  editNode(session.product().root(), renames, translater, edits, session);
  editLegacy(session.product(), renames, edits);
  if (!edits.empty()) updates.push_back({session.product().path(), edits.apply(), std::nullopt});

  for (FileUpdate& update : updates) {
    update.basedOn = originalText(session, update.path);
    std::cout << formatDiff(update.path, diffLines(*update.basedOn, update.content));
  }
  std::cout.flush();
  std::string count = std::to_string(updates.size()) + (updates.size() == 1 ? " file" : " files");
  if (updates.empty()) {
    std::cout << "nothing to change\n";
    return kExitOk;
  }
  checkRenamedProduct(session, updates, held);
  if (!options.write) {
    std::cout << count << " would change (nothing written; add --write to apply)\n";
    return kExitOk;
  }
  CommitOptions commit;
  commit.force = options.force;
  commit.command = "tam rename";
  commitFiles(lock, updates, commit);
  std::cout << count << " written\n";
  return kExitOk;
}

}  // namespace

void addRenameCommand(CLI::App& app, CommandRun& run) {
  auto options = std::make_shared<RenameOptions>();
  CLI::App* command = app.add_subcommand(
      "rename", "Rename modules and options in every module file and in the product file");
  command->add_option("--module", options->modules, "Rename a module: OLD=NEW (repeatable)")
      ->allow_extra_args(false);
  command
      ->add_option("--option", options->options,
                   "Rename an option of a module: MODULE:OLD=NEW (repeatable)")
      ->allow_extra_args(false);
  command->add_flag("--write", options->write, "Write the changes (otherwise only show them)");
  command->add_flag("--force", options->force,
                    "With --write, also replace read-only files (keeping their mode)");
  command
      ->add_option("--wait", options->waitSeconds,
                   "With --write, wait this many seconds at most for another tam working on the "
                   "product (default 30)")
      ->check(CLI::NonNegativeNumber);
  command->add_option("PRODUCT", options->product, "The product file (JSON)")->required();
  addDiagnosticOptions(command);
  command->callback([options, &run] { run = [options] { return runRename(*options); }; });
}
