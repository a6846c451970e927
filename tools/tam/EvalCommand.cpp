// tam eval: evaluates a product and prints, node by node, whether it is configured and the option
// values selected at it with how each was set, then the messages of the rules, the legacy values
// the host keeps, and a summary. --json prints the same as one JSON document whose keys always
// come in the order documented in docs/product-format.md (its schema: docs/schema/).
//
// An evaluation that fails part-way still shows everything evaluated until then (the node that
// failed as "failed", the nodes never reached as "not evaluated"), and then the error at its
// place. After a complete evaluation, options used where they are not visible (the validator's
// findings), references to options that do not exist, and mandatory options left without a value
// at a node that ran are errors too: all of these make the exit status 1, as rule error messages
// do. With --json every outcome, a failure too, is one JSON document on standard output.
#include <iostream>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "Commands.h"
#include "DiagnosticJson.h"
#include "Diagnostics.h"
#include "RuleChecker.h"
#include "ScopeFindings.h"
#include "Session.h"
#include "ValueText.h"

namespace {

constexpr int kEvalFormatVersion = 1;

struct EvalOptions {
  std::string product;
  bool json = false;
  std::vector<std::string> sets;
};

const char* kStateConfigured = "configured";
const char* kStateNotConfigured = "not_configured";
const char* kStateUndecided = "undecided";
const char* kStateFailed = "failed";
const char* kStateNotEvaluated = "not_evaluated";

const char* severityName(Tam::MsgSeverity severity) {
  switch (severity) {
    case Tam::MSG_ERROR:
      return "error";
    case Tam::MSG_WARN:
      return "warn";
    case Tam::MSG_INFORM:
      break;
  }
  return "inform";
}

const char* forcedName(TamNode::ConfigState state) {
  switch (state) {
    case TamNode::CS_CONFIGURED:
      return kStateConfigured;
    case TamNode::CS_NOT_CONFIGURED:
      return kStateNotConfigured;
    case TamNode::CS_UNDECIDED:
      break;
  }
  return nullptr;
}

// The states of all nodes, root first. A node is configured when its rules ran; undecided when
// they ran while its load-if had no value; not configured when it was stopped, or a node above it
// was; failed when the evaluation failed at it; not evaluated when a failure elsewhere ended the
// evaluation before it.
std::map<const ProductNode*, const char*> statesOf(const std::vector<ProductNode*>& nodes,
                                                   bool failed) {
  std::map<const ProductNode*, const char*> states;
  for (ProductNode* node : nodes) {
    const char* state = kStateNotConfigured;
    if (node->hasFailed()) {
      state = kStateFailed;
    } else if (node->wasEvaluated()) {
      const bool undecided = node->forcedState() != TamNode::CS_CONFIGURED &&
                             !node->loadIfText().empty() &&
                             node->isNodeConfigured() == TamNode::CS_UNDECIDED;
      state = undecided ? kStateUndecided : kStateConfigured;
    } else if (!node->wasVisited() && failed) {
      const ProductNode* parent = node->parentNode();
      const char* above = parent == nullptr ? kStateNotEvaluated : states[parent];
      // Below a node that ran (or failed, or was never reached), the failure stopped the walk.
      if (above != kStateNotConfigured) state = kStateNotEvaluated;
    }
    states[node] = state;
  }
  return states;
}

std::string stateText(const char* state) {
  std::string text = state;
  for (char& c : text) {
    if (c == '_') c = ' ';
  }
  return text;
}

std::string plural(std::size_t count, const std::string& word) {
  return std::to_string(count) + " " + word + (count == 1 ? "" : "s");
}

struct OptionReport {
  ref_count_ptr<TamOption> option;
  std::vector<ref_count_ptr<TamValue>> values;
  std::vector<TamSelOptionSet::HowSet> how;
};

struct NodeReport {
  const ProductNode* node = nullptr;
  std::string path;
  std::string id;
  std::string module;
  const char* state = kStateConfigured;
  const char* forced = nullptr;
  std::vector<OptionReport> options;
};

struct Counts {
  std::size_t states[5] = {0, 0, 0, 0, 0};  // in the order of kStateOrder
  std::size_t messages[3] = {0, 0, 0};
};

const char* const kStateOrder[] = {kStateConfigured, kStateNotConfigured, kStateUndecided,
                                   kStateFailed, kStateNotEvaluated};

std::size_t stateIndex(const char* state) {
  for (std::size_t i = 0; i < 5; ++i) {
    if (kStateOrder[i] == state) return i;
  }
  return 0;
}

NodeReport reportNode(ProductNode& node, const char* state) {
  NodeReport report;
  report.node = &node;
  report.path = node.path();
  report.id = node.id();
  report.module = node.module();
  report.state = state;
  report.forced = forcedName(node.forcedState());
  const bool ran = state == kStateConfigured || state == kStateUndecided;
  if (ran && node.hasModule()) {
    for (const auto& item : node.getSos().contents()) {
      const TamSelOptionSet::TamSosEntry& entry = item.second;
      report.options.push_back({entry.option, entry.values, entry.howSet});
    }
  }
  return report;
}

std::string optionText(const ref_count_ptr<TamOption>& option) {
  return option->moduleId() + ":" + option->name();
}

// The evaluation, whatever became of it.
struct Outcome {
  std::vector<NodeReport> nodes;
  Counts counts;
  bool failed = false;
  Diagnostic failure;
  std::vector<Diagnostic> problems;  // errors found after the evaluation
};

void printNode(const NodeReport& node) {
  std::cout << "\n" << node.path << ": " << stateText(node.state);
  if (node.forced != nullptr) std::cout << " (forced " << stateText(node.forced) << ")";
  std::cout << ", " << (node.module.empty() ? "no module" : "module " + node.module) << "\n";
  for (const OptionReport& option : node.options) {
    std::cout << "  " << optionText(option.option) << " = ";
    for (std::size_t i = 0; i < option.values.size(); ++i) {
      if (i > 0) std::cout << ", ";
      std::cout << valueText(option.values[i]);
      if (i < option.how.size()) std::cout << " (" << howSetName(option.how[i]) << ")";
    }
    std::cout << "\n";
  }
}

void printMessages(const std::vector<EmittedMessage>& messages) {
  if (messages.empty()) return;
  std::cout << "\nmessages:\n";
  for (const EmittedMessage& message : messages) {
    std::cout << "  " << severityName(message.severity) << ": " << message.nodePath << " (module "
              << message.moduleId;
    if (!message.file.empty()) {
      std::cout << ", " << message.file;
      if (message.line > 0) std::cout << ":" << message.line;
    }
    std::cout << "): " << message.text << "\n";
  }
}

void printLegacy(const std::map<FileAdapter::LegacyKey, LegacyValue>& legacy) {
  if (legacy.empty()) return;
  std::cout << "\nlegacy options:\n";
  for (const auto& entry : legacy) {
    std::cout << "  " << entry.first.first << ":" << entry.first.second << " = ";
    for (std::size_t i = 0; i < entry.second.values.size(); ++i) {
      std::cout << (i > 0 ? ", " : "") << valueText(entry.second.values[i]);
    }
    std::cout << (entry.second.changed ? " (set by the rules)" : "") << "\n";
  }
}

int printText(Session& session, const Outcome& outcome) {
  const Product& product = session.product();
  const Counts& counts = outcome.counts;
  std::cout << "product: " << (product.name().empty() ? product.path() : product.name())
            << " (variants mode " << product.variantsModeName() << ")\n";
  for (const NodeReport& node : outcome.nodes) printNode(node);
  printMessages(session.adapter().messages());
  printLegacy(session.adapter().legacyValues());
  std::cout << "\n"
            << plural(outcome.nodes.size(), "node") << ": "
            << counts.states[stateIndex(kStateConfigured)] << " configured, "
            << counts.states[stateIndex(kStateNotConfigured)] << " not configured, "
            << counts.states[stateIndex(kStateUndecided)] << " undecided";
  if (outcome.failed) {
    std::cout << ", " << counts.states[stateIndex(kStateFailed)] << " failed, "
              << counts.states[stateIndex(kStateNotEvaluated)] << " not evaluated";
  }
  std::cout << "\nmessages: " << plural(counts.messages[Tam::MSG_ERROR], "error") << ", "
            << plural(counts.messages[Tam::MSG_WARN], "warning") << ", "
            << plural(counts.messages[Tam::MSG_INFORM], "inform") << "\n";
  std::cout.flush();
  DiagnosticPrinter printer(std::cerr);
  if (outcome.failed) printer.report(outcome.failure);
  for (const Diagnostic& problem : outcome.problems) printer.report(problem);
  printer.reportHidden();
  const bool warned = diagnosticOptions().warningsAsErrors && counts.messages[Tam::MSG_WARN] > 0;
  return outcome.failed || printer.failed() || counts.messages[Tam::MSG_ERROR] > 0 || warned
             ? kExitReported
             : kExitOk;
}

OutputJson valuesJson(const std::vector<ref_count_ptr<TamValue>>& values,
                      const std::vector<TamSelOptionSet::HowSet>* how) {
  OutputJson list = OutputJson::array();
  for (std::size_t i = 0; i < values.size(); ++i) {
    OutputJson value = OutputJson::object();
    value["value"] = valueJson(values[i]);
    value["type"] = TamValue::typeName(values[i]->type());
    if (how != nullptr) value["how"] = i < how->size() ? howSetName((*how)[i]) : nullptr;
    list.push_back(value);
  }
  return list;
}

// One allowed-value constraint: {"kind": "value" | "below" | "at_most" | "above" | "at_least" |
// "range" | "any", and "value", or "min" and "max"}.
OutputJson constraintJson(const ref_count_ptr<TamOptionValue>& constraint) {
  OutputJson item = OutputJson::object();
  switch (constraint->kind()) {
    case TamOptionValue::KIND_ENUM:
      item["kind"] = "value";
      item["value"] = valueJson(constraint->value());
      break;
    case TamOptionValue::KIND_MAX:
      item["kind"] = "below";
      item["value"] = valueJson(constraint->value());
      break;
    case TamOptionValue::KIND_MAX_INC:
      item["kind"] = "at_most";
      item["value"] = valueJson(constraint->value());
      break;
    case TamOptionValue::KIND_MIN:
      item["kind"] = "above";
      item["value"] = valueJson(constraint->value());
      break;
    case TamOptionValue::KIND_MIN_INC:
      item["kind"] = "at_least";
      item["value"] = valueJson(constraint->value());
      break;
    case TamOptionValue::KIND_RANGE: {
      const TamOptionValue::Range range = constraint->range();
      item["kind"] = "range";
      item["min"] = valueJson(range.first->value());
      item["max"] = valueJson(range.second->value());
      break;
    }
    default:
      item["kind"] = "any";
      break;
  }
  return item;
}

OutputJson optionJson(const OptionReport& report) {
  const ref_count_ptr<TamOption>& option = report.option;
  OutputJson entry = OutputJson::object();
  entry["option"] = optionText(option);
  OutputJson type = nullptr;
  OutputJson allowed = nullptr;
  OutputJson constraints = OutputJson::array();
  try {
    type = typeWord(option->valueType());
    allowed = describeConstraints(option);
    for (const ref_count_ptr<TamOptionValue>& constraint : option->values()) {
      constraints.push_back(constraintJson(constraint));
    }
  } catch (const TamException&) {
    constraints = OutputJson::array();
  }
  entry["type"] = type;
  entry["description"] = option->description();
  entry["mandatory"] = option->mandatory();
  entry["allowed"] = allowed;
  entry["constraints"] = constraints;
  entry["values"] = valuesJson(report.values, &report.how);
  return entry;
}

OutputJson nodesJson(const std::vector<NodeReport>& nodes) {
  OutputJson list = OutputJson::array();
  for (const NodeReport& node : nodes) {
    OutputJson item = OutputJson::object();
    item["path"] = node.path;
    item["id"] = node.id;
    item["module"] = node.module.empty() ? OutputJson(nullptr) : OutputJson(node.module);
    item["state"] = node.state;
    item["forced"] = node.forced == nullptr ? OutputJson(nullptr) : OutputJson(node.forced);
    OutputJson options = OutputJson::array();
    for (const OptionReport& option : node.options) options.push_back(optionJson(option));
    item["options"] = options;
    list.push_back(item);
  }
  return list;
}

OutputJson messagesJson(const std::vector<EmittedMessage>& messages) {
  OutputJson list = OutputJson::array();
  for (const EmittedMessage& message : messages) {
    OutputJson item = OutputJson::object();
    item["severity"] = severityName(message.severity);
    item["node"] = message.nodePath;
    item["module"] = message.moduleId;
    item["file"] = message.file.empty() ? OutputJson(nullptr) : OutputJson(message.file);
    item["line"] = message.line > 0 ? OutputJson(message.line) : OutputJson(nullptr);
    item["text"] = message.text;
    list.push_back(item);
  }
  return list;
}

OutputJson legacyJson(const std::map<FileAdapter::LegacyKey, LegacyValue>& legacy) {
  OutputJson list = OutputJson::array();
  for (const auto& entry : legacy) {
    OutputJson item = OutputJson::object();
    item["option"] = entry.first.first + ":" + entry.first.second;
    item["values"] = valuesJson(entry.second.values, nullptr);
    item["changed"] = entry.second.changed;
    list.push_back(item);
  }
  return list;
}

OutputJson summaryJson(const Outcome& outcome) {
  const Counts& counts = outcome.counts;
  OutputJson summary = OutputJson::object();
  summary["nodes"] = outcome.nodes.size();
  for (const char* state : kStateOrder) summary[state] = counts.states[stateIndex(state)];
  summary["errors"] = counts.messages[Tam::MSG_ERROR];
  summary["warnings"] = counts.messages[Tam::MSG_WARN];
  summary["informs"] = counts.messages[Tam::MSG_INFORM];
  summary["problems"] = outcome.problems.size();
  return summary;
}

OutputJson documentStart(const char* status) {
  OutputJson document = OutputJson::object();
  document["format"] = formatJson("tam-eval", kEvalFormatVersion);
  document["status"] = status;
  return document;
}

void printDocument(const OutputJson& document) {
  std::cout << document.dump(2, ' ', false, OutputJson::error_handler_t::replace) << "\n";
}

// The keys are inserted in the documented order, which ordered_json keeps.
int printJson(Session& session, const Outcome& outcome) {
  const Product& product = session.product();
  const Counts& counts = outcome.counts;
  const bool errors = counts.messages[Tam::MSG_ERROR] > 0 || !outcome.problems.empty() ||
                      (diagnosticOptions().warningsAsErrors && counts.messages[Tam::MSG_WARN] > 0);
  OutputJson document = documentStart(outcome.failed ? "failed" : errors ? "errors" : "ok");
  document["product"] = product.name().empty() ? OutputJson(nullptr) : OutputJson(product.name());
  document["file"] = product.path();
  document["variants_mode"] = product.variantsModeName();
  document["nodes"] = nodesJson(outcome.nodes);
  document["messages"] = messagesJson(session.adapter().messages());
  document["legacy_options"] = legacyJson(session.adapter().legacyValues());
  OutputJson problems = OutputJson::array();
  for (const Diagnostic& problem : outcome.problems) problems.push_back(diagnosticJson(problem));
  document["problems"] = problems;
  document["summary"] = summaryJson(outcome);
  if (outcome.failed) document["error"] = diagnosticJson(outcome.failure);
  printDocument(document);
  return outcome.failed || errors ? kExitReported : kExitOk;
}

// A mandatory option without a value at a node whose rules ran: at the node in the product file,
// where a value would be given, with a note at the declaration.
void checkMandatory(Session& session, const std::vector<NodeReport>& nodes,
                    std::vector<Diagnostic>& out) {
  for (const NodeReport& node : nodes) {
    for (const OptionReport& option : node.options) {
      if (!option.option->mandatory() || option.values.empty() ||
          option.values.front()->type() != TamValue::VT_UNSET) {
        continue;
      }
      Diagnostic diagnostic = Diagnostic::error(
          session.product().place(JsonDocument::member(node.node->source(), "id")),
          "mandatory option " + quote(optionText(option.option)) + " has no value at node " +
              quote(node.path));
      noteDeclaration(session.adapter(), option.option,
                      quote(optionText(option.option)) + " is declared mandatory here",
                      diagnostic);
      out.push_back(diagnostic);
    }
  }
}

Outcome evaluate(Session& session) {
  Outcome outcome;
  try {
    session.window()->evaluate(true);
  } catch (const TamException& e) {
    outcome.failed = true;
    outcome.failure = session.describeFailure(e);
  }
  const std::vector<ProductNode*> all = session.nodes();
  const std::map<const ProductNode*, const char*> states = statesOf(all, outcome.failed);
  for (ProductNode* node : all) {
    outcome.nodes.push_back(reportNode(*node, states.at(node)));
    ++outcome.counts.states[stateIndex(states.at(node))];
  }
  for (const EmittedMessage& message : session.adapter().messages()) {
    ++outcome.counts.messages[message.severity];
  }
  if (session.adapter().failedLoads().empty()) {
    const ScopeCheck scopes = checkScopes(session.root(), all, session.product(),
                                          session.adapter(), session.window());
    outcome.problems = scopes.unresolved;
    outcome.problems.insert(outcome.problems.end(), scopes.findings.begin(),
                            scopes.findings.end());
  }
  checkMandatory(session, outcome.nodes, outcome.problems);
  return outcome;
}

int runEval(const EvalOptions& options) {
  std::vector<CommandLineValue> sets;
  for (const std::string& argument : options.sets) sets.push_back(parseSetArgument(argument));
  Session session(options.product);
  session.buildTree(sets);
  const Outcome outcome = evaluate(session);
  return options.json ? printJson(session, outcome) : printText(session, outcome);
}

// With --json, a failure before the evaluation is one document too.
int runEvalReported(const EvalOptions& options) {
  if (!options.json) return runEval(options);
  try {
    return runEval(options);
  } catch (const ToolError& e) {
    OutputJson document = documentStart("failed");
    const Diagnostic error = e.diagnostics().empty() ? Diagnostic::general(e.what())
                                                     : e.diagnostics().front();
    document["error"] = diagnosticJson(error);
    printDocument(document);
    return e.status();
  }
}

}  // namespace

void addEvalCommand(CLI::App& app, CommandRun& run) {
  auto options = std::make_shared<EvalOptions>();
  CLI::App* command = app.add_subcommand(
      "eval",
      "Evaluate a product and print each node's state, selected values, messages and problems");
  command->add_option("PRODUCT", options->product, "The product file (JSON)")->required();
  command->add_flag("--json", options->json, "Print the result as one JSON document");
  command
      ->add_option("--set", options->sets,
                   "Add a host value, typed by its option: NODEPATH:module:option=VALUE "
                   "(repeatable)")
      ->allow_extra_args(false);
  addWarningOptions(command);
  addDiagnosticOptions(command);
  command->callback([options, &run] { run = [options] { return runEvalReported(*options); }; });
}
