#include "ProductChecker.h"

#include <tam/libtam.h>

#include "FileAdapter.h"
#include "HostValues.h"
#include "Product.h"
#include "ProductNode.h"
#include "RuleChecker.h"
#include "ScopeFindings.h"
#include "Suggest.h"
#include "SyntaxWording.h"

namespace {

class TreeCheck {
 public:
  TreeCheck(const Product& product, FileAdapter& adapter)
      : product_(product), adapter_(adapter), window_(Tam::createWindow()) {
    window_->setVariantsMode(product.variantsMode());
  }

  std::vector<Diagnostic> run() {
    std::unique_ptr<ProductNode> root = build(product_.root(), nullptr);
    window_->setRoot(root.get());
    const ScopeCheck scopes = checkScopes(root.get(), nodes_, product_, adapter_, window_);
    // References that do not exist are reported by the checks of the rules and load-ifs already.
    out_.insert(out_.end(), scopes.findings.begin(), scopes.findings.end());
    window_->setRoot(nullptr);
    return out_;
  }

 private:
  std::unique_ptr<ProductNode> build(const NodeEntry& given, ProductNode* parent) {
    std::string moduleId = given.moduleId;
    if (!moduleId.empty() && adapter_.moduleFile(moduleId) == nullptr) {
      if (!adapter_.isBrokenModule(moduleId)) {
        out_.push_back(Diagnostic::error(
            product_.place(JsonDocument::member(given.pointer, "module")),
            "no module file declares module " + quote(moduleId) +
                didYouMean(moduleId, adapter_.moduleIds(), budget_)));
      }
      moduleId.clear();
    }
    auto node = std::make_unique<ProductNode>(window_, parent, given.id, moduleId);
    node->setSource(given.pointer);
    node->setForcedState(given.forced);
    nodes_.push_back(node.get());
    if (given.hasLoadIf) checkLoadIf(given, *node);
    if (!moduleId.empty()) {
      for (const HostValueEntry& value : given.values) checkHostValue(value);
    }
    for (const NodeEntry& child : given.children) node->addChild(build(child, node.get()));
    return node;
  }

  // A host value's option must exist and take the values given (see HostValues.h).
  void checkHostValue(const HostValueEntry& given) {
    ref_count_ptr<TamOption> option;
    try {
      option = TamOption::findOption(window_, given.moduleId, given.optionName);
    } catch (const TamException&) {
      if (adapter_.isFailedDeclaration(given.moduleId, given.optionName)) return;
      std::vector<std::string> names;
      try {
        for (const ref_count_ptr<TamOption>& known :
             window_->getModule(given.moduleId)->options()) {
          names.push_back(known->name());
        }
      } catch (const TamException&) {
        names.clear();
      }
      out_.push_back(Diagnostic::error(
          product_.place(JsonDocument::member(given.pointer, "option")),
          "module " + quote(given.moduleId) + " has no option " + quote(given.optionName) +
              didYouMean(given.optionName, names, budget_)));
      return;
    }
    std::vector<ref_count_ptr<TamValue>> values;
    HostValueProblem problem;
    try {
      problem = judgeHostValue(option, given, values);
    } catch (const TamException& e) {
      problem.message = describeException(e);
    }
    if (problem.message.empty()) return;
    const std::string pointer = problem.valueIndex > 0
                                    ? given.valuePointers[problem.valueIndex - 1]
                                    : JsonDocument::member(given.pointer, "option");
    Diagnostic diagnostic = Diagnostic::error(product_.place(pointer), problem.message);
    if (problem.valueIndex > 0) noteAllowedValues(adapter_, option, diagnostic);
    out_.push_back(diagnostic);
  }

  void checkLoadIf(const NodeEntry& given, ProductNode& node) {
    const std::string pointer = JsonDocument::member(given.pointer, "load_if");
    const JsonDocument& document = product_.document();
    const TamRixOutline outline = TamRixOutline::fromCondition(given.loadIf);
    if (outline.failed()) {
      const SyntaxReport report = describeSyntaxFailure(outline.failure(), RixPiece::kCondition, given.loadIf);
      const std::size_t at = failurePlace(outline.failure(), given.loadIf.size()).offset;
      Diagnostic problem = Diagnostic::error(document.placeInString(pointer, at, at), report.message);
      if (!report.note.empty()) {
        problem.note(document.placeInString(pointer, report.notePlace.offset,
                                            report.notePlace.offset + 1),
                     report.note);
      }
      out_.push_back(problem);
      return;
    }
    RuleCheckContext context;
    context.window = window_;
    context.adapter = &adapter_;
    context.budget = &budget_;
    context.place = [&document, pointer](std::size_t begin, std::size_t end) {
      return document.placeInString(pointer, begin, end);
    };
    const std::vector<Diagnostic> found = checkRuleOutline(outline, context);
    out_.insert(out_.end(), found.begin(), found.end());
    node.setLoadIfText(given.loadIf);
    node.setLoadIf(given.loadIf);
  }

  const Product& product_;
  FileAdapter& adapter_;
  ref_count_ptr<TamWindow> window_;
  std::vector<ProductNode*> nodes_;
  std::vector<Diagnostic> out_;
  SuggestionBudget budget_;
};

}  // namespace

std::vector<Diagnostic> checkProduct(const Product& product, FileAdapter& adapter) {
  return TreeCheck(product, adapter).run();
}
