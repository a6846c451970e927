#include "ScopeFindings.h"

#include <map>
#include <set>
#include <string>
#include <tuple>

#include "FileAdapter.h"
#include "Product.h"
#include "ProductNode.h"

namespace {

using Node = TamRixOutline::Node;

// What the window and a module raise for a module the host cannot supply and for an option a
// module does not have.
constexpr int kModuleNotFound = 302;
constexpr int kOptionNotFound = 102;

std::string fullName(const ref_count_ptr<TamOption>& option) {
  return option->moduleId() + ":" + option->name();
}

// The references of an outline, with the module each names.
std::vector<const Node*> references(const TamRixOutline& outline) {
  std::vector<const Node*> found;
  for (const Node& node : outline.nodes()) {
    if (node.kind == TamRixOutline::KIND_OPTION_REFERENCE && node.moduleIdPos.isKnown()) {
      found.push_back(&node);
    }
  }
  return found;
}

// A legacy option stands in for every option a reference names that does not exist.
class StandIns {
 public:
  StandIns(const Product& product, FileAdapter& adapter, const ref_count_ptr<TamWindow>& window)
      : product_(product), adapter_(adapter), window_(window) {}

  void declareFor(const std::vector<ProductNode*>& nodes, std::vector<Diagnostic>& out) {
    std::set<std::string> modulesDone;
    for (ProductNode* node : nodes) {
      if (!node->loadIfText().empty() && !allResolve(*node->getLoadIf())) {
        const std::string pointer = JsonDocument::member(node->source(), "load_if");
        const TamRixOutline outline = node->getLoadIf()->outline();
        for (const Node* reference : references(outline)) {
          if (standIn(*reference)) {
            out.push_back(unknown(*reference, product_.document().placeInString(
                                                  pointer, reference->moduleIdPos.offset,
                                                  reference->end.offset)));
          }
        }
      }
      if (!node->hasModule() || !modulesDone.insert(node->module()).second) continue;
      const ModuleFile* file = adapter_.moduleFile(node->module());
      if (file == nullptr || allResolve(*node->TamNode::module()->getRix())) continue;
      const TamRixOutline outline = node->TamNode::module()->getRix()->outline();
      for (const Node* reference : references(outline)) {
        if (standIn(*reference)) {
          out.push_back(unknown(*reference, file->placeInRules(reference->moduleIdPos.offset,
                                                               reference->end.offset)));
        }
      }
    }
  }

 private:
  // True when every option reference of the rules or condition resolves, as nearly all do: then
  // no stand-in is needed and no outline is built to find the references. Raises what a lookup
  // raises other than "not found", as the search through the outline would.
  bool allResolve(const TamRixExp& exp) {
    resolved_.clear();
    try {
      exp.referencedOptions(window_, resolved_);
      return true;
    } catch (const TamException& e) {
      if (e.code() != kModuleNotFound && e.code() != kOptionNotFound) throw;
      return false;
    }
  }

  // True when the reference needed a stand-in.
  bool standIn(const Node& reference) {
    ref_count_ptr<TamModule> module;
    try {
      module = window_->getModule(reference.moduleId);
    } catch (const TamException& e) {
      if (e.code() != kModuleNotFound) throw;
      module = window_->createModule(reference.moduleId);
    }
    try {
      module->getOption(reference.optionName);
      return false;
    } catch (const TamException&) {
      module->declareLegacyOption(reference.optionName);
      return true;
    }
  }

  Diagnostic unknown(const Node& reference, const SourcePlace& place) const {
    if (adapter_.moduleFile(reference.moduleId) == nullptr) {
      return Diagnostic::error(place, "unknown module " + quote(reference.moduleId));
    }
    return Diagnostic::error(place, "module " + quote(reference.moduleId) + " has no option " +
                                        quote(reference.optionName));
  }

  const Product& product_;
  FileAdapter& adapter_;
  ref_count_ptr<TamWindow> window_;
  std::vector<ref_count_ptr<TamOption>> resolved_;  // by allResolve, kept for its capacity
};

class Findings {
 public:
  Findings(const Product& product, FileAdapter& adapter) : product_(product), adapter_(adapter) {}

  void add(const ValidationError& finding, std::vector<Diagnostic>& out) {
    auto* node = dynamic_cast<ProductNode*>(finding.node());
    const ref_count_ptr<TamOption> option = finding.option();
    if (node == nullptr || !option || option->scope() == TamOption::SCOPE_LEGACY) return;
    switch (finding.code()) {
      case ValidationError::VE_RULE_OPTION_NOT_IN_SCOPE:
        ruleFinding(*node, option, out);
        break;
      case ValidationError::VE_LOADIF_OPTION_NOT_IN_SCOPE:
        loadIfFinding(*node, option, out);
        break;
      case ValidationError::VE_PRESENTED_BASE_NOT_IN_SCOPE:
      case ValidationError::VE_PRESENTED_PATH_NOT_FOUND:
        presentedFinding(*node, option, finding.code(), out);
        break;
    }
  }

  // "(and N other nodes)" for the findings that repeated at other nodes of their module.
  void countRepeats(std::vector<Diagnostic>& out) const {
    for (const auto& entry : repeats_) {
      if (entry.second.count == 0) continue;
      Diagnostic& diagnostic = out[entry.second.index];
      diagnostic.message += " (and at " + std::to_string(entry.second.count) + " other node" +
                            (entry.second.count == 1 ? ")" : "s)");
    }
  }

 private:
  struct Repeat {
    std::size_t index;
    std::size_t count;
  };

