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

void printText(Session& session, const std::vector<NodeReport>& nodes,
               const std::vector<NodeOrigins>& origins, const ReportCounts& counts) {
  const Product& product = session.product();
  std::cout << "product: " << (product.name().empty() ? product.path() : product.name())
            << " (variants mode " << product.variantsModeName() << ")\n";
  for (std::size_t n = 0; n < nodes.size(); ++n) {
    printNode(nodes[n], n < origins.size() ? &origins[n] : nullptr);
  }
  printMessages(session.adapter().messages());
  printLegacy(session.adapter().legacyValues());
  std::cout << "\n"
            << plural(nodes.size(), "node") << ": " << counts.configured << " configured, "
            << counts.notConfigured << " not configured, " << counts.undecided << " undecided\n"
            << "messages: " << plural(counts.errors, "error") << ", "
            << plural(counts.warnings, "warning") << ", " << plural(counts.informs, "inform")
            << "\n";
}

// The keys are inserted in the documented order, which ordered_json keeps.
void printJson(Session& session, const std::vector<NodeReport>& nodes,
               const std::vector<NodeOrigins>& origins, const ReportCounts& counts) {
  const Product& product = session.product();
  OutputJson document = OutputJson::object();
  document["product"] = product.name().empty() ? OutputJson(nullptr) : OutputJson(product.name());
  document["file"] = product.path();
  document["variants_mode"] = product.variantsModeName();
  document["status"] = counts.errors > 0 ? "errors" : "ok";
  OutputJson list = OutputJson::array();
  for (std::size_t n = 0; n < nodes.size(); ++n) {
    OutputJson item = nodeJson(nodes[n]);
    for (std::size_t k = 0; n < origins.size() && k < origins[n].size(); ++k) {
      for (std::size_t i = 0; i < origins[n][k].size(); ++i) {
        item["options"][k]["values"][i]["origin"] = originJson(origins[n][k][i]);
      }
    }
    list.push_back(item);
  }
  document["nodes"] = list;
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
  std::vector<NodeOrigins> origins;  // with --explain, one per node
  try {
    session.evaluate();
    for (ProductNode* node : session.nodes()) nodes.push_back(reportNode(*node));
    if (options.explain) {
      Explainer explainer(session);
      for (ProductNode* node : session.nodes()) origins.push_back(originsOf(explainer, *node));
    }
  } catch (const TamException& e) {
    std::cerr << session.describeFailure(e);
    return kExitReported;
  }
  ReportCounts counts = countReport(nodes, session.adapter().messages());
  if (options.json) {
    printJson(session, nodes, origins, counts);
  } else {
    printText(session, nodes, origins, counts);
  }
  return counts.errors > 0 ? kExitReported : kExitOk;
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
