#include "Configurator.h"

#include <algorithm>
#include <chrono>
#include <set>

#include "FileCommit.h"
#include "Files.h"
#include "OptionInfo.h"
#include "ProductEditor.h"
#include "ProductLock.h"

namespace {

using Json = nlohmann::json;

// The library's code for a module without the option asked for.
constexpr int kNoSuchOptionCode = 102;

// How long a save waits for another tam working on the product; a person is waiting for it.
constexpr std::chrono::seconds kSaveWait{5};

// A value as the API and the product file write it: typed by the option it was checked against.
Json canonicalJson(const ref_count_ptr<TamValue>& value) {
  OutputJson typed = valueJson(value);
  if (typed.is_boolean()) return typed.get<bool>();
  if (typed.is_number_integer()) return typed.get<std::int64_t>();
  if (typed.is_number()) return typed.get<double>();
  if (typed.is_string()) return typed.get<std::string>();
  return nullptr;
}

std::string requestString(const Json& request, const char* key, bool required) {
  if (!request.contains(key)) {
    if (!required) return "";
    throw ApiError(kStatusBadRequest, "bad_request",
                   std::string("the request needs \"") + key + "\"");
  }
  const Json& value = request[key];
  if (!value.is_string() || value.get<std::string>().empty()) {
    throw ApiError(kStatusBadRequest, "bad_request",
                   std::string("\"") + key + "\" must be a non-empty string");
  }
  return value.get<std::string>();
}

void requireObject(const Json& request, std::initializer_list<const char*> keys) {
  if (!request.is_object()) {
    throw ApiError(kStatusBadRequest, "bad_request", "the request body must be a JSON object");
  }
  for (const auto& item : request.items()) {
    if (std::none_of(keys.begin(), keys.end(),
                     [&](const char* key) { return item.key() == key; })) {
      throw ApiError(kStatusBadRequest, "bad_request", "unknown key \"" + item.key() + "\"");
    }
  }
}

// The values of an option at a node, for comparing two evaluations.
OutputJson optionValues(const OptionReport& option) {
  return valuesJson(option.values, &option.how);
}

// The options whose values differ between two reports of one node, in the new report's order
// (options that are gone follow).
std::vector<std::string> changedOptions(const NodeReport& before, const NodeReport& after) {
  std::map<std::string, OutputJson> old;
  for (const OptionReport& option : before.options) old[option.option] = optionValues(option);
  std::vector<std::string> changed;
  for (const OptionReport& option : after.options) {
    auto it = old.find(option.option);
    if (it == old.end() || it->second != optionValues(option)) changed.push_back(option.option);
    if (it != old.end()) old.erase(it);
  }
  for (const auto& gone : old) changed.push_back(gone.first);
  return changed;
}

std::string valuesText(const std::vector<Json>& values) {
  std::string text;
  for (const Json& value : values) {
    if (!text.empty()) text += ", ";
    text += value.dump(-1, ' ', false, Json::error_handler_t::replace);
  }
  return text;
}

}  // namespace

Configurator::Configurator(const std::string& productPath) : productPath_(productPath) {
  open();
  choices_.load(session_->product().root());
  OutputJson failure;
  results_ = evaluateResults(failure);
  if (!results_) failure_ = failure;
}

Configurator::~Configurator() = default;

void Configurator::open() {
  auto session = std::make_unique<Session>(productPath_);
  try {
    session->buildTree({});
  } catch (...) {
    // The new session installed its adapter; the one in use must stay installed.
    if (session_) Tam::initialize(&session_->adapter());
    throw;
  }
  session_ = std::move(session);
  explained_ = false;
  loadedText_ = session_->product().document().text();
  nodes_ = session_->nodes();
  indexByPath_.clear();
  for (std::size_t i = 0; i < nodes_.size(); ++i) indexByPath_[nodes_[i]->path()] = i;
}

