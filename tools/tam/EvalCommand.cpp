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
#include "EvalReport.h"
#include "Explanation.h"
#include "ExplanationOutput.h"
#include "FastExit.h"
#include "JsonStream.h"
#include "Session.h"
#include "ValueText.h"

namespace {

struct EvalOptions {
  std::string product;
  bool json = false;
  bool explain = false;
  std::vector<std::string> sets;
};

// With --explain, where each value of each option of a node came from, in the node report's
// order: one list per option, one origin per value.
using NodeOrigins = std::vector<std::vector<ValueOrigin>>;

NodeOrigins originsOf(Explainer& explainer, ProductNode& node) {
  NodeOrigins origins;
  if (!node.wasEvaluated() || !node.hasModule()) return origins;
  for (const auto& item : node.getSos().contents()) {
    origins.push_back(explainer.originsOf(node, item.second));
  }
  return origins;
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

void printNode(const NodeReport& node, const NodeOrigins* origins) {
  std::cout << "\n" << node.path << ": " << stateText(stateName(node.state));
  if (node.forced != nullptr) std::cout << " (forced " << stateText(node.forced) << ")";
  std::cout << ", " << (node.module.empty() ? "no module" : "module " + node.module) << "\n";
  for (std::size_t k = 0; k < node.options.size(); ++k) {
    const OptionReport& option = node.options[k];
    std::cout << "  " << option.option << " = ";
    for (std::size_t i = 0; i < option.values.size(); ++i) {
      if (i > 0) std::cout << ", ";
      std::cout << valueText(option.values[i]);
      if (i >= option.how.size()) continue;
      std::cout << " (" << howSetName(option.how[i]);
      if (origins != nullptr && k < origins->size() && i < (*origins)[k].size()) {
        const ValueOrigin& origin = (*origins)[k][i];
        const std::string text = originText(origin);
        if (!text.empty()) std::cout << (origin.kind == "inherited" ? " " : ", ") << text;
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

// The report is printed node by node as the nodes are walked, so that no node's report is kept
// once it is printed (with --explain the reports are all taken first, as the explanations
// evaluate the tree again). The header needs the message counts only, the footer all counts.
class ReportPrinter {
 public:
  virtual ~ReportPrinter() = default;
  virtual void begin(Session& session, const ReportCounts& counts) = 0;
  virtual void node(const NodeReport& node, const NodeOrigins* origins) = 0;
  virtual void end(Session& session, std::size_t nodes, const ReportCounts& counts) = 0;
};

class TextPrinter : public ReportPrinter {
 public:
  void begin(Session& session, const ReportCounts&) override {
    const Product& product = session.product();
    std::cout << "product: " << (product.name().empty() ? product.path() : product.name())
              << " (variants mode " << product.variantsModeName() << ")\n";
  }
  void node(const NodeReport& node, const NodeOrigins* origins) override {
    printNode(node, origins);
  }
  void end(Session& session, std::size_t nodes, const ReportCounts& counts) override {
    printMessages(session.adapter().messages());
    printLegacy(session.adapter().legacyValues());
    std::cout << "\n"
              << plural(nodes, "node") << ": " << counts.configured << " configured, "
              << counts.notConfigured << " not configured, " << counts.undecided << " undecided\n"
              << "messages: " << plural(counts.errors, "error") << ", "
              << plural(counts.warnings, "warning") << ", " << plural(counts.informs, "inform")
              << "\n";
  }
};

// The keys come in the documented order.
class JsonPrinter : public ReportPrinter {
 public:
  void begin(Session& session, const ReportCounts& counts) override {
    const Product& product = session.product();
    out_.member("product",
                product.name().empty() ? OutputJson(nullptr) : OutputJson(product.name()));
    out_.member("file", product.path());
    out_.member("variants_mode", product.variantsModeName());
    out_.member("status", counts.errors > 0 ? "errors" : "ok");
    out_.beginList("nodes");
  }
  void node(const NodeReport& node, const NodeOrigins* origins) override {
    if (origins == nullptr) return out_.itemText(nodeText(node));
    OutputJson item = nodeJson(node);
    for (std::size_t k = 0; origins != nullptr && k < origins->size(); ++k) {
      for (std::size_t i = 0; i < (*origins)[k].size(); ++i) {
        item["options"][k]["values"][i]["origin"] = originJson((*origins)[k][i]);
      }
    }
    out_.item(item);
  }
  void end(Session& session, std::size_t nodes, const ReportCounts& counts) override {
    out_.endList();
    out_.member("messages", messagesJson(session.adapter().messages()));
    out_.member("legacy_options", legacyJson(session.adapter().legacyValues()));
    out_.member("summary", summaryJson(nodes, counts));
    out_.end();
  }

 private:
  // nodeJson(node) as the stream would lay it out, written straight into text: a node of a
  // hundred options is not first built as a hundred JSON objects.
  std::string nodeText(const NodeReport& node) {
    std::string text = "{\n      \"path\": " + JsonStream::scalar(node.path) +
                       ",\n      \"id\": " + JsonStream::scalar(node.id) +
                       ",\n      \"module\": " +
                       (node.module.empty() ? "null" : JsonStream::scalar(node.module)) +
                       ",\n      \"state\": \"" + stateName(node.state) +
                       "\",\n      \"forced\": " +
                       (node.forced == nullptr ? "null" : JsonStream::scalar(node.forced)) +
                       ",\n      \"options\": [";
    for (std::size_t k = 0; k < node.options.size(); ++k) {
      const OptionReport& option = node.options[k];
      text += k == 0 ? "\n        {\n" : ",\n        {\n";
      text += "          \"option\": " + JsonStream::scalar(option.option) + ",\n";
      text += "          \"values\": [";
      for (std::size_t i = 0; i < option.values.size(); ++i) {
        text += i == 0 ? "\n            {\n" : ",\n            {\n";
        text += "              \"value\": " + JsonStream::scalar(valueJson(option.values[i]));
        text += ",\n              \"type\": \"" +
                TamValue::typeName(option.values[i]->type()) + "\",\n              \"how\": ";
        text += i < option.how.size() ? "\"" + std::string(howSetName(option.how[i])) + "\""
                                      : std::string("null");
        text += "\n            }";
      }
      text += option.values.empty() ? "]\n        }" : "\n          ]\n        }";
    }
    text += node.options.empty() ? "]\n    }" : "\n      ]\n    }";
    return text;
  }

  JsonStream out_{std::cout};
};

void countState(NodeState state, ReportCounts& counts) {
  switch (state) {
    case NodeState::kConfigured:
      ++counts.configured;
      break;
    case NodeState::kNotConfigured:
      ++counts.notConfigured;
      break;
    case NodeState::kUndecided:
      ++counts.undecided;
      break;
  }
}

int runEval(const EvalOptions& options) {
  std::vector<CommandLineValue> sets;
  for (const std::string& argument : options.sets) sets.push_back(parseSetArgument(argument));
  // The session is the process's to lose: the command hands it to its exit (FastExit.h).
  auto session = std::make_unique<Session>(options.product);
  session->buildTree(sets);
  session->record().setHistory(options.explain);

  std::vector<NodeReport> nodes;
  std::vector<NodeOrigins> origins;  // with --explain, one per node
  try {
    session->evaluate();
    if (options.explain) {
      for (ProductNode* node : session->nodes()) nodes.push_back(reportNode(*node));
      Explainer explainer(*session);
      for (ProductNode* node : session->nodes()) origins.push_back(originsOf(explainer, *node));
    }
  } catch (const TamException& e) {
    std::cerr << session->describeFailure(e);
    return kExitReported;
  }
  ReportCounts counts = countReport({}, session->adapter().messages());
  std::unique_ptr<ReportPrinter> printer;
  if (options.json) {
    printer = std::make_unique<JsonPrinter>();
  } else {
    printer = std::make_unique<TextPrinter>();
  }
  printer->begin(*session, counts);
  std::size_t count = 0;
  if (options.explain) {
    for (std::size_t n = 0; n < nodes.size(); ++n) {
      countState(nodes[n].state, counts);
      printer->node(nodes[n], n < origins.size() ? &origins[n] : nullptr);
    }
    count = nodes.size();
  } else {
    for (ProductNode* node : session->nodes()) {
      const NodeReport report = reportNode(*node);
      countState(report.state, counts);
      printer->node(report, nullptr);
      ++count;
    }
  }
  printer->end(*session, count, counts);
  const int status = counts.errors > 0 ? kExitReported : kExitOk;
  leaveToExit(std::move(session));
  return status;
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
