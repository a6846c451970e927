// tam explain: evaluates a product as eval does and tells why an option has its values at a node
// (NODEPATH:module:option: the values, then every step that led there, oldest first, each placed
// in its file) or why a node has its state (NODEPATH: its load_if and the values it read, its
// forced state, or the node above that stopped it, then its values and where each came from).
// --json prints the same as one "tam-explain" document.
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "Commands.h"
#include "Diagnostics.h"
#include "Explanation.h"
#include "ExplanationOutput.h"
#include "Session.h"
#include "Suggest.h"

namespace {

struct ExplainOptions {
  std::string product;
  std::string subject;
  bool json = false;
  std::vector<std::string> sets;
};

// NODEPATH or NODEPATH:module:option.
struct Subject {
  std::string nodePath;
  std::string moduleId;
  std::string optionName;
  bool isOption() const { return !moduleId.empty(); }
};

[[noreturn]] void failSubject(const ExplainOptions& options, const std::string& message) {
  throw ToolError("tam: error: explain " + options.subject + ": " + message, kExitUsage);
}

Subject parseSubject(const ExplainOptions& options) {
  const std::string& text = options.subject;
  Subject subject;
  const std::size_t first = text.find(':');
  subject.nodePath = text.substr(0, first);
  if (first == std::string::npos) return subject;
  const std::size_t second = text.find(':', first + 1);
  if (second == std::string::npos || first == 0 || second == first + 1 ||
      second + 1 == text.size()) {
    failSubject(options, "expected NODEPATH or NODEPATH:module:option (for example "
                         "ebike.frame or ebike.frame:frame:size)");
  }
  subject.moduleId = text.substr(first + 1, second - first - 1);
  subject.optionName = text.substr(second + 1);
  return subject;
}

ProductNode* findNode(const ExplainOptions& options, Session& session, const Subject& subject) {
  std::vector<std::string> paths;
  for (ProductNode* node : session.nodes()) {
    if (node->path() == subject.nodePath) return node;
    paths.push_back(node->path());
  }
  failSubject(options, "no node '" + subject.nodePath + "' in " + session.product().path() +
                           didYouMean(subject.nodePath, paths));
}

void checkModule(const ExplainOptions& options, Session& session, const Subject& subject) {
  if (session.adapter().moduleFile(subject.moduleId) != nullptr) return;
  std::vector<std::string> ids;
  for (const auto& file : session.adapter().moduleFiles()) ids.push_back(file.first);
  failSubject(options, "no module '" + subject.moduleId + "' in the product's module folders" +
                           didYouMean(subject.moduleId, ids));
}

// The option, looked up once the evaluation has loaded what it needs (a module loaded only here
// fails as it would in eval).
ref_count_ptr<TamOption> findOption(const ExplainOptions& options, Session& session,
                                    const Subject& subject) {
  const std::size_t failedBefore = session.adapter().failedLoads().size();
  ref_count_ptr<TamModule> module;
  try {
    module = session.window()->getModule(subject.moduleId);
    return module->getOption(subject.optionName);
  } catch (const TamException& e) {
    if (session.adapter().failedLoads().size() > failedBefore) {
      throw ToolError(session.adapter().describeLoadFailure(), kExitReported);
    }
    if (e.code() != 102 || module.isNull()) throw;
  }
  std::vector<std::string> names;
  for (const ref_count_ptr<TamOption>& option : module->options()) names.push_back(option->name());
  failSubject(options, "module '" + subject.moduleId + "' has no option '" + subject.optionName +
                           "'" + didYouMean(subject.optionName, names));
}

int runExplain(const ExplainOptions& options) {
  const Subject subject = parseSubject(options);
  std::vector<CommandLineValue> sets;
  for (const std::string& argument : options.sets) sets.push_back(parseSetArgument(argument));
  Session session(options.product);
  session.buildTree(sets);
  ProductNode* node = findNode(options, session, subject);
  if (subject.isOption()) checkModule(options, session, subject);

  session.record().setHistory(true);
  try {
    session.evaluate();
  } catch (const TamException& e) {
    DiagnosticPrinter(std::cerr).report(session.describeFailure(e));
    return kExitReported;
  }
  Explainer explainer(session);
  if (subject.isOption()) {
    const OptionExplanation explanation =
        explainer.explainOption(*node, findOption(options, session, subject));
    if (options.json) {
      std::cout << optionExplanationJson(explanation).dump(2, ' ', false,
                                                           OutputJson::error_handler_t::replace)
                << "\n";
    } else {
      std::cout << optionExplanationText(explanation);
    }
  } else {
    const NodeExplanation explanation = explainer.explainNode(*node);
    if (options.json) {
      std::cout << nodeExplanationJson(explanation).dump(2, ' ', false,
                                                         OutputJson::error_handler_t::replace)
                << "\n";
    } else {
      std::cout << nodeExplanationText(explanation);
    }
  }
  return kExitOk;
}

}  // namespace

void addExplainCommand(CLI::App& app, CommandRun& run) {
  auto options = std::make_shared<ExplainOptions>();
  CLI::App* command = app.add_subcommand(
      "explain", "Tell why an option has its values at a node, or why a node has its state");
  command->add_option("PRODUCT", options->product, "The product file (JSON)")->required();
  command
      ->add_option("SUBJECT", options->subject,
                   "NODEPATH:module:option for an option's values, NODEPATH for a node's state")
      ->required();
  command->add_flag("--json", options->json, "Print the explanation as one JSON document");
  command
      ->add_option("--set", options->sets,
                   "Add a host value, typed by its option: NODEPATH:module:option=VALUE "
                   "(repeatable)")
      ->allow_extra_args(false);
  command->callback([options, &run] { run = [options] { return runExplain(*options); }; });
}
