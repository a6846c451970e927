// tam eval: evaluates a product and prints, node by node, whether it is configured and the option
// values selected at it with how each was set, then the messages of the rules, the legacy values
// the host keeps, and a summary. --json prints the same as one JSON document whose keys always
// come in the order documented in docs/product-format.md (its schema: docs/schema/).
//
// An evaluation that fails part-way still shows everything evaluated until then (the node that
// failed as "failed", the nodes never reached as "not evaluated"), and then the error at its
// place. After the evaluation, options used where they are not visible (the validator's
// findings), references to options that do not exist, and mandatory options left without a value
// at a node that ran are errors too: all of these make the exit status 1, as rule error messages
// do. With --json every outcome, a failure too, is one JSON document on standard output.
// --explain adds to each value where it came from.
#include <iostream>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Commands.h"
#include "DiagnosticJson.h"
#include "Diagnostics.h"
#include "EvalDocument.h"
#include "EvalReport.h"
#include "ExplanationOutput.h"
#include "FastExit.h"
#include "JsonWriter.h"
#include "Session.h"
#include "ValueText.h"

namespace {

constexpr std::size_t kPrintBuffer = 64 * 1024;  // text gathered before it goes to the stream

struct EvalOptions {
  std::string product;
  bool json = false;
  bool explain = false;
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

// The node's lines are gathered in `text`, which the caller hands to the stream now and then,
// rather than writing each piece to the stream. The entries are read in place.
void printNode(const NodeView& node, const NodeOrigins* origins, std::string& text) {
  text += "\n";
  text += node.node->path();
  text += ": ";
  text += stateText(stateName(node.state));
  if (node.forced != nullptr) {
    text += " (forced ";
    text += stateText(node.forced);
    text += ")";
  }
  const std::string& module = node.node->module();
  text += module.empty() ? ", no module" : ", module ";
  text += module;
  text += "\n";
  if (node.options == nullptr) return;
  std::size_t k = 0;
  for (const auto& item : *node.options) {
    const TamSelOptionSet::TamSosEntry& option = item.second;
    text += "  ";
    text += option.option->moduleId();
    text += ":";
    text += option.option->name();
    text += " = ";
    for (std::size_t i = 0; i < option.values.size(); ++i) {
      if (i > 0) text += ", ";
      appendValueText(option.values[i], text);
      if (i >= option.howSet.size()) continue;
      text += " (";
      text += howSetName(option.howSet[i]);
      if (origins != nullptr && k < origins->size() && i < (*origins)[k].size()) {
        const ValueOrigin& origin = (*origins)[k][i];
        const std::string place = originText(origin);
        if (!place.empty()) {
          text += origin.kind == "inherited" ? " " : ", ";
          text += place;
        }
      }
      text += ")";
    }
    text += "\n";
    ++k;
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

// Each node is written as soon as its report is made, and dropped: nothing of the whole tree is
// held beyond the session itself.
int evaluateAndPrint(Session& session, bool explain) {
  const std::optional<Diagnostic> failure = evaluateSession(session, explain);
  const Product& product = session.product();
  ReportCounts counts;
  std::vector<Diagnostic> mandatory;
  std::size_t nodes = 0;
  std::cout << "product: " << (product.name().empty() ? product.path() : product.name())
            << " (variants mode " << product.variantsModeName() << ")\n";
  std::string text;
  walkNodes(session, explain, failure.has_value(), counts, mandatory,
            [&text, &nodes](const NodeView& view, NodeOrigins* origins) {
              ++nodes;
              printNode(view, origins, text);
              if (text.size() >= kPrintBuffer) {
                std::cout << text;
                text.clear();
              }
            });
  std::cout << text;
  countMessages(session.adapter().messages(), counts);
  printMessages(session.adapter().messages());
  printLegacy(session.adapter().legacyValues());
  std::cout << "\n"
            << plural(nodes, "node") << ": " << counts.configured
            << " configured, " << counts.notConfigured << " not configured, " << counts.undecided
            << " undecided";
  if (failure) {
    std::cout << ", " << counts.failed << " failed, " << counts.notEvaluated << " not evaluated";
  }
  std::cout << "\nmessages: " << plural(counts.errors, "error") << ", "
            << plural(counts.warnings, "warning") << ", " << plural(counts.informs, "inform")
            << "\n";
  std::cout.flush();
  const std::vector<Diagnostic> problems = problemsAfter(session, nullptr, std::move(mandatory));
  DiagnosticPrinter printer(std::cerr);
  if (failure) printer.report(*failure);
  for (const Diagnostic& problem : problems) printer.report(problem);
  printer.reportHidden();
  const bool failed =
      failure || printer.failed() || counts.errors > 0 || warnedWithWerror(counts);
  return failed ? kExitReported : kExitOk;
}

// Laid out as dump(2) would, with a line break after it.
void printDocument(const OutputJson& document) {
  JsonTextWriter out(std::cout, 0);
  out.value(document);
  out.raw("\n");
}

int runEval(const EvalOptions& options) {
  std::vector<CommandLineValue> sets;
  for (const std::string& argument : options.sets) sets.push_back(parseSetArgument(argument));
  // The session is the process's to lose: the command hands it to its exit (FastExit.h).
  auto session = std::make_unique<Session>(options.product);
  session->buildTree(sets);
  int status = kExitOk;
  if (options.json) {
    JsonTextWriter out(std::cout, 0);
    const std::string written = writeEvaluation(*session, options.explain, out);
    out.raw("\n");
    out.flush();
    status = written == "ok" ? kExitOk : kExitReported;
  } else {
    status = evaluateAndPrint(*session, options.explain);
  }
  leaveToExit(std::move(session));
  return status;
}

// With --json, a failure before the evaluation is one document too.
int runEvalReported(const EvalOptions& options) {
  if (!options.json) return runEval(options);
  try {
    return runEval(options);
  } catch (const ToolError& e) {
    printDocument(evalFailureDocument(e.diagnostics().empty() ? Diagnostic::general(e.what())
                                                              : e.diagnostics().front()));
    return e.status();
  }
}

}  // namespace

void addEvalCommand(CLI::App& app, CommandRun& run) {
  auto options = std::make_shared<EvalOptions>();
  CLI::App* command = app.add_subcommand(
      "eval", "Evaluate a product and print each node's state, selected values, messages and problems");
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
  addWarningOptions(command);
  addDiagnosticOptions(command);
  command->callback([options, &run] { run = [options] { return runEvalReported(*options); }; });
}
