// Static validation of a node tree: which options are visible where, collected at module
// boundaries, and the four findings about options used or presented where they are not.
#include "tam/TamValidator.h"

#include <map>
#include <memory>
#include <set>
#include <string>

#include "tam/TamConditionExp.h"
#include "tam/TamExpRoot.h"
#include "tam/TamModule.h"
#include "tam/TamNode.h"
#include "tam/TamOption.h"
#include "tam/TamPath.h"
#include "tam/TamWindow.h"

namespace {

using OptionSet = std::set<ref_count_ptr<TamOption>>;

// What a node can see: the options visible there (ordered by option id) and the module-boundary
// nodes found below it, each as its module's identifier and its path.
struct Scope {
  OptionSet visible;
  std::multimap<std::string, TamPath> boundaries;

  bool isVisible(const ref_count_ptr<TamOption>& option) const {
    return visible.find(option) != visible.end();
  }

  bool hasBoundary(const std::string& moduleId, const TamPath& path) const {
    auto range = boundaries.equal_range(moduleId);
    for (auto it = range.first; it != range.second; ++it) {
      if (it->second == path) return true;
    }
    return false;
  }

  void addBoundary(const std::string& moduleId, const TamPath& path) {
    if (!hasBoundary(moduleId, path)) boundaries.emplace(moduleId, path);
  }
};

// The path of a module-boundary node: its identifier and those of its ancestors up to, not
// including, the nearest ancestor that is itself a boundary (or through the root). Collected
// upwards and then reversed, so it reads outermost first, the order in which a presented option
// writes the path it points at.
TamPath boundaryPath(TamNode* node) {
  TamPath path;
  TamNode* current = node;
  for (;;) {
    const std::string id = current->pathId();
    if (!id.empty()) path.append(id);
    TamNode* parent = current->parent();
    if (parent == nullptr || parent->isModuleBoundary()) break;
    current = parent;
  }
  path.reverse();
  return path;
}

void collectBoundaries(TamNode* node, Scope& scope);

void collectChildBoundaries(TamNode* node, Scope& scope) {
  std::unique_ptr<TamNodeIterator> children(node->children());
  if (!children) return;
  for (; children->more(); children->next()) {
    TamNode* child = children->current();
    if (child != nullptr) collectBoundaries(child, scope);
  }
}

// A boundary below contributes its position and its module's public options; the walk stops
// there. Nodes in between are walked through.
void collectBoundaries(TamNode* node, Scope& scope) {
  if (!node->isModuleBoundary()) {
    collectChildBoundaries(node, scope);
    return;
  }
  const ref_count_ptr<TamModule> module = node->module();
  scope.addBoundary(node->moduleId(), boundaryPath(node));
  for (const ref_count_ptr<TamOption>& option : module->options()) {
    if (option->scope() == TamOption::SCOPE_PUBLIC) scope.visible.insert(option);
  }
}

// The scope at a node: all options of its own module and what the boundaries below give.
Scope collectScope(TamNode* node) {
  Scope scope;
  if (node->hasModule()) {
    for (const ref_count_ptr<TamOption>& option : node->module()->options()) {
      scope.visible.insert(option);
    }
  }
  collectChildBoundaries(node, scope);
  return scope;
}

// The scope a node inherits in a walk from the root: the one collected at its nearest ancestor
// that is a module boundary, or at the root when there is none.
Scope inheritedScope(TamNode* node) {
  TamNode* ancestor = node->parent();
  while (!ancestor->isModuleBoundary() && ancestor->parent() != nullptr) {
    ancestor = ancestor->parent();
  }
  return collectScope(ancestor);
}

class Walker {
 public:
  explicit Walker(std::vector<ValidationError>& errors) : errors_(errors) {}

  void validate(TamNode* node, const Scope& inherited, bool recurse) {
    if (node->parent() != nullptr) {
      OptionSet used;
      node->getLoadIf()->referencedOptions(node->window(), used);
      report(used, inherited, ValidationError::VE_LOADIF_OPTION_NOT_IN_SCOPE, node);
    }

    std::unique_ptr<Scope> fresh;
    if (node->isModuleBoundary()) fresh = std::make_unique<Scope>(collectScope(node));
    const Scope& scope = fresh ? *fresh : inherited;

    if (node->hasModule()) {
      const ref_count_ptr<TamModule> module = node->module();
      checkPresented(node, module, scope);
      OptionSet used;
      module->getRix()->referencedOptions(node->window(), used);
      report(used, scope, ValidationError::VE_RULE_OPTION_NOT_IN_SCOPE, node);
    }

    if (!recurse) return;
    std::unique_ptr<TamNodeIterator> children(node->children());
    if (!children) return;
    for (; children->more(); children->next()) {
      TamNode* child = children->current();
      if (child != nullptr) validate(child, scope, true);
    }
  }

 private:
  // A presented option must rest on a visible base and, when it names a path, point at a
  // boundary node of the base's module at that path.
  void checkPresented(TamNode* node, const ref_count_ptr<TamModule>& module, const Scope& scope) {
    for (const ref_count_ptr<TamOption>& option : module->options()) {
      if (option->type() != TamOption::TYPE_PRESENTS) continue;
      const ref_count_ptr<TamOption> base = option->basedOn();
      if (!scope.isVisible(base)) {
        errors_.emplace_back(ValidationError::VE_PRESENTED_BASE_NOT_IN_SCOPE, node, option);
      } else if (!option->path().isEmpty() &&
                 !scope.hasBoundary(base->moduleId(), option->path())) {
        errors_.emplace_back(ValidationError::VE_PRESENTED_PATH_NOT_FOUND, node, option);
      }
    }
  }

  void report(const OptionSet& used, const Scope& scope, ValidationError::ErrorCode code,
              TamNode* node) {
    for (const ref_count_ptr<TamOption>& option : used) {
      if (!scope.isVisible(option)) errors_.emplace_back(code, node, option);
    }
  }

  std::vector<ValidationError>& errors_;
};

}  // namespace

// A start node that is not a boundary sees the scope collected at itself. A start node that is a
// boundary collects its own scope for its module, and its load-if, if it has a parent, is judged
// by the scope it would inherit in a walk from the root rather than by an empty one.
void TamValidator::validateNode(TamNode* node, bool recurse) {
  if (node == nullptr) return;
  Walker walker(errors_);
  if (!node->isModuleBoundary()) {
    walker.validate(node, collectScope(node), recurse);
  } else if (node->parent() != nullptr) {
    walker.validate(node, inheritedScope(node), recurse);
  } else {
    walker.validate(node, Scope(), recurse);
  }
}
