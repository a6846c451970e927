#include "VariantRunner.h"

#include "DiagnosticJson.h"
#include "Diagnostics.h"
#include "EvalReport.h"
#include "ProductNode.h"

namespace {

// ToolErrors about a host value begin like this on the command line; records leave it out.
const char kToolPrefix[] = "tam: error: ";

std::string withoutToolPrefix(const std::string& message) {
  std::string prefix = kToolPrefix;
  return message.compare(0, prefix.size(), prefix) == 0 ? message.substr(prefix.size()) : message;
}

std::string withoutFinalNewline(std::string text) {
  while (!text.empty() && text.back() == '\n') text.pop_back();
  return text;
}

OutputJson failureJson(const std::string& message, const OutputJson& code, const OutputJson& node) {
  OutputJson failure = OutputJson::object();
  failure["message"] = message;
  failure["code"] = code;
  failure["node"] = node;
  return failure;
}

constexpr int kSweepFormatVersion = 1;

// The record's keys in their documented order, with nothing known yet.
OutputJson emptyRecord(const Variant& variant) {
  OutputJson record = OutputJson::object();
  record["format"] = formatJson("tam-sweep", kSweepFormatVersion);
  record["variant"] = variant.index;
  record["source"] = variant.source.empty() ? OutputJson(nullptr) : OutputJson(variant.source);
  record["choices"] = OutputJson::object();
  record["status"] = nullptr;
  record["states"] = nullptr;
  record["values"] = nullptr;
  record["messages"] = OutputJson::array();
  record["failure"] = nullptr;
  return record;
}

// The product's nodes, depth first as the session lists them, with their entries in the product.
void collectEntries(const NodeEntry& entry, std::vector<const NodeEntry*>& out) {
  std::vector<const NodeEntry*> stack{&entry};
  while (!stack.empty()) {
    const NodeEntry* next = stack.back();
    stack.pop_back();
    out.push_back(next);
    for (auto it = next->children.rbegin(); it != next->children.rend(); ++it) stack.push_back(&*it);
  }
}

HostValueEntry hostValueOf(const Choice& choice) {
  HostValueEntry given;
  given.moduleId = choice.moduleId;
  given.optionName = choice.optionName;
  given.values = choice.values;
  given.where = choice.key;
  return given;
}

}  // namespace

std::string hostValueProblem(const Session& session, const std::string& nodePath,
                             const std::string& moduleId) {
  for (ProductNode* node : session.nodes()) {
    if (node->path() != nodePath) continue;
    if (moduleId == node->module()) return "";
    return node->module().empty()
               ? "node '" + node->path() + "' has no module, so it takes no host values"
               : "only options of the node's module '" + node->module() +
                     "' can be set at node '" + node->path() + "'";
  }
  return "no node '" + nodePath + "' in the product";
}

ref_count_ptr<TamOption> choiceOption(Session& session, const Choice& choice, std::string& problem) {
  problem = hostValueProblem(session, choice.nodePath, choice.moduleId);
  if (!problem.empty()) return nullptr;
  try {
    ref_count_ptr<TamOption> option =
        TamOption::findOption(session.window(), choice.moduleId, choice.optionName);
    if (option->scope() != TamOption::SCOPE_LEGACY) return option;
    problem = choice.moduleId + ":" + choice.optionName +
              " is a legacy option: its value is kept in \"legacy_options\"";
  } catch (const TamException& e) {
    problem = e.code() == 102
                  ? "module '" + choice.moduleId + "' has no option '" + choice.optionName + "'"
                  : describeException(e);
  }
  return nullptr;
}

VariantRunner::VariantRunner(const std::string& productPath, const std::vector<std::string>& select)
    : session_(productPath) {
  session_.buildTree({});
  std::vector<const NodeEntry*> entries;
  collectEntries(session_.product().root(), entries);
  std::vector<ProductNode*> nodes = session_.nodes();
  for (std::size_t i = 0; i < nodes.size() && i < entries.size(); ++i) {
    nodes_.push_back({nodes[i], entries[i]});
  }
  for (const std::string& key : select) selections_.push_back(this->select(key));
}

const char* VariantRunner::statusName(Status status) {
  switch (status) {
    case Status::kErrors:
      return "errors";
    case Status::kFailed:
      return "failed";
    case Status::kOk:
      break;
  }
  return "ok";
}

VariantRunner::Selection VariantRunner::select(const std::string& key) {
  auto fail = [&key](const std::string& message) {
    throw ToolError("tam: error: --select " + key + ": " + message, kExitUsage);
  };
  Choice target;
  if (!parseChoiceKey(key, target)) fail("expected NODEPATH:module:option");
  ProductNode* node = nullptr;
  for (ProductNode* candidate : session_.nodes()) {
    if (candidate->path() == target.nodePath) node = candidate;
  }
  if (node == nullptr) fail("no node '" + target.nodePath + "' in the product");
  if (node->module() != target.moduleId) {
    fail(node->module().empty()
             ? "node '" + node->path() + "' has no module, so it selects no values"
             : "the values at node '" + node->path() + "' are those of its module '" +
                   node->module() + "'");
  }
  try {
    return {key, node,
            TamOption::findOption(session_.window(), target.moduleId, target.optionName)};
  } catch (const TamException& e) {
    if (e.code() == 102) {
      fail("module '" + target.moduleId + "' has no option '" + target.optionName + "'");
    }
    fail(failureText(e));
  }
  return {};
}