std::unique_ptr<Configurator::Results> Configurator::evaluateResults(OutputJson& failure) {
  for (ProductNode* node : nodes_) session_->setHostValues(*node, choices_.at(node->path()));
  explained_ = false;
  auto results = std::make_unique<Results>();
  try {
    session_->evaluate();
    for (ProductNode* node : nodes_) results->nodes.push_back(resultOf(*node));
  } catch (const TamException& e) {
    failure = failureJson(e);
    session_->forgetFailedLoads();
    return nullptr;
  }
  results->messages = session_->adapter().messages();
  results->legacy = session_->adapter().legacyValues();
  std::vector<NodeReport> reports;
  for (const NodeResult& node : results->nodes) reports.push_back(node.report);
  results->counts = countReport(reports, results->messages);
  return results;
}

Configurator::NodeResult Configurator::resultOf(ProductNode& node) const {
  NodeResult result;
  result.report = reportNode(node);
  const std::string& loadIf = node.loadIfText();
  if (!node.wasEvaluated()) {
    // The node itself was stopped, or the highest node above it that was.
    ProductNode* stopped = &node;
    while (stopped->parentNode() != nullptr && !stopped->parentNode()->wasEvaluated()) {
      stopped = stopped->parentNode();
    }
    if (stopped != &node) {
      result.cause = "ancestor_not_configured";
      result.reason = "The node " + stopped->path() + " above it is not configured.";
    } else if (node.forcedState() == TamNode::CS_NOT_CONFIGURED) {
      result.cause = "forced_not_configured";
      result.reason = "The product file forces it not configured.";
    } else {
      result.cause = "load_if_false";
      result.reason = "Its load_if is false: " + loadIf;
    }
  } else if (node.forcedState() == TamNode::CS_CONFIGURED) {
    result.cause = "forced_configured";
    result.reason = "The product file forces it configured";
    result.reason += loadIf.empty() ? "." : ", whatever its load_if says: " + loadIf;
  } else if (loadIf.empty()) {
    result.cause = "no_load_if";
    result.reason = "It has no load_if: it is configured whenever the node above it is.";
  } else if (result.report.state == NodeState::kUndecided) {
    result.cause = "load_if_undecided";
    result.reason =
        "Its load_if has no value (it refers to an option without a value), so its "
        "rules run undecided: " +
        loadIf;
  } else {
    result.cause = "load_if_true";
    result.reason = "Its load_if is true: " + loadIf;
  }
  return result;
}

OutputJson Configurator::failureJson(const TamException& e) {
  Session::Failure failure = session_->locateFailure(e);
  const Diagnostic& where = failure.diagnostic;
  OutputJson json = OutputJson::object();
  json["message"] = where.message;
  json["file"] = where.file;
  json["line"] = where.line > 0 ? OutputJson(where.line) : OutputJson(nullptr);
  json["column"] = where.column > 0 ? OutputJson(where.column) : OutputJson(nullptr);
  json["source_line"] =
      where.sourceLine.empty() ? OutputJson(nullptr) : OutputJson(where.sourceLine);
  json["node"] = failure.node != nullptr ? OutputJson(failure.node->path()) : OutputJson(nullptr);
  json["text"] = where.format() + failure.note;
  return json;
}

ProductNode& Configurator::nodeAt(const std::string& path) { return *nodes_[indexOf(path)]; }

std::size_t Configurator::indexOf(const std::string& path) const {
  auto it = indexByPath_.find(path);
  if (it == indexByPath_.end()) {
    throw ApiError(kStatusNotFound, "unknown_node", "no node '" + path + "' in the product");
  }
  return it->second;
}

// ---------------------------------------------------------------------------------------------
// Changes

