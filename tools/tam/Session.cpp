#include "Session.h"

#include <filesystem>
#include <set>

#include "Diagnostics.h"
#include "Files.h"
#include "OutlineQueries.h"
#include "ValueText.h"

namespace {

// A host value from the product file is placed at its line; one from the command line is named
// by its argument.
[[noreturn]] void failValue(const HostValueEntry& given, const std::string& message) {
  if (given.pointer.empty())
    throw ToolError("tam: error: " + given.where + ": " + message, kExitUsage);
  throw ToolError(given.where + ": error: " + message, kExitUsage);
}

std::string optionName(const HostValueEntry& given) {
  return given.moduleId + ":" + given.optionName;
}

// The line of a condition holding `place`, with a caret line under it, indented as an excerpt.
std::string excerpt(const std::string& text, const TamSourcePos& place) {
  std::string source = lineOf(text, place.line);
  std::string caret(static_cast<std::size_t>(place.column - 1), ' ');
  return "    " + source + "\n    " + caret + "^\n";
}

}  // namespace

CommandLineValue parseSetArgument(const std::string& argument) {
  CommandLineValue value;
  value.argument = argument;
  std::size_t firstColon = argument.find(':');
  std::size_t secondColon =
      firstColon == std::string::npos ? std::string::npos : argument.find(':', firstColon + 1);
  std::size_t equals =
      secondColon == std::string::npos ? std::string::npos : argument.find('=', secondColon + 1);
  if (equals == std::string::npos || firstColon == 0 || secondColon == firstColon + 1 ||
      equals == secondColon + 1) {
    throw ToolError("tam: error: --set " + argument +
                        ": expected NODEPATH:module:option=VALUE (for example "
                        "ebike.frame:frame:size=54)",
                    kExitUsage);
  }
  value.nodePath = argument.substr(0, firstColon);
  value.moduleId = argument.substr(firstColon + 1, secondColon - firstColon - 1);
  value.optionName = argument.substr(secondColon + 1, equals - secondColon - 1);
  value.text = argument.substr(equals + 1);
  return value;
}

Session::Session(const std::string& productPath, const ProductLock* held,
                 const ReplacedTexts* replaced)
    : readLock_(held != nullptr ? ProductLock()
                                : ProductLock::acquire(productPath, ProductLock::Mode::kShared)),
      product_(replaced != nullptr && replaced->count(productPath) != 0
                   ? Product::fromText(productPath, replaced->at(productPath))
                   : Product::load(productPath)) {
  std::vector<std::string> files;
  std::set<std::string> seen;
  for (std::size_t i = 0; i < product_.folderPaths().size(); ++i) {
    std::vector<std::string> found;
    std::string problem;
    if (!listModuleFiles(product_.folderPaths()[i], found, problem)) {
      product_.fail(JsonDocument::element("/module_folders", i),
                    "module folder " + product_.folderPaths()[i] + ": " + problem);
    }
    for (const std::string& file : found) {
      // A folder named twice is read once.
      if (seen.insert(std::filesystem::path(file).lexically_normal().string()).second) {
        files.push_back(file);
      }
    }
  }
  std::vector<Diagnostic> problems;
  for (const std::string& file : files) {
    const bool given = replaced != nullptr && replaced->count(file) != 0;
    adapter_.addText(file, given ? replaced->at(file) : readTextFile(file, TextFileKind::kModule),
                     problems);
  }
  if (!problems.empty()) {
    std::string text;
    for (const Diagnostic& problem : problems) text += problem.format();
    text.pop_back();
    throw ToolError(text, kExitUsage);
  }
  for (const LegacyEntry& legacy : product_.legacyOptions()) {
    if (adapter_.moduleFile(legacy.moduleId) == nullptr) {
      product_.fail(legacy.pointer, "legacy option of module '" + legacy.moduleId +
                                        "', which no file in the module folders declares");
    }
    std::vector<ref_count_ptr<TamValue>> values;
    for (const nlohmann::json& value : legacy.values) values.push_back(legacyValueFromJson(value));
    adapter_.addLegacyOption(legacy.moduleId, legacy.optionName, values);
  }
  readLock_.release();
  Tam::initialize(&adapter_);
  window_ = Tam::createWindow();
  window_->setVariantsMode(product_.variantsMode());
  window_->setObserver(&record_);
}

// The window may outlive the session in a caller's handle; it must not keep the record.
Session::~Session() {
  if (window_) window_->setObserver(nullptr);
}

