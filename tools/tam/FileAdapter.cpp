#include "FileAdapter.h"

#include "Files.h"
#include "ModuleChecker.h"
#include "ProductNode.h"

namespace {

// Column of the id on a module line: right after "module ".
constexpr int kModuleIdColumn = 8;

}  // namespace

FileAdapter::~FileAdapter() = default;

std::vector<Diagnostic> FileAdapter::addFiles(const std::vector<std::string>& paths) {
  std::vector<Diagnostic> problems;
  for (const std::string& path : paths) {
    addText(path, readTextFile(path, TextFileKind::kModule), problems);
  }
  return problems;
}

void FileAdapter::addText(const std::string& path, const std::string& text,
                          std::vector<Diagnostic>& problems) {
  ModuleFile file = ModuleFile::fromText(path, text);
  if (!file.hasModuleLine() || file.id().empty()) {
    int line = file.moduleLine();
    problems.push_back({path, line, 1, "error", "expected \"module <id>\" as the first line",
                        file.sourceLine(line)});
    return;
  }
  auto existing = files_.find(file.id());
  if (existing != files_.end()) {
    problems.push_back({path, file.moduleLine(), kModuleIdColumn, "error",
                        "module '" + file.id() + "' is declared by two files: " +
                            existing->second.path() + " and " + path,
                        file.sourceLine(file.moduleLine())});
    return;
  }
  std::string id = file.id();
  files_.emplace(id, std::move(file));
}

const ModuleFile* FileAdapter::moduleFile(const std::string& id) const {
  auto it = files_.find(id);
  return it == files_.end() ? nullptr : &it->second;
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
  if (failedLoads_.empty()) return {"tam", 0, 0, "error", "no module failed to load", ""};
  const ModuleFile* file = moduleFile(failedLoads_.front());
  // Checking the module again loads other modules into a window of its own; failures seen there
  // are not the ones being described.
  std::vector<std::string> failed = failedLoads_;
  std::vector<Diagnostic> problems = ModuleChecker(*this).check(*file);
  failedLoads_ = failed;
  for (const Diagnostic& problem : problems) {
    if (problem.severity == "error") return problem;
  }
  return {file->path(), 0, 0, "error", firstLoadError_, ""};
}

bool FileAdapter::loadModule(TamWindow* window, const std::string& moduleId) {
  const ModuleFile* file = moduleFile(moduleId);
  if (file == nullptr) return false;
  ref_count_ptr<TamModule> module = window->createModule(moduleId);
  declareLegacyOptions(module);
  try {
    module->setRixData(file->text());
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
  module->setRixData(file->text());
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