HostValueEntry Configurator::checkedEntry(ProductNode& node, const Json& request) {
  std::string option = requestString(request, "option", true);
  std::size_t colon = option.find(':');
  if (colon == std::string::npos || colon == 0 || colon + 1 == option.size()) {
    throw ApiError(kStatusBadRequest, "bad_request", "\"option\" must be written module:option");
  }
  HostValueEntry entry;
  entry.moduleId = option.substr(0, colon);
  entry.optionName = option.substr(colon + 1);
  if (node.module().empty()) {
    throw ApiError(kStatusBadRequest, "not_settable",
                   "node '" + node.path() + "' has no module, so it takes no host values");
  }
  if (entry.moduleId != node.module()) {
    throw ApiError(kStatusBadRequest, "not_settable",
                   "only options of the node's module '" + node.module() +
                       "' can be set at node '" + node.path() + "'");
  }
  bool one = request.contains("value");
  bool many = request.contains("values");
  if (one == many) {
    throw ApiError(kStatusBadRequest, "bad_request", "the request needs \"value\" or \"values\"");
  }
  std::vector<Json> given = one ? std::vector<Json>{request["value"]} : std::vector<Json>();
  if (many) {
    if (!request["values"].is_array() || request["values"].empty()) {
      throw ApiError(kStatusBadRequest, "bad_request", "\"values\" must be a non-empty list");
    }
    for (const Json& value : request["values"]) given.push_back(value);
  }
  for (const Json& value : given) {
    if (!value.is_boolean() && !value.is_number() && !value.is_string()) {
      throw ApiError(kStatusBadRequest, "bad_value",
                     "a value must be true, false, a number or a string");
    }
  }
  entry.values = given;
  std::string how = requestString(request, "how", false);
  if (!how.empty() && !parseHostHowSet(how, entry.how)) {
    throw ApiError(kStatusBadRequest, "bad_how",
                   "unknown way of setting \"" + how +
                       "\" (expected \"host\", \"host_firm\" or \"host_forced\")");
  }
  entry.where = "chosen in tam serve, not saved";

  TamSelOptionSet::TamSosEntry checked;
  std::string problem;
  std::size_t badValue = 0;
  try {
    if (!session_->hostEntry(entry, checked, problem, badValue)) {
      throw ApiError(kStatusBadRequest, "bad_value", problem);
    }
  } catch (const TamException& e) {
    if (e.code() == kNoSuchOptionCode) {
      throw ApiError(kStatusNotFound, "unknown_option",
                     "module '" + entry.moduleId + "' has no option '" + entry.optionName + "'");
    }
    OutputJson failure = failureJson(e);
    throw ApiError(kStatusConflict, "evaluation_failed", failure["message"].get<std::string>(),
                   failure);
  }
  entry.values.clear();
  for (const ref_count_ptr<TamValue>& value : checked.values) {
    entry.values.push_back(canonicalJson(value));
  }
  return entry;
}

OutputJson Configurator::set(const Json& request) {
  std::lock_guard<std::mutex> lock(mutex_);
  requireObject(request, {"node", "option", "value", "values", "how", "focus"});
  std::string focus = focusOf(request);
  ProductNode& node = nodeAt(requestString(request, "node", true));
  HostValueEntry entry = checkedEntry(node, request);
  HostStep step;
  step.nodePath = node.path();
  step.option = entryOption(entry);
  step.before = choices_.entriesOf(step.nodePath, step.option);
  step.after = {entry};
  step.label = "set " + step.option + " = " + valuesText(entry.values) + " (" +
               howSetName(entry.how) + ") at " + step.nodePath;
  if (HostChoices::sameEntries(step.before, step.after))
    return change(step, StepKind::kNone, focus);
  return change(step, StepKind::kNew, focus);
}

OutputJson Configurator::clear(const Json& request) {
  std::lock_guard<std::mutex> lock(mutex_);
  requireObject(request, {"node", "option", "focus"});
  std::string focus = focusOf(request);
  ProductNode& node = nodeAt(requestString(request, "node", true));
  HostStep step;
  step.nodePath = node.path();
  step.option = requestString(request, "option", true);
  step.before = choices_.entriesOf(step.nodePath, step.option);
  step.label = "clear " + step.option + " at " + step.nodePath;
  return change(step, step.before.empty() ? StepKind::kNone : StepKind::kNew, focus);
}