void Session::buildTree(const std::vector<CommandLineValue>& commandLine) {
  root_ = buildNode(product_.root(), nullptr);
  window_->setRoot(root_.get());

  std::map<std::string, std::vector<HostValueEntry>> extra;
  for (const CommandLineValue& value : commandLine) {
    HostValueEntry given;
    given.moduleId = value.moduleId;
    given.optionName = value.optionName;
    given.values.push_back(value.text);
    given.where = "--set " + value.argument;
    extra[value.nodePath].push_back(given);
  }
  std::vector<ProductNode*> all = nodes();
  for (const auto& entry : extra) {
    bool known = false;
    for (ProductNode* node : all) {
      if (node->path() != entry.first) continue;
      known = true;
      for (const HostValueEntry& given : entry.second) {
        if (given.moduleId != node->module()) {
          failValue(given,
                    node->module().empty()
                        ? "node '" + node->path() + "' has no module, so it takes no host values"
                        : "only options of the node's module '" + node->module() +
                              "' can be set at node '" + node->path() + "'");
        }
      }
    }
    if (!known) failValue(entry.second.front(), "no node '" + entry.first + "' in the product");
  }
  for (ProductNode* node : all) {
    std::vector<HostValueEntry> values = entries_[node]->values;
    auto fromCommandLine = extra.find(node->path());
    if (fromCommandLine != extra.end()) {
      values.insert(values.end(), fromCommandLine->second.begin(), fromCommandLine->second.end());
    }
    setHostValues(*node, values);
  }
}

const std::vector<HostValueEntry>& Session::hostValues(const ProductNode& node) const {
  static const std::vector<HostValueEntry> kNone;
  auto it = hostValues_.find(&node);
  return it == hostValues_.end() ? kNone : it->second;
}

// The adapter hears each message right before the record does, so the two lists run in step.
void Session::placeMessages(std::size_t first) {
  const std::vector<TamObserver::Message>& heard = record_.messages();
  for (std::size_t i = 0; i < heard.size() && first + i < adapter_.messages().size(); ++i) {
    const TamObserver::Message& message = heard[i];
    const ModuleFile* file = adapter_.moduleFile(message.statement.moduleId);
    if (file == nullptr || !message.statement.isKnown()) continue;
    adapter_.setMessageLine(first + i, file->rulesLine() + message.statement.begin.line - 1);
  }
}

std::unique_ptr<ProductNode> Session::buildNode(const NodeEntry& given, ProductNode* parent) {
  if (!given.moduleId.empty() && adapter_.moduleFile(given.moduleId) == nullptr) {
    product_.fail(JsonDocument::member(given.pointer, "module"),
                  "no file in the module folders declares module '" + given.moduleId + "'");
  }
  auto node = std::make_unique<ProductNode>(window_, parent, given.id, given.moduleId);
  node->setSource(given.pointer);
  node->setForcedState(given.forced);
  if (given.hasLoadIf) {
    node->setLoadIfText(given.loadIf);
    try {
      node->setLoadIf(given.loadIf);
    } catch (const TamException& e) {
      std::string text = product_.where(JsonDocument::member(given.pointer, "load_if")) +
                         ": error: load_if of node '" + node->path() + "': " + describeException(e);
      const TamRixOutline outline = TamRixOutline::fromCondition(given.loadIf);
      if (e.code() == TamSyntaxError::kCode && outline.failed()) {
        text += "\n" + excerpt(given.loadIf, failurePlace(outline.failure(), given.loadIf.size()));
        text.pop_back();
      }
      throw ToolError(text, kExitUsage);
    }
  }
  entries_[node.get()] = &given;
  for (const NodeEntry& child : given.children) node->addChild(buildNode(child, node.get()));
  return node;
}

std::vector<ProductNode*> Session::nodes() const {
  std::vector<ProductNode*> result;
  if (!root_) return result;
  std::vector<ProductNode*> stack{root_.get()};
  while (!stack.empty()) {
    ProductNode* node = stack.back();
    stack.pop_back();
    result.push_back(node);
    const auto& children = node->childNodes();
    for (auto it = children.rbegin(); it != children.rend(); ++it) stack.push_back(it->get());
  }
  return result;
}

void Session::setHostValues(ProductNode& node, const std::vector<HostValueEntry>& values) {
  hostValues_[&node] = values;
  if (values.empty()) {
    node.clearSos();
    return;
  }
  TamSelOptionSet set(window_);
  for (const HostValueEntry& given : values) addHostValue(set, given);
  std::size_t failedBefore = adapter_.failedLoads().size();
  try {
    node.setSos(set);
  } catch (const TamException& e) {
    failLoadOrValue(values.front(), e, failedBefore);
  }
}

void Session::forgetFailedLoads() {
  for (const std::string& id : adapter_.failedLoads()) window_->deleteModule(id);
  adapter_.forgetFailedLoads();
}

void Session::evaluate() {
  forgetFailedLoads();
  adapter_.startEvaluation();
  for (ProductNode* node : nodes()) node->startEvaluation();
  record_.clear();
  const std::size_t first = adapter_.messages().size();
  try {
    window_->evaluate(true);
  } catch (...) {
    placeMessages(first);
    throw;
  }
  placeMessages(first);
}