  bool firstTime(int code, const std::string& module, const ref_count_ptr<TamOption>& option,
                 std::size_t index) {
    const auto key = std::make_tuple(code, module, option->id());
    auto it = repeats_.find(key);
    if (it == repeats_.end()) {
      repeats_.emplace(key, Repeat{index, 0});
      return true;
    }
    ++it->second.count;
    return false;
  }

  void ruleFinding(ProductNode& node, const ref_count_ptr<TamOption>& option,
                   std::vector<Diagnostic>& out) {
    const ModuleFile* file = adapter_.moduleFile(node.module());
    if (file == nullptr) return;
    if (!firstTime(ValidationError::VE_RULE_OPTION_NOT_IN_SCOPE, node.module(), option,
                   out.size())) {
      return;
    }
    const TamRixOutline outline = node.TamNode::module()->getRix()->outline();
    SourcePlace place = SourcePlace::fileOnly(file->path());
    bool writes = false;
    for (const Node* reference : references(outline)) {
      if (reference->moduleId != option->moduleId() || reference->optionName != option->name()) {
        continue;
      }
      place = file->placeInRules(reference->moduleIdPos.offset, reference->end.offset);
      const Node& parent = outline.nodes()[static_cast<std::size_t>(reference->parent)];
      writes = parent.kind == TamRixOutline::KIND_SET || parent.kind == TamRixOutline::KIND_FIX;
      break;
    }
    const std::string subject = quote(fullName(option)) + " is not visible at node " +
                                quote(node.path());
    Diagnostic diagnostic = Diagnostic::error(
        place, writes ? subject + ", so the value set here never arrives"
                      : subject + ", so this reads its default, not the value chosen above (a "
                                  "'uses' option reads a value from above)");
    diagnostic.code = "VE_RULE_OPTION_NOT_IN_SCOPE";
    out.push_back(diagnostic);
  }

  void loadIfFinding(ProductNode& node, const ref_count_ptr<TamOption>& option,
                     std::vector<Diagnostic>& out) {
    const std::string pointer = JsonDocument::member(node.source(), "load_if");
    SourcePlace place = product_.place(pointer);
    const TamRixOutline outline = node.getLoadIf()->outline();  // the references point into it
    for (const Node* reference : references(outline)) {
      if (reference->moduleId == option->moduleId() && reference->optionName == option->name()) {
        place = product_.document().placeInString(pointer, reference->moduleIdPos.offset,
                                                  reference->end.offset);
        break;
      }
    }
    Diagnostic diagnostic = Diagnostic::error(
        place, quote(fullName(option)) + " is not visible from the parent of node " +
                   quote(node.path()) + ", so this load-if reads its default");
    diagnostic.code = "VE_LOADIF_OPTION_NOT_IN_SCOPE";
    out.push_back(diagnostic);
  }

  void presentedFinding(ProductNode& node, const ref_count_ptr<TamOption>& option,
                        ValidationError::ErrorCode code, std::vector<Diagnostic>& out) {
    const ModuleFile* file = adapter_.moduleFile(node.module());
    const ModuleLine* declaration = adapter_.declarationOf(option->moduleId(), option->name());
    if (file == nullptr || declaration == nullptr) return;
    if (!firstTime(code, node.module(), option, out.size())) return;
    const TamDeclarationOutline outline = TamDeclarationOutline::read(file->lineText(*declaration));
    const TamDeclarationOutline::Reference& base = outline.base();
    const std::string baseName = base.moduleId.text + ":" + base.optionName.text;
    Diagnostic diagnostic;
    if (code == ValidationError::VE_PRESENTED_BASE_NOT_IN_SCOPE) {
      diagnostic = Diagnostic::error(
          file->placeInLine(*declaration, base.moduleId.begin.offset, base.optionName.end.offset),
          "presented option " + quote(fullName(option)) + " is based on " + quote(baseName) +
              ", which is not visible at node " + quote(node.path()) +
              ", so the presented value never arrives");
      diagnostic.code = "VE_PRESENTED_BASE_NOT_IN_SCOPE";
    } else {
      diagnostic = Diagnostic::error(
          file->placeInLine(*declaration, base.pathBegin.offset, base.pathEnd.offset),
          "no node of module " + quote(base.moduleId.text) + " stands at path [" +
              option->path().toDisplayString() + "] below node " + quote(node.path()) +
              ", so " + quote(fullName(option)) + " presents its value to no node");
      diagnostic.code = "VE_PRESENTED_PATH_NOT_FOUND";
    }
    out.push_back(diagnostic);
  }

  const Product& product_;
  FileAdapter& adapter_;
  std::map<std::tuple<int, std::string, int>, Repeat> repeats_;
};

}  // namespace

ScopeCheck checkScopes(ProductNode* root, const std::vector<ProductNode*>& nodes,
                       const Product& product, FileAdapter& adapter,
                       const ref_count_ptr<TamWindow>& window) {
  ScopeCheck result;
  TamValidator validator;
  try {
    StandIns(product, adapter, window).declareFor(nodes, result.unresolved);
    validator.validateNode(root, true);
  } catch (const TamException& e) {
    result.unresolved.push_back(adapter.failedLoads().empty()
                                    ? Diagnostic::general("validation stopped: " +
                                                          describeException(e))
                                    : adapter.describeLoadFailure());
    return result;
  }
  Findings findings(product, adapter);
  for (const ValidationError& finding : validator.errors()) findings.add(finding, result.findings);
  findings.countRepeats(result.findings);
  return result;
}