OutputJson Configurator::undo(const Json& request) {
  std::lock_guard<std::mutex> lock(mutex_);
  requireObject(request, {"focus"});
  std::string focus = focusOf(request);
  if (!choices_.canUndo()) throw ApiError(kStatusConflict, "nothing_to_undo", "nothing to undo");
  HostStep step = choices_.nextUndo();
  return change(step, StepKind::kUndo, focus);
}

OutputJson Configurator::redo(const Json& request) {
  std::lock_guard<std::mutex> lock(mutex_);
  requireObject(request, {"focus"});
  std::string focus = focusOf(request);
  if (!choices_.canRedo()) throw ApiError(kStatusConflict, "nothing_to_redo", "nothing to redo");
  HostStep step = choices_.nextRedo();
  return change(step, StepKind::kRedo, focus);
}

std::string Configurator::focusOf(const Json& request) const {
  std::string focus = requestString(request, "focus", false);
  if (!focus.empty()) indexOf(focus);
  return focus;
}

OutputJson Configurator::change(const HostStep& step, StepKind kind, const std::string& focus) {
  if (kind == StepKind::kNone) {
    OutputJson answer = resultsJson({}, false);
    if (!focus.empty()) answer["node"] = nodeJson(indexOf(focus));
    return answer;
  }
  bool forward = kind != StepKind::kUndo;
  choices_.apply(step, forward);
  OutputJson failure;
  std::unique_ptr<Results> results = evaluateResults(failure);
  if (!results && results_) {
    choices_.apply(step, !forward);
    throw ApiError(kStatusConflict, "evaluation_failed",
                   "the product cannot be evaluated with this change, so it was not made: " +
                       failure["message"].get<std::string>(),
                   failure);
  }
  switch (kind) {
    case StepKind::kNew:
      choices_.record(step);
      break;
    case StepKind::kUndo:
      choices_.undone();
      break;
    case StepKind::kRedo:
      choices_.redone();
      break;
    case StepKind::kNone:
      break;
  }
  ++revision_;
  if (!results) {
    failure_ = failure;
    OutputJson answer = resultsJson({}, true);
    if (!focus.empty()) answer["node"] = nodeJson(indexOf(focus));
    return answer;
  }
  std::vector<std::size_t> changed;
  bool everything = !results_;
  if (results_) {
    for (std::size_t i = 0; i < results->nodes.size(); ++i) {
      const NodeResult& before = results_->nodes[i];
      const NodeResult& after = results->nodes[i];
      if (before.report.state != after.report.state || before.cause != after.cause ||
          !changedOptions(before.report, after.report).empty()) {
        changed.push_back(i);
      }
    }
  }
  previous_ = std::move(results_);
  results_ = std::move(results);
  failure_ = OutputJson();
  OutputJson answer = resultsJson(changed, everything);
  previous_.reset();
  if (!focus.empty()) answer["node"] = nodeJson(indexOf(focus));
  return answer;
}

// ---------------------------------------------------------------------------------------------
// Saving