// Each value as the option reads it, so that "54" from a CSV cell shows as 54; a value the option
// cannot read (the variant then fails) is shown as given.
OutputJson VariantRunner::choicesJson(const Variant& variant) {
  OutputJson choices = OutputJson::object();
  for (const Choice& choice : variant.choices) {
    ref_count_ptr<TamOption> option;
    try {
      option = TamOption::findOption(session_.window(), choice.moduleId, choice.optionName);
    } catch (const TamException&) {
      // The variant fails on the same option and says why.
    }
    OutputJson values = OutputJson::array();
    for (const nlohmann::json& given : choice.values) {
      std::string problem;
      ref_count_ptr<TamValue> value;
      if (option && option->scope() != TamOption::SCOPE_LEGACY) {
        value = given.is_string()
                    ? valueFromText(option->valueType(), given.get<std::string>(), problem)
                    : valueFromJson(option->valueType(), given, problem);
      }
      values.push_back(value ? valueJson(value) : OutputJson(given));
    }
    choices[choice.key] = choice.several || values.size() != 1 ? values : values[0];
  }
  return choices;
}

OutputJson VariantRunner::selectedJson() {
  OutputJson selected = OutputJson::object();
  for (const Selection& selection : selections_) {
    OutputJson value = nullptr;
    if (selection.node->wasEvaluated()) {
      const TamSelOptionSet::TamSosEntry& entry = selection.node->getSos().get(selection.option);
      if (selection.option->mutually_exclusive()) {
        value = entry.values.empty() ? OutputJson(nullptr) : valueJson(entry.values.front());
      } else {
        value = OutputJson::array();
        for (const ref_count_ptr<TamValue>& item : entry.values) value.push_back(valueJson(item));
      }
    }
    selected[selection.key] = value;
  }
  return selected;
}

// What `tam eval` says about the failure, placed in its file; the bare message when placing it
// fails in turn.
std::string VariantRunner::failureText(const TamException& e) {
  try {
    return withoutFinalNewline(plainText(session_.describeFailure(e)));
  } catch (const TamException&) {
    return describeException(e);
  }
}

VariantRunner::Record VariantRunner::finish(OutputJson& record, Status status) {
  record["status"] = statusName(status);
  return {status, record.dump(-1, ' ', false, OutputJson::error_handler_t::replace)};
}

VariantRunner::Record VariantRunner::failedRecord(const Variant& variant,
                                                  const std::string& message) {
  OutputJson record = emptyRecord(variant);
  record["failure"] = failureJson(message, nullptr, nullptr);
  return finish(record, Status::kFailed);
}

void VariantRunner::applyChoices(const std::vector<Choice>& choices) {
  for (const Choice& choice : choices) {
    std::string problem = hostValueProblem(session_, choice.nodePath, choice.moduleId);
    if (!problem.empty()) throw ToolError(choice.key + ": " + problem, kExitUsage);
  }
  for (const auto& node : nodes_) {
    std::vector<HostValueEntry> values = node.second->values;
    for (const Choice& choice : choices) {
      if (choice.nodePath == node.first->path()) values.push_back(hostValueOf(choice));
    }
    session_.setHostValues(*node.first, values);
  }
}

VariantRunner::Record VariantRunner::run(const Variant& variant) {
  if (!variant.problem.empty()) return failedRecord(variant, variant.problem);
  OutputJson record = emptyRecord(variant);
  bool evaluating = false;  // messages belong to the record once its evaluation began
  try {
    record["choices"] = choicesJson(variant);
    applyChoices(variant.choices);
    evaluating = true;
    session_.evaluate();
    // States and the selected values only: reading every node's set, as a full report does,
    // would cost about as much as a third of the evaluation.
    OutputJson states = OutputJson::object();
    for (ProductNode* node : session_.nodes()) states[node->path()] = stateName(stateOf(*node));
    record["states"] = states;
    record["values"] = selectedJson();
    const std::vector<EmittedMessage>& messages = session_.adapter().messages();
    record["messages"] = messagesJson(messages);
    bool errors = false;
    for (const EmittedMessage& message : messages) errors |= message.severity == Tam::MSG_ERROR;
    return finish(record, errors ? Status::kErrors : Status::kOk);
  } catch (const ToolError& e) {
    record["failure"] = failureJson(withoutToolPrefix(e.what()), nullptr, nullptr);
  } catch (const TamException& e) {
    auto* node = dynamic_cast<ProductNode*>(e.node());
    record["failure"] = failureJson(
        failureText(e), e.code(), node == nullptr ? OutputJson(nullptr) : OutputJson(node->path()));
  }
  record["states"] = nullptr;
  record["values"] = nullptr;
  if (evaluating) record["messages"] = messagesJson(session_.adapter().messages());
  return finish(record, Status::kFailed);
}
