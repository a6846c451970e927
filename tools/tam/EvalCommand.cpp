// tam eval: evaluates a product and prints, node by node, whether it is configured and the option
// values selected at it with how each was set, then the messages of the rules, the legacy values
// the host keeps, and a summary. --json prints the same as one JSON document whose keys always
// come in the order documented in docs/product-format.md.
#include <iostream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "Commands.h"
#include "Diagnostics.h"
#include "EvalReport.h"
#include "Session.h"
#include "ValueText.h"

namespace {

struct EvalOptions {
  std::string product;
  bool json = false;
  std::vector<std::string> sets;
};

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

void printNode(const NodeReport& node) {
  std::cout << "\n" << node.path << ": " << stateText(stateName(node.state));
  if (node.forced != nullptr) std::cout << " (forced " << stateText(node.forced) << ")";
  std::cout << ", " << (node.module.empty() ? "no module" : "module " + node.module) << "\n";
  for (const OptionReport& option : node.options) {
    std::cout << "  " << option.option << " = ";
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

void printText(Session& session, const std::vector<NodeReport>& nodes, const ReportCounts& counts) {
  const Product& product = session.product();
  std::cout << "product: " << (product.name().empty() ? product.path() : product.name())
            << " (variants mode " << product.variantsModeName() << ")\n";
  for (const NodeReport& node : nodes) printNode(node);
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
void printJson(Session& session, const std::vector<NodeReport>& nodes, const ReportCounts& counts) {
  const Product& product = session.product();
  OutputJson document = OutputJson::object();
  document["product"] = product.name().empty() ? OutputJson(nullptr) : OutputJson(product.name());
  document["file"] = product.path();
  document["variants_mode"] = product.variantsModeName();
  document["status"] = counts.errors > 0 ? "errors" : "ok";
  OutputJson list = OutputJson::array();
  for (const NodeReport& node : nodes) list.push_back(nodeJson(node));
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

  std::vector<NodeReport> nodes;
  try {
    session.evaluate();
    for (ProductNode* node : session.nodes()) nodes.push_back(reportNode(*node));
  } catch (const TamException& e) {
    std::cerr << session.describeFailure(e);
    return kExitReported;
  }
  ReportCounts counts = countReport(nodes, session.adapter().messages());
  if (options.json) {
    printJson(session, nodes, counts);
  } else {
    printText(session, nodes, counts);
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
  command
      ->add_option("--set", options->sets,
                   "Add a host value, typed by its option: NODEPATH:module:option=VALUE "
                   "(repeatable)")
      ->allow_extra_args(false);
  command->callback([options, &run] { run = [options] { return runEval(*options); }; });
}