OutputJson Configurator::save() {
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<std::pair<std::string, std::string>> unsaved = choices_.unsaved();
  // The product's lock is held from reading the file to writing it, so that no other tam changes
  // it in between; it is let go before the product is read again.
  ProductLock productLock;
  try {
    productLock = ProductLock::acquire(productPath_, ProductLock::Mode::kExclusive, kSaveWait);
  } catch (const ToolError& e) {
    throw ApiError(kStatusConflict, "file_busy", std::string("Nothing was written: ") + e.what());
  }
  std::string onDisk;
  Diagnostic problem;
  if (!readTextFile(productPath_, TextFileKind::kProduct, onDisk, problem)) {
    throw ApiError(kStatusConflict, "file_changed",
                   "Nothing was written: " + productPath_ + " cannot be read (" + problem.message +
                       ").");
  }
  if (onDisk != loadedText_) {
    throw ApiError(kStatusConflict, "file_changed",
                   "Nothing was written: " + productPath_ +
                       " was changed by another program since tam serve read it. Note your "
                       "choices, then restart tam serve to work on the file as it is now.");
  }
  OutputJson answer = OutputJson::object();
  answer["version"] = kServeApiVersion;
  answer["file"] = productPath_;
  answer["written"] = unsaved.size();
  if (unsaved.empty()) {
    answer["saved"] = false;
    answer["reload"] = false;
    return answer;
  }
  ProductEditor editor(loadedText_);
  for (const auto& item : unsaved) {
    std::vector<ProductEditor::Entry> entries;
    for (const HostValueEntry& entry : choices_.entriesOf(item.first, item.second)) {
      entries.push_back({entry.values, howSetName(entry.how)});
    }
    editor.setEntries(nodeAt(item.first).source(), item.second, entries);
  }
  // The text must read back as exactly the chosen host values before it replaces the file.
  HostChoices written;
  try {
    written.load(Product::fromText(productPath_, editor.text()).root());
  } catch (const ToolError& e) {
    throw ApiError(kStatusServerError, "save_failed",
                   std::string("Nothing was written: the edited file would not read back (") +
                       e.what() + ").");
  }
  if (!written.sameChoices(choices_)) {
    throw ApiError(kStatusServerError, "save_failed",
                   "Nothing was written: the edited file would not hold the chosen values.");
  }
  try {
    CommitOptions commit;
    commit.command = "tam serve save";
    commitFiles(productLock, {{productPath_, editor.text(), loadedText_}}, commit);
  } catch (const ToolError& e) {
    throw ApiError(kStatusServerError, "save_failed", e.what());
  }
  productLock.release();
  loadedText_ = editor.text();
  choices_.saved();
  answer["saved"] = true;
  answer["reload"] = reopen(answer);
  return answer;
}

bool Configurator::reopen(OutputJson& answer) {
  // Positions in the file moved; the product is read again, with the choices it now holds.
  try {
    open();
  } catch (const ToolError& e) {
    answer["warning"] = std::string("saved, but the product could not be read again: ") + e.what();
    return false;
  }
  choices_.reload(session_->product().root());
  OutputJson failure;
  results_ = evaluateResults(failure);
  failure_ = results_ ? OutputJson() : failure;
  ++revision_;
  return true;
}

// ---------------------------------------------------------------------------------------------
// Answers

OutputJson Configurator::historyJson() const {
  OutputJson history = OutputJson::object();
  history["can_undo"] = choices_.canUndo();
  history["can_redo"] = choices_.canRedo();
  history["undo"] =
      choices_.canUndo() ? OutputJson(choices_.nextUndo().label) : OutputJson(nullptr);
  history["redo"] =
      choices_.canRedo() ? OutputJson(choices_.nextRedo().label) : OutputJson(nullptr);
  return history;
}

OutputJson Configurator::treeNodeJson(std::size_t index) const {
  ProductNode& node = *nodes_[index];
  OutputJson item = OutputJson::object();
  item["path"] = node.path();
  item["id"] = node.id();
  item["module"] = node.module().empty() ? OutputJson(nullptr) : OutputJson(node.module());
  item["load_if"] = node.loadIfText().empty() ? OutputJson(nullptr) : OutputJson(node.loadIfText());
  item["forced"] = forcedName(node.forcedState()) == nullptr
                       ? OutputJson(nullptr)
                       : OutputJson(forcedName(node.forcedState()));
  int line = session_->product().document().line(node.source());
  item["line"] = line > 0 ? OutputJson(line) : OutputJson(nullptr);
  item["host_values"] = choices_.at(node.path()).size();
  if (results_) {
    const NodeResult& result = results_->nodes[index];
    item["state"] = stateName(result.report.state);
    item["cause"] = result.cause;
    item["reason"] = result.reason;
  } else {
    item["state"] = "unknown";
    item["cause"] = "not_evaluated";
    item["reason"] = "The product could not be evaluated.";
  }
  return item;
}

