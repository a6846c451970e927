// tam eval: evaluates a product and prints, node by node, whether it is configured and the option
// values selected at it with how each was set, then the messages of the rules, the legacy values
// the host keeps, and a summary. --json prints the same as one JSON document whose keys always
// come in the order documented in docs/product-format.md. --explain adds to each value where it
// came from.
#include <iostream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "Commands.h"
#include "Diagnostics.h"
#include "Explanation.h"
#include "ExplanationOutput.h"
#include "Session.h"
#include "ValueText.h"

namespace {

struct EvalOptions {
  std::string product;
  bool json = false;
  bool explain = false;
  std::vector<std::string> sets;
};

const char* kStateConfigured = "configured";
const char* kStateNotConfigured = "not_configured";
const char* kStateUndecided = "undecided";

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

// A node is configured when its rules ran; undecided when they ran while its load-if had no value;
// not configured when it was stopped, or a node above it was.
const char* stateOf(ProductNode& node) {
  if (!node.wasEvaluated()) return kStateNotConfigured;
  if (node.forcedState() != TamNode::CS_CONFIGURED && !node.loadIfText().empty() &&
      node.isNodeConfigured() == TamNode::CS_UNDECIDED) {
    return kStateUndecided;
  }
  return kStateConfigured;
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
  std::string option;
  std::vector<ref_count_ptr<TamValue>> values;
  std::vector<TamSelOptionSet::HowSet> how;
  std::vector<ValueOrigin> origins;  // with --explain, one per value
};

struct NodeReport {
  std::string path;
  std::string id;
  std::string module;
  const char* state = kStateConfigured;
  const char* forced = nullptr;
  std::vector<OptionReport> options;
};

struct Counts {
  std::size_t configured = 0;
  std::size_t notConfigured = 0;
  std::size_t undecided = 0;
  std::size_t messages[3] = {0, 0, 0};
};

NodeReport reportNode(ProductNode& node, Explainer* explainer) {
  NodeReport report;
  report.path = node.path();
  report.id = node.id();
  report.module = node.module();
  report.state = stateOf(node);
  report.forced = forcedName(node.forcedState());
  if (node.wasEvaluated() && node.hasModule()) {
    for (const auto& item : node.getSos().contents()) {
      const TamSelOptionSet::TamSosEntry& entry = item.second;
      report.options.push_back(
          {entry.option->moduleId() + ":" + entry.option->name(), entry.values, entry.howSet,
           explainer != nullptr ? explainer->originsOf(node, entry) : std::vector<ValueOrigin>()});
    }
  }
  return report;
}

void printNode(const NodeReport& node) {
  std::cout << "\n" << node.path << ": " << stateText(node.state);
  if (node.forced != nullptr) std::cout << " (forced " << stateText(node.forced) << ")";
  std::cout << ", " << (node.module.empty() ? "no module" : "module " + node.module) << "\n";
  for (const OptionReport& option : node.options) {
    std::cout << "  " << option.option << " = ";
    for (std::size_t i = 0; i < option.values.size(); ++i) {
      if (i > 0) std::cout << ", ";
      std::cout << valueText(option.values[i]);
      if (i >= option.how.size()) continue;
      std::cout << " (" << howSetName(option.how[i]);
      const std::string origin = i < option.origins.size() ? originText(option.origins[i]) : "";
      if (!origin.empty()) {
        std::cout << (option.origins[i].kind == "inherited" ? " " : ", ") << origin;
      }
      std::cout << ")";
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

void printText(Session& session, const std::vector<NodeReport>& nodes, const Counts& counts) {
  const Product& product = session.product();
  std::cout << "product: " << (product.name().empty() ? product.path() : product.name())
            << " (variants mode " << product.variantsModeName() << ")\n";
  for (const NodeReport& node : nodes) printNode(node);
  printMessages(session.adapter().messages());
  printLegacy(session.adapter().legacyValues());
  std::cout << "\n"
            << plural(nodes.size(), "node") << ": " << counts.configured << " configured, "
            << counts.notConfigured << " not configured, " << counts.undecided << " undecided\n"
            << "messages: " << plural(counts.messages[Tam::MSG_ERROR], "error") << ", "
            << plural(counts.messages[Tam::MSG_WARN], "warning") << ", "
            << plural(counts.messages[Tam::MSG_INFORM], "inform") << "\n";
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
    for (const OptionReport& option : node.options) {
      OutputJson entry = OutputJson::object();
      entry["option"] = option.option;
      entry["values"] = valuesJson(option.values, &option.how);
      for (std::size_t i = 0; i < option.origins.size(); ++i) {
        entry["values"][i]["origin"] = originJson(option.origins[i]);
      }
      options.push_back(entry);
    }
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

OutputJson summaryJson(std::size_t nodes, const Counts& counts) {
  OutputJson summary = OutputJson::object();
  summary["nodes"] = nodes;
  summary["configured"] = counts.configured;
  summary["not_configured"] = counts.notConfigured;
  summary["undecided"] = counts.undecided;
  summary["errors"] = counts.messages[Tam::MSG_ERROR];
  summary["warnings"] = counts.messages[Tam::MSG_WARN];
  summary["informs"] = counts.messages[Tam::MSG_INFORM];
  return summary;
}

// The keys are inserted in the documented order, which ordered_json keeps.
void printJson(Session& session, const std::vector<NodeReport>& nodes, const Counts& counts) {
  const Product& product = session.product();
  OutputJson document = OutputJson::object();
  document["product"] = product.name().empty() ? OutputJson(nullptr) : OutputJson(product.name());
  document["file"] = product.path();
  document["variants_mode"] = product.variantsModeName();
  document["status"] = counts.messages[Tam::MSG_ERROR] > 0 ? "errors" : "ok";
  document["nodes"] = nodesJson(nodes);
  document["messages"] = messagesJson(session.adapter().messages());
  document["legacy_options"] = legacyJson(session.adapter().legacyValues());
  document["summary"] = summaryJson(nodes.size(), counts);
  std::cout << document.dump(2, ' ', false, OutputJson::error_handler_t::replace) << "\n";
}

int runEval(const EvalOptions& options) {
  std::vector<CommandLineValue> sets;
  for (const std::string& argument : options.sets) sets.push_back(parseSetArgument(argument));
  Session session(options.product);
  session.buildTree(sets);
  session.record().setHistory(options.explain);

  std::vector<NodeReport> nodes;
  Counts counts;
  try {
    session.evaluate();
    std::unique_ptr<Explainer> explainer;
    if (options.explain) explainer = std::make_unique<Explainer>(session);
    for (ProductNode* node : session.nodes()) nodes.push_back(reportNode(*node, explainer.get()));
  } catch (const TamException& e) {
    std::cerr << session.describeFailure(e);
    return kExitReported;
  }
  for (const NodeReport& node : nodes) {
    if (node.state == kStateConfigured) ++counts.configured;
    if (node.state == kStateNotConfigured) ++counts.notConfigured;
    if (node.state == kStateUndecided) ++counts.undecided;
  }
  for (const EmittedMessage& message : session.adapter().messages()) {
    ++counts.messages[message.severity];
  }
  if (options.json) {
    printJson(session, nodes, counts);
  } else {
    printText(session, nodes, counts);
  }
  return counts.messages[Tam::MSG_ERROR] > 0 ? kExitReported : kExitOk;
}

}  // namespace

void addEvalCommand(CLI::App& app, CommandRun& run) {
  auto options = std::make_shared<EvalOptions>();
  CLI::App* command = app.add_subcommand(
      "eval", "Evaluate a product and print each node's state, selected values and messages");
  command->add_option("PRODUCT", options->product, "The product file (JSON)")->required();
  command->add_flag("--json", options->json, "Print the result as one JSON document");
  command->add_flag("--explain", options->explain,
                    "Show where each value came from: its rule, declaration or host value, or "
                    "the node it was inherited from");
  command
      ->add_option("--set", options->sets,
                   "Add a host value, typed by its option: NODEPATH:module:option=VALUE "
                   "(repeatable)")
      ->allow_extra_args(false);
  command->callback([options, &run] { run = [options] { return runEval(*options); }; });
}
