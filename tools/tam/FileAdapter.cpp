#include "FileAdapter.h"

#include <utility>

#include "Files.h"
#include "ModuleChecker.h"
#include "ProductNode.h"

namespace {

// Column of the id on a module line: right after "module ".
constexpr int kModuleIdColumn = 8;

SourcePlace moduleIdPlace(const ModuleFile& file, int line) {
  SourcePlace place = file.source().placeOfLine(line);
  place.column = kModuleIdColumn;
  place.length = static_cast<int>(place.sourceLine.size()) - (kModuleIdColumn - 1);
  return place;
}

}  // namespace

FileAdapter::~FileAdapter() = default;

std::vector<Diagnostic> FileAdapter::addFiles(const std::vector<std::string>& paths) {
  std::vector<Diagnostic> problems;
  for (const std::string& path : paths) {
    addText(path, readTextFile(path, TextFileKind::kModule), problems);
  }
  return problems;
}

void FileAdapter::addText(const std::string& path, std::string text,
                          std::vector<Diagnostic>& problems) {
  ModuleFile file = ModuleFile::fromText(path, std::move(text));
  if (!file.hasModuleLine()) {
    SourcePlace first = file.source().placeOfLine(file.moduleLine());
    first.column = 1;
    if (file.laterModuleLine() > 0) {
      Diagnostic misplaced =
          Diagnostic::error(first, "the first line must be the module line 'module <id>'");
      misplaced.note(moduleIdPlace(file, file.laterModuleLine()),
                     "the module line is here; nothing may stand above it, not even a comment");
      problems.push_back(misplaced);
      brokenIds_.insert(file.laterId());
    } else {
      problems.push_back(
          Diagnostic::error(first, "expected the module line 'module <id>' as the first line"));
    }
    return;
  }
  if (file.id().empty()) {
    problems.push_back(Diagnostic::error(moduleIdPlace(file, file.moduleLine()),
                                         "expected a module id after 'module '"));
    return;
  }
  auto existing = files_.find(file.id());
  if (existing != files_.end()) {
    Diagnostic twice = Diagnostic::error(
        moduleIdPlace(file, file.moduleLine()),
        "module " + quote(file.id()) + " is declared again: a module id belongs to one file");
    twice.note(moduleIdPlace(existing->second, existing->second.moduleLine()),
               quote(file.id()) + " is first declared here");
    problems.push_back(twice);
    return;
  }
  std::string id = file.id();
  files_.emplace(id, std::move(file));
}

const ModuleFile* FileAdapter::moduleFile(const std::string& id) const {
  auto it = files_.find(id);
  return it == files_.end() ? nullptr : &it->second;
}

std::vector<std::string> FileAdapter::moduleIds() const {
  std::vector<std::string> ids;
  for (const auto& entry : files_) ids.push_back(entry.first);
  ids.insert(ids.end(), brokenIds_.begin(), brokenIds_.end());
  return ids;
}

const ModuleLine* FileAdapter::declarationOf(const std::string& moduleId, const std::string& name) {
  const ModuleFile* file = moduleFile(moduleId);
  if (file == nullptr) return nullptr;
  auto index = declarationIndex_.find(moduleId);
  if (index == declarationIndex_.end()) {
    std::map<std::string, std::size_t> names;
    for (std::size_t i = 0; i < file->declarations().size(); ++i) {
      const TamDeclarationOutline::Part part =
          TamDeclarationOutline::read(file->lineText(file->declarations()[i])).name();
      if (part.isPresent()) names[part.text] = i;
    }
    index = declarationIndex_.emplace(moduleId, std::move(names)).first;
  }
  auto found = index->second.find(name);
  return found == index->second.end() ? nullptr : &file->declarations()[found->second];
}

bool FileAdapter::isBrokenModule(const std::string& id) const {
  if (brokenIds_.count(id) > 0) return true;
  const ModuleFile* file = moduleFile(id);
  return file != nullptr && !file->hasInterfaceStart();
}

bool FileAdapter::isFailedDeclaration(const std::string& id, const std::string& name) const {
  return failedDeclarations_.count({id, name}) > 0;
}

void FileAdapter::addLegacyOption(const std::string& moduleId, const std::string& option,
                                  const std::vector<ref_count_ptr<TamValue>>& values) {
  legacy_[{moduleId, option}] = LegacyValue{values, false};
  legacyGiven_[{moduleId, option}] = LegacyValue{values, false};
}

void FileAdapter::startEvaluation() {
  messages_.clear();
  legacy_ = legacyGiven_;
}