OutputJson Configurator::resultsJson(const std::vector<std::size_t>& changed,
                                     bool everything) const {
  OutputJson answer = OutputJson::object();
  answer["version"] = kServeApiVersion;
  answer["revision"] = revision_;
  answer["status"] = !results_ || !failure_.is_null() ? "failed"
                     : results_->counts.errors > 0    ? "errors"
                                                      : "ok";
  answer["failure"] = failure_.is_null() ? OutputJson(nullptr) : failure_;
  answer["reload"] = everything;
  OutputJson list = OutputJson::array();
  for (std::size_t index : changed) {
    OutputJson item = treeNodeJson(index);
    bool stateChanged =
        previous_ && (previous_->nodes[index].report.state != results_->nodes[index].report.state ||
                      previous_->nodes[index].cause != results_->nodes[index].cause);
    item["state_changed"] = stateChanged;
    OutputJson options = OutputJson::array();
    if (previous_) {
      for (const std::string& option :
           changedOptions(previous_->nodes[index].report, results_->nodes[index].report)) {
        options.push_back(option);
      }
    }
    item["changed_options"] = options;
    list.push_back(item);
  }
  answer["changed"] = list;
  if (results_) {
    answer["messages"] = messagesJson(results_->messages);
    answer["legacy_options"] = legacyJson(results_->legacy);
    answer["summary"] = summaryJson(results_->nodes.size(), results_->counts);
  } else {
    answer["messages"] = OutputJson::array();
    answer["legacy_options"] = OutputJson::array();
    answer["summary"] = nullptr;
  }
  answer["history"] = historyJson();
  answer["unsaved"] = !choices_.unsaved().empty();
  return answer;
}

OutputJson Configurator::product() {
  std::lock_guard<std::mutex> lock(mutex_);
  const Product& product = session_->product();
  OutputJson answer = resultsJson({}, false);
  answer.erase("changed");
  answer.erase("reload");
  OutputJson about = OutputJson::object();
  about["name"] = product.name().empty() ? OutputJson(nullptr) : OutputJson(product.name());
  about["file"] = product.path();
  about["variants_mode"] = product.variantsModeName();
  answer["product"] = about;
  answer["modules"] = modulesJson();
  OutputJson nodes = OutputJson::array();
  for (std::size_t i = 0; i < nodes_.size(); ++i) nodes.push_back(treeNodeJson(i));
  answer["nodes"] = nodes;
  return answer;
}

OutputJson Configurator::node(const std::string& path) {
  std::lock_guard<std::mutex> lock(mutex_);
  std::size_t index = indexOf(path);
  OutputJson answer = OutputJson::object();
  answer["version"] = kServeApiVersion;
  answer["revision"] = revision_;
  answer["node"] = nodeJson(index);
  return answer;
}

