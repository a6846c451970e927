// tam validate: runs the validator over the product's whole tree, from the root, and prints each
// finding with its code, the node's path and the option, and where the option is used. The exit
// status is 1 when there are findings.
#include <tam/libtam.h>

#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "Commands.h"
#include "Diagnostics.h"
#include "OutlineQueries.h"
#include "Session.h"

namespace {

struct ValidateOptions {
  std::string product;
};

struct FindingKind {
  ValidationError::ErrorCode code;
  const char* name;
  const char* explanation;
};

const FindingKind kFindingKinds[] = {
    {ValidationError::VE_PRESENTED_BASE_NOT_IN_SCOPE, "VE_PRESENTED_BASE_NOT_IN_SCOPE",
     "the module presents it, but its base option is not visible here"},
    {ValidationError::VE_PRESENTED_PATH_NOT_FOUND, "VE_PRESENTED_PATH_NOT_FOUND",
     "the module presents it at a path where no node of the base option's module stands"},
    {ValidationError::VE_RULE_OPTION_NOT_IN_SCOPE, "VE_RULE_OPTION_NOT_IN_SCOPE",
     "a rule of the node's module refers to it, but it is not visible here"},
    {ValidationError::VE_LOADIF_OPTION_NOT_IN_SCOPE, "VE_LOADIF_OPTION_NOT_IN_SCOPE",
     "the node's load-if refers to it, but it is not visible from the node's parent"}};

// Legacy options are kept by the host and declared in no module text, so the validator never
// counts them as visible; their references are shown but are not findings.
const char* const kLegacyExplanation =
    "a legacy option, kept by the host and readable from every module";

const FindingKind& kindOf(ValidationError::ErrorCode code) {
  for (const FindingKind& kind : kFindingKinds) {
    if (kind.code == code) return kind;
  }
  return kFindingKinds[0];
}

// Where the finding stands in the files: the rule's reference, the presenting declaration, or
// the node's load-if in the product file.
std::string locate(Session& session, ProductNode* node, const ValidationError& finding) {
  if (node == nullptr) return "";
  ref_count_ptr<TamOption> option = finding.option();
  if (finding.code() == ValidationError::VE_LOADIF_OPTION_NOT_IN_SCOPE) {
    return session.product().where(JsonDocument::member(node->source(), "load_if"));
  }
  const ModuleFile* file = session.adapter().moduleFile(node->module());
  if (file == nullptr) return "";
  if (finding.code() == ValidationError::VE_RULE_OPTION_NOT_IN_SCOPE) {
    const TamRixOutline outline = rulesOutline(session.window().get(), file->id(), file->rules());
    for (const TamRixOutline::Node* reference : moduleReferences(outline)) {
      if (reference->moduleId == option->moduleId() && reference->optionName == option->name()) {
        return file->path() + ":" + std::to_string(file->rulesLine() + reference->begin.line - 1);
      }
    }
    return file->path();
  }
  for (const ModuleLine& declaration : file->declarations()) {
    if (TamDeclarationOutline::read(declaration.text).name().text == option->name()) {
      return file->path() + ":" + std::to_string(declaration.line);
    }
  }
  return file->path();
}

int runValidate(const ValidateOptions& options) {
  Session session(options.product);
  session.buildTree({});
  TamValidator validator;
  try {
    validator.validateNode(session.root(), true);
  } catch (const TamException& e) {
    std::cerr << session.describeFailure(e);
    return kExitReported;
  }
  std::size_t counted = 0;
  std::size_t legacy = 0;
  for (const ValidationError& finding : validator.errors()) {
    auto* node = dynamic_cast<ProductNode*>(finding.node());
    ref_count_ptr<TamOption> option = finding.option();
    const FindingKind& kind = kindOf(finding.code());
    bool isLegacy = option->scope() == TamOption::SCOPE_LEGACY;
    ++(isLegacy ? legacy : counted);
    std::cout << (isLegacy ? "note: " : "") << (node != nullptr ? node->path() : std::string("?"))
              << ": " << kind.name << ": option " << option->moduleId() << ":" << option->name()
              << ": " << (isLegacy ? kLegacyExplanation : kind.explanation);
    std::string where = locate(session, node, finding);
    if (!where.empty()) std::cout << " (" << where << ")";
    std::cout << "\n";
  }
  if (counted == 0) {
    std::cout << "no findings";
  } else {
    std::cout << counted << (counted == 1 ? " finding" : " findings");
  }
  if (legacy > 0) std::cout << " (" << legacy << " about legacy options, not counted)";
  std::cout << "\n";
  return counted == 0 ? kExitOk : kExitReported;
}

}  // namespace

void addValidateCommand(CLI::App& app, CommandRun& run) {
  auto options = std::make_shared<ValidateOptions>();
  CLI::App* command =
      app.add_subcommand("validate", "Check that every option is used only where it is visible");
  command->add_option("PRODUCT", options->product, "The product file (JSON)")->required();
  command->callback([options, &run] { run = [options] { return runValidate(*options); }; });
}