bool Session::hostEntry(const HostValueEntry& given, TamSelOptionSet::TamSosEntry& entry,
                        std::string& problem, std::size_t& badValue) {
  ref_count_ptr<TamOption> option =
      TamOption::findOption(window_, given.moduleId, given.optionName);
  badValue = given.values.size();
  if (option->scope() == TamOption::SCOPE_LEGACY) {
    problem = optionName(given) + " is a legacy option: its value is kept in \"legacy_options\"";
    return false;
  }
  if (given.values.size() > 1 && option->mutually_exclusive()) {
    problem = optionName(given) +
              " takes one value at a time (declare it non_mutually_exclusive to select several)";
    return false;
  }
  TamValue::ValueType type = option->valueType();
  entry.option = option;
  entry.values.clear();
  entry.howSet.clear();
  for (std::size_t i = 0; i < given.values.size(); ++i) {
    const nlohmann::json& json = given.values[i];
    ref_count_ptr<TamValue> value = given.pointer.empty() && json.is_string()
                                        ? valueFromText(type, json.get<std::string>(), problem)
                                        : valueFromJson(type, json, problem);
    badValue = i;
    if (!value) {
      problem = "value for " + optionName(given) + ": " + problem + " (" + optionName(given) +
                " takes " + typeWord(type) + " values)";
      return false;
    }
    if (!option->validateValue(value)) {
      problem = "value " + valueText(value) + " is not allowed for " + optionName(given) +
                " (allowed: " + describeConstraints(option) + ")";
      return false;
    }
    entry.values.push_back(value);
    entry.howSet.push_back(given.how);
  }
  return true;
}

void Session::addHostValue(TamSelOptionSet& set, const HostValueEntry& given) {
  std::size_t failedBefore = adapter_.failedLoads().size();
  try {
    TamSelOptionSet::TamSosEntry entry;
    std::string problem;
    std::size_t badValue = 0;
    if (!hostEntry(given, entry, problem, badValue)) {
      // A value is placed at its own line when the product file gives it.
      HostValueEntry at = given;
      if (badValue < given.valueWhere.size()) at.where = given.valueWhere[badValue];
      failValue(at, problem);
    }
    set.set(entry);
  } catch (const TamException& e) {
    failLoadOrValue(given, e, failedBefore);
  }
}

void Session::failLoadOrValue(const HostValueEntry& given, const TamException& e,
                              std::size_t failedBefore) {
  if (adapter_.failedLoads().size() > failedBefore) {
    std::string text = adapter_.describeLoadFailure().format();
    text.pop_back();
    throw ToolError(text, kExitReported);
  }
  if (e.code() == 102)
    failValue(given, "module '" + given.moduleId + "' has no option '" + given.optionName + "'");
  failValue(given, "host value for " + optionName(given) + ": " + describeException(e));
}

bool Session::failsInLoadIf(ProductNode& node, const TamException& e) {
  try {
    ProductNode* parent = node.parentNode();
    if (parent != nullptr) {
      node.getLoadIf()->getValue(parent->getSos());
    } else {
      node.getLoadIf()->getValue(TamSelOptionSet(window_));
    }
  } catch (const TamException& again) {
    return again.code() == e.code();
  }
  return false;
}

// A rule that raised is placed at the statement the record saw running; anything else raised
// while the node's rules ran keeps the line the exception carries, if any.
Diagnostic Session::ruleDiagnostic(const ModuleFile& file, const TamException& e) {
  Diagnostic diagnostic{file.path(), 0, 0, "error", describeException(e), ""};
  const EvaluationRecord::RuleFailure* failure = record_.failure();
  if (failure != nullptr && failure->node == e.node() && failure->code == e.code() &&
      failure->statement.moduleId == file.id() && failure->statement.isKnown()) {
    diagnostic.line = file.rulesLine() + failure->statement.begin.line - 1;
    diagnostic.column = failure->statement.begin.column;
    diagnostic.sourceLine = file.sourceLine(diagnostic.line);
  } else if (e.line() > 0) {
    diagnostic.line = file.rulesLine() + e.line() - 1;
  }
  return diagnostic;
}

Session::Failure Session::locateFailure(const TamException& e) {
  Failure failure;
  failure.node = dynamic_cast<ProductNode*>(e.node());
  if (!adapter_.failedLoads().empty()) {
    failure.diagnostic = adapter_.describeLoadFailure();
    return failure;
  }
  ProductNode* node = failure.node;
  if (node == nullptr) {
    failure.diagnostic = Diagnostic{product_.path(), 0, 0, "error", describeException(e), ""};
    return failure;
  }
  if (!node->loadIfText().empty() && !node->wasEvaluated() && failsInLoadIf(*node, e)) {
    std::string pointer = JsonDocument::member(node->source(), "load_if");
    failure.diagnostic =
        Diagnostic{product_.path(), product_.document().line(pointer), 0, "error",
                   "load_if of node '" + node->path() + "': " + describeException(e), ""};
    return failure;
  }
  const ModuleFile* file = adapter_.moduleFile(node->module());
  if (file == nullptr) {
    failure.diagnostic = Diagnostic{product_.path(), product_.document().line(node->source()), 0,
                                    "error", describeException(e), ""};
    return failure;
  }
  failure.diagnostic = ruleDiagnostic(*file, e);
  failure.note = where(*node) + ": note: while evaluating node '" + node->path() + "'\n";
  return failure;
}

std::string Session::describeFailure(const TamException& e) {
  Failure failure = locateFailure(e);
  return failure.diagnostic.format() + failure.note;
}