void FileAdapter::declareLegacyOptions(const ref_count_ptr<TamModule>& module) const {
  for (const auto& entry : legacy_) {
    if (entry.first.first == module->id()) module->declareLegacyOption(entry.first.second);
  }
}

Diagnostic FileAdapter::describeLoadFailure() {
  if (failedLoads_.empty()) return Diagnostic::general("no module failed to load");
  const ModuleFile* file = moduleFile(failedLoads_.front());
  // Checking the module again loads other modules into a window of its own; failures seen there
  // are not the ones being described.
  std::vector<std::string> failed = failedLoads_;
  std::vector<Diagnostic> problems = ModuleChecker(*this).check(*file);
  failedLoads_ = failed;
  for (const Diagnostic& problem : problems) {
    if (problem.severity == Severity::kError) return problem;
  }
  return Diagnostic::error(SourcePlace::fileOnly(file->path()), firstLoadError_);
}

// Every piece on its own: a declaration that fails is remembered by the name it declares, rules
// that fail are left out. Layout the library would refuse keeps only what can be read.
void FileAdapter::loadLeniently(const ref_count_ptr<TamModule>& module, const ModuleFile& file) {
  if (!file.hasInterfaceStart()) return;
  for (const ModuleLine& declaration : file.declarations()) {
    try {
      module->addOptionString(file.lineText(declaration));
    } catch (const TamException&) {
      const TamDeclarationOutline::Part name =
          TamDeclarationOutline::read(file.lineText(declaration)).name();
      if (name.isPresent()) failedDeclarations_.insert({module->id(), name.text});
    }
  }
  if (!file.hasInterfaceEnd()) return;
  try {
    module->setRix(file.rules());
  } catch (const TamException&) {
    // The rules' own mistake is reported where the file is checked.
  }
}

bool FileAdapter::loadModule(TamWindow* window, const std::string& moduleId) {
  const ModuleFile* file = moduleFile(moduleId);
  if (file == nullptr) return false;
  ref_count_ptr<TamModule> module = window->createModule(moduleId);
  declareLegacyOptions(module);
  if (lenient_) {
    loadLeniently(module, *file);
    return true;
  }
  try {
    module->setRixData(file->sharedText());
  } catch (const TamException& e) {
    if (failedLoads_.empty()) firstLoadError_ = describeException(e);
    failedLoads_.push_back(moduleId);
    throw;
  }
  return true;
}

bool FileAdapter::refreshModule(TamWindow*, ref_count_ptr<TamModule> module) {
  if (!module) return false;
  const ModuleFile* file = moduleFile(module->id());
  if (file == nullptr) return false;
  module->setRixData(file->sharedText());
  return true;
}

bool FileAdapter::userMsg(TamWindow*, Tam::MsgSeverity severity, const std::string& message,
                          TamNode* node) {
  EmittedMessage emitted;
  emitted.severity = severity;
  emitted.text = message;
  if (auto* productNode = dynamic_cast<ProductNode*>(node)) {
    emitted.nodePath = productNode->path();
    emitted.moduleId = productNode->module();
  }
  if (const ModuleFile* file = moduleFile(emitted.moduleId)) emitted.file = file->path();
  messages_.push_back(emitted);
  return true;
}

ref_count_ptr<TamValue> FileAdapter::getLegacyOptionValue(TamWindow*,
                                                          const ref_count_ptr<TamOption>& option) {
  auto it = legacy_.find({option->moduleId(), option->name()});
  if (it == legacy_.end() || it->second.values.empty()) return TamValue::createUnset();
  return it->second.values.front();
}

std::vector<ref_count_ptr<TamValue>> FileAdapter::getLegacyOptionValues(
    TamWindow*, const ref_count_ptr<TamOption>& option) {
  auto it = legacy_.find({option->moduleId(), option->name()});
  if (it == legacy_.end() || it->second.values.empty()) return {TamValue::createUnset()};
  return it->second.values;
}

void FileAdapter::setLegacyOptionValue(TamWindow*, const ref_count_ptr<TamOption>& option,
                                       const ref_count_ptr<TamValue>& value) {
  legacy_[{option->moduleId(), option->name()}] = LegacyValue{{value}, true};
}

void FileAdapter::setLegacyOptionValues(TamWindow*, const ref_count_ptr<TamOption>& option,
                                        std::vector<ref_count_ptr<TamValue>> values) {
  legacy_[{option->moduleId(), option->name()}] = LegacyValue{std::move(values), true};
}