OutputJson Configurator::nodeJson(std::size_t index) {
  ProductNode& node = *nodes_[index];
  const std::string& path = node.path();
  OutputJson item = treeNodeJson(index);
  std::map<std::string, const OptionReport*> selected;
  if (results_) {
    for (const OptionReport& option : results_->nodes[index].report.options) {
      selected[option.option] = &option;
    }
  }
  OutputJson options = OutputJson::array();
  for (const std::string& name : moduleOptionNames(node.module())) {
    OutputJson entry = OutputJson::object();
    entry["option"] = name;
    auto found = selected.find(name);
    entry["values"] = found == selected.end() ? OutputJson::array() : optionValues(*found->second);
    std::vector<HostValueEntry> host = choices_.entriesOf(path, name);
    if (host.empty()) {
      entry["host"] = nullptr;
    } else {
      OutputJson chosen = OutputJson::object();
      OutputJson values = OutputJson::array();
      for (const HostValueEntry& given : host) {
        for (const Json& value : given.values) values.push_back(OutputJson::parse(value.dump()));
      }
      chosen["values"] = values;
      chosen["how"] = howSetName(host.back().how);
      int line = host.front().pointer.empty()
                     ? 0
                     : session_->product().document().line(host.front().pointer);
      chosen["line"] = line > 0 ? OutputJson(line) : OutputJson(nullptr);
      chosen["saved"] = HostChoices::sameEntries(host, choices_.savedEntriesOf(path, name));
      entry["host"] = chosen;
    }
    options.push_back(entry);
  }
  item["options"] = options;
  return item;
}

OutputJson Configurator::source(const std::string& file, int line) {
  std::lock_guard<std::mutex> lock(mutex_);
  std::string text;
  if (file == session_->product().path()) {
    text = session_->product().document().text();
  } else {
    for (const auto& module : session_->adapter().moduleFiles()) {
      if (module.second.path() == file) text = module.second.text();
    }
    if (text.empty()) {
      throw ApiError(kStatusNotFound, "unknown_file",
                     "'" + file + "' is neither the product file nor one of its module files");
    }
  }
  int count = static_cast<int>(std::count(text.begin(), text.end(), '\n')) +
              (text.empty() || text.back() == '\n' ? 0 : 1);
  if (line < 1 || line > count) {
    throw ApiError(kStatusBadRequest, "bad_line",
                   file + " has " + std::to_string(count) + " lines; there is no line " +
                       std::to_string(line));
  }
  OutputJson lines = OutputJson::array();
  for (int at = std::max(1, line - kSourceContext); at <= std::min(count, line + kSourceContext);
       ++at) {
    OutputJson item = OutputJson::object();
    item["number"] = at;
    item["text"] = lineOf(text, at);
    lines.push_back(item);
  }
  OutputJson answer = OutputJson::object();
  answer["version"] = kServeApiVersion;
  answer["file"] = file;
  answer["line"] = line;
  answer["lines"] = lines;
  return answer;
}

std::vector<std::string> Configurator::moduleOptionNames(const std::string& moduleId) {
  std::vector<std::string> names;
  if (moduleId.empty()) return names;
  try {
    for (const ref_count_ptr<TamOption>& option :
         shownOptions(session_->window()->getModule(moduleId))) {
      names.push_back(moduleId + ":" + option->name());
    }
  } catch (const TamException&) {
    // A module that cannot be loaded shows no options; modulesJson says why.
    session_->forgetFailedLoads();
  }
  return names;
}

OutputJson Configurator::modulesJson() {
  OutputJson modules = OutputJson::object();
  std::set<std::string> ids;
  for (ProductNode* node : nodes_) {
    if (!node->module().empty()) ids.insert(node->module());
  }
  for (const std::string& id : ids) {
    OutputJson module = OutputJson::object();
    const ModuleFile* file = session_->adapter().moduleFile(id);
    module["file"] = file == nullptr ? OutputJson(nullptr) : OutputJson(file->path());
    OutputJson options = OutputJson::array();
    try {
      ref_count_ptr<TamModule> loaded = session_->window()->getModule(id);
      for (const ref_count_ptr<TamOption>& option : shownOptions(loaded)) {
        options.push_back(optionJson(loaded, option));
      }
      module["error"] = nullptr;
    } catch (const TamException& e) {
      module["error"] = session_->adapter().failedLoads().empty()
                            ? describeException(e)
                            : session_->adapter().describeLoadFailure().format();
      session_->forgetFailedLoads();
    }
    module["options"] = options;
    modules[id] = module;
  }
  return modules;
}
