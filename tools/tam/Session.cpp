#include "Session.h"

#include <filesystem>
#include <set>

#include "Diagnostics.h"
#include "Files.h"
#include "HostValues.h"
#include "OutlineQueries.h"
#include "RuleChecker.h"
#include "Suggest.h"
#include "SyntaxWording.h"
#include "ValueText.h"

namespace {

std::string optionName(const HostValueEntry& given) {
  return given.moduleId + ":" + given.optionName;
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
    failUsage("--set " + argument +
              ": expected NODEPATH:module:option=VALUE (for example ebike.frame:frame:size=54)");
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
  if (!problems.empty()) throw ToolError(problems, kExitUsage);
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
          failValue(given, 0,
                    node->module().empty()
                        ? "node '" + node->path() + "' has no module, so it takes no host values"
                        : "only options of the node's module '" + node->module() +
                              "' can be set at node '" + node->path() + "'");
        }
      }
    }
    if (!known) {
      std::vector<std::string> paths;
      for (ProductNode* node : all) paths.push_back(node->path());
      failValue(entry.second.front(), 0,
                "no node " + quote(entry.first) + " in the product" +
                    didYouMean(entry.first, paths));
    }
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
      const std::string pointer = JsonDocument::member(given.pointer, "load_if");
      const TamRixOutline outline = TamRixOutline::fromCondition(given.loadIf);
      if (!outline.failed()) {
        throw ToolError(Diagnostic::error(product_.place(pointer), describeException(e)),
                        kExitUsage);
      }
      const SyntaxReport report = describeSyntaxFailure(outline.failure(), RixPiece::kCondition, given.loadIf);
      const std::size_t at = failurePlace(outline.failure(), given.loadIf.size()).offset;
      Diagnostic problem = Diagnostic::error(
          product_.document().placeInString(pointer, at, at), report.message);
      if (!report.note.empty()) {
        problem.note(product_.document().placeInString(pointer, report.notePlace.offset,
                                                       report.notePlace.offset + 1),
                     report.note);
      }
      throw ToolError(problem, kExitUsage);
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
  entry.option = TamOption::findOption(window_, given.moduleId, given.optionName);
  entry.values.clear();
  const HostValueProblem judged = judgeHostValue(entry.option, given, entry.values);
  entry.howSet.assign(entry.values.size(), given.how);
  problem = judged.message;
  badValue = judged.valueIndex > 0 ? judged.valueIndex - 1 : given.values.size();
  return problem.empty();
}

void Session::addHostValue(TamSelOptionSet& set, const HostValueEntry& given) {
  std::size_t failedBefore = adapter_.failedLoads().size();
  try {
    TamSelOptionSet::TamSosEntry entry;
    std::string problem;
    std::size_t badValue = 0;
    if (!hostEntry(given, entry, problem, badValue)) {
      failValue(given, badValue < given.values.size() ? badValue + 1 : 0, problem);
    }
    set.set(entry);
  } catch (const TamException& e) {
    failLoadOrValue(given, e, failedBefore);
  }
}

void Session::failValue(const HostValueEntry& given, std::size_t valueIndex,
                        const std::string& message) const {
  if (given.pointer.empty()) failUsage(given.where + ": " + message);
  const std::string pointer = valueIndex > 0 && valueIndex <= given.valuePointers.size()
                                  ? given.valuePointers[valueIndex - 1]
                                  : JsonDocument::member(given.pointer, "option");
  throw ToolError(Diagnostic::error(product_.place(pointer), message), kExitUsage);
}

void Session::failLoadOrValue(const HostValueEntry& given, const TamException& e,
                              std::size_t failedBefore) {
  if (adapter_.failedLoads().size() > failedBefore) {
    throw ToolError(adapter_.describeLoadFailure(), kExitReported);
  }
  if (e.code() == 102) {
    std::vector<std::string> names;
    try {
      for (const ref_count_ptr<TamOption>& option : window_->getModule(given.moduleId)->options()) {
        names.push_back(option->name());
      }
    } catch (const TamException&) {
      names.clear();
    }
    failValue(given, 0,
              "module " + quote(given.moduleId) + " has no option " + quote(given.optionName) +
                  didYouMean(given.optionName, names));
  }
  failValue(given, 0, "host value for " + optionName(given) + ": " + describeException(e));
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

// The condition as the library parsed it, checked for what makes it fail (two kinds that do not
// compare, a value that is not true or false) so that the error names them.
Diagnostic Session::loadIfDiagnostic(ProductNode& node, const TamException& e) {
  const std::string pointer = JsonDocument::member(node.source(), "load_if");
  const TamRixOutline outline = node.getLoadIf()->outline();
  RuleCheckContext context;
  context.window = window_;
  context.adapter = &adapter_;
  const JsonDocument& document = product_.document();
  context.place = [&document, pointer](std::size_t begin, std::size_t end) {
    return document.placeInString(pointer, begin, end);
  };
  for (const Diagnostic& problem : checkRuleOutline(outline, context)) {
    if (problem.severity == Severity::kError) return problem;
  }
  return Diagnostic::error(product_.place(pointer),
                           "load-if of node " + quote(node.path()) + ": " + describeException(e));
}

// A rule that raised is placed at the statement the record saw running; a failure of kinds or
// values is then worded by the checks of that statement, which name them. Anything else raised
// while the node's rules ran keeps the line the exception carries, if any.
Diagnostic Session::ruleDiagnostic(const ModuleFile& file, const TamException& e) {
  const EvaluationRecord::RuleFailure* failure = record_.failure();
  if (failure == nullptr || failure->node != e.node() || failure->code != e.code() ||
      failure->statement.moduleId != file.id() || !failure->statement.isKnown()) {
    return Diagnostic::error(e.line() > 0
                                 ? file.source().placeOfLine(file.rulesLine() + e.line() - 1)
                                 : SourcePlace::fileOnly(file.path()),
                             describeException(e));
  }
  const SourcePlace first = file.placeInRules(failure->statement.begin.offset);
  if (e.code() == 202 || e.code() == 203 || e.code() == 204) {
    const SourcePlace last = file.placeInRules(failure->statement.end.offset);
    RuleCheckContext context;
    context.window = window_;
    context.adapter = &adapter_;
    context.ownerModule = file.id();
    context.place = [&file](std::size_t begin, std::size_t end) {
      return file.placeInRules(begin, end);
    };
    const auto before = [](const SourcePlace& a, const SourcePlace& b) {
      return a.line < b.line || (a.line == b.line && a.column < b.column);
    };
    const TamRixOutline outline = rulesOutline(window_.get(), file.id(), file.rules());
    for (const Diagnostic& problem : checkRuleOutline(outline, context)) {
      if (problem.severity == Severity::kError && !before(problem.place, first) &&
          before(problem.place, last)) {
        return problem;
      }
    }
  }
  return Diagnostic::error(first, describeException(e));
}

// A host value given at the node, else the first set or fix statement for the option in the rules
// of the node's module or, nearest first, of the modules above it, else the option's default;
// with a value, only one that gives that value. No note when nothing fits.
void Session::noteValueOrigin(ProductNode& node, const std::string& optionName,
                              const std::string& value, Diagnostic& diagnostic) {
  const std::string moduleId = node.module();
  const std::string name = quote(moduleId + ":" + optionName);
  const auto sameValue = [&](const nlohmann::json& given) {
    return value.empty() || (given.is_string() && given.get<std::string>() == value);
  };
  for (const HostValueEntry& given : hostValues(node)) {
    if (given.moduleId != moduleId || given.optionName != optionName) continue;
    for (std::size_t i = 0; i < given.values.size(); ++i) {
      if (!sameValue(given.values[i])) continue;
      if (given.pointer.empty()) {
        Diagnostic note = Diagnostic::general(name + " is given as a host value: " +
                                              given.where);
        note.severity = Severity::kNote;
        diagnostic.notes.push_back(note);
      } else if (i < given.valuePointers.size()) {
        diagnostic.note(product_.place(given.valuePointers[i]), name + " is given here");
      }
      return;
    }
  }
  for (ProductNode* at = &node; at != nullptr; at = at->parentNode()) {
    const ModuleFile* file = adapter_.moduleFile(at->module());
    if (file == nullptr) continue;
    const TamRixOutline outline = rulesOutline(window_.get(), file->id(), file->rules());
    for (const TamRixOutline::Node& statement : outline.nodes()) {
      if (statement.kind != TamRixOutline::KIND_SET && statement.kind != TamRixOutline::KIND_FIX) {
        continue;
      }
      const TamRixOutline::Node& target =
          outline.nodes()[static_cast<std::size_t>(statement.children.front())];
      const TamRixOutline::Node& given =
          outline.nodes()[static_cast<std::size_t>(statement.children.back())];
      if (target.moduleId != moduleId || target.optionName != optionName) continue;
      if (!value.empty() && !(given.kind == TamRixOutline::KIND_LITERAL &&
                              given.value->type() == TamValue::VT_STRING &&
                              given.value->strValue() == value)) {
        continue;
      }
      diagnostic.note(file->placeInRules(statement.begin.offset, statement.end.offset),
                      name + " is set here");
      return;
    }
  }
  const ModuleLine* declaration = adapter_.declarationOf(moduleId, optionName);
  const ModuleFile* file = adapter_.moduleFile(moduleId);
  if (declaration == nullptr || file == nullptr) return;
  const TamDeclarationOutline::Default given =
      TamDeclarationOutline::read(file->lineText(*declaration)).defaultValue();
  if (!given.value || (!value.empty() && given.value->displayString() != value)) return;
  diagnostic.note(file->placeInLine(*declaration, given.begin.offset, given.end.offset),
                  name + " has this default");
}

Session::Failure Session::locateFailure(const TamException& e) {
  Failure failure;
  failure.node = dynamic_cast<ProductNode*>(e.node());
  failure.diagnostic = describeFailure(e);
  return failure;
}

Diagnostic Session::describeFailure(const TamException& e) {
  auto* node = dynamic_cast<ProductNode*>(e.node());
  Diagnostic diagnostic;
  if (!adapter_.failedLoads().empty()) {
    diagnostic = adapter_.describeLoadFailure();
  } else if (node == nullptr) {
    return Diagnostic::error(SourcePlace::fileOnly(product_.path()), describeException(e));
  } else if (!node->loadIfText().empty() && !node->wasEvaluated() && failsInLoadIf(*node, e)) {
    diagnostic = loadIfDiagnostic(*node, e);
  } else if (const ModuleFile* file = adapter_.moduleFile(node->module())) {
    diagnostic = ruleDiagnostic(*file, e);
    if (e.code() == 106 || e.code() == 107) {
      // Both name an option without its module (the node's module's); 107 as option.value.
      const auto split = [&](const std::string& text, std::string& option, std::string& value) {
        const std::size_t dot = e.code() == 107 ? text.find('.') : std::string::npos;
        option = text.substr(0, dot);
        value = dot == std::string::npos ? std::string() : text.substr(dot + 1);
      };
      std::string firstOption, firstValue, secondOption, secondValue;
      split(e.context(), firstOption, firstValue);
      split(e.extrainfo2(), secondOption, secondValue);
      noteValueOrigin(*node, firstOption, firstValue, diagnostic);
      if (secondOption != firstOption || secondValue != firstValue) {
        noteValueOrigin(*node, secondOption, secondValue, diagnostic);
      }
    }
  } else {
    diagnostic = Diagnostic::error(product_.place(node->source()), describeException(e));
  }
  if (node == nullptr) return diagnostic;
  diagnostic.note(product_.place(JsonDocument::member(node->source(), "id")),
                  "while evaluating node " + quote(node->path()));
  return diagnostic;
}
